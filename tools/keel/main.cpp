#include <cstring>
#include <iostream>

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "keel " << MINDREL_VERSION << " (table format 4.00)\n";
    return 0;
  }
  std::cerr << "usage: keel --version\n";
  return 64;
}
