#include "engine/components/DatabaseError.h"

namespace keel {

std::string FormatDatabaseMessage(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
  std::string text;
  const std::string_view* next = arguments.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != arguments.end()) {
      text += *next++;
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

void DatabaseError(std::string_view pattern, std::initializer_list<std::string_view> arguments) {
  throw EDatabaseError(FormatDatabaseMessage(pattern, arguments));
}

}  // namespace keel
