#pragma once

#include <QStringList>

// echofind-cli undo NAME [--wait] [-q]: puts back what the profile's last action run
// removed. Exit status 0 when every file is back, 1 when some are not, 2 bad usage, 3 when
// nothing could be undone, 4 when another action run holds the lock.
int RunUndoCommand(const QStringList& args);
