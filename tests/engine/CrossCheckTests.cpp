// The shortcuts of the content scan change no group: staged and unstaged, one thread and
// several, CRC-32 and MD5 all give the groups that comparing every file's bytes gives.

#include "EngineFixtures.h"

#include <QDirIterator>
#include <QFile>

#include <map>
#include <tuple>

using namespace testing_support;
using namespace engine_test;

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
                t.CreateFile(QStringLiteral("fam%1/v%2/c%3.bin").arg(size).arg(offset).arg(c), v);
            ++n;
        }
    }
    for (int i = 0; i < 40; ++i)
        t.CreateFile(QStringLiteral("small/%1/s%2").arg(i % 4).arg(i), Bytes(i % 9, 10 + i % 9));
    for (int i = 0; i < 20; ++i)
        t.CreateFile(QStringLiteral("unique/u%1").arg(i), Bytes(1000 + i, 300 + i));
}

std::vector<QStringList> ByBytes(const QString& root) {
    std::map<QByteArray, QStringList> byContent;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        if (!bytes.isEmpty())
            byContent[bytes] << path;
    }
    std::vector<QStringList> groups;
    for (auto& [bytes, paths] : byContent) {
        if (paths.size() >= 2) {
            paths.sort();
            groups.push_back(paths);
        }
    }
    return groups;
}

std::vector<QStringList> AsSets(std::vector<QStringList> groups) {
    for (QStringList& g : groups)
        g.sort();
    std::sort(groups.begin(), groups.end());
    return groups;
}

} // namespace

TEST(CrossCheck, EveryRoadGivesTheGroupsOfComparingAllBytes) {
    TempTree t;
    BuildTree(t);
    const std::vector<QStringList> expected = AsSets(ByBytes(t.Root()));
    ASSERT_GE(expected.size(), 10u);

    // Groups of one size come in signature order, so the order is compared per method.
    std::map<std::string, std::vector<QStringList>> first;
    for (const auto& [type, staged, threads] :
         {std::tuple{"crc", true, 1}, std::tuple{"crc", true, 4}, std::tuple{"crc", false, 1},
          std::tuple{"crc", false, 3}, std::tuple{"md5", true, 2}, std::tuple{"md5", false, 1}}) {
        clsFindFile scan;
        ContentScan(scan, QString::fromLatin1(type));
        scan.Staged = staged;
        scan.ReadThreads = threads;
        RecordingSink sink = Scan(scan, {t.Root()});
        const std::string what =
            std::string(type) + (staged ? " staged " : " unstaged ") + std::to_string(threads);
        EXPECT_EQ(AsSets(sink.Groups), expected) << what;
        // Not only the same sets: the same groups in the same order, the same kept file.
        auto& seen = first[type];
        if (seen.empty())
            seen = sink.Groups;
        else
            EXPECT_EQ(sink.Groups, seen) << what;
    }
}

TEST(CrossCheck, SignaturesShownAreThoseOfTheChosenMethod) {
    TempTree t;
    t.CreateFile(QStringLiteral("a/x"), "abc");
    t.CreateFile(QStringLiteral("b/x"), "abc");
    for (const char* type : {"crc", "md5"}) {
        clsFindFile scan;
        ContentScan(scan, QString::fromLatin1(type));
        RecordingSink sink = Scan(scan, {t.Root()});
        ASSERT_EQ(sink.Crcs.size(), 2);
        if (QByteArray(type) == "crc") {
            EXPECT_EQ(sink.Crcs[0], QString::number(qint32(0x352441C2u)));
            EXPECT_TRUE(sink.Md5s[0].isEmpty());
        } else {
            EXPECT_EQ(sink.Md5s[0], QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
            EXPECT_TRUE(sink.Crcs[0].isEmpty());
        }
    }
}

TEST(CrossCheck, CancelBeforeReadingReadsNothingAndKeepsTheRecords) {
    TempTree t;
    const QByteArray bytes = Bytes(3, 1 << 20);
    for (int i = 0; i < 6; ++i)
        t.CreateFile(QStringLiteral("f%1").arg(i), bytes);
    clsFindFile scan;
    ContentScan(scan, QStringLiteral("md5"));
    RecordingObserver observer;
    // The status text comes between the walk and the reading.
    observer.OnStatus = [&]() { scan.CancelOperation = true; };
    scan.SetObserver(&observer);
    FileList list;
    EXPECT_EQ(scan.ScanFolders({t.Root()}, list), 1);
    EXPECT_EQ(list.size(), 6u);
    EXPECT_EQ(scan.BytesRead().load(), 0);
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_FALSE(list[i].HasSignature());
}
