// Long listings: a folder of 200,000 entries keeps the user interface live and hears
// Cancel while it is listed, whether the walk lists it itself or waits for a worker.

#include "EngineFixtures.h"

#include "engine/FolderListing.h"
#include "engine/ListingPool.h"

#include <chrono>
#include <thread>

#include <dirent.h>
#include <sys/statvfs.h>

using namespace engine_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kEntries = 200000;

// Counts the files and times the gaps between the chances the scan gives the user
// interface, from the start of the scan to its end; may cancel at a chosen Yield.
class PacingObserver final : public ScanObserver {
public:
    explicit PacingObserver(std::atomic<bool>& cancel) : m_cancel(cancel) {}

    void DisplayFileName(const QString&) override { ++Files; }
    bool WantsFileNames() const override { return false; }
    void DisplayStatus(const QString&) override {}
    void Yield() override {
        Tick();
        ++Yields;
        if (m_cancel.load())
            ++YieldsAfterCancel;
        if (CancelAtYield == Yields) {
            m_cancel = true;
            CancelledAt = Clock::now();
        }
    }

    void Start() { m_last = m_start = Clock::now(); }
    void Finish() {
        Tick();
        Total = Clock::now() - m_start;
    }

    qint64 Files = 0;
    int Yields = 0;
    int YieldsAfterCancel = 0;
    int CancelAtYield = 0;
    Clock::duration LongestGap{};
    Clock::duration Total{};
    Clock::time_point CancelledAt;

private:
    void Tick() {
        const auto now = Clock::now();
        LongestGap = std::max(LongestGap, now - m_last);
        m_last = now;
    }

    std::atomic<bool>& m_cancel;
    Clock::time_point m_start, m_last;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

class LongListing : public ::testing::Test {
protected:
    // Made once for the whole suite: creating 200,000 files takes a while. On tmpfs when
    // it has room for them, so that the listing, not the disk, is what takes the time.
    // Empty files cost a tmpfs no pages, only inodes; the walk still handles each one.
    static void SetUpTestSuite() {
        struct statvfs shm {};
        const bool roomy = ::statvfs("/dev/shm", &shm) == 0 && shm.f_favail > 2 * kEntries &&
                           ::access("/dev/shm", W_OK) == 0;
        const QString base = roomy ? u"/dev/shm"_s : QDir::tempPath();
        s_root = new QTemporaryDir(base + u"/echofind-listing-XXXXXX"_s);
        ASSERT_TRUE(s_root->isValid());
        const QByteArray big = QFile::encodeName(s_root->path() + u"/big"_s);
        ASSERT_EQ(::mkdir(big.constData(), 0755), 0);
        const int dir = ::open(big.constData(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(dir, 0);
        char name[32];
        for (int i = 0; i < kEntries; ++i) {
            std::snprintf(name, sizeof name, "entry-%06d.dat", i);
            const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
            ASSERT_GE(fd, 0) << name;
            ::close(fd);
        }
        ::close(dir);
    }
    static void TearDownTestSuite() {
        delete s_root;
        s_root = nullptr;
    }

    static QString Root() { return s_root->path() + u'/'; }

    // Scans the big folder: its files are empty, so they are seen and left out.
    static void Run(PacingObserver& observer, clsFindFile& scan) {
        scan.SetObserver(&observer);
        FileList list;
        observer.Start();
        EXPECT_EQ(scan.ScanFolders({Root() + u"big"_s}, list), 1);
        observer.Finish();
    }

    AppFolder app;
    static QTemporaryDir* s_root;
};

QTemporaryDir* LongListing::s_root = nullptr;

// The interval is 20 ms; a loaded machine stretches it, but no phase may hold the user
// interface for a good part of the run, as one listing in one go did (most of it). Cancelled
// at the first chance, which comes while the folder is listed, the walk ends there: no file
// of it is handled.
TEST_F(LongListing, EveryPhaseKeepsTheYieldIntervalAndHearsCancel) {
    for (const int cancelAt : {0, 1}) {
        clsFindFile scan;
        PacingObserver observer(scan.CancelOperation);
        observer.CancelAtYield = cancelAt;
        Run(observer, scan);
        EXPECT_EQ(observer.Files, cancelAt ? 0 : kEntries);
        EXPECT_EQ(observer.YieldsAfterCancel, 0);
        if (!cancelAt) {
            EXPECT_LT(Ms(observer.LongestGap) * 4, Ms(observer.Total))
                << "longest gap " << Ms(observer.LongestGap) << " ms of " << Ms(observer.Total)
                << " ms";
        }
    }
}

// The walk waits for a folder a worker is listing: it keeps yielding, and a cancel ends
// both the wait and the worker's listing.
TEST_F(LongListing, WaitingForAWorkersListingYieldsAndHearsCancel) {
    const ListingRules rules{true, false, false, false, {}, {}, {}};
    const std::string root = QFile::encodeName(Root()).toStdString();
    const auto started = Clock::now();
    FolderListing whole;
    ListFolder(root + "big/", rules, whole);
    const Clock::duration listingTime = Clock::now() - started;
    ASSERT_EQ(whole.Entries.size(), size_t(kEntries));

    for (const int cancelAt : {0, 1}) {
        std::atomic<bool> cancel{false};
        PacingObserver observer(cancel);
        observer.CancelAtYield = cancelAt;
        std::unique_ptr<FolderListing> big;
        {
            ListingPool pool(rules, 1, cancel);
            // Listing the root queues "big" for the worker, which starts on it at once.
            ASSERT_FALSE(pool.Take(root, [] {})->Stopped);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            observer.Start();
            big = pool.Take(root + "big/", [&] { observer.Yield(); });
            observer.Finish();
        } // the pool's end waits for its worker
        EXPECT_GT(observer.Yields, 0);
        EXPECT_EQ(observer.YieldsAfterCancel, 0);
        EXPECT_EQ(big->Stopped, cancelAt != 0);
        if (cancelAt) {
            EXPECT_LT(Ms(Clock::now() - observer.CancelledAt) * 4, Ms(listingTime))
                << "the worker went on listing after the cancel";
        } else {
            EXPECT_EQ(big->Entries.size(), size_t(kEntries));
            EXPECT_LT(Ms(observer.LongestGap) * 4, Ms(listingTime))
                << "longest gap " << Ms(observer.LongestGap) << " ms of " << Ms(listingTime)
                << " ms";
        }
    }
}
