#pragma once

// Rebuilds from a table's rows whatever the rows determine: every index tree,
// the free-row chain, the row and stamp counters, and the free-block chain of
// the BLOB file. No header counter the files determine is trusted: every row
// slot the data file holds is walked, and header fields the file itself
// tells (version, signature, row size, row and block counts) are mended.
// Every row whose bytes match its RecordHash is kept; a BLOB value whose
// chain is not whole is emptied; what could not be kept is reported. The files are opened
// exclusively (another user of the table refuses the repair with 11013) and
// all of them before anything is written, so a data or BLOB file that cannot
// be opened leaves the table untouched. Meant for tables the user owns: the
// index and BLOB files are rewritten.
//
// The index descriptors come from the existing index file. Given known ones
// (those the table was created with), those are used instead, so indexes lost
// with a damaged or missing index file come back; without them, an index file
// that cannot be read leaves only the default primary index.

#include <optional>
#include <string>
#include <vector>

#include "engine/core/IndexDefinitions.h"

namespace keel {

class TDataDirectory;

struct TableRepairReport {
  std::vector<std::string> rebuilt;  // what was made anew from the rows
  std::vector<std::string> lost;     // what could not be kept
  int64_t keptRows = 0;
};

class TTableRepair {
 public:
  // The table must not be open in `folder`.
  TTableRepair(TDataDirectory& folder, std::string tableName) : folder_(folder), tableName_(std::move(tableName)) {}

  void useKnownIndexes(KnownIndexes indexes) { known_ = std::move(indexes); }
  TableRepairReport run();

 private:
  TDataDirectory& folder_;
  std::string tableName_;
  std::optional<KnownIndexes> known_;
};

}  // namespace keel
