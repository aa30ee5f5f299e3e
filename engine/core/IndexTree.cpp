#include "engine/core/IndexTree.h"

#include "engine/core/ErrorCodes.h"

namespace keel {

// Lets the store drop the pages of an operation however it ends.
class TIndexTree::OperationGuard {
 public:
  explicit OperationGuard(TIndexPageStore& store) : store_(store) {}
  ~OperationGuard() { store_.operationDone(); }
  OperationGuard(const OperationGuard&) = delete;
  OperationGuard& operator=(const OperationGuard&) = delete;

 private:
  TIndexPageStore& store_;
};

TIndexTree::TIndexTree(TIndexPageStore& store, const IndexDescriptor& index, const TKeyComparer& comparer,
                       std::string tableName)
    : store_(store),
      index_(index),
      geometry_(store.geometry()),
      comparer_(comparer),
      tableName_(std::move(tableName)) {}

void TIndexTree::corrupt() const {
  raise(ErrorCode::KEEL_INDEXCORRUPT, {.table = tableName_});
}

// A page reached by descending: a root exactly where the root is expected,
// never empty.
TIndexPage& TIndexTree::treePage(int32_t number, bool root) {
  TIndexPage& page = store_.page(number);
  if (page.isRoot() != root || page.count() == 0 || page.type() == IndexPageType::FullText) corrupt();
  return page;
}

TIndexPage& TIndexTree::leafAt(IndexEntryRef at) {
  TIndexPage& page = store_.page(at.page);
  if (!page.isLeaf() || at.index < 0 || at.index >= page.count()) corrupt();
  return page;
}

TIndexTree::Path TIndexTree::descend(std::span<const uint8_t> key, size_t length, Bound bound) {
  Path path;
  int32_t number = store_.root();
  if (number == 0) return path;
  for (;;) {
    if (path.size() >= static_cast<size_t>(index_layout::kMaxDepth)) corrupt();
    TIndexPage& page = treePage(number, path.empty());
    // Lower: entries before `i` compare < key; Upper: <= key.
    int lo = 0;
    int hi = page.count();
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      const int r = comparer_.compare(page.key(mid), key, length);
      if (r < 0 || (bound == Bound::Upper && r == 0)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (page.isLeaf()) {
      path.push_back({number, lo});
      return path;
    }
    const int chosen = lo > 0 ? lo - 1 : 0;
    path.push_back({number, chosen});
    number = page.pointer(chosen);
  }
}

TIndexTree::Path TIndexTree::edgePath(bool rightmost) {
  Path path;
  int32_t number = store_.root();
  if (number == 0) return path;
  for (;;) {
    if (path.size() >= static_cast<size_t>(index_layout::kMaxDepth)) corrupt();
    TIndexPage& page = treePage(number, path.empty());
    const int i = rightmost ? page.count() - 1 : 0;
    path.push_back({number, i});
    if (page.isLeaf()) return path;
    number = page.pointer(i);
  }
}

void TIndexTree::checkedLink(TIndexPage& from, TIndexPage& to, bool forward) const {
  // Keys must keep rising along the links: a cycle can never pass this.
  const bool linked = forward ? to.prev() == from.number() : to.next() == from.number();
  if (!to.isLeaf() || to.isRoot() || to.count() == 0 || !linked) corrupt();
  const int order = forward ? comparer_.compare(from.key(from.count() - 1), to.key(0))
                            : comparer_.compare(to.key(to.count() - 1), from.key(0));
  if (order >= 0) corrupt();
}

IndexEntryRef TIndexTree::stepNext(TIndexPage& leaf) {
  if (leaf.next() == 0) return {};
  TIndexPage& next = store_.page(leaf.next());
  checkedLink(leaf, next, true);
  return {next.number(), 0};
}

IndexEntryRef TIndexTree::stepPrior(TIndexPage& leaf) {
  if (leaf.prev() == 0) return {};
  TIndexPage& prior = store_.page(leaf.prev());
  checkedLink(leaf, prior, false);
  return {prior.number(), prior.count() - 1};
}

IndexEntryRef TIndexTree::first() {
  OperationGuard guard(store_);
  const Path path = edgePath(false);
  return path.empty() ? IndexEntryRef{} : IndexEntryRef{path.back().page, path.back().index};
}

IndexEntryRef TIndexTree::last() {
  OperationGuard guard(store_);
  const Path path = edgePath(true);
  return path.empty() ? IndexEntryRef{} : IndexEntryRef{path.back().page, path.back().index};
}

IndexEntryRef TIndexTree::next(IndexEntryRef at) {
  OperationGuard guard(store_);
  TIndexPage& leaf = leafAt(at);
  if (at.index + 1 < leaf.count()) return {at.page, at.index + 1};
  return stepNext(leaf);
}

IndexEntryRef TIndexTree::prior(IndexEntryRef at) {
  OperationGuard guard(store_);
  TIndexPage& leaf = leafAt(at);
  if (at.index > 0) return {at.page, at.index - 1};
  return stepPrior(leaf);
}

IndexEntryRef TIndexTree::seek(std::span<const uint8_t> key, size_t length) {
  OperationGuard guard(store_);
  const Path path = descend(key, length, Bound::Lower);
  if (path.empty()) return {};
  TIndexPage& leaf = store_.page(path.back().page);
  if (path.back().index < leaf.count()) return {leaf.number(), path.back().index};
  return stepNext(leaf);
}

IndexEntryRef TIndexTree::seekLast(std::span<const uint8_t> key, size_t length) {
  OperationGuard guard(store_);
  const Path path = descend(key, length, Bound::Upper);
  if (path.empty()) return {};
  TIndexPage& leaf = store_.page(path.back().page);
  if (path.back().index > 0) return {leaf.number(), path.back().index - 1};
  return stepPrior(leaf);
}

IndexEntryRef TIndexTree::find(std::span<const uint8_t> key) {
  const IndexEntryRef at = seek(key);
  if (!at.valid()) return {};
  OperationGuard guard(store_);
  return comparer_.compare(leafAt(at).key(at.index), key) == 0 ? at : IndexEntryRef{};
}

KeyBuffer TIndexTree::keyAt(IndexEntryRef at) {
  OperationGuard guard(store_);
  const auto key = leafAt(at).key(at.index);
  return {key.begin(), key.end()};
}

int32_t TIndexTree::rowAt(IndexEntryRef at) {
  OperationGuard guard(store_);
  return leafAt(at).pointer(at.index);
}

// ---- positions and counts ----

int64_t TIndexTree::rankOf(const Path& path) {
  int64_t rank = 0;
  for (size_t level = 0; level + 1 < path.size(); ++level) {
    TIndexPage& page = store_.page(path[level].page);
    for (int i = 0; i < path[level].index; ++i) rank += page.subtreeCount(i);
  }
  return path.empty() ? 0 : rank + path.back().index;
}

// Counting along the leaves, for indexes without subtree counts.
int64_t TIndexTree::walkCount(std::span<const uint8_t> key, size_t length, Bound bound) {
  const Path path = edgePath(false);
  if (path.empty()) return 0;
  int64_t total = 0;
  IndexEntryRef at{path.back().page, 0};
  while (at.valid()) {
    TIndexPage& leaf = store_.page(at.page);
    for (int i = 0; i < leaf.count(); ++i) {
      const int r = key.empty() ? -1 : comparer_.compare(leaf.key(i), key, length);
      if (r > 0 || (r == 0 && bound == Bound::Lower)) return total;
      ++total;
    }
    at = stepNext(leaf);
  }
  return total;
}

int64_t TIndexTree::count() {
  OperationGuard guard(store_);
  if (store_.root() == 0) return 0;
  if (!geometry_.statistics) return walkCount({}, kWholeKey, Bound::Upper);
  return treePage(store_.root(), true).keyCount();
}

int64_t TIndexTree::countLess(std::span<const uint8_t> key, size_t length) {
  OperationGuard guard(store_);
  if (!geometry_.statistics) return walkCount(key, length, Bound::Lower);
  return rankOf(descend(key, length, Bound::Lower));
}

int64_t TIndexTree::countLessOrEqual(std::span<const uint8_t> key, size_t length) {
  OperationGuard guard(store_);
  if (!geometry_.statistics) return walkCount(key, length, Bound::Upper);
  return rankOf(descend(key, length, Bound::Upper));
}

int64_t TIndexTree::countRange(std::span<const uint8_t> low, size_t lowLength, std::span<const uint8_t> high,
                               size_t highLength) {
  const int64_t n = countLessOrEqual(high, highLength) - countLess(low, lowLength);
  return n > 0 ? n : 0;
}

int64_t TIndexTree::positionOf(IndexEntryRef at) {
  return countLess(keyAt(at)) + 1;
}

IndexEntryRef TIndexTree::entryAt(int64_t position) {
  OperationGuard guard(store_);
  if (position < 1 || store_.root() == 0) return {};
  if (!geometry_.statistics) {
    const Path path = edgePath(false);
    IndexEntryRef at{path.back().page, 0};
    while (at.valid()) {
      TIndexPage& leaf = store_.page(at.page);
      if (position <= leaf.count()) return {at.page, static_cast<int>(position - 1)};
      position -= leaf.count();
      at = stepNext(leaf);
    }
    return {};
  }
  int32_t number = store_.root();
  for (int depth = 0;; ++depth) {
    if (depth >= index_layout::kMaxDepth) corrupt();
    TIndexPage& page = treePage(number, depth == 0);
    if (page.isLeaf()) {
      return position <= page.count() ? IndexEntryRef{number, static_cast<int>(position - 1)}
                                      : IndexEntryRef{};
    }
    int i = 0;
    while (i < page.count() && position > page.subtreeCount(i)) position -= page.subtreeCount(i++);
    if (i == page.count()) return {};
    number = page.pointer(i);
  }
}

// ---- insertion ----

void TIndexTree::insert(std::span<const uint8_t> key, int32_t row) {
  OperationGuard guard(store_);
  if (key.size() != geometry_.keySize) corrupt();
  if (store_.root() == 0) {
    TIndexPage& page = store_.allocatePage();
    page.setType(IndexPageType::LeafRoot);
    page.setPrev(0);
    page.setNext(0);
    page.insert(0, key, row, 0);
    store_.markModified(page);
    store_.setRoot(page.number());
    return;
  }
  Path path = descend(key, kWholeKey, Bound::Upper);
  TIndexPage& leaf = store_.page(path.back().page);
  const int at = path.back().index;
  if (at > 0 && comparer_.compare(leaf.key(at - 1), key) == 0) {
    raise(ErrorCode::KEEL_KEYVIOL, {.table = tableName_, .index = index_.name});
  }
  insertAt(path, key, row);
}

void TIndexTree::insertAt(Path& path, std::span<const uint8_t> key, int32_t row) {
  adjustCounts(path, +1);
  const size_t leafLevel = path.size() - 1;
  TIndexPage& leaf = store_.page(path[leafLevel].page);
  leaf.insert(path[leafLevel].index, key, row, 0);
  store_.markModified(leaf);
  if (path[leafLevel].index == 0) propagateFirstKey(path, leafLevel);
  splitIfNeeded(path, leafLevel);
}

void TIndexTree::adjustCounts(const Path& path, int delta) {
  if (!geometry_.statistics) return;
  for (size_t level = 0; level + 1 < path.size(); ++level) {
    TIndexPage& page = store_.page(path[level].page);
    page.setSubtreeCount(path[level].index, page.subtreeCount(path[level].index) + delta);
    store_.markModified(page);
  }
}

// The page at `level` got a new first key: its parent entry follows, and so
// on upwards while the changed entry is the first of its page.
void TIndexTree::propagateFirstKey(const Path& path, size_t level) {
  while (level > 0) {
    TIndexPage& child = store_.page(path[level].page);
    TIndexPage& parent = store_.page(path[level - 1].page);
    parent.setKey(path[level - 1].index, child.key(0));
    store_.markModified(parent);
    if (path[level - 1].index != 0) return;
    --level;
  }
}

void TIndexTree::setCount(TIndexPage& parent, int index, const TIndexPage& child) {
  if (geometry_.statistics) parent.setSubtreeCount(index, static_cast<int32_t>(child.keyCount()));
}

void TIndexTree::splitIfNeeded(Path& path, size_t level) {
  TIndexPage& left = store_.page(path[level].page);
  if (left.fits()) return;
  const bool wasRoot = left.isRoot();
  const bool leaf = left.isLeaf();
  TIndexPage& right = store_.allocatePage();
  right.setType(leaf ? IndexPageType::Leaf : IndexPageType::Interior);
  left.setType(right.type());
  left.moveTailTo((left.count() + 1) / 2, right);
  if (leaf && geometry_.compressesLeaves()) balanceCompressedSplit(left, right);

  right.setPrev(left.number());
  right.setNext(left.next());
  if (left.next() != 0) {
    TIndexPage& after = store_.page(left.next());
    after.setPrev(right.number());
    store_.markModified(after);
  }
  left.setNext(right.number());
  store_.markModified(left);
  store_.markModified(right);

  if (wasRoot) {
    TIndexPage& root = store_.allocatePage();
    root.setType(IndexPageType::InteriorRoot);
    root.setPrev(0);
    root.setNext(0);
    root.insert(0, left.key(0), left.number(), 0);
    root.insert(1, right.key(0), right.number(), 0);
    setCount(root, 0, left);
    setCount(root, 1, right);
    store_.markModified(root);
    store_.setRoot(root.number());
    return;
  }
  TIndexPage& parent = store_.page(path[level - 1].page);
  const int at = path[level - 1].index;
  setCount(parent, at, left);
  parent.insert(at + 1, right.key(0), right.number(), 0);
  setCount(parent, at + 1, right);
  store_.markModified(parent);
  splitIfNeeded(path, level - 1);
}

// Packed sizes depend on neighbouring keys, so an even split by count may
// leave one half too big: move entries across one at a time until both fit.
void TIndexTree::balanceCompressedSplit(TIndexPage& left, TIndexPage& right) {
  while (!left.fits() && left.count() > 1) left.moveTailTo(left.count() - 1, right);
  while (!right.fits() && right.count() > 1) right.moveHeadTo(1, left);
  if (!left.fits() || !right.fits()) corrupt();
}

// ---- deletion ----

bool TIndexTree::remove(std::span<const uint8_t> key, int32_t row) {
  OperationGuard guard(store_);
  if (key.size() != geometry_.keySize) return false;
  Path path = descend(key, kWholeKey, Bound::Upper);
  if (path.empty()) return false;
  TIndexPage& leaf = store_.page(path.back().page);
  const int at = path.back().index - 1;
  if (at < 0 || comparer_.compare(leaf.key(at), key) != 0 || leaf.pointer(at) != row) return false;
  path.back().index = at;
  removeAt(path);
  return true;
}

void TIndexTree::removeAt(Path& path) {
  adjustCounts(path, -1);
  const size_t leafLevel = path.size() - 1;
  TIndexPage& leaf = store_.page(path[leafLevel].page);
  leaf.erase(path[leafLevel].index);
  store_.markModified(leaf);
  if (leaf.count() > 0) {
    if (path[leafLevel].index == 0) propagateFirstKey(path, leafLevel);
    return;
  }
  if (leafLevel == 0) {
    store_.freePage(leaf);
    store_.setRoot(0);
    return;
  }
  unlink(leaf);
  store_.freePage(leaf);
  removeFromInterior(path, leafLevel - 1);
}

void TIndexTree::unlink(TIndexPage& page) {
  if (page.prev() != 0) {
    TIndexPage& before = store_.page(page.prev());
    before.setNext(page.next());
    store_.markModified(before);
  }
  if (page.next() != 0) {
    TIndexPage& after = store_.page(page.next());
    after.setPrev(page.prev());
    store_.markModified(after);
  }
}

void TIndexTree::removeFromInterior(Path& path, size_t level) {
  TIndexPage& page = store_.page(path[level].page);
  const int at = path[level].index;
  page.erase(at);
  store_.markModified(page);
  if (level == 0) {
    collapseRoot();
    return;
  }
  if (page.count() == 0) {  // only with pages of two entries: a lone child went
    unlink(page);
    store_.freePage(page);
    removeFromInterior(path, level - 1);
    return;
  }
  if (at == 0) propagateFirstKey(path, level);
  if (static_cast<size_t>(page.count()) * 2 < geometry_.interiorCapacity()) rebalance(path, level);
}

// An interior page below half full takes from, or merges into, a sibling
// under the same parent: the left one, or the right one for a first child.
void TIndexTree::rebalance(Path& path, size_t level) {
  TIndexPage& parent = store_.page(path[level - 1].page);
  const int at = path[level - 1].index;
  if (parent.count() < 2) return;
  const bool pageIsRight = at > 0;
  const int leftAt = pageIsRight ? at - 1 : at;
  TIndexPage& left = pageIsRight ? store_.page(parent.pointer(leftAt)) : store_.page(path[level].page);
  TIndexPage& right = pageIsRight ? store_.page(path[level].page) : store_.page(parent.pointer(leftAt + 1));
  if (left.isLeaf() || right.isLeaf() || left.isRoot() || right.isRoot()) corrupt();

  const size_t total = static_cast<size_t>(left.count() + right.count());
  if (total < geometry_.interiorCapacity()) {
    TIndexPage& page = pageIsRight ? right : left;
    if (pageIsRight) {
      right.moveHeadTo(right.count(), left);
      setCount(parent, leftAt, left);
    } else {
      left.moveTailTo(0, right);
      parent.setKey(leftAt + 1, right.key(0));
      setCount(parent, leftAt + 1, right);
    }
    store_.markModified(left);
    store_.markModified(right);
    store_.markModified(parent);
    unlink(page);
    store_.freePage(page);
    removeFromInterior(path, level - 1);
    return;
  }
  const int target = static_cast<int>((total + 1) / 2);
  if (left.count() > target) {
    left.moveTailTo(target, right);
  } else if (left.count() < target) {
    right.moveHeadTo(target - left.count(), left);
  }
  parent.setKey(leftAt + 1, right.key(0));
  setCount(parent, leftAt, left);
  setCount(parent, leftAt + 1, right);
  store_.markModified(left);
  store_.markModified(right);
  store_.markModified(parent);
}

// An interior root with one entry hands the root over to its only child.
void TIndexTree::collapseRoot() {
  for (int depth = 0; depth < index_layout::kMaxDepth; ++depth) {
    TIndexPage& root = store_.page(store_.root());
    if (root.isLeaf() || root.count() > 1) return;
    if (root.count() == 0) {
      store_.freePage(root);
      store_.setRoot(0);
      return;
    }
    TIndexPage& child = store_.page(root.pointer(0));
    store_.freePage(root);
    child.setType(child.isLeaf() ? IndexPageType::LeafRoot : IndexPageType::InteriorRoot);
    child.setPrev(0);
    child.setNext(0);
    store_.markModified(child);
    store_.setRoot(child.number());
  }
  corrupt();
}

}  // namespace keel
