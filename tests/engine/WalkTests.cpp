// The walk: attribute filters, patterns, links and special files, one record per file,
// unreadable files and cancelling.

#include "EngineFixtures.h"

#include "app/PathCodec.h"
#include "app/modLog.h"
#include "engine/FolderListing.h"

#include "app/modAPI_scan.h"

#include <QScopeGuard>

#include <algorithm>

#include <unistd.h>

using namespace engine_test;

class Walk : public EngineTest {};

TEST_F(Walk, AttributeFiltersKeepTheirOrderAndSkippedFoldersAreNotEntered) {
    t.CreateFile(u"plain.txt"_s, "a");
    t.CreateFile(u".dot.txt"_s, "b");
    t.CreateFile(u".both"_s, "b");
    t.CreateFile(u"ro.txt"_s, "c");
    t.SetMode(u"ro.txt"_s, 0444);
    t.SetMode(u".both"_s, 0444);
    t.CreateFile(u".hid/inside.txt"_s, "d");
    t.CreateFile(u"rodir/inside2.txt"_s, "e");
    t.SetMode(u"rodir"_s, 0555);
    Fifo(u"pipe"_s);
    for (const auto& [hidden, readOnly, expected] :
         {std::tuple{false, false, u"plain.txt"_s},
          std::tuple{true, false, u".dot.txt inside.txt plain.txt"_s},
          std::tuple{false, true, u"inside2.txt plain.txt ro.txt"_s},
          std::tuple{true, true, u".both .dot.txt inside.txt inside2.txt plain.txt ro.txt"_s}}) {
        clsFindFile scan;
        scan.IncludeSubFolder = scan.IncludeSystemFilesFolders = true;
        scan.IncludeHiddenFilesFolders = hidden;
        scan.IncludeReadOnlyFilesFolders = readOnly;
        FileList list;
        scan.GetFiles(t.Root(), list);
        EXPECT_EQ(Names(list).join(u' '), expected) << hidden << readOnly;
    }
    // A virtual file system's mount point is hidden and system too: no setting takes it.
    const ListingRules rules{true, true, true, true, {QFile::encodeName(P(u"rodir/"_s))}};
    FolderListing listing;
    ListFolder(QFile::encodeName(t.Root()).toStdString(), rules, listing);
    QStringList listed;
    for (const ListedEntry& e : listing.Entries)
        listed << QString::fromStdString(e.Name);
    listed.sort();
    EXPECT_EQ(listed.join(u' '), u".both .dot.txt .hid app plain.txt ro.txt"_s);
    t.SetMode(u"rodir"_s, 0755);
}

TEST_F(Walk, RecordsCarryTheAttributesOfTheirEntry) {
    t.CreateFile(u"plain.txt"_s, "a");
    t.CreateFile(u".dot.txt"_s, "b");
    t.CreateFile(u"ro.txt"_s, "c");
    t.CreateFile(u".both"_s, "d");
    t.SetMode(u"ro.txt"_s, 0444);
    t.SetMode(u".both"_s, 0400);
    clsFindFile scan;
    scan.IncludeHiddenFilesFolders = scan.IncludeReadOnlyFilesFolders = true;
    FileList list;
    scan.GetFiles(t.Root(), list);
    QStringList seen;
    for (size_t i = 0; i < list.size(); ++i)
        seen << list.FileName(list[i]) + u'=' + list.Details(i).FileAttributes;
    seen.sort();
    EXPECT_EQ(seen.join(u' '), u".both=HR .dot.txt=H plain.txt=N ro.txt=R"_s);
}

TEST_F(Walk, RootsOnAVirtualFileSystemAreNeverEntered) {
    QString root;
    const std::vector<QByteArray> points = modAPI::VirtualMountPoints();
    const auto mounted = [&](const char* point) {
        return std::find(points.begin(), points.end(), QByteArray(point)) != points.end();
    };
    if (mounted("/proc/"))
        root = u"/proc/self"_s;
    else if (mounted("/sys/"))
        root = u"/sys/kernel"_s;
    else
        GTEST_SKIP() << "neither /proc nor /sys is mounted";
    // The same folder through a link from an ordinary one.
    ASSERT_EQ(
        ::symlink(QFile::encodeName(root).constData(), QFile::encodeName(P(u"link"_s)).constData()),
        0);
    // A link whose name is not UTF-8 must be resolved by its bytes, not a decoded guess.
    const QString rawLink = P(u""_s) + PathCodec::Decode("link\xe9");
    ASSERT_EQ(
        ::symlink(QFile::encodeName(root).constData(), PathCodec::Encode(rawLink).constData()), 0);
    const auto unlinkRaw =
        qScopeGuard([&rawLink] { ::unlink(PathCodec::Encode(rawLink).constData()); });
    for (const QString& folder : {root, root + u'/', P(u"link"_s), P(u"link/"_s), rawLink}) {
        clsFindFile scan;
        scan.IncludeSubFolder = scan.IncludeSystemFilesFolders = scan.IncludeHiddenFilesFolders =
            scan.IncludeReadOnlyFilesFolders = scan.IncludeZeroByteFiles = true;
        RecordingObserver observer;
        scan.SetObserver(&observer);
        FileList list;
        scan.GetFiles(folder, list);
        EXPECT_EQ(list.size(), 0u) << folder.toStdString();
        EXPECT_TRUE(observer.Files.isEmpty()) << folder.toStdString();
        EXPECT_EQ(scan.FoldersNotListed(), 0) << folder.toStdString();
    }
}

