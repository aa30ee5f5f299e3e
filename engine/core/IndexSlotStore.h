#pragma once

// The pages of one slot's tree in an index file, for TIndexTree. Pages are
// pinned in the file's cache from the moment the tree asks for them until the
// tree operation ends.

#include <cstdint>
#include <exception>
#include <vector>

#include "engine/core/IndexFile.h"
#include "engine/core/IndexPageStore.h"

namespace keel {

// Thrown when a page had to come from disk and the table turned out to be
// changed by another writer (the file's disk-read hook said so): the caller
// refreshes and starts its operation again.
class EIndexTableChanged : public std::exception {
 public:
  const char* what() const noexcept override { return "index changed by another writer"; }
};

class TIndexSlotStore : public TIndexPageStore {
 public:
  // `file` must outlive the store.
  TIndexSlotStore(TIndexFile& file, int slot);

  const IndexPageGeometry& geometry() const override { return geometry_; }
  TIndexPage& page(int32_t number) override;
  void markModified(TIndexPage& page) override;
  TIndexPage& allocatePage() override;
  void freePage(TIndexPage& page) override;
  int32_t root() const override { return file_.root(slot_); }
  void setRoot(int32_t page) override { file_.setRoot(slot_, page); }
  int32_t pageCount() const override { return static_cast<int32_t>(file_.unitCount()); }
  void operationDone() override { pins_.clear(); }

 private:
  TIndexPage& hold(TPinnedUnit unit);

  TIndexFile& file_;
  int slot_;
  IndexPageGeometry geometry_;
  std::vector<TPinnedUnit> pins_;
};

}  // namespace keel
