#pragma once

// The `keel` command-line tool: inspect, create and edit tables of a database
// folder with JSON in and out. Exit codes: 0 done, 1 problems found (verify),
// something not kept (repair) or key not found (dump --find), 2 engine error,
// 64 bad arguments or JSON.

#include <iosfwd>
#include <string>
#include <vector>

namespace mindrel {

int RunKeelTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace mindrel
