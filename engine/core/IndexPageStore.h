#pragma once

// The pages of one index tree as TIndexTree sees them: the index file in the
// engine, a plain in-memory store in tests.

#include <cstdint>

#include "engine/core/IndexPage.h"

namespace keel {

class TIndexPageStore {
 public:
  virtual ~TIndexPageStore() = default;

  // Page size, key size and packing of every page of the tree.
  virtual const IndexPageGeometry& geometry() const = 0;

  // Page `number`, decoded with the tree's geometry. Raises 8965 for a number
  // outside the file or bytes that are no page of this tree. The reference
  // stays valid until the tree operation that asked for it returns.
  virtual TIndexPage& page(int32_t number) = 0;
  // The caller changed the page; it is written back with the operation.
  virtual void markModified(TIndexPage& page) = 0;
  // A page taken from the free chain or appended, with no entries.
  virtual TIndexPage& allocatePage() = 0;
  // Puts the page at the head of the free chain.
  virtual void freePage(TIndexPage& page) = 0;

  virtual int32_t root() const = 0;
  virtual void setRoot(int32_t page) = 0;
  // Pages the file holds; bounds every walk over a damaged file.
  virtual int32_t pageCount() const = 0;

  // Called when a tree operation returns or throws: references handed out
  // since the last call may now be dropped from memory.
  virtual void operationDone() {}
};

}  // namespace keel
