#pragma once

#include <QStringList>

// How many live (not zombie) processes run `sleep` with one of the given durations: tests that
// stop commands check with it that nothing was left behind.
int runningSleeps(const QStringList& durations);
