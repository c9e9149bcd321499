// The walk: attribute filters, patterns, what is reported, links and special files, one
// record per file, unreadable files and cancelling.

#include "EngineFixtures.h"

#include "app/modLog.h"

#include <QFile>

#include <unistd.h>

using namespace testing_support;
using namespace engine_test;

namespace {

QStringList StoredNames(const FileList& list) {
    QStringList names;
    for (size_t i = 0; i < list.size(); ++i)
        names << list.FileName(list[i]);
    names.sort();
    return names;
}

QStringList Sorted(QStringList l) {
    l.sort();
    return l;
}

} // namespace

TEST(Walk, AttributeFiltersKeepTheirOrderAndSkippedFoldersAreNotEntered) {
    TempTree t;
    t.CreateFile(QStringLiteral("plain.txt"), "a");
    t.CreateFile(QStringLiteral(".dot.txt"), "b");
    t.CreateFile(QStringLiteral("ro.txt"), "c");
    t.SetMode(QStringLiteral("ro.txt"), 0444);
    t.CreateFile(QStringLiteral(".hid/inside.txt"), "d");
    t.CreateFile(QStringLiteral("rodir/inside2.txt"), "e");
    t.SetMode(QStringLiteral("rodir"), 0555);
    ASSERT_EQ(::mkfifo(QFile::encodeName(t.Path(QStringLiteral("pipe"))).constData(), 0644), 0);

    clsFindFile none;
    none.IncludeSubFolder = true;
    FileList list;
    none.GetFiles(t.Root(), list);
    EXPECT_EQ(StoredNames(list), QStringList{QStringLiteral("plain.txt")});

    // Everything taken: the FIFO is still left out, being hidden and system at once.
    clsFindFile all;
    all.IncludeSubFolder = true;
    all.IncludeHiddenFilesFolders = all.IncludeReadOnlyFilesFolders = true;
    all.IncludeSystemFilesFolders = true;
    FileList everything;
    all.GetFiles(t.Root(), everything);
    EXPECT_EQ(StoredNames(everything),
              Sorted({QStringLiteral(".dot.txt"), QStringLiteral("inside.txt"),
                      QStringLiteral("inside2.txt"), QStringLiteral("plain.txt"),
                      QStringLiteral("ro.txt")}));
    t.SetMode(QStringLiteral("rodir"), 0755);
}

TEST(Walk, AttributeLettersFollowTheFile) {
    TempTree t;
    t.CreateFile(QStringLiteral("x/plain"), "1");
    t.CreateFile(QStringLiteral("x/.hidden"), "1");
    t.SetMode(QStringLiteral("x/.hidden"), 0444);
    clsFindFile scan;
    scan.IncludeHiddenFilesFolders = scan.IncludeReadOnlyFilesFolders = true;
    RecordingSink sink = Scan(scan, {t.Path(QStringLiteral("x"))});
    ASSERT_EQ(sink.Groups.size(), 0u); // different names
    FileList list;
    clsFindFile again;
    again.IncludeHiddenFilesFolders = again.IncludeReadOnlyFilesFolders = true;
    again.GetFiles(t.Path(QStringLiteral("x")), list);
    QStringList letters;
    for (size_t i = 0; i < list.size(); ++i)
        letters << list.Details(i).FileName + u'=' + list.Details(i).FileAttributes;
    EXPECT_EQ(Sorted(letters), Sorted({QStringLiteral(".hidden=HR"), QStringLiteral("plain=N")}));
}

TEST(Walk, FilesLeftOutByPatternOrSizeAreStillReported) {
    TempTree t;
    t.CreateFile(QStringLiteral("a.TXT"), "x");
    t.CreateFile(QStringLiteral("b.txt"), "y");
    t.CreateFile(QStringLiteral("c.doc"), "z");
    t.CreateFile(QStringLiteral("d.txt"), QByteArray());
    t.CreateFile(QStringLiteral("skip#1.txt"), "w");
    clsFindFile scan;
    scan.SetIncludePatterns({QStringLiteral("*.txt")});
    scan.SetExcludePatterns({QStringLiteral("skip#?.txt"), QStringLiteral("B*")});
    RecordingObserver observer;
    scan.SetObserver(&observer);
    FileList list;
    scan.GetFiles(t.Root(), list);
    EXPECT_EQ(observer.Files.size(), 5);
    EXPECT_TRUE(observer.Files.contains(t.Path(QStringLiteral("c.doc"))));
    // Lower-case pattern takes the capital extension; "#" is no wildcard; "B*" excludes b.
    EXPECT_EQ(StoredNames(list), QStringList{QStringLiteral("a.TXT")});
}

