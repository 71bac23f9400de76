// Arbitrary bytes as a favorites file: reading must not crash or hang, the
// tree read must keep its orders whole at every level, and what is written
// from it must read back without loss and write out the same again.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "nestbook/favoritesfile.h"

namespace {

bool IsSound(const CFavoritesNode* node) {
  const size_t count = node->vChildren.size();
  std::vector<bool> sortSeen(count + 1), posSeen(count + 1);
  for (const CFavoritesNode* child : node->vChildren) {
    if (!child || child->pParent != node || child->nLevel != node->nLevel + 1) return false;
    if (child->nSortIndex < 1 || child->nSortIndex > count || sortSeen[child->nSortIndex])
      return false;
    if (child->nPosIndex < 1 || child->nPosIndex > count || posSeen[child->nPosIndex]) return false;
    sortSeen[child->nSortIndex] = posSeen[child->nPosIndex] = true;
    if (!IsSound(child)) return false;
  }
  return true;
}

struct Loaded {
  tagFAVORITESDATA data;
  explicit Loaded(const std::string& text) {
    data.pRoot = CFavoritesNode::CreateRoot();
    std::istringstream stream(text);
    FTLoadDataFromStream(stream, &data);
  }
  ~Loaded() { delete data.pRoot; }
  std::string Save(const CFavoritesNode* root) const {
    std::ostringstream out;
    FTSaveDataToStream(out, root, data.nBrowseIndex, data.nImageIndex);
    return out.str();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Loaded first(std::string(reinterpret_cast<const char*>(data), size));
  if (!IsSound(first.data.pRoot)) std::abort();
  const std::string text = first.Save(first.data.pRoot);

  const Loaded second(text);
  if (second.data.bDamaged || second.Save(second.data.pRoot) != text) std::abort();
  if (second.data.nBrowseIndex != first.data.nBrowseIndex ||
      second.data.nImageIndex != first.data.nImageIndex)
    std::abort();

  const std::unique_ptr<CFavoritesNode> copy(new CFavoritesNode(*first.data.pRoot));
  if (first.Save(copy.get()) != text) std::abort();
  return 0;
}
