// The grouping pass and the keys it compares: the sink calls, letter case, the key's
// separator, sizes past 32 bits.

#include "EngineFixtures.h"

#include "app/modLog.h"
#include "engine/KeyOrder.h"

#include <QFile>

#include <unistd.h>

using namespace testing_support;
using namespace engine_test;

TEST(Grouping, EmptyListOnlyClears) {
    FileList list;
    RecordingSink sink;
    modLog::RunStats.DuplicatesFound = 7;
    EXPECT_EQ(GroupingPass(list, sink), 0);
    EXPECT_EQ(sink.Calls, QStringList{QStringLiteral("ClearRecs")});
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 0);
}

TEST(Grouping, GroupsAreHandedOnInOrderAndTheLastOneIsClosed) {
    TempTree t;
    for (const char* folder : {"a", "b", "c"})
        t.CreateFile(QString::fromLatin1(folder) + QStringLiteral("/same.txt"), "123");
    t.CreateFile(QStringLiteral("a/two.txt"), "12345");
    t.CreateFile(QStringLiteral("b/TWO.TXT"), "12345");
    t.CreateFile(QStringLiteral("c/zz-unique.txt"), "1");
    clsFindFile scan; // by name only, the default
    scan.IncludeSubFolder = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    EXPECT_EQ(
        sink.Calls,
        QStringList({QStringLiteral("ClearRecs"), QStringLiteral("AddHeader same.txt"),
                     QStringLiteral("AddRow 1 same.txt 3"), QStringLiteral("AddRow 0 same.txt 3"),
                     QStringLiteral("AddRow 0 same.txt 3"), QStringLiteral("UpdateHeadTotal 1 9"),
                     QStringLiteral("UpdateHeader 1 3"), QStringLiteral("AddHeader two.txt"),
                     QStringLiteral("AddRow 1 two.txt 5"), QStringLiteral("AddRow 0 TWO.TXT 5"),
                     QStringLiteral("UpdateHeadTotal 5 10"), QStringLiteral("UpdateHeader 5 2")}));
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 2);
    // Within a group the files are in path order, so the kept file is predictable.
    EXPECT_EQ(Relative(sink.Groups, t.Root())[0],
              QStringList({QStringLiteral("a/same.txt"), QStringLiteral("b/same.txt"),
                           QStringLiteral("c/same.txt")}));
    EXPECT_TRUE(sink.Versions.join(QString()).isEmpty());
}

TEST(Grouping, NameOnlyGroupsDifferentSizesAndTotalsTheirOwnSizes) {
    TempTree t;
    t.CreateFile(QStringLiteral("a/readme"), "12");
    t.CreateFile(QStringLiteral("b/README"), "1234567");
    clsFindFile scan;
    scan.IncludeSubFolder = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    ASSERT_EQ(sink.Groups.size(), 1u);
    EXPECT_TRUE(sink.Calls.contains(QStringLiteral("UpdateHeadTotal 1 9")));
}

TEST(Grouping, KeyPartsCannotRunIntoEachOther) {
    TempTree t;
    // Joined without a separator both keys would read "a1" "23" = "a12" "3".
    t.CreateFile(QStringLiteral("x/a1"), QByteArray(23, 'x'));
    t.CreateFile(QStringLiteral("y/a12"), QByteArray(3, 'y'));
    // The same name and size whose times differ only within one second still group.
    t.CreateFile(QStringLiteral("x/timed"), "abc", 1700000000);
    t.CreateFile(QStringLiteral("y/timed"), "xyz", 1700000000);
    clsFindFile scan;
    scan.IncludeSubFolder = true;
    scan.MatchSize = true;
    scan.ModifiedDateTime = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    ASSERT_EQ(sink.Groups.size(), 1u);
    EXPECT_EQ(Relative(sink.Groups, t.Root())[0],
              QStringList({QStringLiteral("x/timed"), QStringLiteral("y/timed")}));
    FileList list;
    clsFindFile keyed;
    keyed.MatchSize = true;
    keyed.GetFiles(t.Path(QStringLiteral("x")), list);
    for (size_t i = 0; i < list.size(); ++i) {
        const clsFileDetails d = list.Details(i);
        EXPECT_EQ(d.FileKey, d.FileName + u'/' + QString::number(d.FileSize));
    }
}

