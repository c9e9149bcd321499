#pragma once

#include "ContentHasher.h"
#include "FileList.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ScanObserver;
struct HashRound;

// One file to read: the record's index in the list and, afterwards, its signature or the
// errno code of the failure.
struct HashJob {
    quint32 Record = 0;
    int Error = 0;
    Signature Result;
};

// Runs work on a helper thread while the calling thread gives the observer its Yield, so
// that a long sort does not freeze the window.
void RunYielding(const std::function<void()>& work, ScanObserver* observer);

// The reading threads of one scan, started by its first read and kept for the next: a
// thread's start, with its ring's and the kernel workers' behind it, cost about as much as
// reading several hundred small files, and a scan reads in several stages per slice.
class HashReaders {
public:
    explicit HashReaders(int threads);
    ~HashReaders();
    HashReaders(const HashReaders&) = delete;
    HashReaders& operator=(const HashReaders&) = delete;

    // Reads the jobs' files on the reading threads. The calling thread only waits and gives
    // the observer its Yield at least every 50 ms, so the user interface stays live and
    // Cancel is heard; a cancel stops every reader within one read part. Logging and the
    // run statistics stay with the caller, on its thread. The jobs keep their order.
    void Run(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
             ScanObserver* observer, std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead);

private:
    void Serve();

    const int m_threads;
    std::vector<std::thread> m_workers;
    std::mutex m_lock;
    std::condition_variable m_wake;     // a round to read, or the end
    std::condition_variable m_finished; // every reader done with the round
    HashRound* m_round = nullptr;       // the round under way
    quint64 m_generation = 0;           // counts the rounds, so each reader takes each once
    int m_running = 0;
    bool m_stop = false;
};
