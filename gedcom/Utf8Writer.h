#pragma once

#include <string>

namespace mindrel {

// Appends one code point as UTF-8. REQUIRES: a Unicode scalar value.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace mindrel
