// The shortcuts of the content scan change no group: staged and unstaged, one thread and
// several, CRC-32 and MD5 all give the groups that comparing every file's bytes gives.

#include "EngineFixtures.h"

#include "engine/HashCache.h"
#include "engine/ScanAnalysis.h"

#include <QDirIterator>

#include <map>
#include <set>
#include <tuple>

using namespace engine_test;

class CrossCheck : public EngineTest {};

namespace {

QByteArray Bytes(int seed, qint64 size) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

// Same-size families whose members differ in one byte at the start, the middle, the end
// and just past the first block, some with copies; small duplicates; unique sizes.
void BuildTree(const TempTree& t) {
    int n = 0;
    // The largest family is past the size where the first block is checked before the rest.
    for (const qint64 size :
         {qint64(20000), qint64(100000), qint64(4096), qint64(4097), qint64(3 << 19) + 3}) {
        const QByteArray base = Bytes(int(size), size);
        for (const qint64 offset : {qint64(-1), qint64(0), size / 2, size - 1, qint64(4096)}) {
            QByteArray v = base;
            if (offset >= 0 && offset < size)
                v[offset] = char(~v[offset]);
            const int copies = (n % 3 == 0) ? 2 : 1;
            for (int c = 0; c < copies; ++c)
                t.CreateFile(u"fam%1/v%2/c%3.bin"_s.arg(size).arg(offset).arg(c), v);
            ++n;
        }
    }
    for (int i = 0; i < 40; ++i)
        t.CreateFile(u"small/%1/s%2"_s.arg(i % 4).arg(i), Bytes(i % 9, 10 + i % 9));
    for (int i = 0; i < 20; ++i)
        t.CreateFile(u"unique/u%1"_s.arg(i), Bytes(1000 + i, 300 + i));
}

std::set<QStringList> AsSet(Groups groups) {
    std::set<QStringList> set;
    for (QStringList& g : groups) {
        g.sort();
        set.insert(g);
    }
    return set;
}

std::set<QStringList> ByBytes(const QString& root) {
    std::map<QByteArray, QStringList> byContent;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        byContent[f.readAll()] << f.fileName();
    }
    Groups groups;
    for (const auto& [bytes, paths] : byContent) {
        if (!bytes.isEmpty() && paths.size() >= 2)
            groups.push_back(paths);
    }
    return AsSet(groups);
}

} // namespace

TEST_F(CrossCheck, EveryRoadGivesTheGroupsOfComparingAllBytes) {
    BuildTree(t);
    const std::set<QStringList> expected = ByBytes(t.Root());
    ASSERT_GE(expected.size(), 10u);

    // Groups of one size come in signature order, so the order is compared per method.
    std::map<std::string, Groups> first;
    // Slices of a few files: every bucket's reads, sets and signatures done apart.
    const size_t slice = ScanSliceJobs.load();
    for (const auto& [type, staged, threads, sliceJobs] :
         {std::tuple{"crc", true, 1, slice}, std::tuple{"crc", true, 4, slice},
          std::tuple{"crc", true, 2, size_t(3)}, std::tuple{"crc", false, 1, slice},
          std::tuple{"crc", false, 3, slice}, std::tuple{"md5", true, 2, slice},
          std::tuple{"md5", true, 2, size_t(1)}, std::tuple{"md5", false, 1, slice}}) {
        clsFindFile scan;
        ContentScan(scan, QString::fromLatin1(type));
        scan.Staged = staged;
        scan.ReadThreads = threads;
        ScanSliceJobs = sliceJobs;
        RecordingSink sink = Scan(scan, {t.Root()});
        ScanSliceJobs = slice;
        const std::string what = std::string(type) + (staged ? " staged " : " unstaged ") +
                                 std::to_string(threads) + " slice " + std::to_string(sliceJobs);
        EXPECT_EQ(AsSet(sink.Paths), expected) << what;
        // Not only the same sets: the same groups in the same order, the same kept file.
        auto& seen = first[type];
        if (seen.empty())
            seen = sink.Paths;
        else
            EXPECT_EQ(sink.Paths, seen) << what;
    }
}

