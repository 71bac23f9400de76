#include "collections/favoritesbrowsing.h"

#include <algorithm>

void CFavoritesBrowsing::SetRoot(CFavoritesNode* root) {
  m_pRoot = root;
  m_entries.clear();
  m_nCurrent = -1;
  m_nLastSelection = 0;
}

CFavoritesNode* CFavoritesBrowsing::GetCurrentNode() const {
  return m_nCurrent >= 0 && m_nCurrent < GetCount() ? m_entries[size_t(m_nCurrent)] : nullptr;
}

int CFavoritesBrowsing::IndexOf(const CFavoritesNode* node) const {
  const auto found = std::find(m_entries.begin(), m_entries.end(), node);
  return found == m_entries.end() ? -1 : int(found - m_entries.begin());
}

void CFavoritesBrowsing::Clear() {
  if (m_pRoot) m_pRoot->RemoveAllSelections();
  for (CFavoritesNode* node : m_entries) node->nSelection = 0;
  m_entries.clear();
  m_nCurrent = -1;
  m_nLastSelection = 0;
}

int CFavoritesBrowsing::Select(CFavoritesNode* node) {
  if (!node || node->nType == FAV_TYPE_FOLDER) return 0;
  Clear();
  Append(node);
  node->nSelection = ++m_nLastSelection;
  m_nCurrent = 0;
  return 1;
}

int CFavoritesBrowsing::Toggle(CFavoritesNode* node) {
  if (!node || node->nType == FAV_TYPE_FOLDER) return 0;
  if (node->nSelection > 0 && IndexOf(node) >= 0) return Deselect(node) ? -1 : 0;
  node->nSelection = ++m_nLastSelection;
  m_entries.push_back(node);
  m_nCurrent = GetCount() - 1;
  return 1;
}

int CFavoritesBrowsing::Deselect(CFavoritesNode* node) {
  if (!node || node->nSelection <= 0) return 0;
  const int32_t selection = node->nSelection;
  node->nSelection = 0;
  node->RemoveSelection(selection);
  // Numbers above it close the gap, in the whole tree and the counter.
  if (m_pRoot) m_pRoot->RecalculateSelections(selection);
  if (selection <= m_nLastSelection) --m_nLastSelection;
  const int index = IndexOf(node);
  if (index < 0) return 1;
  m_entries.erase(m_entries.begin() + index);
  if (m_nCurrent > index) --m_nCurrent;
  m_nCurrent = m_entries.empty() ? -1 : std::min(m_nCurrent, GetCount() - 1);
  return 1;
}

void CFavoritesBrowsing::Forget(const CFavoritesNode* gone, int32_t selection) {
  const int index = IndexOf(gone);
  if (index < 0) return;
  m_entries.erase(m_entries.begin() + index);
  if (m_nCurrent > index) --m_nCurrent;
  m_nCurrent = m_entries.empty() ? -1 : std::min(m_nCurrent, GetCount() - 1);
  if (selection <= 0) return;
  if (m_pRoot) m_pRoot->RecalculateSelections(selection);
  if (selection <= m_nLastSelection) --m_nLastSelection;
}

int CFavoritesBrowsing::SelectRange(const std::vector<CFavoritesNode*>& fromLastToClicked) {
  Clear();
  for (CFavoritesNode* node : fromLastToClicked) {
    if (!node || node->nType == FAV_TYPE_FOLDER) continue;
    node->nSelection = ++m_nLastSelection;
    m_entries.push_back(node);
  }
  m_nCurrent = m_entries.empty() ? -1 : 0;
  return GetCount();
}

void CFavoritesBrowsing::SelectWithSubfolders(CFavoritesNode* node) {
  if (!node) return;
  if (node->nSelection <= 0) node->nSelection = ++m_nLastSelection;
  node->SelectChilds();
  if (IndexOf(node) < 0) m_entries.push_back(node);
  m_nCurrent = IndexOf(node);
}

void CFavoritesBrowsing::Append(CFavoritesNode* node) {
  if (!node || IndexOf(node) >= 0) return;
  m_entries.push_back(node);
  m_nLastSelection = std::max(m_nLastSelection, node->nSelection);
}

namespace {

void CollectSelected(CFavoritesNode* node, CFavoritesBrowsing* browsing) {
  for (uint32_t pos = 1; CFavoritesNode* child = node->FindPosIndex(pos); ++pos) {
    if (child->bDeleted) continue;
    if (child->nSelection > 0) browsing->Append(child);
    if (child->bExpanded) CollectSelected(child, browsing);
  }
}

}  // namespace

void CFavoritesBrowsing::LoadFromTree(CFavoritesNode* root, int storedIndex) {
  SetRoot(root);
  if (root) CollectSelected(root, this);
  SetStoredIndex(storedIndex);
}

void CFavoritesBrowsing::SetStoredIndex(int index) {
  m_nCurrent = index >= 0 && index < GetCount() ? index : -1;
}

CFavoritesNode* CFavoritesBrowsing::Next() {
  if (GetCount() < 2) return nullptr;
  m_nCurrent = m_nCurrent + 1 >= GetCount() ? 0 : m_nCurrent + 1;
  return m_entries[size_t(m_nCurrent)];
}

CFavoritesNode* CFavoritesBrowsing::Previous() {
  if (GetCount() < 2) return nullptr;
  m_nCurrent = m_nCurrent <= 0 ? GetCount() - 1 : m_nCurrent - 1;
  return m_entries[size_t(m_nCurrent)];
}
