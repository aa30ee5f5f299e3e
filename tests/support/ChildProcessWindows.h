#pragma once

// The Windows side of ChildProcess.h: the same contract over CreateProcess
// and anonymous pipes.

#include <windows.h>
// The old pointer keywords windows.h defines are ordinary names in the tests.
#undef near
#undef far

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/WindowsCommandLine.h"

namespace mindrel::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &input_, &inheritable, 0) || !CreatePipe(&output_, &childOutput, &inheritable, 0)) {
      throw std::runtime_error("pipe");
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = CommandLine(program, args);
    const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process_) != FALSE;
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!started) throw std::runtime_error("cannot start " + program);
    CloseHandle(process_.hThread);
  }
  ~ChildProcess() { finish(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Its next line; empty when none came within `wait`.
  std::string line(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return std::exchange(pending_, {});
      if (available > 0) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(output_, &c, 1, &got, nullptr) || got != 1) return std::exchange(pending_, {});
        if (c == '\n') return std::exchange(pending_, {});
        if (c != '\r') pending_ += c;
      } else if (std::chrono::steady_clock::now() >= deadline) {
        return {};
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  }

  // One line to its input.
  void say(const std::string& text) {
    const std::string line = text + "\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(input_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr));
    ASSERT_EQ(written, line.size());
  }

  // Closes its input and waits for its end: its exit status, -1 when it had
  // to be killed.
  int finish() {
    if (process_.hProcess == nullptr) return -1;
    CloseHandle(input_);
    CloseHandle(output_);
    int status = -1;
    if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (GetExitCodeProcess(process_.hProcess, &code)) status = static_cast<int>(code);
    } else {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, INFINITE);
    }
    CloseHandle(process_.hProcess);
    process_.hProcess = nullptr;
    return status;
  }

 private:
  PROCESS_INFORMATION process_{};
  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
  std::string pending_;  // a line read in part
};

}  // namespace mindrel::testing