TEST_F(Walk, PatternsTestTheNameWithoutCaseAndLeftOutFilesAreStillReported) {
    t.CreateFile(u"a.TXT"_s, "x");
    t.CreateFile(u"b.txt"_s, "y");
    t.CreateFile(u"c.doc"_s, "z");
    t.CreateFile(u"d.txt"_s, QByteArray());
    t.CreateFile(u"skip#1.txt"_s, "w");
    clsFindFile scan;
    scan.SetIncludePatterns({u"*.txt"_s});
    scan.SetExcludePatterns({u"skip#?.txt"_s, u"B*"_s});
    RecordingObserver observer;
    scan.SetObserver(&observer);
    FileList list;
    scan.GetFiles(t.Root(), list);
    EXPECT_EQ(observer.Files.size(), 5);
    // "#" is no wildcard; "B*" would match no full path, only the name b.txt.
    EXPECT_EQ(Names(list), QStringList{u"a.TXT"_s});
}

TEST_F(Walk, LinksAreNeverFollowedAndOneFileIsOneRecord) {
    t.CreateFile(u"data/one.bin"_s, "same bytes");
    t.CreateFile(u"data/sub/two.bin"_s, "same bytes");
    t.CreateFile(u"data/lonely.bin"_s, "no copy at all");
    const auto native = [&](const QString& rel) { return QFile::encodeName(P(rel)); };
    ASSERT_EQ(::link(native(u"data/lonely.bin"_s), native(u"data/hardlink.bin"_s)), 0);
    ASSERT_EQ(::symlink("one.bin", native(u"data/symlink.bin"_s)), 0);
    ASSERT_EQ(::symlink("..", native(u"data/sub/loop"_s)), 0);

    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    // The same folder twice, and a parent of it: each file still counts once.
    const QString data = P(u"data"_s);
    RecordingSink sink = Scan(scan, {data, data + u'/', P(u"data/sub"_s), t.Root()});
    EXPECT_EQ(Rel(sink.Paths), Groups({{u"data/one.bin"_s, u"data/sub/two.bin"_s}}));
}

TEST_F(Walk, UnreadableFilesGetNoRecordAndAreLoggedAndCounted) {
    const QByteArray bytes(70000, 'q');
    for (const QString& name : {u"a"_s, u"b"_s, u"gone"_s, u"piped"_s})
        t.CreateFile(u"s/"_s + name, bytes);
    t.CreateFile(u"s/small1"_s, "tiny");
    t.CreateFile(u"s/small2"_s, "tiny");
    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    RecordingObserver observer;
    // Between the walk and the reading one file vanishes and one turns into a FIFO.
    observer.OnStatus = [&]() {
        QFile::remove(P(u"s/gone"_s));
        QFile::remove(P(u"s/piped"_s));
        Fifo(u"s/piped"_s);
    };
    RecordingSink sink = Scan(scan, {P(u"s"_s)}, &observer);
    EXPECT_EQ(Rel(sink.Paths), Groups({{u"s/small1"_s, u"s/small2"_s}, {u"s/a"_s, u"s/b"_s}}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 2);
    EXPECT_TRUE(modLog::RunStats.ErrorDetails.contains(P(u"s/gone"_s) +
                                                       u" -  details could not be retrieved"_s));
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].startsWith(u"Error occured in clsCRC.Calculate_Crc32. File:"_s));
}

TEST_F(Walk, CancelStopsEveryLevelAndKeepsWhatWasStored) {
    QString rel;
    for (int depth = 0; depth < 6; ++depth) {
        rel += u"d%1/"_s.arg(depth);
        for (int i = 0; i < 12; ++i)
            t.CreateFile(rel + u"f%1"_s.arg(i), QByteArray(1000 + i, 'x'));
    }
    clsFindFile scan;
    ContentScan(scan, u"md5"_s);
    RecordingObserver observer;
    observer.OnFile = [&](const QString& path) {
        if (path.contains(u"/d3/"_s))
            scan.CancelOperation = true;
    };
    scan.SetObserver(&observer);
    FileList list;
    EXPECT_EQ(scan.ScanFolders({t.Root()}, list), 1);
    // The file that asked to cancel is the last one seen at any level; it and every file
    // before it stay stored, and none is read.
    ASSERT_FALSE(observer.Files.isEmpty());
    EXPECT_TRUE(observer.Files.last().contains(u"/d3/"_s));
    EXPECT_LT(observer.Files.size(), 6 * 12);
    EXPECT_EQ(list.size(), size_t(observer.Files.size()));
    EXPECT_EQ(scan.BytesRead().load(), 0);
}
