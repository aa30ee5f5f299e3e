#pragma once

#include <string>

namespace mindrel {

// The program that shows a compiled help file: its contents, a topic, the
// topic of a context number, its keyword index. The help router talks only to
// this, so the routing is tested without any window.
class THelpViewer {
 public:
  virtual ~THelpViewer() = default;
  virtual void DisplayContents(const std::string& helpFile) = 0;
  // An empty topic shows the file's default topic.
  virtual void DisplayTopic(const std::string& helpFile, const std::string& topic) = 0;
  virtual void DisplayContext(const std::string& helpFile, int context) = 0;
  virtual void DisplayIndex(const std::string& helpFile, const std::string& keyword) = 0;
  virtual void CloseAll() = 0;
};

}  // namespace mindrel
