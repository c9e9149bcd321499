#pragma once

#include <QString>

// What "remove" means for a run: "recycle", "permanent", "move", "zip" or "hardlink"
// (anything else is the trash), the folder of a move or zip, and whether an emptied folder
// goes too (never for "hardlink", which leaves every name in place). The
// window passes what its buttons and questions showed, so the run does what was confirmed
// even when the options have not been saved yet.
struct RemoveRule {
    QString DeleteTo;
    QString TargetFolder;
    bool DeleteEmptyFolder = false;
};