TEST_F(CrossCheck, ShownSignaturesAreThoseOfTheChosenMethod) {
    t.CreateCopies("abc", {"a/x", "b/x"});
    for (const auto& [type, crc, md5] :
         {std::tuple{u"crc"_s, QString::number(qint32(0x352441C2u)), QString()},
          std::tuple{u"md5"_s, QString(), u"900150983cd24fb0d6963f7d28e17f72"_s}}) {
        clsFindFile scan;
        ContentScan(scan, type);
        RecordingSink sink = Scan(scan, {t.Root()});
        EXPECT_EQ(sink.Crcs, QStringList({crc, crc}));
        EXPECT_EQ(sink.Md5s, QStringList({md5, md5}));
    }
}

// The hash cache is one more shortcut: a cold run fills it, a warm run reads nothing, and
// both give the groups of comparing every byte, in the order of reading every file. Its
// write-backs run beside the later stages, so small slices (many of them) must all land,
// and a run the cache answers in part must write back what it read, and only that.
TEST_F(CrossCheck, TheHashCacheColdAndWarmGivesTheGroupsOfComparingAllBytes) {
    BuildTree(t);
    const qint64 settle = HashCache::SettleNs.exchange(0);
    const qint64 smallest = HashCache::SmallestKept.exchange(0); // the tree's files are small
    const size_t slice = ScanSliceJobs.load();
    // Outside the tree, which the scans read whole.
    QTemporaryDir cacheFolder;
    int round = 0;
    for (const QString& type : {u"crc"_s, u"md5"_s}) {
        for (const size_t sliceJobs : {slice, size_t(3)}) {
            ++round;
            ScanSliceJobs = sliceJobs;
            const QString cache = cacheFolder.filePath(u"%1-%2.sqlite"_s.arg(type).arg(round));
            qint64 added = 0;
            for (const char* when : {"cold", "warm", "partly warm", "warm again"}) {
                const std::set<QStringList> before = ByBytes(t.Root());
                if (std::string(when) == "partly warm") {
                    // One more copy in a group the cache knows, and a new pair past the
                    // first block: stages the cache answers in part.
                    // The largest, which is past the size that is first read in part.
                    QByteArray known;
                    for (const QStringList& group : before) {
                        const QByteArray bytes = ReadFile(group.first());
                        if (bytes.size() > known.size())
                            known = bytes;
                    }
                    ASSERT_GT(known.size(), 1 << 20);
                    t.CreateFile(u"new/a"_s, known);
                    t.CreateCopies(QByteArray(5000, char('a' + round)), {"new/c", "new/d"});
                    added = known.size() + 4096 + 3 * 5000; // its first block, then all
                }
                const std::set<QStringList> expected = ByBytes(t.Root());
                clsFindFile reference;
                ContentScan(reference, type);
                reference.Staged = false;
                const Groups unstaged = Scan(reference, {t.Root()}).Paths;
                clsFindFile scan;
                ContentScan(scan, type);
                scan.HashCacheFile = cache;
                scan.ReadThreads = 2;
                const Groups staged = Scan(scan, {t.Root()}).Paths;
                const std::string what =
                    type.toStdString() + " slice " + std::to_string(sliceJobs) + " " + when;
                EXPECT_EQ(AsSet(staged), expected) << what;
                EXPECT_EQ(staged, unstaged) << what;
                const qint64 read = scan.BytesRead().load();
                if (std::string(when) == "cold")
                    EXPECT_GT(read, 10000) << what;
                else if (std::string(when) == "partly warm")
                    EXPECT_TRUE(read > 0 && read <= added) << what << ": " << read;
                else
                    EXPECT_EQ(read, 0) << what;
            }
            EXPECT_TRUE(QDir(t.Path(u"new"_s)).removeRecursively());
        }
    }
    ScanSliceJobs = slice;
    HashCache::SettleNs = settle;
    HashCache::SmallestKept = smallest;
}
