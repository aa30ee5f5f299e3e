#include "help/conHTMLHelp.h"

namespace mindrel {

TconHTMLHelp* TconHTMLHelp::installed_ = nullptr;

TconHTMLHelp::~TconHTMLHelp() { Uninstall(); }

void TconHTMLHelp::Uninstall() {
  if (installed_ == this) installed_ = nullptr;
}

void TconHTMLHelp::ShowContext(int context) {
  if (installed_ != nullptr) installed_->HelpCommand(kHelpContext, context);
}

std::string TconHTMLHelp::HelpOnHelpFile() const {
  const auto slash = helpFile_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : helpFile_.substr(0, slash + 1);
  const auto dot = helpFile_.find_last_of('.');
  const std::string extension =
      dot == std::string::npos || (slash != std::string::npos && dot < slash) ? std::string() : helpFile_.substr(dot);
  return folder + "HTMLHelp" + extension;
}

bool TconHTMLHelp::HelpCommand(int command, int number, const std::string& text) {
  switch (command) {
    case kHelpContext:
    case kHelpContextPopup:
      viewer_.DisplayContext(helpFile_, number);
      break;
    case kHelpQuit:
      viewer_.CloseAll();
      break;
    case kHelpContents:
      viewer_.DisplayContents(helpFile_);
      break;
    case kHelpHelpOnHelp:
      viewer_.DisplayContents(HelpOnHelpFile());
      break;
    case kHelpFinder:
      viewer_.DisplayTopic(helpFile_, text);
      break;
    case kHelpKey:
    case kHelpPartialKey:
      viewer_.DisplayIndex(helpFile_, text);
      break;
    default:
      viewer_.DisplayTopic(helpFile_, {});
      break;
  }
  return true;
}

}  // namespace mindrel
