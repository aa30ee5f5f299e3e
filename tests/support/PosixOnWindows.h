#pragma once

// Force-included into the test programs of the Windows build: the POSIX calls
// the tests use for scratch folders and the environment, over the C runtime.
// A pattern under /tmp means the folder of that name at the root of the
// current drive, which is made when missing (under Wine: the Linux /tmp).

#include <direct.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <random>
#include <string>

inline char* mkdtemp(char* pattern) {
  const std::size_t length = strlen(pattern);
  if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static std::mt19937 random{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = length - 6; i < length; ++i) pattern[i] = kLetters[random() % (sizeof kLetters - 1)];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno == ENOENT) {
      const std::string parent(pattern, std::string(pattern).find_last_of("/\\"));
      if (parent.empty() || _mkdir(parent.c_str()) != 0) return nullptr;
    } else if (errno != EEXIST) {
      return nullptr;
    }
  }
  return nullptr;
}

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  // The runtime keeps no empty variables: an empty value removes it, which
  // is what every reader here makes of an empty value anyway.
  return _putenv_s(name, value);
}

inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