TEST(Walk, LinksAreNeverFollowedAndOneFileIsOneRecord) {
    TempTree t;
    t.CreateFile(QStringLiteral("data/one.bin"), "same bytes");
    t.CreateFile(QStringLiteral("data/sub/two.bin"), "same bytes");
    t.CreateFile(QStringLiteral("data/lonely.bin"), "no copy at all");
    const auto native = [&](const QString& rel) { return QFile::encodeName(t.Path(rel)); };
    ASSERT_EQ(::link(native(QStringLiteral("data/lonely.bin")).constData(),
                     native(QStringLiteral("data/hardlink.bin")).constData()),
              0);
    ASSERT_EQ(::symlink("one.bin", native(QStringLiteral("data/symlink.bin")).constData()), 0);
    ASSERT_EQ(::symlink("..", native(QStringLiteral("data/sub/loop")).constData()), 0);

    clsFindFile scan;
    ContentScan(scan, QStringLiteral("crc"));
    // The same folder twice, and a parent of it: each file still counts once.
    const QString data = t.Path(QStringLiteral("data"));
    RecordingSink sink =
        Scan(scan, {data, data + u'/', t.Path(QStringLiteral("data/sub")), t.Root()});
    ASSERT_EQ(sink.Groups.size(), 1u);
    EXPECT_EQ(Relative(sink.Groups, t.Root())[0],
              QStringList({QStringLiteral("data/one.bin"), QStringLiteral("data/sub/two.bin")}));
}

TEST(Walk, UnreadableFilesGetNoRecordAndAreCounted) {
    AppFolder app;
    const TempTree& t = app.Tree();
    const QByteArray bytes(70000, 'q');
    t.CreateFile(QStringLiteral("s/a"), bytes);
    t.CreateFile(QStringLiteral("s/b"), bytes);
    t.CreateFile(QStringLiteral("s/gone"), bytes);
    t.CreateFile(QStringLiteral("s/piped"), bytes);
    t.CreateFile(QStringLiteral("s/small1"), "tiny");
    t.CreateFile(QStringLiteral("s/small2"), "tiny");
    clsFindFile scan;
    ContentScan(scan, QStringLiteral("crc"));
    RecordingObserver observer;
    // Between the walk and the reading one file vanishes and one turns into a FIFO.
    observer.OnStatus = [&]() {
        QFile::remove(t.Path(QStringLiteral("s/gone")));
        QFile::remove(t.Path(QStringLiteral("s/piped")));
        ::mkfifo(QFile::encodeName(t.Path(QStringLiteral("s/piped"))).constData(), 0644);
    };
    RecordingSink sink = Scan(scan, {t.Path(QStringLiteral("s"))}, &observer);
    EXPECT_EQ(Relative(sink.Groups, t.Root()),
              (std::vector<QStringList>{{QStringLiteral("s/small1"), QStringLiteral("s/small2")},
                                        {QStringLiteral("s/a"), QStringLiteral("s/b")}}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 2);
    EXPECT_TRUE(modLog::RunStats.ErrorDetails.contains(
        t.Path(QStringLiteral("s/gone")) + QStringLiteral(" -  details could not be retrieved")));
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(
        log[0].startsWith(QStringLiteral("Error occured in clsCRC.Calculate_Crc32. File:")));
}

TEST(Walk, CancelStopsEveryLevelAndKeepsWhatWasStored) {
    TempTree t;
    QString rel;
    for (int depth = 0; depth < 6; ++depth) {
        rel += QStringLiteral("d%1/").arg(depth);
        for (int i = 0; i < 12; ++i)
            t.CreateFile(rel + QStringLiteral("f%1").arg(i), QByteArray::number(i));
    }
    clsFindFile scan;
    scan.IncludeSubFolder = true;
    RecordingObserver observer;
    observer.OnFile = [&](const QString& path) {
        if (path.contains(QStringLiteral("/d3/")))
            scan.CancelOperation = true;
    };
    scan.SetObserver(&observer);
    FileList list;
    EXPECT_EQ(scan.ScanFolders({t.Root()}, list), 1);
    // The file that asked to cancel is the last one seen at any level, and it and every
    // file before it stay stored.
    ASSERT_FALSE(observer.Files.isEmpty());
    EXPECT_TRUE(observer.Files.last().contains(QStringLiteral("/d3/")));
    EXPECT_LT(observer.Files.size(), 6 * 12);
    EXPECT_EQ(list.size(), size_t(observer.Files.size()));
    EXPECT_TRUE(observer.Statuses.isEmpty());
}

TEST(Walk, FolderThatCannotBeListedIsLoggedInTheWrapperForm) {
    AppFolder app;
    clsFindFile scan;
    FileList list;
    const QString missing = app.Tree().Path(QStringLiteral("nowhere"));
    scan.GetFiles(missing, list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(scan.FoldersNotListed(), 1);
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(
        QStringLiteral("Error occured in modAPI.MyFindFirstFile Error number: 2 Desc: ")));
    EXPECT_TRUE(log[0].contains(missing + QStringLiteral("/*.* at:")));
}
