#pragma once

// A helper program in a process of its own, talked to by lines: the test
// writes to its standard input and reads its standard output. Closing the
// input tells a helper to let go and end; one that does not end within ten
// seconds is killed, so a hanging helper cannot hang the test.

#ifdef _WIN32
#include "tests/support/ChildProcessWindows.h"
#else

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace mindrel::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], STDIN_FILENO);
      dup2(fromChild[1], STDOUT_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
  }
  ~ChildProcess() { finish(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Its next line; empty when none came within `wait`.
  std::string line(std::chrono::milliseconds wait = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      pollfd ready{output_, POLLIN, 0};
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      const int waitMs = static_cast<int>(std::max<decltype(left)>(0, left));
      if (poll(&ready, 1, std::min(waitMs, 100)) > 0) {
        char c = 0;
        if (read(output_, &c, 1) != 1 || c == '\n') return std::exchange(pending_, {});
        pending_ += c;
      } else if (waitMs == 0) {
        return {};
      }
    }
  }

  // One line to its input.
  void say(const std::string& text) {
    const std::string line = text + "\n";
    ASSERT_EQ(write(input_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  }

  // Closes its input and waits for its end: its exit status, -1 when it had
  // to be killed.
  int finish() {
    if (pid_ <= 0) return -1;
    close(input_);
    close(output_);
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;  // a line read in part
};

}  // namespace mindrel::testing

#endif
