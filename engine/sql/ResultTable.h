#pragma once

// The temporary table that holds a canned SELECT result: created in the
// session's private folder under a name made from the calling thread's
// identifier and a counter, with the engine's temporary extensions, opened
// exclusively, and closed and deleted with this object, so that no result
// files outlive their statement, whatever ended it.

#include <memory>
#include <string>
#include <vector>

#include "engine/core/DataCursor.h"
#include "engine/core/FieldDescriptor.h"
#include "engine/core/IndexDescriptor.h"

namespace keel {

struct TResultTableDefinition {
  std::vector<FieldDescriptor> Fields;  // name, type, subtype, size, decimals
  IndexDescriptor Primary;              // its order is the result order
  uint32_t Locale = 0;
};

class TResultTable {
 public:
  // `privateDir` empty: the process's current folder. Failures to create the
  // table propagate as the core's engine errors and leave no files behind.
  TResultTable(TDataSession& session, const std::string& privateDir,
               const TResultTableDefinition& definition);
  ~TResultTable();
  TResultTable(const TResultTable&) = delete;
  TResultTable& operator=(const TResultTable&) = delete;

  TDataCursor& Cursor() { return *cursor_; }
  // The table name, without extension ("123450").
  const std::string& Name() const { return name_; }
  std::string DisplayName() const { return "query (" + name_ + ")"; }
  // The data, index and BLOB file paths (temporary extensions).
  TablePaths Paths() const { return folder_->paths(name_, true); }

  // The first five digits of the calling thread's identifier.
  static std::string ThreadPrefix();

 private:
  std::string FreeName() const;
  void Create(const TResultTableDefinition& definition);
  // `alsoStandardNames`: a creation that failed may have left files under
  // the standard extensions; they were made here, the name being free.
  void RemoveFiles(bool alsoStandardNames) noexcept;

  std::unique_ptr<TDataDirectory> folder_;
  std::string name_;
  std::unique_ptr<TDataCursor> cursor_;
};

}  // namespace keel
