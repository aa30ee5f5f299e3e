#pragma once

#include <QLineEdit>
#include <QTabWidget>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "help/HelpBrowserWidget.h"
#include "help/HelpViewer.h"

class QHelpEngine;

namespace mindrel {

// The program's help viewer: a window with the contents and the keyword
// index of a help collection beside the page being read. Topics of context
// numbers are the pages whose index keyword carries the identifier
// "context-" + the number.
class THelpViewerForm : public QWidget, public THelpViewer {
  Q_OBJECT

 public:
  explicit THelpViewerForm(QWidget* parent = nullptr);
  ~THelpViewerForm() override;

  void DisplayContents(const std::string& helpFile) override;
  void DisplayTopic(const std::string& helpFile, const std::string& topic) override;
  void DisplayContext(const std::string& helpFile, int context) override;
  void DisplayIndex(const std::string& helpFile, const std::string& keyword) override;
  void CloseAll() override;

  // The short text of a context's topic (its paragraph of class "short"), for
  // "What's this?"; empty when the collection has no such topic.
  QString ShortText(const std::string& helpFile, int context);

  // The page shown; empty while a message stands in its place.
  QUrl CurrentPage() const { return currentPage_; }
  QString CurrentTitle() const { return Browser->documentTitle(); }
  bool ShowsIndex() const { return Tabs->currentIndex() == 1; }

 private:
  // Opens the collection unless it is the one already open; false when it
  // cannot be read (the page then says so).
  bool OpenCollection(const std::string& helpFile);
  QUrl ContextPage(int context) const;
  QUrl TopicPage(const QString& topic) const;
  void ShowPage(const QUrl& page);
  void ShowMissing(const QString& what);
  void PopUp();
  void IndexFilterChanged(const QString& text);

  std::unique_ptr<QHelpEngine> engine_;
  std::string openFile_;
  QUrl currentPage_;
  QTabWidget* Tabs = nullptr;
  QLineEdit* IndexEdit = nullptr;
  THelpBrowserWidget* Browser = nullptr;
};

}  // namespace mindrel
