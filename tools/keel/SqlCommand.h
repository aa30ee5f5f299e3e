#pragma once

// `keel sql DIR "TEXT" [--password P] [--max-rows N]`: runs the text as a
// query against the tables of DIR and writes each result row as one JSON
// object (the result columns in order; RecordID only when selected).
// Exit codes as the other commands: 0 done, 2 engine error (message on the
// error stream), 64 bad arguments.

#include <iosfwd>
#include <string>
#include <vector>

namespace mindrel {

// `args` are the words after "sql".
int RunSqlCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace mindrel
