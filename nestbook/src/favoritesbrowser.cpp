#include "nestbook/favoritesbrowser.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "corekit/platform.h"
#include "corekit/slidesfile.h"
#include "corekit/straw.h"
#include "nodehelpers.h"

namespace {

const std::vector<CFavFileType> kFileTypes = [] {
  const std::pair<const char16_t*, const char16_t*> rows[] = {
      {u"LRM Portfolio Files", u"lrm"}, {u"DICOM Files", u"dcm"}, {u"Photoshop Files", u"psd"},
      {u"HDF Files", u"hdf"},           {u"GIF Files", u"gif"},   {u"JP2 Files", u"jp2"},
      {u"TIF Files", u"tif"},           {u"PPM Files", u"ppm"},   {u"PNM Files", u"pnm"},
      {u"PGM Files", u"pgm"},           {u"PNG Files", u"png"},   {u"JPEG Files", u"jpeg"},
      {u"JPG Files", u"jpg"},           {u"Bitmap files", u"bmp"}};
  std::vector<CFavFileType> types{{u"Supported Formats", {}}};
  for (const auto& [text, extension] : rows) {
    types.push_back({CStrAW::printf(u"%s (*.%s)", text, extension), {extension}});
    types.front().extensions.push_back(extension);
  }
  return types;
}();

bool IsPortfolioFile(const MyString& path) {
  return path.GetStringExtension().EqualsNoCase(u".lrm");
}

CBrowseEntry::Kind KindOf(const CFavoritesNode* node) {
  if (node->nType == FAV_TYPE_DIRECTORY) return CBrowseEntry::kDirectory;
  if (node->nType == FAV_TYPE_PORTFOLIO) return CBrowseEntry::kPortfolio;
  return CBrowseEntry::kFolder;
}

// Children in display order, without the hidden ones.
std::vector<CFavoritesNode*> ShownChildren(CFavoritesNode* node) {
  std::vector<CFavoritesNode*> shown;
  for (uint32_t pos = 1;; ++pos) {
    CFavoritesNode* child = node->FindPosIndex(pos);
    if (!child) break;
    if (!child->bDeleted) shown.push_back(child);
  }
  return shown;
}

void SortByName(std::vector<CBrowseEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.strName.Compare(b.strName) < 0; });
}

}  // namespace

const std::vector<CFavFileType>& GetSelFromFavFileTypes() { return kFileTypes; }

CFavoritesBrowser::CFavoritesBrowser(CFavoritesNode* root) : m_pRoot(root), m_pNode(root) {}

void CFavoritesBrowser::PlaceAt(CFavoritesNode* node) {
  m_pNode = node;
  m_strPlace = node->nType == FAV_TYPE_FOLDER ? MyString() : TrimFolderPath(node->GetPath());
  m_bPortfolioPlace = node->nType == FAV_TYPE_PORTFOLIO;
}

bool CFavoritesBrowser::IsInPortfolio() const { return m_bPortfolioPlace; }

bool CFavoritesBrowser::Accepts(const MyString& path) const {
  if (m_extensions.empty()) return true;
  const MyString extension = path.GetStringExtension();
  if (extension.IsEmpty()) return false;
  const MyString bare = extension.Mid(1);
  return std::any_of(m_extensions.begin(), m_extensions.end(),
                     [&](const MyString& wanted) { return bare.EqualsNoCase(wanted); });
}

MyString CFavoritesBrowser::GetPlaceName() const {
  if (m_strPlace.IsEmpty() || m_strPlace == TrimFolderPath(m_pNode->GetPath()))
    return m_pNode->GetName();
  MyString name;
  FolderGetName(m_strPlace.c_str(), &name);
  return name;
}

