#pragma once

#include <string>
#include <string_view>

namespace mindrel {

// ANSEL, the GEDCOM format's own default character set: ASCII below 0x80,
// special letters and signs from 0xA1, and combining diacritics from 0xE0
// that stand before the letter they mark (Unicode puts them after it).
class TAnselDecoder {
 public:
  // UTF-8 in composed form, so that "e" with a preceding acute becomes one
  // character as a typed name would be. Bytes that ANSEL leaves undefined
  // become U+FFFD.
  static std::string ToUtf8(std::string_view ansel);
};

}  // namespace mindrel
