#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Writes a demo family tree with mktree into `folder`, with anniversaries in
// the days after 10 December 2026; false when mktree failed.
inline bool MakeDemoTree(const QString& folder, int people) {
  QProcess mktree;
  mktree.start(QStringLiteral(MINDREL_BIN_DIR "/mktree"),
               {folder, "--people", QString::number(people), "--seed", "3", "--today", "2026-12-10"});
  // The machine may be busy with other builds.
  return mktree.waitForFinished(120000) && mktree.exitStatus() == QProcess::NormalExit &&
         mktree.exitCode() == 0;
}