std::vector<CBrowseEntry> CFavoritesBrowser::GetEntries() const {
  std::vector<CBrowseEntry> entries;
  if (m_strPlace.IsEmpty()) {
    for (CFavoritesNode* child : ShownChildren(m_pNode))
      entries.push_back({KindOf(child), child->GetName(), child->GetPath(), child});
    return entries;
  }
  if (IsInPortfolio()) {
    CSlidesFile slides;
    slides.Load(m_strPlace);
    for (const CSlide& slide : slides.GetSlides())
      if (!slide.strPath.IsEmpty() && Accepts(slide.strPath))
        entries.push_back({CBrowseEntry::kFile, slide.strPath.GetStringTitleExt(), slide.strPath});
    return entries;
  }

  std::vector<CBrowseEntry> folders, files;
  DIR* dir = opendir(CStrAW::w_toA(m_strPlace).c_str());
  if (!dir) return entries;
  while (const dirent* item = readdir(dir)) {
    if (item->d_name[0] == '.' || !CStrAW::IsValidUtf8(item->d_name)) continue;
    const MyString name = CStrAW::a_toW(item->d_name);
    const MyString path = JoinPath(m_strPlace, name);
    CFileInfo info;
    if (!GetFileInfo(path, &info)) continue;
    if (info.bDirectory)
      folders.push_back({CBrowseEntry::kDirectory, name, path});
    else if (Accepts(path))
      files.push_back(
          {IsPortfolioFile(path) ? CBrowseEntry::kPortfolio : CBrowseEntry::kFile, name, path});
  }
  closedir(dir);
  SortByName(folders);
  SortByName(files);
  entries = std::move(folders);
  entries.insert(entries.end(), files.begin(), files.end());
  return entries;
}

std::vector<CLookInEntry> CFavoritesBrowser::GetLookInEntries() const {
  std::vector<CLookInEntry> entries;
  struct Step {
    CFavoritesNode* node;
    int depth;
  };
  std::vector<Step> pending{{m_pRoot, 0}};
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    entries.push_back({step.node, step.node->GetPath(), step.node->GetName(), step.depth});
    if (step.node == m_pNode && !m_strPlace.IsEmpty()) {
      // The folders on disk from the favorite down to the one shown.
      const MyString top = TrimFolderPath(m_pNode->GetPath());
      std::vector<MyString> below;
      for (MyString folder = m_strPlace; folder.GetLength() > top.GetLength();
           folder = folder.GetStringPath())
        below.push_back(folder);
      int depth = step.depth;
      for (auto it = below.rbegin(); it != below.rend(); ++it) {
        MyString name;
        FolderGetName(it->c_str(), &name);
        entries.push_back({nullptr, *it, name, ++depth});
      }
    }
    if (step.node->nType != FAV_TYPE_FOLDER) continue;
    const std::vector<CFavoritesNode*> children = ShownChildren(step.node);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.push_back({*it, step.depth + 1});
  }
  return entries;
}

int CFavoritesBrowser::Open(const CBrowseEntry& entry) {
  if (entry.pNode) {
    if (entry.pNode->nType != FAV_TYPE_FOLDER && !entry.pNode->HasPath()) return 0;
    PlaceAt(entry.pNode);
    return 1;
  }
  if (entry.nKind != CBrowseEntry::kDirectory && entry.nKind != CBrowseEntry::kPortfolio) return 0;
  // A folder or portfolio file on disk below the favorite shown; "Up" climbs
  // back to the favorite, so nothing outside it can be entered.
  if (m_pNode->nType != FAV_TYPE_DIRECTORY || !FolderHolds(m_pNode->GetPath(), entry.strPath))
    return 0;
  m_strPlace = TrimFolderPath(entry.strPath);
  m_bPortfolioPlace = entry.nKind == CBrowseEntry::kPortfolio;
  return 1;
}

int CFavoritesBrowser::GoTo(const CLookInEntry& entry) {
  if (entry.pNode) return Open({KindOf(entry.pNode), entry.strName, entry.strPath, entry.pNode});
  return Open({CBrowseEntry::kDirectory, entry.strName, entry.strPath});
}

int CFavoritesBrowser::Up() {
  const MyString top = TrimFolderPath(m_pNode->GetPath());
  if (!m_strPlace.IsEmpty() && !(m_strPlace == top)) {
    m_strPlace = m_strPlace.GetStringPath();
    m_bPortfolioPlace = false;
    return 1;
  }
  if (!m_pNode->pParent) return 0;
  PlaceAt(m_pNode->pParent);
  return 1;
}

CBrowseEntry CFavoritesBrowser::Resolve(const MyString& text) const {
  if (text.IsEmpty()) return {};
  for (const CBrowseEntry& entry : GetEntries())
    if (entry.strName == text) return entry;
  MyString path = text;
  if (text[0] != u'/') {
    if (m_strPlace.IsEmpty() || IsInPortfolio()) return {};
    path = JoinPath(m_strPlace, text);
  }
  CFileInfo info;
  if (!GetFileInfo(path, &info)) return {CBrowseEntry::kFile, text, MyString()};
  if (info.bDirectory) return {CBrowseEntry::kDirectory, text, path};
  return {IsPortfolioFile(path) ? CBrowseEntry::kPortfolio : CBrowseEntry::kFile, text, path};
}
