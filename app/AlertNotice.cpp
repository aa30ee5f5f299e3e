#include "app/AlertNotice.h"

namespace mindrel {

std::vector<std::string> TAlertNotice::Sentences(const TAlertList& alerts,
                                                 const std::function<std::string(const TOPObj&)>& sentenceOf) {
  std::vector<std::string> sentences;
  for (const bool jubilees : {true, false}) {
    for (int i = 0; i < alerts.Count(); ++i) {
      if (alerts.Entry(i).Jubilee == jubilees) sentences.push_back(sentenceOf(alerts.Entry(i)));
    }
  }
  return sentences;
}

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
