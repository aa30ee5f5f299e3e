#pragma once

// Runs one of the project's programs from the build's bin folder the way a
// user's shell would, and hands back its exit code and both outputs. Test
// executables that use it get MINDREL_BIN_DIR from the build.

#ifdef _WIN32
#include <windows.h>
// The old pointer keywords windows.h defines are ordinary names in the tests.
#undef near
#undef far
#include "tests/support/WindowsCommandLine.h"
#else
#include <sys/wait.h>
#endif

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

#ifdef _WIN32
// The program's exit code; -1 when it could not be started.
inline int RunWithFiles(const std::string& program, const std::vector<std::string>& args, const std::string& scratch) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto openFile = [&](const char* name, DWORD access, DWORD disposition) {
    return CreateFileW(WidePath(scratch + "/" + name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inheritable, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = openFile("stdin", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = openFile("stdout", GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = openFile("stderr", GENERIC_WRITE, CREATE_ALWAYS);
  std::wstring commandLine = CommandLine(program, args);
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                      &startup, &process) != FALSE;
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) CloseHandle(handle);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}
#endif

// Runs the program at `path`. Standard input and both outputs pass through
// files in `scratch`, so a program can neither wait for a terminal nor block
// on a full pipe.
inline ToolRun RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& scratch,
                          const std::string& input = "") {
  std::ofstream(scratch + "/stdin", std::ios::binary) << input;
#ifdef _WIN32
  // The programs write text mode: lines end in CR LF there.
  const auto lines = [](std::string text) {
    std::erase(text, '\r');
    return text;
  };
  const int code = RunWithFiles(path, args, scratch);
  return {code, lines(FileText(scratch + "/stdout")), lines(FileText(scratch + "/stderr"))};
#else
  std::string command = ShellQuoted(path);
  for (const std::string& arg : args) command += " " + ShellQuoted(arg);
  command += " < " + ShellQuoted(scratch + "/stdin");
  command += " > " + ShellQuoted(scratch + "/stdout") + " 2> " + ShellQuoted(scratch + "/stderr");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileText(scratch + "/stdout"), FileText(scratch + "/stderr")};
#endif
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
#ifdef _WIN32
  return RunProgram(std::string(MINDREL_BIN_DIR) + "/" + program + ".exe", args, scratch, input);
#else
  return RunProgram(std::string(MINDREL_BIN_DIR) + "/" + program, args, scratch, input);
#endif
}

}  // namespace mindrel::testing
