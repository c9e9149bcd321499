#pragma once

#include <QString>

// What "remove" means for a run: "recycle", "permanent", "move" or "zip" (anything else is
// the trash), the folder of a move or zip, and whether an emptied folder goes too. The
// window passes what its buttons and questions showed, so the run does what was confirmed
// even when the options have not been saved yet.
struct RemoveRule {
    QString DeleteTo;
    QString TargetFolder;
    bool DeleteEmptyFolder = false;
};
