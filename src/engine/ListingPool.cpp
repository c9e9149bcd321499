#include "ListingPool.h"

#include <algorithm>
#include <chrono>

namespace {

// Listings made ahead and not yet taken; keeps the memory of a run far ahead bounded.
constexpr size_t kMaxReady = 1024;
// How often a wait for a worker's listing looks up: the walk's yield is due every 20 ms,
// and a quarter of that keeps it close to its time.
constexpr auto kWaitStep = std::chrono::milliseconds(5);

} // namespace

ListingPool::ListingPool(const ListingRules& rules, int workers, std::atomic<bool>& cancel)
    : m_rules(rules), m_cancel(cancel) {
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back(&ListingPool::Work, this);
}

ListingPool::~ListingPool() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void ListingPool::QueueChildren(const FolderListing& listing) {
    if (!m_rules.IncludeSubFolder)
        return;
    if (listing.HasIdentity && !m_claimed.insert({listing.Device, listing.Inode}).second)
        return; // listed before under another path: its sub-folders are queued already
    const size_t before = m_queue.size();
    for (auto it = listing.Entries.rbegin(); it != listing.Entries.rend(); ++it) {
        if (it->Type != modAPI::EntryType::Directory || !it->HasStat)
            continue;
        if (!m_rules.IncludeReadOnly && (it->Attributes & modAPI::AttrReadOnly))
            continue;
        m_queue.push_back(listing.Path + it->Name + '/');
    }
    if (m_queue.size() != before)
        m_wake.notify_all();
}

void ListingPool::Work() {
    modAPI::ScanBatch batch;
    for (;;) {
        std::string path;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] {
                return m_stop || (!m_queue.empty() && m_ready.size() < kMaxReady);
            });
            if (m_stop)
                return;
            path = std::move(m_queue.back());
            m_queue.pop_back();
            m_busy.insert(path);
        }
        auto listing = std::make_unique<FolderListing>();
        if (!m_cancel.load(std::memory_order_relaxed))
            ListFolder(
                path, m_rules, *listing,
                [this] { return !m_cancel.load(std::memory_order_relaxed); }, &batch);
        std::lock_guard<std::mutex> guard(m_lock);
        QueueChildren(*listing);
        m_busy.erase(path);
        m_ready[path] = std::move(listing);
        m_done.notify_one(); // only the walk waits for a listing
    }
}

std::unique_ptr<FolderListing> ListingPool::ListHere(const std::string& path,
                                                     const std::function<void()>& yieldIfDue) {
    auto listing = std::make_unique<FolderListing>();
    if (!m_here)
        m_here = std::make_unique<modAPI::ScanBatch>();
    ListFolder(
        path, m_rules, *listing,
        [&] {
            yieldIfDue();
            return !m_cancel.load(std::memory_order_relaxed);
        },
        m_here.get());
    std::lock_guard<std::mutex> guard(m_lock);
    QueueChildren(*listing);
    return listing;
}

std::unique_ptr<FolderListing> ListingPool::Take(const std::string& path,
                                                 const std::function<void()>& yieldIfDue) {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        if (const auto it = m_ready.find(path); it != m_ready.end()) {
            std::unique_ptr<FolderListing> listing = std::move(it->second);
            const bool wasFull = m_ready.size() >= kMaxReady;
            m_ready.erase(it);
            if (wasFull)
                m_wake.notify_one(); // room for one more ahead
            return listing;
        }
        if (!m_busy.count(path))
            break;
        if (!m_done.wait_for(guard, kWaitStep, [&] { return !m_busy.count(path); })) {
            guard.unlock();
            yieldIfDue();
            guard.lock();
        }
        // The worker stops soon as well, but the walk need not wait for it.
        if (m_cancel.load(std::memory_order_relaxed)) {
            auto stopped = std::make_unique<FolderListing>();
            stopped->Path = path;
            stopped->Stopped = true;
            return stopped;
        }
    }
    // Not started by any worker: list it here rather than wait for one.
    const auto queued = std::find(m_queue.rbegin(), m_queue.rend(), path);
    if (queued != m_queue.rend())
        m_queue.erase(std::next(queued).base());
    guard.unlock();
    return ListHere(path, yieldIfDue);
}
