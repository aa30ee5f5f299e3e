#pragma once

// A Windows command line from separate arguments, quoted so that the C
// runtime of the started program splits it into the same arguments again.

#include <string>
#include <vector>

#include "platform/WindowsText.h"

namespace mindrel::testing {

inline std::string QuotedArgument(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: doubled there, plus one for it.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

inline std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::string line = QuotedArgument(program);
  for (const std::string& arg : args) line += " " + QuotedArgument(arg);
  return WidePath(line);
}

}  // namespace mindrel::testing
