#include "help/HelpBrowserWidget.h"

#include <QHelpEngineCore>

namespace mindrel {

QVariant THelpBrowserWidget::loadResource(int type, const QUrl& name) {
  if (engine_ != nullptr && name.scheme() == QLatin1String("qthelp")) return engine_->fileData(name);
  return QTextBrowser::loadResource(type, name);
}

}  // namespace mindrel
