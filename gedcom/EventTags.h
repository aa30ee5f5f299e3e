#pragma once

#include <string_view>

namespace mindrel {

// The standard event tags of people and families, by the English names the
// event list shows for them. EVEN records are named by their TYPE instead.
class TEventTags {
 public:
  // nullptr for a tag that is no individual event.
  static const char* IndividualEvent(std::string_view tag);
  // nullptr for a tag that is no family event.
  static const char* FamilyEvent(std::string_view tag);
};

}  // namespace mindrel
