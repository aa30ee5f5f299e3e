#pragma once

#include <string>

namespace mindrel {

// The program's version number, shown as its three digits with points.
inline constexpr int kProgramVersion = 123;

// The first line of the about text. It is kept scrambled in the program file
// and made readable only when shown.
std::string ProductLine();
// "Version: " and the number's digits separated by points (123 -> 1.2.3).
std::string VersionLine(int version);
// The address of an Internet shortcut file's text: the value of its first
// "URL=" line (key without regard to case), trimmed; empty when there is none.
std::string ShortcutUrl(const std::string& shortcutText);

}  // namespace mindrel
