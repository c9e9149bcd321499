#pragma once

#include "profiles/ProfileDocument.h"

#include <QString>

// What "remove" means for a run: "recycle", "permanent", "move", "zip", "hardlink" or
// "clone" (no rule at all is the trash), the folder of a move or zip, and whether an
// emptied folder goes too (never for "hardlink" and "clone", which leave every name in
// place). The
// window passes what its buttons and questions showed, so the run does what was confirmed
// even when the options have not been saved yet.
struct RemoveRule {
    QString DeleteTo;
    QString TargetFolder;
    bool DeleteEmptyFolder = false;

    // Whether this version knows what the rule asks. A rule it does not know (written by a
    // later version, or by hand) is never taken for another one: nothing is removed by it.
    static bool Known(const QString& deleteTo) {
        return ProfileDocument::KnownRemoveRule(deleteTo);
    }
    static QString UnknownText(const QString& deleteTo) {
        return QStringLiteral("Not removed: the profile's remove rule \"") + deleteTo +
               QStringLiteral("\" is not one this version of Echofind knows");
    }
};
