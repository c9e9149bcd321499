#pragma once

#include <QString>

// How a scan of a profile ended, for the record: the window and the command line end every
// run through RecordRun, so both leave the same statistics, run log and catalogue row.
struct ScanSummary {
    bool Succeeded = false; // false: it failed (a missing or unreadable profile, an error)
    qint64 Files = 0;
    qint64 Groups = 0;
    qint64 Seconds = 1; // as the run shows it, never less than one
};

// What was recorded: the status and last-run time the profile list shows.
struct RecordedRun {
    QString Status;
    QString LastRun;
    bool RunLogWritten = false;
};

// Records a finished scan of the profile: a successful one fills the run statistics and
// rewrites the run log; either way the catalogue's row takes the outcome at once, so it
// survives whatever happens to the program later. A cancelled scan is not recorded at all.
RecordedRun RecordRun(const QString& profileName, const ScanSummary& scan);
