// The grouping pass and the keys it compares: the sink calls, letter case, names that are
// not UTF-8, the key's parts, sizes past 32 bits.

#include "EngineFixtures.h"

#include "app/modLog.h"
#include "engine/KeyOrder.h"

using namespace engine_test;

class Grouping : public EngineTest {};

TEST_F(Grouping, GroupsAreHandedOnInOrderAndTheLastOneIsClosed) {
    t.CreateCopies("123", {"a/same.txt", "b/same.txt", "c/same.txt"});
    t.CreateFile(u"a/two.txt"_s, "12345");
    t.CreateFile(u"b/TWO.TXT"_s, "123456"); // by name only, so the size is no key part
    t.CreateFile(u"c/aa-unique.txt"_s, "1");
    clsFindFile scan;
    scan.IncludeSubFolder = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    EXPECT_EQ(
        sink.Calls,
        QStringList({u"ClearRecs"_s, u"AddHeader same.txt"_s, u"AddRow 1 same.txt 3"_s,
                     u"AddRow 0 same.txt 3"_s, u"AddRow 0 same.txt 3"_s, u"UpdateHeadTotal 1 9"_s,
                     u"UpdateHeader 1 3"_s, u"AddHeader two.txt"_s, u"AddRow 1 two.txt 5"_s,
                     u"AddRow 0 TWO.TXT 6"_s, u"UpdateHeadTotal 5 11"_s, u"UpdateHeader 5 2"_s}));
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 2);
    // Within a group the files are in path order, so the kept file is predictable.
    EXPECT_EQ(Rel(sink.Paths)[0], QStringList({u"a/same.txt"_s, u"b/same.txt"_s, u"c/same.txt"_s}));
    // Each row carries the identity the scan saw, for the actions to check against.
    ASSERT_EQ(sink.Identities.size(), 5);
    for (const QString& path : sink.Identities.keys()) {
        struct statx sx;
        ASSERT_EQ(::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW,
                          STATX_BASIC_STATS, &sx),
                  0);
        const FileIdentity seen = sink.Identities.value(path);
        EXPECT_EQ(seen.Device, (quint64(sx.stx_dev_major) << 32) | sx.stx_dev_minor);
        EXPECT_EQ(seen.Inode, sx.stx_ino);
        EXPECT_EQ(seen.ChangedNs, qint64(sx.stx_ctime.tv_sec) * 1000000000 + sx.stx_ctime.tv_nsec);
    }
}

TEST_F(Grouping, NamesThatAreNotUtf8GroupOnlyWhenTheirBytesMatch) {
    // Decoded, every one of these reads "caf\uFFFD.txt"; only the ASCII case may differ. The
    // last is the replacement character itself, valid UTF-8.
    for (const char* rel :
         {"a/caf\xe9.txt", "b/caf\xe8.txt", "c/CAF\xe9.TXT", "d/caf\xef\xbf\xbd.txt"})
        t.CreateFile(PathCodec::Decode(rel), {});
    clsFindFile scan;
    scan.IncludeSubFolder = scan.IncludeZeroByteFiles = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    const Groups groups = Rel(sink.Paths);
    ASSERT_EQ(groups.size(), 1u);
    QStringList folders;
    for (const QString& path : groups[0])
        folders << path.left(1);
    EXPECT_EQ(folders, QStringList({u"a"_s, u"c"_s}));
}

TEST_F(Grouping, ContentKeysAlwaysHoldTheSize) {
    // Different sizes, same CRC-32: the empty content and a forged four bytes both give 0.
    t.CreateFile(u"zero-crc"_s, QByteArray::fromHex("9d0ad96d"));
    t.CreateFile(u"empty"_s, QByteArray());
    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    scan.IncludeZeroByteFiles = true;
    EXPECT_TRUE(Scan(scan, {t.Root()}).Paths.empty());
}

