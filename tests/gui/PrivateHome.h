#pragma once

#include <QString>

// Keeps the log-on entry and the registry lookup of the program under test
// in folders below `home`, away from the user's own.
void UsePrivateHome(const QString& home);
// Writes a demo family tree with mktree, its anniversaries around
// 10 December 2026, the day the window tests take as today; false when
// mktree fails.
bool MakeDemoTree(const QString& folder, int people, int seed);
