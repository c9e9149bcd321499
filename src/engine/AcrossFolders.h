#pragma once

#include "FileList.h"

#include <QStringList>

// Keeps only the duplicate groups of a sorted list whose files lie under at least two of
// the scanned folders, for the question "what of this folder is already in that one".
// Each file counts for the most specific scanned folder that holds it, so with /a and
// /a/b both scanned a file in /a/b/x belongs to /a/b, whichever walk stored it. The other
// records are dropped from the list, which stays sorted; groups are then formed from it
// as from any other list.
void KeepGroupsAcrossFolders(FileList& list, const QStringList& scannedFolders);
