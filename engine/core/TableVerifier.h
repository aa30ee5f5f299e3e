#pragma once

// Checks one open table without trusting it: the data file's structure, the
// rows and their free-row chain and hashes, every index tree against the rows,
// the index file's free pages and the BLOB chains. Every problem becomes one
// line of the report; damage never raises, what cannot be read is reported as
// such. The whole check runs under one read lock of the table, so it sees one
// state of it.

#include <string>
#include <vector>

namespace keel {

class TDataTable;

class TTableVerifier {
 public:
  // Empty when the table is sound.
  static std::vector<std::string> Check(TDataTable& table);
};

}  // namespace keel
