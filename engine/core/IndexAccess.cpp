#include "engine/core/IndexAccess.h"

namespace keel {

TIndexAccess::TIndexAccess(TIndexFile& file, int slot, std::span<const FieldDescriptor> fields,
                           std::shared_ptr<const TCollation> collation)
    : slot_(slot),
      descriptor_(file.descriptor(slot)),
      layout_(descriptor_, fields, std::move(collation), file.options().tableName),
      builder_(layout_),
      comparer_(layout_),
      store_(file, slot),
      tree_(store_, descriptor_, comparer_, file.options().tableName) {}

}  // namespace keel
