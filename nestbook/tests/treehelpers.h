#pragma once
// Helpers of the favorites tree tests: building nodes and checking the
// invariants every operation must keep.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nestbook/favoritesnode.h"

using RootPtr = std::unique_ptr<CFavoritesNode>;

inline RootPtr NewRoot() { return RootPtr(CFavoritesNode::CreateRoot()); }

// A child made as the favorites pane makes one; null when refused.
inline CFavoritesNode* Add(CFavoritesNode* parent, const char16_t* name, int32_t type,
                           const char16_t* path = nullptr) {
  const auto it = parent->CreateChildNodeSorted(path, name, type);
  return it == parent->vChildren.end() ? nullptr : *it;
}

inline std::string Utf8(const CFavoritesNode* node) { return node->GetName().ToUtf8(); }

// Names in sequence order.
inline std::vector<std::string> Sequence(const CFavoritesNode* node) {
  std::vector<std::string> names;
  for (const CFavoritesNode* child : node->vChildren) names.push_back(Utf8(child));
  return names;
}

// Names in display order, as the tree control walks them.
inline std::vector<std::string> Display(CFavoritesNode* node) {
  std::vector<std::string> names;
  for (uint32_t pos = 1; CFavoritesNode* child = node->FindPosIndex(pos); ++pos)
    names.push_back(Utf8(child));
  return names;
}

// Parent links, levels, and both orders without gaps or repeats at every
// level; with inSequence, the sort indexes also follow the sequence.
inline ::testing::AssertionResult TreeIsSound(const CFavoritesNode* node, bool inSequence = true) {
  const size_t count = node->vChildren.size();
  std::vector<int> sortSeen(count + 1, 0), posSeen(count + 1, 0);
  for (size_t i = 0; i < count; ++i) {
    const CFavoritesNode* child = node->vChildren[i];
    if (!child) return ::testing::AssertionFailure() << "empty slot below " << Utf8(node);
    if (child->pParent != node) return ::testing::AssertionFailure() << Utf8(child) << ": parent";
    if (child->nLevel != node->nLevel + 1)
      return ::testing::AssertionFailure() << Utf8(child) << ": level " << child->nLevel;
    if (child->nSortIndex < 1 || child->nSortIndex > count || sortSeen[child->nSortIndex]++)
      return ::testing::AssertionFailure() << Utf8(child) << ": sort index " << child->nSortIndex;
    if (inSequence && child->nSortIndex != i + 1)
      return ::testing::AssertionFailure() << Utf8(child) << ": sort index out of sequence";
    if (child->nPosIndex < 1 || child->nPosIndex > count || posSeen[child->nPosIndex]++)
      return ::testing::AssertionFailure() << Utf8(child) << ": position " << child->nPosIndex;
    if (auto result = TreeIsSound(child, inSequence); !result) return result;
  }
  return ::testing::AssertionSuccess();
}
