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

struct Shared {
    Shared(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
           std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead)
        : List(list), Jobs(jobs), Mode(mode), Cancel(cancel), BytesRead(bytesRead) {}

    const FileList& List;
    std::vector<HashJob>& Jobs;
    ContentHasher::Mode Mode;
    std::atomic<bool>& Cancel;
    std::atomic<qint64>& BytesRead;
    std::atomic<size_t> Next{0};
    std::mutex Lock;
    std::condition_variable Finished;
    int Running = 0;
};

// Jobs a reader takes at a time, read together: small enough that the readers still share
// the last jobs out evenly.
constexpr size_t kTake = 32;
static_assert(kTake <= modAPI::ScanBatch::Most);

void Work(Shared& shared) {
    ContentHasher hasher;
    hasher.CountReadsIn(&shared.BytesRead);
    std::array<std::string, kTake> names;
    std::array<ContentHasher::FileIn, kTake> files;
    for (;;) {
        const size_t begin = shared.Next.fetch_add(kTake, std::memory_order_relaxed);
        if (begin >= shared.Jobs.size())
            break;
        const size_t n = std::min(kTake, shared.Jobs.size() - begin);
        for (size_t k = 0; k < n; ++k) {
            HashJob& job = shared.Jobs[begin + k];
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
    std::lock_guard<std::mutex> guard(shared.Lock);
    --shared.Running;
    shared.Finished.notify_all();
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

void RunHashJobs(const FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
                 int threads, ScanObserver* observer, std::atomic<bool>& cancel,
                 std::atomic<qint64>& bytesRead) {
    if (jobs.empty())
        return;
    // By folder, so each reader opens the files of one folder relative to it: a path
    // lookup per folder instead of one per file. Folders in the order of their lowest inode
    // and files by inode within them: a file system keeps a folder's inodes (and most often
    // its data) together, so this is close to the disk's own order for a cold read.
    RunYielding(
        [&]() {
            std::vector<quint64> lowest(list.FolderCount(), ~quint64(0));
            for (const HashJob& job : jobs) {
                const FileRecord& r = list[job.Record];
                lowest[r.Folder] = std::min(lowest[r.Folder], r.Inode);
            }
            std::sort(jobs.begin(), jobs.end(), [&](const HashJob& a, const HashJob& b) {
                const FileRecord& x = list[a.Record];
                const FileRecord& y = list[b.Record];
                if (x.Folder != y.Folder) {
                    if (lowest[x.Folder] != lowest[y.Folder])
                        return lowest[x.Folder] < lowest[y.Folder];
                    return x.Folder < y.Folder;
                }
                return x.Inode < y.Inode;
            });
        },
        observer);
    Shared shared(list, jobs, mode, cancel, bytesRead);
    const int count = std::max(1, std::min<int>(threads, int(jobs.size())));
    shared.Running = count;
    std::vector<std::thread> workers;
    workers.reserve(size_t(count));
    for (int t = 0; t < count; ++t)
        workers.emplace_back(Work, std::ref(shared));
    std::unique_lock<std::mutex> lock(shared.Lock);
    while (shared.Running > 0) {
        shared.Finished.wait_for(lock, kYieldInterval);
        if (observer && shared.Running > 0) {
            lock.unlock();
            observer->Yield();
            lock.lock();
        }
    }
    lock.unlock();
    for (std::thread& worker : workers)
        worker.join();
}
