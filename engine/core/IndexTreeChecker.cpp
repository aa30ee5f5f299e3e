#include "engine/core/IndexTreeChecker.h"

#include "engine/core/ErrorCodes.h"

namespace keel {
namespace {

std::string PageName(int32_t number) {
  return "page " + std::to_string(number);
}

}  // namespace

std::vector<std::string> TIndexTreeChecker::check() {
  problems_.clear();
  inUse_.clear();
  levels_.clear();
  leafDepth_ = 0;
  keys_ = 0;
  try {
    if (store_.root() != 0) {
      const Summary root = visit(store_.root(), 0);
      keys_ = root.keys;
      if (problems_.empty()) checkLevelLinks();
    }
  } catch (const EKeelEngineError& error) {
    problem(std::string("unreadable page: ") + error.what());
  }
  store_.operationDone();
  return problems_;
}

TIndexTreeChecker::Summary TIndexTreeChecker::visit(int32_t number, size_t depth) {
  Summary summary;
  if (depth >= static_cast<size_t>(index_layout::kMaxDepth)) {
    problem("tree deeper than " + std::to_string(index_layout::kMaxDepth) + " levels");
    return summary;
  }
  if (number < 1 || number > store_.pageCount()) {
    problem(PageName(number) + " lies outside the file");
    return summary;
  }
  if (!inUse_.insert(number).second) {
    problem(PageName(number) + " is reached twice");
    return summary;
  }
  if (levels_.size() <= depth) levels_.resize(depth + 1);
  levels_[depth].push_back(number);

  TIndexPage& page = store_.page(number);
  const std::string name = PageName(number);
  if (page.isRoot() != (depth == 0) || page.type() == IndexPageType::FullText) {
    problem(name + " has the wrong page type " + std::to_string(static_cast<int>(page.type())));
  }
  if (page.count() == 0) {
    problem(name + " has no entries");
    return summary;
  }
  if (!page.fits()) problem(name + " holds more than a page can");
  for (int i = 1; i < page.count(); ++i) {
    if (comparer_.compare(page.key(i - 1), page.key(i)) >= 0)
      problem(name + " keys out of order at " + std::to_string(i));
  }
  summary.firstKey.assign(page.key(0).begin(), page.key(0).end());
  summary.lastKey.assign(page.key(page.count() - 1).begin(), page.key(page.count() - 1).end());
  summary.ok = true;

  if (page.isLeaf()) {
    if (leafDepth_ == 0 && depth > 0) leafDepth_ = depth;
    if (depth != leafDepth_) problem(name + " is a leaf at depth " + std::to_string(depth));
    summary.keys = page.count();
    return summary;
  }
  for (int i = 0; i < page.count(); ++i) {
    const KeyBuffer entryKey(page.key(i).begin(), page.key(i).end());
    const int32_t child = page.pointer(i);
    const bool statistics = page.geometry().statistics;
    const int32_t storedCount = statistics ? page.subtreeCount(i) : 0;
    const Summary below = visit(child, depth + 1);
    if (!below.ok) continue;
    summary.keys += below.keys;
    if (comparer_.compare(entryKey, below.firstKey) != 0) {
      problem(name + " entry " + std::to_string(i) + " key differs from the first key of " + PageName(child));
    }
    if (statistics && storedCount != below.keys) {
      problem(name + " entry " + std::to_string(i) + " counts " + std::to_string(storedCount) + " keys, " +
              PageName(child) + " holds " + std::to_string(below.keys));
    }
    if (i + 1 < page.count() && comparer_.compare(below.lastKey, page.key(i + 1)) >= 0) {
      problem(PageName(child) + " holds keys beyond the next entry of " + name);
    }
  }
  return summary;
}

void TIndexTreeChecker::checkLevelLinks() {
  for (const std::vector<int32_t>& level : levels_) {
    for (size_t i = 0; i < level.size(); ++i) {
      TIndexPage& page = store_.page(level[i]);
      const int32_t expectedPrev = i == 0 ? 0 : level[i - 1];
      const int32_t expectedNext = i + 1 == level.size() ? 0 : level[i + 1];
      if (page.prev() != expectedPrev || page.next() != expectedNext) {
        problem(PageName(level[i]) + " links " + std::to_string(page.prev()) + "/" +
                std::to_string(page.next()) + ", expected " + std::to_string(expectedPrev) + "/" +
                std::to_string(expectedNext));
      }
      if (i > 0) {
        TIndexPage& before = store_.page(level[i - 1]);
        if (comparer_.compare(before.key(before.count() - 1), page.key(0)) >= 0) {
          problem(PageName(level[i]) + " starts below the end of " + PageName(level[i - 1]));
        }
      }
    }
  }
}

std::vector<std::string> TIndexTreeChecker::checkFreeChain(TIndexPageStore& store, int32_t head,
                                                           const std::set<int32_t>* everyPageInUse) {
  std::vector<std::string> problems;
  std::set<int32_t> free;
  try {
    for (int32_t number = head; number != 0;) {
      if (number < 1 || number > store.pageCount()) {
        problems.push_back("free chain leads to " + PageName(number) + " outside the file");
        break;
      }
      if (!free.insert(number).second) {
        problems.push_back("free chain runs in a cycle at " + PageName(number));
        break;
      }
      if (everyPageInUse && everyPageInUse->count(number) != 0) {
        problems.push_back("free chain holds " + PageName(number) + " which is in use");
      }
      TIndexPage& page = store.page(number);
      if (page.count() != 0) problems.push_back("free " + PageName(number) + " has entries");
      number = page.next();
    }
    if (everyPageInUse) {
      for (int32_t number = 1; number <= store.pageCount(); ++number) {
        if (free.count(number) == 0 && everyPageInUse->count(number) == 0) {
          problems.push_back(PageName(number) + " is neither in use nor free");
        }
      }
    }
  } catch (const EKeelEngineError& error) {
    problems.push_back(std::string("unreadable free page: ") + error.what());
  }
  store.operationDone();
  return problems;
}

}  // namespace keel
