#include "help/conHTMLHelp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mindrel {
namespace {

// Writes each viewer call as one line, so a request's whole effect is one
// comparable text.
class RecordingViewer : public THelpViewer {
 public:
  void DisplayContents(const std::string& file) override { calls.push_back("contents " + file); }
  void DisplayTopic(const std::string& file, const std::string& topic) override {
    calls.push_back("topic " + file + " [" + topic + "]");
  }
  void DisplayContext(const std::string& file, int context) override {
    calls.push_back("context " + file + " " + std::to_string(context));
  }
  void DisplayIndex(const std::string& file, const std::string& keyword) override {
    calls.push_back("index " + file + " [" + keyword + "]");
  }
  void CloseAll() override { calls.push_back("close"); }
  std::vector<std::string> calls;
};

struct RequestCase {
  int command;
  int number;
  std::string text;
  std::string expected;
};

TEST(HelpRouter, EachRequestBecomesOneViewerCall) {
  const RequestCase cases[] = {
      {TconHTMLHelp::kHelpContext, 204, "", "context /p/Help/Mindrel.qhc 204"},
      {TconHTMLHelp::kHelpContextPopup, 102, "", "context /p/Help/Mindrel.qhc 102"},
      {TconHTMLHelp::kHelpQuit, 7, "", "close"},
      {TconHTMLHelp::kHelpContents, 9, "", "contents /p/Help/Mindrel.qhc"},
      {TconHTMLHelp::kHelpHelpOnHelp, 0, "", "contents /p/Help/HTMLHelp.qhc"},
      {TconHTMLHelp::kHelpFinder, 0, "main.html", "topic /p/Help/Mindrel.qhc [main.html]"},
      {TconHTMLHelp::kHelpKey, 0, "sample", "index /p/Help/Mindrel.qhc [sample]"},
      {TconHTMLHelp::kHelpPartialKey, 0, "samp", "index /p/Help/Mindrel.qhc [samp]"},
      {12345, 17, "ignored", "topic /p/Help/Mindrel.qhc []"},
  };
  for (const RequestCase& request : cases) {
    RecordingViewer viewer;
    TconHTMLHelp router(viewer);
    router.SetHelpFile("/p/Help/Mindrel.qhc");
    EXPECT_TRUE(router.HelpCommand(request.command, request.number, request.text)) << request.command;
    EXPECT_EQ(viewer.calls, std::vector<std::string>{request.expected}) << request.command;
  }
}

TEST(HelpRouter, ContextRequestsReachOnlyTheInstalledRouter) {
  RecordingViewer viewer;
  TconHTMLHelp::ShowContext(5);  // none installed: nothing happens
  {
    TconHTMLHelp router(viewer);
    router.SetHelpFile("Mindrel.qhc");
    router.Install();
    TconHTMLHelp::ShowContext(201);
    EXPECT_EQ(TconHTMLHelp::Application(), &router);
  }
  // The router uninstalled itself when it was freed.
  EXPECT_EQ(TconHTMLHelp::Application(), nullptr);
  TconHTMLHelp::ShowContext(202);
  EXPECT_EQ(viewer.calls, std::vector<std::string>{"context Mindrel.qhc 201"});
}

TEST(HelpRouter, HelpOnHelpSitsBesideTheHelpFile) {
  RecordingViewer viewer;
  TconHTMLHelp router(viewer);
  const std::pair<std::string, std::string> cases[] = {
      {"/opt/m.1/Help/Mindrel.qhc", "/opt/m.1/Help/HTMLHelp.qhc"},
      {"/opt/m.1/Help", "/opt/m.1/HTMLHelp"},
      {"Mindrel.qhc", "HTMLHelp.qhc"},
  };
  for (const auto& [file, expected] : cases) {
    router.SetHelpFile(file);
    EXPECT_EQ(router.HelpOnHelpFile(), expected) << file;
  }
}

}  // namespace
}  // namespace mindrel
