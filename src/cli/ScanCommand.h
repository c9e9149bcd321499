#pragma once

#include <QStringList>

// echofind-cli scan: exit status 0 done, 1 done with errors, 2 bad usage, 3 failed.
int RunScanCommand(const QStringList& args);
