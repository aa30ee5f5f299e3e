#pragma once

// Everything a cursor needs to use one index of an open table: the key layout
// of its descriptor, key building and comparison, and the tree over the
// slot's pages. Made when a cursor selects the index; the index file, field
// descriptors and collation must outlive it.

#include <memory>
#include <span>

#include "engine/core/Collation.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexFile.h"
#include "engine/core/IndexSlotStore.h"
#include "engine/core/IndexTree.h"
#include "engine/core/KeyBuilder.h"
#include "engine/core/KeyComparer.h"
#include "engine/core/KeyLayout.h"

namespace keel {

class TIndexAccess {
 public:
  // Raises 8961 when the slot's descriptor does not fit the table's fields.
  TIndexAccess(TIndexFile& file, int slot, std::span<const FieldDescriptor> fields,
               std::shared_ptr<const TCollation> collation);
  TIndexAccess(const TIndexAccess&) = delete;
  TIndexAccess& operator=(const TIndexAccess&) = delete;

  int slot() const { return slot_; }
  const IndexDescriptor& descriptor() const { return descriptor_; }
  const TKeyLayout& layout() const { return layout_; }
  const TKeyBuilder& keys() const { return builder_; }
  const TKeyComparer& comparer() const { return comparer_; }
  TIndexTree& tree() { return tree_; }

 private:
  int slot_;
  IndexDescriptor descriptor_;
  TKeyLayout layout_;
  TKeyBuilder builder_;
  TKeyComparer comparer_;
  TIndexSlotStore store_;
  TIndexTree tree_;
};

}  // namespace keel
