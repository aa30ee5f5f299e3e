#include "platform/WineRegistry.h"

#include <windows.h>

#include "platform/WindowsText.h"

namespace mindrel {

// On Windows the registry is the system's own; the prefix plays no part.
TWineRegistry::TWineRegistry() = default;

std::string TWineRegistry::ReadUserString(const std::string& key, const std::string& value) const {
  const std::wstring keyPath = WidePath(key);
  const std::wstring valueName = WidePath(value);
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  std::wstring data(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, data.data(),
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  data.resize(wcsnlen(data.c_str(), data.size()));
  return NarrowPath(data);
}

// Windows paths are this system's paths.
std::string TWineRegistry::MapWindowsPath(const std::string& windowsPath) const { return windowsPath; }

}  // namespace mindrel
