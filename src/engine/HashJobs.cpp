#include "HashJobs.h"

#include "ScanObserver.h"

#include "app/modAPI_scan.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr auto kYieldInterval = std::chrono::milliseconds(20);

// Jobs a reader takes at a time, read together: small enough that the readers still share
// the last jobs out evenly.
constexpr size_t kTake = 32;
static_assert(kTake <= modAPI::ScanBatch::Most);

} // namespace

// What the readers share of one round.
struct HashRound {
    HashRound(const FileList& list, std::vector<HashJob>& jobs, std::vector<quint32> order,
              ContentHasher::Mode mode, std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead)
        : List(list), Jobs(jobs), Order(std::move(order)), Mode(mode), Cancel(cancel),
          BytesRead(bytesRead) {}

    const FileList& List;
    std::vector<HashJob>& Jobs;
    const std::vector<quint32> Order; // of the jobs, as they are read
    ContentHasher::Mode Mode;
    std::atomic<bool>& Cancel;
    std::atomic<qint64>& BytesRead;
    std::atomic<size_t> Next{0};
    size_t Take = kTake;
};

namespace {

void Work(HashRound& shared, ContentHasher& hasher) {
    hasher.CountReadsIn(&shared.BytesRead);
    std::array<std::string, kTake> names;
    std::array<ContentHasher::FileIn, kTake> files;
    for (;;) {
        const size_t begin = shared.Next.fetch_add(shared.Take, std::memory_order_relaxed);
        if (begin >= shared.Jobs.size())
            break;
        const size_t n = std::min(shared.Take, shared.Jobs.size() - begin);
        for (size_t k = 0; k < n; ++k) {
            HashJob& job = shared.Jobs[shared.Order[begin + k]];
            const FileRecord& r = shared.List[job.Record];
            names[k].assign(shared.List.Name(r));
            files[k] = {shared.List.FolderBytes(r),
                        names[k].c_str(),
                        shared.List.DeviceOf(r),
                        r.Inode,
                        &job.Result,
                        &job.Error};
        }
        hasher.HashAll(std::span(files.data(), n), shared.Mode, &shared.Cancel);
    }
    hasher.CountReadsIn(nullptr);
    hasher.ReleaseFolders();
}

// By folder, so each reader opens the files of one folder relative to it: a path lookup per
// folder instead of one per file. Folders in the order of their lowest inode and files by
// inode within them: a file system keeps a folder's inodes (and most often its data)
// together, so this is close to the disk's own order for a cold read.
// The jobs themselves stay in the order given, which is the order of their records and so
// of their buckets: sorting them by folder and back cost more than their reading's own
// bookkeeping. Folders are counted out, so only each folder's few files are compared.
std::vector<quint32> ReadingOrder(const FileList& list, const std::vector<HashJob>& jobs) {
    const size_t folders = list.FolderCount();
    std::vector<quint64> lowest(folders, ~quint64(0));
    std::vector<quint32> start(folders, 0);
    for (const HashJob& job : jobs) {
        const FileRecord& r = list[job.Record];
        lowest[r.Folder] = std::min(lowest[r.Folder], r.Inode);
        ++start[r.Folder];
    }
    std::vector<quint32> used;
    for (quint32 f = 0; f < folders; ++f) {
        if (start[f] > 0)
            used.push_back(f);
    }
    std::sort(used.begin(), used.end(), [&](quint32 a, quint32 b) {
        return std::pair(lowest[a], a) < std::pair(lowest[b], b);
    });
    quint32 at = 0;
    for (const quint32 f : used) {
        const quint32 count = start[f];
        start[f] = at;
        at += count;
    }
    std::vector<quint32> order(jobs.size());
    for (quint32 j = 0; j < jobs.size(); ++j)
        order[start[list[jobs[j].Record].Folder]++] = j;
    // start[f] is now where folder f's files end.
    const auto inode = [&](quint32 j) { return list[jobs[j].Record].Inode; };
    for (size_t begin = 0; begin < order.size();) {
        const size_t end = start[list[jobs[order[begin]].Record].Folder];
        std::sort(order.begin() + qsizetype(begin), order.begin() + qsizetype(end),
                  [&](quint32 a, quint32 b) { return inode(a) < inode(b); });
        begin = end;
    }
    return order;
}

} // namespace

void RunYielding(const std::function<void()>& work, ScanObserver* observer) {
    if (!observer) {
        work();
        return;
    }
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::thread helper([&]() {
        work();
        std::lock_guard<std::mutex> guard(lock);
        done = true;
        finished.notify_all();
    });
    std::unique_lock<std::mutex> guard(lock);
    while (!done) {
        if (!finished.wait_for(guard, kYieldInterval, [&] { return done; })) {
            guard.unlock();
            observer->Yield();
            guard.lock();
        }
    }
    guard.unlock();
    helper.join();
}

HashReaders::HashReaders(int threads) : m_threads(std::max(1, threads)) {}

HashReaders::~HashReaders() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void HashReaders::Serve() {
    // Kept from round to round with the thread: its ring and buffers are set up once.
    ContentHasher hasher;
    quint64 served = 0;
    for (;;) {
        HashRound* round = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return m_stop || m_generation != served; });
            if (m_stop)
                return;
            served = m_generation;
            round = m_round;
        }
        Work(*round, hasher);
        std::lock_guard<std::mutex> guard(m_lock);
        if (--m_running == 0)
            m_finished.notify_all();
    }
}

void HashReaders::Run(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
                      ScanObserver* observer, std::atomic<bool>& cancel,
                      std::atomic<qint64>& bytesRead) {
    if (jobs.empty())
        return;
    std::vector<quint32> order;
    RunYielding([&]() { order = ReadingOrder(list, jobs); }, observer);
    HashRound shared(list, jobs, std::move(order), mode, cancel, bytesRead);
    // A few large files must not all go to the first reader while the others find nothing
    // left: the takes shrink until every reader gets some.
    shared.Take = std::clamp(jobs.size() / size_t(m_threads), size_t(1), kTake);
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_workers.empty()) {
        m_workers.reserve(size_t(m_threads));
        for (int t = 0; t < m_threads; ++t)
            m_workers.emplace_back(&HashReaders::Serve, this);
    }
    m_round = &shared;
    m_running = int(m_workers.size());
    ++m_generation;
    m_wake.notify_all();
    while (m_running > 0) {
        m_finished.wait_for(lock, kYieldInterval);
        if (observer && m_running > 0) {
            lock.unlock();
            observer->Yield();
            lock.lock();
        }
    }
    m_round = nullptr;
}
