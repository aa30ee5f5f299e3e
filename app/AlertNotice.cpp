#include "app/AlertNotice.h"

namespace mindrel {

std::string TAlertNotice::Body(const std::vector<std::string>& sentences) {
  std::string body;
  for (std::size_t i = 0; i < sentences.size() && i < kListedAlerts; ++i) {
    if (i > 0) body += '\n';
    body += sentences[i];
  }
  if (sentences.size() > kListedAlerts)
    body += "\nand " + std::to_string(sentences.size() - kListedAlerts) + " more";
  return body;
}

}  // namespace mindrel
