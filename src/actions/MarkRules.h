#pragma once

#include "ResultsModel.h"

#include <QString>
#include <QStringList>

// Re-marking whole result lists at once, so nobody has to click through thousands of
// groups. Every rule works on the rows as they stand and keeps to what a click may do: a
// removed (struck) file keeps its mark and never counts as the kept copy, and no group is
// ever left without an unmarked file that is still there. Where files tie, the one higher
// in the list wins, so the same list and rule always give the same marks.
namespace MarkRules {

enum class Rule {
    KeepNewest,       // by modified time
    KeepOldest,       //
    KeepShortestPath, // in characters
    KeepLongestPath,  //
    KeepFirstUnder,   // the first file under Folder; groups without one stay as they are
    MarkUnder,        // every file under Folder
    UnmarkUnder,      //
    MarkMatching,     // every file whose name matches Pattern ("*", "?", any case)
    UnmarkMatching,   //
};

struct Request {
    Rule What = Rule::KeepNewest;
    QString Folder;
    QString Pattern;
    // Files under these are never removed, so a rule keeps one of them wherever a group
    // has one (except that "first under a folder" keeps the folder the person chose).
    QStringList Protected;
};

struct Outcome {
    qint64 Groups = 0;  // groups whose marks changed
    qint64 Changed = 0; // files whose mark changed
    qint64 Spared = 0;  // groups where a file the rule would mark stayed the unmarked copy
    ResultsModel::MarkTotals Marked;
};

// The "keep" rules leave exactly one unmarked file per group (the rest marked); the others
// change only the files they name. The views hear of it once.
Outcome Apply(ResultsModel& model, const Request& request);

// Marks the files from one row to another (either order; headers and collapsed rows are
// passed over), each group keeping an unmarked file.
Outcome MarkRange(ResultsModel& model, qint64 from, qint64 to, const QStringList& protectedFolders);

// A "keep" rule as the command line names it: newest, oldest, shortest, longest or
// first-under:DIR (DIR as AbsoluteFolder takes it). False with a message.
bool ParseKeep(const QString& text, Request& request, QString& error);

// A folder named on the command line, made absolute against the working folder and written
// as the listing writes paths: no ".", "..", doubled or trailing separators, which would
// otherwise make it match no file at all. False with a message.
bool AbsoluteFolder(const QString& given, QString& folder, QString& error);

// "12 files marked, 3.4 MB to free".
QString TotalsText(const ResultsModel::MarkTotals& totals);
// A byte count as the status bar shows it: "1 byte", "999 bytes", "13.0 kB", "68.7 MB".
QString SizeText(qint64 bytes);
// "1 file", "57 files".
QString FilesText(qint64 files);

} // namespace MarkRules
