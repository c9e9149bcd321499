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

// Jobs [begin, end) are finished; called on the waiting thread, in order, at most
// kReadyBatch jobs at a time, every job once.
using JobsReady = std::function<void(size_t begin, size_t end)>;
constexpr size_t kReadyBatch = 4096;

// The jobs come back sorted by folder. ready, when given, hears of finished jobs while the
// others are still being read, so the caller's own work on them (the cache's write-back)
// runs beside the reading instead of after it.
void RunHashJobs(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
                 int threads, ScanObserver* observer, std::atomic<bool>& cancel,
                 std::atomic<qint64>& bytesRead, const JobsReady& ready = {});
