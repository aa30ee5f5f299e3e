#include "PrivateHome.h"

#include <QProcess>

void UsePrivateHome(const QString& home) {
  qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toUtf8());
  qputenv("WINEPREFIX", (home + QStringLiteral("/no-wine")).toUtf8());
}

bool MakeDemoTree(const QString& folder, int people, int seed) {
  QProcess mktree;
  mktree.start(QStringLiteral(MINDREL_BIN_DIR "/mktree"),
               {folder, QStringLiteral("--people"), QString::number(people), QStringLiteral("--seed"),
                QString::number(seed), QStringLiteral("--today"), QStringLiteral("2026-12-10")});
  return mktree.waitForFinished(60000) && mktree.exitStatus() == QProcess::NormalExit && mktree.exitCode() == 0;
}
