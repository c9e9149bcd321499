#pragma once

#include "clsFileDetails.h"

#include <QString>

class FileList;

// Which file a result row stands for, as the scan saw it: the device and inode name the file,
// the change time (nanoseconds since the epoch) moves with every write, rename over, chmod
// or time reset. A removal compares them with the file at the path now, so a file replaced
// by a copy that kept its size and modified time is never taken for the one compared.
// All zero means not known; nothing is removed on an unknown identity.
struct FileIdentity {
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 ChangedNs = 0;
    // Not part of which file it is (the change time already moves with it): carried so rows
    // can be ordered by age exactly, which the shown local time cannot do in the hour that
    // repeats when the clocks go back. 0 when not known.
    qint64 ModifiedSecs = 0;
    // The folder that holds it, as the scan saw it: an action reaches the file only through
    // that very folder, whatever link may have been put on the way since. 0 when not known.
    quint64 FolderDevice = 0;
    quint64 FolderInode = 0;

    bool Known() const { return Inode != 0; }
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.Device == b.Device && a.Inode == b.Inode && a.ChangedNs == b.ChangedNs;
    }
};

// Where the grouping pass hands each duplicate group, in this order per group: AddHeader,
// AddRow for every file (the first with firstRecord true), UpdateHeadTotal, UpdateHeader.
// ClearRecs comes once before the first group. The results model implements it for the
// window, the command line prints, tests record. A row's details carry no FileKey: the
// group stands for it, and rows read back from a report never had one.
class ResultSink {
public:
    virtual ~ResultSink() = default;

    virtual void ClearRecs() = 0;
    // Returns the header's row number.
    virtual qint64 AddHeader(const QString& fileName) = 0;
    virtual void AddRow(bool firstRecord, const clsFileDetails& details,
                        const FileIdentity& identity) = 0;
    virtual void UpdateHeadTotal(qint64 rowNo, qint64 total) = 0;
    virtual qint64 UpdateHeader(qint64 rowNo, const QString& text) = 0;
    // A row of a group of duplicate folders, in place of AddRow: the folder's path, its
    // total size and its file count as the attributes. It stands for no one file, so a
    // sink that marks rows for removal must never let it be marked; one that only prints
    // takes it as a row.
    virtual void AddFolderRow(bool firstRecord, const clsFileDetails& details) {
        AddRow(firstRecord, details, FileIdentity{});
    }
    // Opens a group of files that belongs to the group of duplicate folders handed on
    // before it: the files at one relative name, one per folder. A sink that orders, hides
    // or takes out groups keeps it with that folder group; one that only prints takes it as
    // any group.
    virtual qint64 AddMemberHeader(const QString& fileName) { return AddHeader(fileName); }
    // A sink that needs no more of a file than what the list holds says so, and is then
    // handed each file row as its place in the list (AddListRow, in place of AddRow) and
    // each header with an empty name: decoding names and writing out dates for every row
    // took a tenth of a name-and-size scan that printed its groups.
    virtual bool TakesListRows() const { return false; }
    virtual void AddListRow(bool firstRecord, const FileList& list, size_t index) {
        (void)firstRecord;
        (void)list;
        (void)index;
    }
};

// One file row as a sink received it, for sinks that hold a group back before passing it
// on.
struct HeldRow {
    clsFileDetails Details;
    FileIdentity Identity;
    bool First = false;
};
