#pragma once

#include <QTextBrowser>

class QHelpEngineCore;

namespace mindrel {

// Shows the pages of a help collection: "qthelp:" addresses are read from the
// collection, everything else as a plain text browser would.
class THelpBrowserWidget : public QTextBrowser {
  Q_OBJECT

 public:
  explicit THelpBrowserWidget(QWidget* parent = nullptr) : QTextBrowser(parent) {}
  // The engine must outlive its use here; null shows nothing from a collection.
  void setHelpEngine(QHelpEngineCore* engine) { engine_ = engine; }

  QVariant loadResource(int type, const QUrl& name) override;

 private:
  QHelpEngineCore* engine_ = nullptr;
};

}  // namespace mindrel
