#pragma once

#include "FileList.h"

#include <atomic>

class HashCache;
class HashReaders;
class ScanObserver;

// What the analysis needs beyond the list itself.
struct AnalysisSettings {
    int Threads = 1;    // reading threads
    bool Staged = true; // false reads every file, for the cross-check
    // What earlier runs learnt; staged runs only, the unstaged one proves what reading gives.
    HashCache* Cache = nullptr;
    // Set by AnalyseScan for the run; Threads of them.
    HashReaders* Readers = nullptr;
};

// Candidates read as one slice; a slice takes whole buckets, so it may hold more. Tests make
// it small to cross the seams between slices on a small tree.
extern std::atomic<size_t> ScanSliceJobs;

// Turns the walked list into the sorted list that the grouping pass reads: computes the
// content signatures that can matter, drops the files that could not be read (logged and
// counted), and sorts by key, then path. Returns false when cancelled; the list then holds
// every record that was stored, in no particular order.
bool AnalyseScan(FileList& list, const AnalysisSettings& settings, ScanObserver* observer,
                 std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead);