TEST(Grouping, ContentKeysAlwaysHoldTheSize) {
    TempTree t;
    // Different sizes, same CRC-32: the empty content and a forged four bytes both give 0.
    t.CreateFile(QStringLiteral("zero-crc"), QByteArray::fromHex("9d0a d9 6d"));
    t.CreateFile(QStringLiteral("empty"), QByteArray());
    clsFindFile scan;
    ContentScan(scan, QStringLiteral("crc"));
    scan.IncludeZeroByteFiles = true;
    FileList list;
    scan.SetObserver(nullptr);
    ASSERT_EQ(scan.ScanFolders({t.Root()}, list), 1);
    RecordingSink sink;
    GroupingPass(list, sink);
    EXPECT_TRUE(sink.Groups.empty());
}

TEST(Grouping, SizesAndTotalsPastThirtyTwoBits) {
    TempTree t;
    const qint64 big = (qint64(3) << 30) + 5; // 3 GiB and 5 bytes, sparse
    const qint64 wrapped = big + (qint64(1) << 32);
    for (const auto& [rel, size] :
         {std::pair{QStringLiteral("a/big"), big}, std::pair{QStringLiteral("b/big"), big},
          std::pair{QStringLiteral("c/big"), wrapped}}) {
        const QString path = t.CreateFile(rel, QByteArray());
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
    }
    clsFindFile scan;
    scan.IncludeSubFolder = true;
    scan.MatchSize = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    ASSERT_EQ(sink.Groups.size(), 1u);
    EXPECT_EQ(sink.Groups[0].size(), 2);
    EXPECT_TRUE(sink.Calls.contains(QStringLiteral("UpdateHeadTotal 1 %1").arg(2 * big)));
}

TEST(Grouping, NameOrderIsOneCaseFoldedOrderOnEveryPath) {
    // The byte-wise fast path and the folded comparison must agree, or the sort breaks.
    const QStringList names = {QStringLiteral("Report.PDF"),
                               QStringLiteral("report.pdf"),
                               QStringLiteral("a_"),
                               QStringLiteral("aZ"),
                               QStringLiteral("abc"),
                               QStringLiteral("abcé"),
                               QStringLiteral("Café.txt"),
                               QStringLiteral("CAFÉ.TXT"),
                               QStringLiteral("café.txt"),
                               QStringLiteral("long-common-prefix-1"),
                               QStringLiteral("LONG-COMMON-PREFIX-2"),
                               QStringLiteral("日本"),
                               QStringLiteral("x"),
                               QString(),
                               QStringLiteral("abcdefgh"),
                               QStringLiteral("ABCDEFGHé"),
                               QStringLiteral("abcdefgHz"),
                               QStringLiteral("Kelvin\u212A"),
                               QStringLiteral("kelvink")};
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    // The records' stored name beginnings must order as the names themselves do.
    FileList list;
    list.KeyName = true;
    for (const QString& name : names) {
        const QByteArray bytes = name.toUtf8();
        ASSERT_TRUE(list.Append(FileRecord{}, {bytes.constData(), size_t(bytes.size())}));
    }
    for (size_t i = 0; i < list.size(); ++i) {
        for (size_t j = 0; j < list.size(); ++j) {
            EXPECT_EQ(sign(KeyOrder::ComparePreKey(list, list[i], list[j])),
                      sign(names[qsizetype(i)].compare(names[qsizetype(j)], Qt::CaseInsensitive)))
                << names[qsizetype(i)].toStdString() << " / " << names[qsizetype(j)].toStdString();
        }
    }
    for (const QString& a : names) {
        for (const QString& b : names) {
            const QByteArray ua = a.toUtf8();
            const QByteArray ub = b.toUtf8();
            EXPECT_EQ(sign(KeyOrder::CompareNamesCI({ua.constData(), size_t(ua.size())},
                                                    {ub.constData(), size_t(ub.size())})),
                      sign(a.compare(b, Qt::CaseInsensitive)))
                << a.toStdString() << " / " << b.toStdString();
        }
    }
}
