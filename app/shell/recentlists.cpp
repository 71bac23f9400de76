#include "shell/recentlists.h"

#include <algorithm>

#include "corekit/platform.h"
#include "corekit/registry.h"
#include "corekit/straw.h"

namespace {

void MoveToFront(std::vector<MyString>& list, const MyString& path) {
  if (path.IsEmpty()) return;
  std::erase(list, path);
  list.insert(list.begin(), path);
  if (list.size() > CRecentLists::kMaxEntries) list.resize(CRecentLists::kMaxEntries);
}

MyString ValueName(const char16_t* prefix, size_t n) { return CStrAW::printf(u"%s%zu", prefix, n); }

bool IsRegularFile(const MyString& path) {
  CFileInfo info;
  return GetFileInfo(path, &info) && !info.bDirectory;
}

void WriteOrDelete(CRegistry& key, const MyString& name, const MyString& value) {
  if (value.IsEmpty())
    key.DeleteValue(name);
  else
    key.SetValue(name, value);
}

}  // namespace

bool IsPlausiblePath(const MyString& path) {
  if (path.IsEmpty()) return false;
  return std::none_of(path.str().begin(), path.str().end(),
                      [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

void CRecentLists::AddRecentFile(const MyString& path) { MoveToFront(m_files, path); }

void CRecentLists::AddRecentFolder(const MyString& path) { MoveToFront(m_folders, path); }

void CRecentLists::RemoveRecentFile(const MyString& path) { std::erase(m_files, path); }

void CRecentLists::RememberPortfolio(const MyString& path) {
  if (path.IsEmpty()) return;
  auto found = std::find(m_portfolios.begin(), m_portfolios.end(), path);
  if (found == m_portfolios.end()) found = m_portfolios.end() - 1;  // the last slot falls off
  std::move_backward(m_portfolios.begin(), found, found + 1);
  m_portfolios[0] = path;
}

void CRecentLists::Clear() {
  m_files.clear();
  m_folders.clear();
  m_portfolios.fill(MyString());
}

void CRecentLists::Load(const CRegistry& mruKey,
                        const std::function<bool(const MyString&)>& fileExists) {
  Clear();
  for (size_t n = 0; n < kMaxEntries; ++n) {
    MyString value;
    if (mruKey.GetValue(ValueName(u"MRU_", n), value) && IsPlausiblePath(value) &&
        (fileExists ? fileExists(value) : IsRegularFile(value)) &&
        std::find(m_files.begin(), m_files.end(), value) == m_files.end())
      m_files.push_back(value);
    value = MyString();
    if (mruKey.GetValue(ValueName(u"DIR_", n), value) && IsPlausiblePath(value))
      m_folders.push_back(value);
    value = MyString();
    if (mruKey.GetValue(ValueName(u"LRM_", n), value) && IsPlausiblePath(value))
      m_portfolios[n] = value;
  }
}

void CRecentLists::Save(CRegistry& mruKey) const {
  for (size_t n = 0; n < kMaxEntries; ++n) {
    WriteOrDelete(mruKey, ValueName(u"MRU_", n), n < m_files.size() ? m_files[n] : MyString());
    WriteOrDelete(mruKey, ValueName(u"DIR_", n), n < m_folders.size() ? m_folders[n] : MyString());
    WriteOrDelete(mruKey, ValueName(u"LRM_", n), m_portfolios[n]);
  }
}
