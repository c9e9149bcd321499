#pragma once

#include <QStringList>

// echofind-cli run NAME [--remove] [--single-copy] [--export]: scans a saved profile as the
// window does, then applies the chosen actions to the default marks. Exit status as for
// scan; 1 also when an action recorded an error, 3 when an action could not run at all.
int RunRunCommand(const QStringList& args);
