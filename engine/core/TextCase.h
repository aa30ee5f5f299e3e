#pragma once

// Upper and lower case of the single-byte (Windows-1252) texts stored in
// tables. Locale 0 uses the plain Windows-1252 letter mapping; a nonzero
// locale (a Windows LCID) uses the case mapping of that locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace keel {

// True for 0 and for every LCID the system knows.
bool LocaleAvailable(uint32_t lcid);

// Unknown locales fall back to the locale-0 mapping; callers check
// LocaleAvailable when the table is opened or created.
std::string UpperCase(std::string_view text, uint32_t lcid);
std::string LowerCase(std::string_view text, uint32_t lcid);

// Windows-1252 bytes and UTF-16 code units. Bytes 0x81, 0x8D, 0x8F, 0x90 and
// 0x9D, unassigned in Windows-1252, stand for the C1 controls of the same
// numbers, so every byte has a character. -1 for a code unit that Windows-1252
// cannot hold.
char16_t Cp1252ToUnicode(uint8_t byte);
int UnicodeToCp1252(char16_t unit);

// Every byte below 0x80: the same text in Windows-1252 and in UTF-8.
bool IsAscii(std::string_view text);

// Windows-1252 <-> UTF-8, for the edges (tools, user interface). Characters
// that Windows-1252 cannot hold become '?'.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

}  // namespace keel
