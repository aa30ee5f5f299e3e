#pragma once

#include <QObject>

#include "help/HelpViewerForm.h"
#include "help/conHTMLHelp.h"

class QWidget;

namespace mindrel {

// Context help for every window of the program: F1 on a control sends a
// context request with the control's help context number to the router;
// clicking the control in "What's this?" mode shows the short text of that
// topic. A control's number is its "helpContext" property, or else the
// nearest parent's.
class TQtContextHelp : public QObject {
  Q_OBJECT

 public:
  // Both must outlive this object, which watches the whole application.
  TQtContextHelp(TconHTMLHelp& router, THelpViewerForm& viewer);
  ~TQtContextHelp() override;

  static int HelpContextOf(const QWidget* widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TconHTMLHelp& router_;
  THelpViewerForm& viewer_;
};

}  // namespace mindrel
