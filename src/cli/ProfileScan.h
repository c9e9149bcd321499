#pragma once

#include <QString>

class FileList;
class ResultSink;
class clsFindFile;
struct ScanOptions;

// What a scan found, for the summary on standard error.
struct ScanOutcome {
    qint64 Files = 0;
    qint64 Groups = 0;
    qint64 DuplicateFiles = 0;
    qint64 BytesToFree = 0;
    double Seconds = 0;
    qint64 Errors = 0;
};

// Runs the scan (the saved profile of the options, or their folders) with the progress
// line, prints the groups on standard output and hands them to the extra sink as well
// (may be null). False when the user interrupted it.
bool RunScan(clsFindFile& scan, const ScanOptions& options, FileList& list, int& status,
             ScanOutcome& out, ResultSink* also = nullptr);

// A profile run records itself as a run from the window does: the run log on success and
// the catalogue entry either way.
void RecordProfileRun(const QString& name, int status, const ScanOutcome& out);

void PrintSummary(const ScanOutcome& out);
