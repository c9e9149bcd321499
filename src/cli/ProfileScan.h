#pragma once

#include <QString>
#include <QStringList>

class FileList;
class ResultSink;
class clsFindFile;
struct ScanOptions;

// echofind-cli's exit status.
enum CliExit {
    Done = 0,
    DoneWithErrors = 1,
    BadUsage = 2,
    RunFailed = 3,
    AnotherRun = 4, // another action run of the application folder holds its lock
    Interrupted = 130,
};

// What a scan found, for the summary on standard error.
struct ScanOutcome {
    qint64 Files = 0;
    qint64 Groups = 0;
    qint64 DuplicateFiles = 0;
    qint64 BytesToFree = 0;
    double Seconds = 0;
    qint64 Errors = 0;
    // The groups are of folders: the counts above are folder groups and copied folders.
    bool Folders = false;
};

// Runs the scan (the saved profile of the options, or their folders) with the progress
// line, prints the groups on standard output and hands them to the extra sink as well
// (may be null). Prints groups of duplicate folders instead when the options or the
// profile ask for them and there is no extra sink: whoever acts on groups acts on files.
// False when the user interrupted it.
bool RunScan(clsFindFile& scan, const ScanOptions& options, FileList& list, int& status,
             ScanOutcome& out, ResultSink* also = nullptr);

// Runs the saved profile of the options as a run from the window does: start-up, fresh
// statistics, the run log on success and the catalogue entry either way. Prints the
// groups and the summary; the extra sink (may be null) gets the groups too. Returns the
// exit status.
int ScanProfile(const ScanOptions& options, ResultSink* also, ScanOutcome& out);

void PrintSummary(const ScanOutcome& out);
