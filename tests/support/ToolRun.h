#pragma once

// Runs one of the project's programs from the build's bin folder the way a
// user's shell would, and hands back its exit code and both outputs. Test
// executables that use it get MINDREL_BIN_DIR from the build.

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace mindrel::testing {

struct ToolRun {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs the program at `path`. Standard input and both outputs pass through
// files in `scratch`, so a program can neither wait for a terminal nor block
// on a full pipe.
inline ToolRun RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& scratch,
                          const std::string& input = "") {
  std::ofstream(scratch + "/stdin", std::ios::binary) << input;
  std::string command = ShellQuoted(path);
  for (const std::string& arg : args) command += " " + ShellQuoted(arg);
  command += " < " + ShellQuoted(scratch + "/stdin");
  command += " > " + ShellQuoted(scratch + "/stdout") + " 2> " + ShellQuoted(scratch + "/stderr");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileText(scratch + "/stdout"), FileText(scratch + "/stderr")};
}

// A line of mindrel-list without the field that marks a jubilee, so that
// date and sentence can be compared alone.
inline std::string WithoutJubileeMark(std::string line) {
  constexpr std::string_view kMark = "\tjubilee";
  if (line.ends_with(kMark)) line.resize(line.size() - kMark.size());
  return line;
}

// Runs one of the project's programs from the build's bin folder.
inline ToolRun RunTool(const std::string& program, const std::vector<std::string>& args, const std::string& scratch,
                       const std::string& input = "") {
  return RunProgram(std::string(MINDREL_BIN_DIR) + "/" + program, args, scratch, input);
}

}  // namespace mindrel::testing
