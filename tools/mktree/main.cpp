#include <iostream>
#include <string>
#include <vector>

#include "tools/mktree/MkTreeTool.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return mindrel::RunMkTree(args, std::cout, std::cerr, mindrel::SystemClock::instance());
}
