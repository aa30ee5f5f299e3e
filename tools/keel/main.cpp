#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/keel/FilterCommands.h"
#include "tools/keel/KeelTool.h"
#include "tools/keel/SqlCommand.h"

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "keel " << MINDREL_VERSION << " (table format 4.00)\n";
    return 0;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "sql") return mindrel::RunSqlCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
  if (!args.empty() && args[0] == "explain")
    return mindrel::RunExplainCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
  return mindrel::RunKeelTool(args, std::cin, std::cout, std::cerr);
}
