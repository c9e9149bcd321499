#pragma once

#include "ContentHasher.h"
#include "FileList.h"

#include <atomic>
#include <functional>
#include <vector>

class ScanObserver;

// One file to read: the record's index in the list and, afterwards, its signature or the
// errno code of the failure.
struct HashJob {
    quint32 Record = 0;
    int Error = 0;
    Signature Result;
};

// Reads the jobs' files on worker threads. The calling thread only waits and gives the
// observer its Yield at least every 50 ms, so the user interface stays live and Cancel
// is heard; a cancel stops every reader within one read part. Logging and the run
// statistics stay with the caller, on its thread.
// Runs work on a helper thread while the calling thread gives the observer its Yield, so
// that a long sort does not freeze the window.
void RunYielding(const std::function<void()>& work, ScanObserver* observer);

void RunHashJobs(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
                 int threads, ScanObserver* observer, std::atomic<bool>& cancel,
                 std::atomic<qint64>& bytesRead);
