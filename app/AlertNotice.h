#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/AlertList.h"

namespace mindrel {

// The text of the desktop notification that a log-on start sends when it
// finds alerts: the first sentences, one a line, and how many more follow.
class TAlertNotice {
 public:
  static constexpr std::size_t kListedAlerts = 5;

  static std::string Body(const std::vector<std::string>& sentences);
  // The sentences of the alerts in the order the notification lists them:
  // the jubilees first, then the others, each in the order of the list.
  static std::vector<std::string> Sentences(const TAlertList& alerts,
                                            const std::function<std::string(const TOPObj&)>& sentenceOf);
};

}  // namespace mindrel
