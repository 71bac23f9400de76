#include "pixwork/listposition.h"

#include <algorithm>

#include "corekit/slidesfile.h"

using Guard = std::lock_guard<std::recursive_mutex>;

MyString CListPosition::GetCurrentPath() const {
  Guard guard(m_lock);
  return m_list.GetString(m_nCurrent);
}

void CListPosition::TakeCountFromList() {
  m_nLast = m_list.GetLengthFileList() - 1;
  m_bHasImage = m_list.GetLengthFileList() > 0;
}

void CListPosition::OpenFile(const MyString& path) {
  Guard guard(m_lock);
  m_bPortfolio = false;
  m_list.InitializeSortDir(path.GetStringPath(), 100);
  m_list.CreateSortedImageList();
  m_nCurrent = std::max(m_list.GetIndex(path), 0);
  TakeCountFromList();
}

void CListPosition::OpenFolder(const MyString& folder) {
  Guard guard(m_lock);
  m_bPortfolio = false;
  m_list.InitializeSortDir(folder, 100);
  m_list.CreateSortedImageList();
  m_nCurrent = 0;
  TakeCountFromList();
}

void CListPosition::OpenSingleFile(const MyString& path) {
  Guard guard(m_lock);
  m_bPortfolio = false;
  m_list.InitializeSortDir(path.GetStringPath(), 100);
  m_list.PushImage(path);
  m_nCurrent = 0;
  TakeCountFromList();
}

bool CListPosition::AdoptFolderList(SortDir& list, const MyString& keep) {
  Guard guard(m_lock);
  m_bPortfolio = false;
  m_list.Swap(list);
  TakeCountFromList();
  const int index = keep.IsEmpty() ? -1 : m_list.GetIndex(keep);
  m_nCurrent = index >= 0 ? index : std::max(std::min(m_nCurrent.load(), m_nLast.load()), 0);
  return index >= 0;
}

void CListPosition::FillPortfolio(const MyString& portfolio, const std::vector<MyString>& slides) {
  m_bPortfolio = true;
  m_strPortfolio = portfolio;
  m_list.InitializeSortDir(portfolio, 100);
  for (const MyString& slide : slides)
    if (!slide.IsEmpty()) m_list.PushImage(slide);
  // The portfolio's group covers its slides, so that removing it removes them.
  if (CInfoBrowse* group = m_list.GetInfoBrowse(0)) {
    group->nLast = m_list.GetLengthFileList() - 1;
    group->bHasFiles = group->nLast >= group->nFirst;
  }
}

void CListPosition::OpenPortfolio(const MyString& portfolio, const std::vector<MyString>& slides) {
  Guard guard(m_lock);
  FillPortfolio(portfolio, slides);
  m_nCurrent = 0;
  TakeCountFromList();
}

int CListPosition::Next(bool bRollOver) {
  Guard guard(m_lock);
  const int last = m_nLast;
  if (bRollOver) {
    if (last < 0) return 0;
    m_nCurrent = (m_nCurrent + 1) % (last + 1);
    return 1;
  }
  if (m_nCurrent >= last) return -1;
  ++m_nCurrent;
  return 1;
}

int CListPosition::Previous(bool bRollOver) {
  Guard guard(m_lock);
  const int last = m_nLast;
  if (bRollOver) {
    if (last < 0) return 0;
    m_nCurrent = (m_nCurrent + last) % (last + 1);
    return 1;
  }
  if (m_nCurrent < 1) return 0;
  --m_nCurrent;
  return 1;
}

bool CListPosition::First() {
  Guard guard(m_lock);
  if (!m_bHasImage) return false;
  m_nCurrent = 0;
  return true;
}

bool CListPosition::Last() {
  Guard guard(m_lock);
  if (!m_bHasImage) return false;
  m_nCurrent = m_nLast.load();
  return true;
}

bool CListPosition::JumpToLetter(char16_t letter) {
  Guard guard(m_lock);
  const int found = m_list.GetIndexFirstLater(letter, m_nCurrent + 1);
  if (found < 0) return false;
  m_nCurrent = found;
  return true;
}

bool CListPosition::SetCurrent(int index) {
  Guard guard(m_lock);
  if (index < 0 || index > m_nLast) return false;
  m_nCurrent = index;
  return true;
}

int CListPosition::Rescan() {
  Guard guard(m_lock);
  if (!m_bHasImage) return -1;
  if (m_bPortfolio) {
    CSlidesFile portfolio;
    std::vector<MyString> slides;
    if (portfolio.Load(m_strPortfolio))
      for (const CSlide& slide : portfolio.GetSlides()) slides.push_back(slide.strPath);
    FillPortfolio(m_strPortfolio, slides);
  } else {
    const MyString folder = m_list.GetDirectory();
    m_list.InitializeSortDir(folder, 100);
    m_list.CreateSortedImageList();
  }
  TakeCountFromList();
  m_nCurrent = std::max(std::min(m_nCurrent.load(), m_nLast.load()), 0);
  return m_bHasImage ? 1 : 0;
}

bool CListPosition::DeleteCurrent() {
  Guard guard(m_lock);
  const int old = m_nCurrent;
  if (m_list.DeleteFileW(old) != 1) return false;
  if (old == m_nLast) m_nCurrent = old - 1;
  TakeCountFromList();
  return m_bHasImage;
}

int CListPosition::RemoveGroup(int group) {
  Guard guard(m_lock);
  if (!m_list.GetInfoBrowse(group)) return 0;
  // Only entries that really go move the position.
  int first = 0, last = -1;
  if (m_list.GetGroupFileRange(group, &first, &last) && m_nCurrent >= first)
    m_nCurrent = last < m_nCurrent ? m_nCurrent - (last - first + 1) : first;
  m_list.Remove(group);
  TakeCountFromList();
  if (m_nCurrent > m_nLast) m_nCurrent = 0;
  return 1;
}

void CListPosition::AppendGroup(SortDir& source, const MyString& name, bool bShow) {
  Guard guard(m_lock);
  if (bShow) m_nCurrent = m_nLast.load();
  m_list.Append(source.GetEntries(), name);
  TakeCountFromList();
  if (bShow && m_nCurrent + 1 <= m_nLast) ++m_nCurrent;
}

void CListPosition::AddFolderGroup(const MyString& folder, bool bShow) {
  // Listed without the lock; only the append holds it.
  SortDir source;
  source.InitializeSortDir(folder, 10);
  source.CreateSortedImageList();
  AppendGroup(source, source.GetDirectory(), bShow);
}

void CListPosition::AddPortfolioGroup(const MyString& portfolio,
                                      const std::vector<MyString>& slides, bool bShow) {
  SortDir source;
  for (const MyString& slide : slides)
    if (!slide.IsEmpty()) source.PushImage(slide);
  AppendGroup(source, portfolio, bShow);
}

void CListPosition::Clear() {
  Guard guard(m_lock);
  m_list.RemoveAll();
  m_bPortfolio = false;
  m_strPortfolio = MyString();
  m_nCurrent = 0;
  TakeCountFromList();
}
