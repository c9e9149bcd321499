#pragma once

#include "Catalogue.h"

#include <QString>
#include <QStringList>

#include <vector>

// The profile list of the main window without its widget: which profile documents the
// profile folder holds, what the catalogue says about them, and how the list goes back
// into the catalogue at exit.
namespace ProfileList {

struct Row {
    QString Name;
    QString LastModified;
    QString LastRun;
    QString Status;
};

// Lists the profile documents of a folder in listing order: their full paths and their
// last-write times. The catalogue, entries without ".xml" in their name and entries that
// are both hidden and system are left out. 1, or 3 when the folder cannot be listed.
int GetProfiles(const QString& folder, QStringList& paths, QStringList& dates);

// The rows of the profile list for the profile folder. A profile whose name (the file name
// up to its first ".") has no document of that name is left out. Without a readable
// catalogue every row shows an empty last run and status. listResult receives the result
// of listing the folder.
std::vector<Row> ListRows(int& listResult);

// Index of the first row whose name equals the name without regard to case, or -1.
qsizetype FindRow(const std::vector<Row>& rows, const QString& name);

// The catalogue to write at exit. The list is the base, in its order. An entry that
// another program (the command line) wrote into the catalogue while the list was open
// wins over the list's row when its last run is later; an entry the list does not know
// is kept when its profile still has a document, so neither side's run is lost.
std::vector<Catalogue::Entry> MergeForSave(const std::vector<Row>& rows,
                                           const std::vector<Catalogue::Entry>& onDisk);

// Writes the list into the catalogue, merged with what the file holds now. An empty list
// leaves the file as it is. 1, or 3 when the file could not be written (the previous file
// then stays).
int SaveRows(const std::vector<Row>& rows);

// The width in twips of the "Last Run" column for a list of that many rows: narrower from
// 20 rows on, where the vertical scroll bar appears.
double LastRunColumnTwips(qsizetype rowCount);

} // namespace ProfileList
