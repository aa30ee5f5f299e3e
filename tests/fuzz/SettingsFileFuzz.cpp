// Treats the input as "Mindrel.INI", applies it to default settings and event
// formats, writes the result back and applies that again. Folders count as
// valid family trees when their name says so, so the folder list, custom
// event types and their formats are exercised without touching real folders.
// Any crash, hang or sanitizer report is a finding: a settings file that
// makes no sense gives defaults, never a failure.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/SettingsFile.h"

namespace {

using namespace mindrel;

class FuzzHost final : public TSettingsHost {
 public:
  std::string GetDatabasePath() override { return {}; }
  bool ValidDatabase(const std::string& folder) override { return folder.rfind("tree", 0) == 0; }
  std::vector<std::string> CustomDateColumns(const std::vector<std::string>& folders) override {
    return folders.empty() ? std::vector<std::string>{} : std::vector<std::string>{"Baptism", "Emigration"};
  }
  int ScreenWidth() override { return 1920; }
  int ScreenHeight() override { return 1080; }
};

// Files in a memory-backed folder when there is one: two per process.
std::string FilePath(const char* name) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
  return std::string(folder) + "mindrel-settings-fuzz-" + std::to_string(getpid()) + "-" + name;
}

void Apply(const std::string& path, TSettings& settings, TEventFormats& formats) {
  FuzzHost host;
  TStartupIntegration startup(TAutostart(std::string()), "/nonexistent/", nullptr, nullptr);
  TSettingsFile(path).ReadINIFile(settings, formats, host, startup);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = FilePath("in.ini");
  static const std::string output = FilePath("out.ini");
  FILE* file = std::fopen(input.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  TSettings settings;
  TEventFormats formats;
  Apply(input, settings, formats);
  if (!TSettingsFile(output).WriteINIFile(settings, formats)) return 0;
  TSettings again;
  TEventFormats formatsAgain;
  Apply(output, again, formatsAgain);
  return 0;
}
