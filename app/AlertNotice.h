#pragma once

#include <string>
#include <vector>

namespace mindrel {

// The text of the desktop notification that a log-on start sends when it
// finds alerts: the first sentences, one a line, and how many more follow.
class TAlertNotice {
 public:
  static constexpr std::size_t kListedAlerts = 5;

  static std::string Body(const std::vector<std::string>& sentences);
};

}  // namespace mindrel
