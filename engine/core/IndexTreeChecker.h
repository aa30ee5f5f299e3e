#pragma once

// Verifies one index tree and the file's free-page chain without trusting
// them: every problem found becomes one line of the report, damage never
// raises or hangs. Used by the tests after random changes and meant for the
// engine's verify operation.
//
// A sound tree: root of type 0 or 3 and every other page of type 1 or 2; no
// page reached twice; no empty page; all leaves at one depth; keys strictly
// ascending within and across pages; every interior key equal to the first
// key of its child; subtree counts equal to the keys below (when kept);
// pages within capacity; on every level prev/next links in key order with 0
// at both ends.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/core/IndexPageStore.h"
#include "engine/core/KeyBuilder.h"
#include "engine/core/KeyComparer.h"

namespace keel {

class TIndexTreeChecker {
 public:
  // `store` and `comparer` must outlive the checker.
  TIndexTreeChecker(TIndexPageStore& store, const TKeyComparer& comparer)
      : store_(store), comparer_(comparer) {}

  // Problems of the tree; empty when it is sound.
  std::vector<std::string> check();
  // Pages the last check() found in the tree.
  const std::set<int32_t>& pagesInUse() const { return inUse_; }
  int64_t keyCount() const { return keys_; }

  // Problems of the free chain starting at `head`: pages outside the file,
  // in use, with entries, or met twice. With `everyPageInUse` (the pages of
  // all trees of the file), pages that are neither in use nor free are
  // reported as lost.
  static std::vector<std::string> checkFreeChain(TIndexPageStore& store, int32_t head,
                                                 const std::set<int32_t>* everyPageInUse);

 private:
  struct Summary {
    int64_t keys = 0;
    KeyBuffer firstKey;
    KeyBuffer lastKey;
    bool ok = false;
  };

  Summary visit(int32_t number, size_t depth);
  void checkLevelLinks();
  void problem(std::string text) { problems_.push_back(std::move(text)); }

  TIndexPageStore& store_;
  const TKeyComparer& comparer_;
  std::vector<std::string> problems_;
  std::set<int32_t> inUse_;
  std::vector<std::vector<int32_t>> levels_;  // pages of each depth, in key order
  size_t leafDepth_ = 0;
  int64_t keys_ = 0;
};

}  // namespace keel