TEST_F(Grouping, SizesAndTotalsPastThirtyTwoBits) {
    const qint64 big = (qint64(3) << 30) + 5; // 3 GiB and 5 bytes, sparse
    for (const auto& [rel, size] : {std::pair{u"a/big"_s, big}, std::pair{u"b/big"_s, big},
                                    std::pair{u"c/big"_s, big + (qint64(1) << 32)}}) {
        const QString path = t.CreateFile(rel, QByteArray());
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
    }
    clsFindFile scan;
    scan.IncludeSubFolder = scan.MatchSize = true;
    RecordingSink sink = Scan(scan, {t.Root()});
    EXPECT_EQ(Rel(sink.Paths), Groups({{u"a/big"_s, u"b/big"_s}}));
    EXPECT_TRUE(sink.Calls.contains(u"UpdateHeadTotal 1 %1"_s.arg(2 * big)));
}

TEST(KeyOrder, NamesOrderAsCaseFoldedTextOnEveryPath) {
    // The byte-wise fast paths and the folded comparison must agree, or names that differ
    // only in case land apart in the sort and never group. Eight-byte beginnings matter.
    const QStringList names = u"|Report.PDF|report.pdf|a_|aZ|abc|abcé|Café.txt|CAFÉ.TXT|café.txt|"
                              u"long-common-prefix-1|LONG-COMMON-PREFIX-2|日本|x|abcdefgh|"
                              u"ABCDEFGHé|abcdefgHz|Kelvin\u212A|kelvink"_s.split(u'|');
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    FileList list;
    list.KeyName = true;
    for (const QString& name : names) {
        const QByteArray utf8 = name.toUtf8();
        ASSERT_TRUE(list.Append(FileRecord{}, {utf8.constData(), size_t(utf8.size())}, 1));
    }
    for (size_t i = 0; i < list.size(); ++i) {
        for (size_t j = 0; j < list.size(); ++j) {
            const QString& a = names[qsizetype(i)];
            const QString& b = names[qsizetype(j)];
            EXPECT_EQ(sign(KeyOrder::ComparePreKey(list, list[i], list[j])),
                      sign(a.compare(b, Qt::CaseInsensitive)))
                << a.toStdString() << " / " << b.toStdString();
        }
    }
}

TEST(FileListRecords, NamesOfEveryLengthAndDevicesSurviveTheSort) {
    // A name's length sits in the arena before it, in one byte below 128 and two from there,
    // and a record names its device by its place in a table; both must still read right
    // once the sort has moved the records about.
    FileList list;
    list.KeyName = true;
    list.AddFolder("/d/");
    const std::vector<size_t> lengths = {0, 1, 127, 128, 255, 765, FileList::MaxNameBytes};
    std::vector<std::string> names;
    for (size_t i = 0; i < lengths.size(); ++i) {
        names.push_back(std::string(lengths[i], char('z' - i)));
        FileRecord r;
        r.Inode = i;
        ASSERT_TRUE(list.Append(r, names.back(), 0x8000000100000000ull + i % 3));
    }
    EXPECT_FALSE(list.Append(FileRecord{}, std::string(FileList::MaxNameBytes + 1, 'a'), 1));
    QuickSort(list, 0, qint64(list.size()) - 1);
    ASSERT_EQ(list.size(), lengths.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const FileRecord& r = list[i];
        EXPECT_EQ(list.Name(r), names[r.Inode]);
        EXPECT_EQ(list.DeviceOf(r), 0x8000000100000000ull + r.Inode % 3);
        EXPECT_EQ(list.PathBytes(r), "/d/" + names[r.Inode]);
    }
    EXPECT_EQ(list.Name(list[0]), ""); // sorted by name
    EXPECT_EQ(list.Name(list[list.size() - 1]), "y");

    // The table holds 65,536 devices; one more must be refused, never folded onto another.
    FileList many;
    many.AddFolder("/");
    for (quint64 d = 0; d <= 0xffff; ++d)
        ASSERT_TRUE(many.Append(FileRecord{}, "f", d));
    EXPECT_FALSE(many.Append(FileRecord{}, "f", 0x10000));
    EXPECT_TRUE(many.Append(FileRecord{}, "f", 0xffff));
    EXPECT_EQ(many.DeviceOf(many[many.size() - 1]), 0xffffu);
    EXPECT_EQ(many.DeviceOf(many[0]), 0u);
}
