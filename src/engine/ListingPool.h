#pragma once

#include "FolderListing.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

// Lists folders ahead of the walk on a few threads. The walk asks for folders in its own
// depth-first order and always gets the listing it asks for: ready, finished while it
// waits, or made on its own thread when no worker has started it. Either way the walk's
// yield runs at its interval, and a cancel ends the wait and every listing at once. Workers queue
// each listed folder's sub-folders, first one on top, so they keep just ahead of the walk;
// a folder already listed under another path (a bind mount, a loop) is not followed again
// by the workers, and the walk decides on its own which path is met first.
class ListingPool {
public:
    ListingPool(const ListingRules& rules, int workers, std::atomic<bool>& cancel);
    ~ListingPool();
    ListingPool(const ListingPool&) = delete;
    ListingPool& operator=(const ListingPool&) = delete;

    // The listing of the folder; the caller owns it from now on. yieldIfDue is called
    // while the caller waits or lists, and gives the user interface its chance when its
    // interval has passed. After a cancel the listing may be cut short (Stopped).
    std::unique_ptr<FolderListing> Take(const std::string& path,
                                        const std::function<void()>& yieldIfDue);

private:
    void Work();
    void QueueChildren(const FolderListing& listing);
    std::unique_ptr<FolderListing> ListHere(const std::string& path,
                                            const std::function<void()>& yieldIfDue);

    const ListingRules& m_rules;
    std::atomic<bool>& m_cancel;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::string> m_queue; // back is the next to list
    std::set<std::string> m_busy;
    std::map<std::string, std::unique_ptr<FolderListing>> m_ready;
    std::set<std::pair<quint64, quint64>> m_claimed;
    bool m_stop = false;
    std::unique_ptr<modAPI::ScanBatch> m_here; // the walk's own, for ListHere
    std::vector<std::thread> m_workers;
};
