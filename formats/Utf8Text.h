#pragma once

#include <cstddef>
#include <string>

namespace mindrel {

// Text helpers for UTF-8 texts that came from single-byte Windows-1252 texts.
// Case mapping covers the letters of that code page (ASCII, the accented
// Latin-1 letters and the pairs S/Z/OE with caron or ligature, Y with
// diaeresis), the same letters the system's single-byte case mapping knows.
// Bytes that are no valid UTF-8 count as one character each and keep their case.

std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
// The first character upper-cased, the rest unchanged.
std::string UpperCaseFirst(const std::string& text);
// Equal without regard to case.
bool SameText(const std::string& a, const std::string& b);
// The first `count` characters (not bytes), so a cut never splits a character.
std::string LeftChars(const std::string& text, std::size_t count);
// Leading and trailing blanks and control characters removed.
std::string Trim(const std::string& text);
// Every run of blanks made one blank, and none left at either end.
std::string SingleSpaced(const std::string& text);

}  // namespace mindrel
