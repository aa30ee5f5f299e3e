#pragma once

#include <string>

#include "help/HelpViewer.h"

namespace mindrel {

// The application's help handler: every help request of the program (help
// file button, F1, "What's this?" clicks, the Help buttons of messages)
// arrives here as a command number of the classic help requests and becomes
// one call of the help viewer.
class TconHTMLHelp {
 public:
  // Command numbers of the classic help requests.
  static constexpr int kHelpContext = 1;
  static constexpr int kHelpQuit = 2;
  static constexpr int kHelpContents = 3;
  static constexpr int kHelpHelpOnHelp = 4;
  static constexpr int kHelpContextPopup = 8;
  static constexpr int kHelpFinder = 11;
  static constexpr int kHelpKey = 257;
  static constexpr int kHelpPartialKey = 261;

  // The viewer must outlive the router.
  explicit TconHTMLHelp(THelpViewer& viewer) : viewer_(viewer) {}
  // An installed router uninstalls itself.
  ~TconHTMLHelp();
  TconHTMLHelp(const TconHTMLHelp&) = delete;
  TconHTMLHelp& operator=(const TconHTMLHelp&) = delete;

  void SetHelpFile(std::string helpFile) { helpFile_ = std::move(helpFile); }
  const std::string& HelpFile() const { return helpFile_; }
  // The file "help on using help" opens: "HTMLHelp" beside the help file,
  // with the help file's extension.
  std::string HelpOnHelpFile() const;

  // `number` carries a context number, `text` a keyword or topic. Always
  // reports the request as handled.
  bool HelpCommand(int command, int number, const std::string& text = {});

  // The router that answers the program's help requests; null when none is
  // installed (then requests do nothing).
  static TconHTMLHelp* Application() { return installed_; }
  void Install() { installed_ = this; }
  void Uninstall();
  // A context request to the installed router, if there is one.
  static void ShowContext(int context);

 private:
  THelpViewer& viewer_;
  std::string helpFile_;
  static TconHTMLHelp* installed_;
};

}  // namespace mindrel
