#include "shell/layoutfile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>
#include <system_error>

#include "corekit/atomicfile.h"
#include "corekit/straw.h"

namespace {

constexpr char kHeader[] = "ZOKA Layout File";
constexpr size_t kHeaderSize = sizeof(kHeader) - 1;
// Far above any real layout; a bigger file is not one of ours.
constexpr size_t kMaxFileSize = 16u << 20;

class CLayoutReader {
 public:
  enum TREE { TREE_READ, TREE_SHORT_RECORD, TREE_DAMAGED };

  CLayoutReader(std::string_view bytes, int64_t* runtimeCount)
      : m_bytes(bytes), m_runtimeCount(runtimeCount) {}

  size_t Left() const { return m_bytes.size() - m_pos; }

  bool ReadInt(int32_t& value) {
    if (Left() < 4) return false;
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | uint8_t(m_bytes[m_pos + size_t(i)]);
    m_pos += 4;
    value = int32_t(u);
    return true;
  }

  bool ReadHeader() {
    if (Left() < kHeaderSize || m_bytes.substr(0, kHeaderSize) != kHeader) return false;
    m_pos = kHeaderSize;
    return true;
  }

  // Reads a pane tree. *keep is false for a pane that must be dropped: its
  // identifier was read before, or it is the "no pane" value. On damage the
  // pane holds what was read of it.
  TREE ReadTree(tagLAYOUTPANE& pane, int depth, bool* keep) {
    *keep = false;
    if (Left() < CLayoutFile::kRecordSize) return TREE_SHORT_RECORD;
    const std::string_view record = m_bytes.substr(m_pos, CLayoutFile::kRecordSize);
    int32_t firstLink = 0, secondLink = 0, tabCount = 0, dockedRoot = 0, unused = 0;
    ReadInt(pane.nId);
    ReadInt(pane.nLeft);
    ReadInt(pane.nTop);
    ReadInt(pane.nWidth);
    ReadInt(pane.nCreatedWidth);
    ReadInt(pane.nHeight);
    ReadInt(pane.nCreatedHeight);
    pane.nShare = uint8_t(record[28]);
    ReadInt(unused);
    ReadInt(pane.nExtent);
    ReadInt(firstLink);
    ReadInt(secondLink);
    ReadInt(pane.nActiveTab);
    ReadInt(tabCount);
    ReadInt(dockedRoot);
    ReadInt(pane.nSide);
    ReadInt(pane.nFlags);
    pane.bDockedRoot = dockedRoot == 1;
    if (pane.nId > tagLAYOUTPANE::kLastFixedId)
      *m_runtimeCount =
          std::max<int64_t>(*m_runtimeCount, int64_t(pane.nId) - tagLAYOUTPANE::kLastFixedId);
    *keep = pane.nId != tagLAYOUTPANE::kNoPane && m_seen.insert(pane.nId).second;

    const bool hasChildren = tabCount != 0 || firstLink != tagLAYOUTPANE::kNoPane ||
                             secondLink != tagLAYOUTPANE::kNoPane;
    if (hasChildren && depth >= CLayoutFile::kMaxDepth) return TREE_DAMAGED;
    if (tabCount != 0) {
      // The count is trusted only as far as the bytes left can hold it.
      for (uint32_t i = 0; i < uint32_t(tabCount); ++i) {
        if (ReadChild(pane.tabs, depth) != TREE_READ) return TREE_DAMAGED;
      }
      return TREE_READ;
    }
    if (firstLink != tagLAYOUTPANE::kNoPane && ReadChild(pane.first, depth) != TREE_READ)
      return TREE_DAMAGED;
    if (secondLink != tagLAYOUTPANE::kNoPane && ReadChild(pane.second, depth) != TREE_READ)
      return TREE_DAMAGED;
    return TREE_READ;
  }

  TREE ReadChild(std::vector<tagLAYOUTPANE>& into, int depth) {
    tagLAYOUTPANE child;
    bool keep = false;
    const TREE result = ReadTree(child, depth + 1, &keep);
    if (keep) into.push_back(std::move(child));
    return result;
  }

