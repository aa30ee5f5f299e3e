#pragma once

// Paths and texts crossing into the Windows API: UTF-8 here, UTF-16 there.
// Windows side only.

#include <string>
#include <string_view>

namespace mindrel {

std::wstring WidePath(std::string_view utf8);
std::string NarrowPath(std::wstring_view wide);

// The errno value that stands for a Windows error code, so the engine maps
// failures of both systems through one table.
int ErrnoOfWindowsError(unsigned long error);
// GetLastError() as an errno value; EIO when it is 0.
int LastErrorAsErrno();

}  // namespace mindrel
