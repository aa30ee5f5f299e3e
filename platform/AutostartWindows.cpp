#include "platform/Autostart.h"

#include <windows.h>

#include "platform/Folders.h"
#include "platform/WindowsText.h"

namespace mindrel {

namespace {

constexpr const wchar_t* kValueName = L"Mindrel";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kShellFoldersKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const wchar_t* kCommonStartup = L"Common Startup";
constexpr const char* kOldShortcut = "Mindrel.lnk";

class RegistryKey {
 public:
  RegistryKey(HKEY hive, const std::wstring& path, REGSAM access) {
    if (RegOpenKeyExW(hive, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::wstring ReadString(HKEY key, const wchar_t* name) {
  DWORD size = 0;
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS) return {};
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

}  // namespace

TAutostart::TAutostart() : folder_(kRunKey) {}

TAutostart::TAutostart(std::string folder) : folder_(std::move(folder)) {}

std::string TAutostart::EntryPath() const {
  return folder_.empty() ? std::string() : "HKEY_CURRENT_USER\\" + folder_ + "\\Mindrel";
}

std::string TAutostart::EntryText(const std::string& exeFolder) {
  return "\"" + WithTrailingSeparator(exeFolder) + "Mindrel.exe\" -s";
}

bool TAutostart::Register(const std::string& exeFolder) const {
  if (folder_.empty()) return false;
  const RegistryKey key(HKEY_CURRENT_USER, WidePath(folder_), KEY_SET_VALUE);
  if (key.get() == nullptr) return false;
  const std::wstring data = WidePath(EntryText(exeFolder));
  return RegSetValueExW(key.get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TAutostart::Unregister() const {
  if (folder_.empty()) return false;
  const RegistryKey key(HKEY_CURRENT_USER, WidePath(folder_), KEY_SET_VALUE);
  if (key.get() == nullptr) return false;
  const LSTATUS status = RegDeleteValueW(key.get(), kValueName);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

void TAutostart::RemoveOldShortcut() {
  const RegistryKey key(HKEY_LOCAL_MACHINE, kShellFoldersKey, KEY_QUERY_VALUE);
  if (key.get() == nullptr) return;
  const std::string folder = NarrowPath(ReadString(key.get(), kCommonStartup));
  if (folder.empty() || !DirectoryExists(folder)) return;
  DeleteFileW(WidePath(WithTrailingSeparator(folder) + kOldShortcut).c_str());
}

}  // namespace mindrel
