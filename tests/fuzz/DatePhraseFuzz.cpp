// Feeds arbitrary text to the date phrase parser under every date order,
// separator and the required flag, and decodes what it accepts. Any crash,
// hang or sanitizer report is a finding; the parser reports bad text by
// answering false.
//
// Input: one byte picking the date order (low bits, 0..5) and the required
// flag (bit 7), one byte for the separator, then the text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dates/UDate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  mindrel::TDateOptions options;
  options.DateOrder = (data[0] & 0x7F) % 6;
  options.Separator = static_cast<char>(data[1]);
  const bool required = (data[0] & 0x80) != 0;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  mindrel::TJDate date;
  mindrel::ClearJDate(date);
  std::string message;
  if (!mindrel::StrToJDate(date, text, message, options, required)) {
    if (message.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  mindrel::TDayMonthYear decoded;
  mindrel::JDateToDMY(date, decoded);
  return 0;
}