 private:
  std::string_view m_bytes;
  size_t m_pos = 0;
  std::set<int32_t> m_seen;
  int64_t* m_runtimeCount;
};

void PutInt(std::string& out, int32_t value) {
  const uint32_t u = uint32_t(value);
  for (int i = 0; i < 4; ++i) out.push_back(char(uint8_t(u >> (8 * i))));
}

bool Writable(const tagLAYOUTPANE& pane) { return pane.nId != tagLAYOUTPANE::kNoPane; }

int32_t LinkOf(const std::vector<tagLAYOUTPANE>& part) {
  return part.empty() || !Writable(part.front()) ? tagLAYOUTPANE::kNoPane : part.front().nId;
}

void PutTree(std::string& out, const tagLAYOUTPANE& pane) {
  const auto tabCount = std::count_if(pane.tabs.begin(), pane.tabs.end(), Writable);
  const bool tabGroup = tabCount != 0;
  PutInt(out, pane.nId);
  PutInt(out, pane.nLeft);
  PutInt(out, pane.nTop);
  PutInt(out, pane.nWidth);
  PutInt(out, pane.nCreatedWidth);
  PutInt(out, pane.nHeight);
  PutInt(out, pane.nCreatedHeight);
  PutInt(out, pane.nShare);
  PutInt(out, pane.nExtent);
  PutInt(out, tabGroup ? tagLAYOUTPANE::kNoPane : LinkOf(pane.first));
  PutInt(out, tabGroup ? tagLAYOUTPANE::kNoPane : LinkOf(pane.second));
  PutInt(out, pane.nActiveTab);
  PutInt(out, int32_t(tabCount));
  PutInt(out, pane.bDockedRoot ? 1 : 0);
  PutInt(out, pane.nSide);
  PutInt(out, pane.nFlags);
  if (tabGroup) {
    for (const tagLAYOUTPANE& tab : pane.tabs)
      if (Writable(tab)) PutTree(out, tab);
    return;
  }
  if (LinkOf(pane.first) != tagLAYOUTPANE::kNoPane) PutTree(out, pane.first.front());
  if (LinkOf(pane.second) != tagLAYOUTPANE::kNoPane) PutTree(out, pane.second.front());
}

void PutList(std::string& out, const std::vector<tagLAYOUTPANE>& panes) {
  PutInt(out, int32_t(std::count_if(panes.begin(), panes.end(), Writable)));
  for (const tagLAYOUTPANE& pane : panes)
    if (Writable(pane)) PutTree(out, pane);
}

bool Exists(const MyString& path) {
  std::error_code error;
  return std::filesystem::exists(CStrAW::ToPath(path), error);
}

}  // namespace

int32_t CLayoutFile::GetNextRuntimePaneId() const {
  return int32_t(std::min<int64_t>(tagLAYOUTPANE::kLastFixedId + m_nRuntimeCount + 1,
                                   std::numeric_limits<int32_t>::max()));
}

CLayoutFile::READRESULT CLayoutFile::ReadBytes(std::string_view bytes) {
  m_layout = {};
  m_nRuntimeCount = 0;
  CLayoutReader reader(bytes, &m_nRuntimeCount);
  int32_t version = 0, count = 0;
  if (!reader.ReadHeader() || !reader.ReadInt(version) || version > kVersion ||
      !reader.ReadInt(count))
    return RR_DELETED;
  for (uint32_t i = 0; i < uint32_t(count); ++i) {
    const auto result = reader.ReadChild(m_layout.roots, 0);
    if (result == CLayoutReader::TREE_SHORT_RECORD) return RR_DELETED;
    if (result == CLayoutReader::TREE_DAMAGED) return RR_DAMAGED;
  }
  for (std::vector<tagLAYOUTPANE>& bar : m_layout.bars) {
    if (!reader.ReadInt(count)) return RR_DAMAGED;
    for (uint32_t i = 0; i < uint32_t(count); ++i) {
      if (reader.ReadChild(bar, 0) != CLayoutReader::TREE_READ) return RR_DAMAGED;
    }
  }
  return RR_READ;
}

CLayoutFile::READRESULT CLayoutFile::Read(const MyString& path, MyString* error) {
  m_layout = {};
  m_nRuntimeCount = 0;
  const MyString defaultPath = path + u".default";
  if (!Exists(path) && Exists(defaultPath)) {
    // Copied as a new file: the default itself is only read, and a layout
    // that turned up meanwhile is not overwritten.
    std::string bytes;
    tagATOMICWRITEOPTIONS options;
    options.nTarget = AT_CREATE_NEW;
    if (ReadWholeFile(defaultPath, &bytes, kMaxFileSize, error))
      WriteFileAtomicallyEx(path, bytes, options, error);
  }
  if (!Exists(path)) return RR_MISSING;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, kMaxFileSize, error)) return RR_DAMAGED;
  const READRESULT result = ReadBytes(bytes);
  if (result == RR_DELETED) {
    std::error_code removeError;
    std::filesystem::remove(CStrAW::ToPath(path), removeError);
  }
  return result;
}

std::string CLayoutFile::ToBytes() const {
  std::string out(kHeader, kHeaderSize);
  PutInt(out, kVersion);
  PutList(out, m_layout.roots);
  for (const std::vector<tagLAYOUTPANE>& bar : m_layout.bars) PutList(out, bar);
  return out;
}

int CLayoutFile::Write(const MyString& path, MyString* error) const {
  tagATOMICWRITEOPTIONS options;
  options.bReplaceReadOnly = true;
  return WriteFileAtomicallyEx(path, ToBytes(), options, error);
}
