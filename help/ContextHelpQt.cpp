#include "help/ContextHelpQt.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QWhatsThis>
#include <QWidget>

namespace mindrel {

TQtContextHelp::TQtContextHelp(TconHTMLHelp& router, THelpViewerForm& viewer) : router_(router), viewer_(viewer) {
  qApp->installEventFilter(this);
}

TQtContextHelp::~TQtContextHelp() { qApp->removeEventFilter(this); }

int TQtContextHelp::HelpContextOf(const QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    const int context = widget->property("helpContext").toInt();
    if (context > 0) return context;
    if (widget->isWindow()) break;
  }
  return 0;
}

bool TQtContextHelp::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) return false;
  switch (event->type()) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
      const int context = HelpContextOf(widget);
      if (context == 0) return false;
      router_.HelpCommand(TconHTMLHelp::kHelpContext, context);
      return true;
    }
    case QEvent::QueryWhatsThis:
      if (HelpContextOf(widget) == 0) return false;
      event->accept();
      return true;
    case QEvent::WhatsThis: {
      const int context = HelpContextOf(widget);
      const QString text = context == 0 ? QString() : viewer_.ShortText(router_.HelpFile(), context);
      if (text.isEmpty()) return false;
      QWhatsThis::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, widget);
      event->accept();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace mindrel
