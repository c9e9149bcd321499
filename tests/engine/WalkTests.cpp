// The walk: attribute filters, patterns, links and special files, one record per file,
// unreadable files and cancelling.

#include "EngineFixtures.h"

#include "app/PathCodec.h"
#include "app/modAPI_scan.h"
#include "app/modLog.h"
#include "engine/FolderListing.h"

#include <algorithm>
#include <climits>
#include <dirent.h>

using namespace engine_test;

class Walk : public EngineTest {};

TEST_F(Walk, AttributeFiltersTakeWhatTheyAllowAndSkippedFoldersAreNotEntered) {
    t.CreateFile(u"plain.txt"_s, "a");
    t.CreateCopies("b", {".dot.txt", ".both"});
    t.CreateFile(u"ro.txt"_s, "c");
    t.SetMode(u"ro.txt"_s, 0444);
    t.SetMode(u".both"_s, 0444);
    t.CreateFile(u".hid/inside.txt"_s, "d");
    t.CreateFile(u"rodir/inside2.txt"_s, "e");
    t.SetMode(u"rodir"_s, 0555);
    Fifo(u"pipe"_s);
    // Each record carries the attribute letters of its entry.
    for (const auto& [hidden, readOnly, expected] :
         {std::tuple{false, false, u"plain.txt=N"_s},
          std::tuple{true, false, u".dot.txt=H inside.txt=N plain.txt=N"_s},
          std::tuple{false, true, u"inside2.txt=N plain.txt=N ro.txt=R"_s},
          std::tuple{true, true,
                     u".both=HR .dot.txt=H inside.txt=N inside2.txt=N plain.txt=N ro.txt=R"_s}}) {
        clsFindFile scan;
        scan.IncludeSubFolder = scan.IncludeSystemFilesFolders = true;
        scan.IncludeHiddenFilesFolders = hidden;
        scan.IncludeReadOnlyFilesFolders = readOnly;
        FileList list;
        scan.GetFiles(t.Root(), list);
        QStringList seen;
        for (size_t i = 0; i < list.size(); ++i)
            seen << list.FileName(list[i]) + u'=' + list.Details(i).FileAttributes;
        seen.sort();
        EXPECT_EQ(seen.join(u' '), expected) << hidden << readOnly;
    }
    t.SetMode(u"rodir"_s, 0755);
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
    // The same folder through a link from an ordinary one, and through one whose name is not
    // UTF-8, which must be resolved by its bytes, not a decoded guess.
    const QString rawLink = P(u""_s) + PathCodec::Decode("link\xe9");
    for (const QString& link : {P(u"link"_s), rawLink})
        ASSERT_EQ(
            ::symlink(QFile::encodeName(root).constData(), PathCodec::Encode(link).constData()), 0);
    for (const QString& folder : {root, root + u'/', P(u"link"_s), P(u"link/"_s), rawLink}) {
        modLog::ResetRunStats();
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
        // Left out, but never silently: the run's details say which folder and why.
        EXPECT_EQ(modLog::RunStats.ErrorCount, 1);
        EXPECT_EQ(modLog::RunStats.ErrorDetails,
                  QStringList(modCommon::QualifyPath(folder) +
                              u" -  not scanned: a kernel virtual file system"_s));
        EXPECT_TRUE(app.AppLogLines().last().startsWith(
            u"Error occured in clsFindFile.GetFiles. Error No : 1 "_s));
    }
}

// An ordinary file system mounted under a virtual one (tmpfs on /dev/shm under devtmpfs on
// /dev) is ordinary again; a virtual one deeper still is not.
TEST(VirtualMounts, TheDeepestMountDecides) {
    const std::vector<QByteArray> virtualPoints{"/dev/", "/dev/shm/inner/", "/proc/"};
    const std::vector<QByteArray> ordinary{"/dev/shm/"};
    for (const auto& [folder, expected] :
         {std::pair{"/dev/", true}, std::pair{"/dev/pts/", true}, std::pair{"/dev/shm/", false},
          std::pair{"/dev/shm/a/b/", false}, std::pair{"/dev/shm/inner/x/", true},
          std::pair{"/proc/self/", true}, std::pair{"/home/dev/", false}})
        EXPECT_EQ(modAPI::IsUnderVirtualMount(folder, virtualPoints, ordinary), expected) << folder;
}

// With every attribute taken, a virtual file system's mount point and special files are
// still left out of a listing, and so is an automount point inside a tree; only the point
// itself: a root at it lists its folders as usual.
TEST_F(Walk, MountPointsAndSpecialFilesAreLeftOutOfListings) {
    t.CreateFile(u"auto/inner/f.txt"_s, "x");
    t.CreateFile(u"kernel/g.txt"_s, "y");
    t.CreateFile(u".hid/h.txt"_s, "z");
    Fifo(u"pipe"_s);
    const ListingRules rules{true,
                             true,
                             true,
                             true,
                             {QFile::encodeName(P(u"kernel/"_s))},
                             {QFile::encodeName(P(u"auto/"_s))},
                             {}};
    const auto listed = [&](const QString& folder) {
        FolderListing listing;
        ListFolder(QFile::encodeName(folder).toStdString(), rules, listing);
        QStringList names;
        for (const ListedEntry& e : listing.Entries)
            names << QString::fromStdString(e.Name);
        names.sort();
        return names.join(u' ');
    };
    EXPECT_EQ(listed(t.Root()), u".hid app"_s);
    EXPECT_EQ(listed(P(u"auto/"_s)), u"inner"_s);
}

// Statuses asked for together (an io_uring where the kernel has one) must list a folder
// exactly as asking for each entry does: every field of every status, the attributes made
// from them, and which entries are left out, over more entries than one call takes.
TEST_F(Walk, StatusesAskedTogetherListAsStatusesAskedOneByOne) {
    for (int i = 0; i < 70; ++i) {
        const QString name = (i % 7 == 0 ? u".f%1"_s : u"f%1"_s).arg(i);
        t.CreateFile(u"d/"_s + name, QByteArray(i * 13, 'x'), 1'600'000'000 + i);
        if (i % 5 == 0) {
            ASSERT_EQ(::chmod(QFile::encodeName(P(u"d/"_s + name)).constData(), 0444), 0);
        }
    }
    t.CreateFile(u"d/sub/g"_s, "g");
    t.CreateFile(u"d/kernel/k"_s, "k");
    t.CreateFile(u"d/.hidden/h"_s, "h");
    Fifo(u"d/pipe"_s);
    ASSERT_EQ(::symlink("f1", QFile::encodeName(P(u"d/link"_s)).constData()), 0);
    const std::string folder = QFile::encodeName(P(u"d/"_s)).toStdString();
    for (const bool hidden : {true, false}) {
        const ListingRules rules{true, hidden, true, true, {QFile::encodeName(P(u"d/kernel/"_s))},
                                 {},   {}};
        FolderListing one, together;
        ListFolder(folder, rules, one);
        modAPI::ScanBatch batch;
        ListFolder(folder, rules, together, {}, &batch);
        ASSERT_EQ(together.Entries.size(), one.Entries.size());
        // The virtual file system's mount point, the FIFO and the link are left out.
        EXPECT_EQ(together.Entries.size(), hidden ? 72u : 61u);
        for (size_t i = 0; i < one.Entries.size(); ++i) {
            const ListedEntry& a = one.Entries[i];
            const ListedEntry& b = together.Entries[i];
            SCOPED_TRACE(a.Name);
            EXPECT_EQ(b.Name, a.Name);
            EXPECT_EQ(b.Type, a.Type);
            EXPECT_EQ(b.Attributes, a.Attributes);
            EXPECT_EQ(b.HasStat, a.HasStat);
            EXPECT_EQ(b.Error, a.Error);
            EXPECT_EQ(b.Stat.Type, a.Stat.Type);
            EXPECT_EQ(b.Stat.Size, a.Stat.Size);
            EXPECT_EQ(b.Stat.ModifiedNs, a.Stat.ModifiedNs);
            EXPECT_EQ(b.Stat.ChangedNs, a.Stat.ChangedNs);
            EXPECT_EQ(b.Stat.CreatedSecs, a.Stat.CreatedSecs);
            EXPECT_EQ(b.Stat.Device, a.Stat.Device);
            EXPECT_EQ(b.Stat.Inode, a.Stat.Inode);
            EXPECT_EQ(b.Stat.Mode, a.Stat.Mode);
            EXPECT_EQ(b.Stat.LinkCount, a.Stat.LinkCount);
        }
    }
    if (!modAPI::ScanBatch().Usable())
        GTEST_SKIP() << "no io_uring here: both listings asked for each status alone";
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
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.FileName(list[0]), u"a.TXT"_s);
}

TEST_F(Walk, LinksAreNeverFollowedUnlessGivenAsARootAndOneFileIsOneRecord) {
    t.CreateCopies("same bytes", {"data/one.bin", "data/sub/two.bin", "elsewhere/three.bin"});
    t.CreateFile(u"data/lonely.bin"_s, "no copy at all");
    const auto native = [&](const QString& rel) { return QFile::encodeName(P(rel)); };
    ASSERT_EQ(::link(native(u"data/lonely.bin"_s), native(u"data/hardlink.bin"_s)), 0);
    ASSERT_EQ(::symlink("one.bin", native(u"data/symlink.bin"_s)), 0);
    ASSERT_EQ(::symlink("..", native(u"data/sub/loop"_s)), 0);
    ASSERT_EQ(::symlink(native(u"elsewhere"_s), native(u"data/sub/away"_s)), 0);
    ASSERT_EQ(::symlink(native(u"data"_s), native(u"named"_s)), 0);
    // The same folder twice, and a parent of it: each file still counts once.
    const QString data = P(u"data"_s);
    for (const auto& [roots, expected] :
         {std::pair{
              QStringList{data, data + u'/', P(u"data/sub"_s), t.Root()},
              QStringList{u"data/one.bin"_s, u"data/sub/two.bin"_s, u"elsewhere/three.bin"_s}},
          std::pair{QStringList{P(u"named"_s)},
                    QStringList{u"named/one.bin"_s, u"named/sub/two.bin"_s}},
          std::pair{QStringList{P(u"named/"_s)},
                    QStringList{u"named/one.bin"_s, u"named/sub/two.bin"_s}}}) {
        clsFindFile scan;
        ContentScan(scan, u"crc"_s);
        EXPECT_EQ(Rel(Scan(scan, roots).Paths), Groups{expected}) << roots.join(u' ').toStdString();
    }
}

TEST_F(Walk, UnreadableFilesGetNoRecordAndAreLoggedAndCounted) {
    t.CreateCopies(QByteArray(70000, 'q'), {"s/a", "s/b", "s/gone", "s/piped"});
    t.CreateCopies("tiny", {"s/small1", "s/small2"});
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

// A file mounted over another path keeps one link, yet it is one file: removing the
// "other copy" would remove the only one.
TEST_F(Walk, AFileMountedOverAnotherPathIsOneRecord) {
    t.CreateCopies("same bytes", {"a/orig.bin", "c/copy.bin"});
    t.CreateFile(u"b/target.bin"_s, QByteArray());
    const QByteArray source = QFile::encodeName(P(u"a/orig.bin"_s));
    const QByteArray target = QFile::encodeName(P(u"b/target.bin"_s));
    // Met first through the mount, then through its own path; the other way round; and
    // within one tree, where the first met of the two paths stays (which one depends on
    // the listing order). As text, so that a child process can hand it back.
    const auto groups = [&]() {
        QStringList seen;
        for (const QStringList& roots : {QStringList({P(u"b"_s), P(u"a"_s), P(u"c"_s)}),
                                         QStringList({P(u"a"_s), P(u"c"_s), P(u"b"_s)})}) {
            clsFindFile scan;
            ContentScan(scan, u"crc"_s);
            for (const QStringList& g : Rel(Scan(scan, roots).Paths))
                seen << g.join(u' ');
            seen << u"|"_s;
        }
        clsFindFile scan;
        ContentScan(scan, u"md5"_s);
        const Groups whole = Rel(Scan(scan, {P(u""_s)}).Paths);
        seen << u"%1 groups, first of %2 files, with the copy: %3"_s.arg(whole.size())
                    .arg(whole.empty() ? 0 : whole[0].size())
                    .arg(!whole.empty() && whole[0].contains(u"c/copy.bin"_s));
        return seen.join(u'\n');
    };
    const QString expected = u"b/target.bin c/copy.bin\n|\na/orig.bin c/copy.bin\n|\n"
                             u"1 groups, first of 2 files, with the copy: 1"_s;

    // The mount is made in a child of its own namespace, so that it ends with the child
    // whatever happens here.
    const QByteArray out = InChild(
        [&] {
            return ::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0;
        },
        [&] { return groups().toUtf8(); });
    if (out.startsWith("SKIP "))
        GTEST_SKIP() << "cannot bind-mount a file in a mount namespace of this test's own ("
                     << out.mid(5).toStdString()
                     << "); needs root, or unprivileged user namespaces";
    EXPECT_EQ(QString::fromUtf8(out), expected);
}

namespace {

// Removes what the folder holds, relative to it, however deep: no path is ever spelled
// out in full.
void RemoveBelow(int dirFd) {
    DIR* dir = ::fdopendir(::dup(dirFd));
    ASSERT_NE(dir, nullptr);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (e->d_type == DT_DIR) {
            const int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            ASSERT_GE(child, 0);
            RemoveBelow(child);
            ::close(child);
            EXPECT_EQ(::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR), 0);
        } else {
            EXPECT_EQ(::unlinkat(dirFd, name.c_str(), 0), 0);
        }
    }
    ::closedir(dir);
}

} // namespace

TEST_F(Walk, FoldersDeeperThanThePathLimitAreWalked) {
    t.CreateFile(u"top.bin"_s, "same bytes");
    const std::string level(200, 'd');
    int fd = ::open(QFile::encodeName(P(u""_s)).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    // Removed even when a check below fails, or the temporary folder could not go.
    struct Cleanup {
        int Top;
        ~Cleanup() {
            RemoveBelow(Top);
            ::close(Top);
        }
    } cleanup{::dup(fd)};
    size_t depth = 0;
    while (depth * (level.size() + 1) < 2 * PATH_MAX) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        ++depth;
    }
    const int file = ::openat(fd, "deep.bin", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "same bytes", 10), 10);
    ::close(file);
    ::close(fd);

    clsFindFile scan;
    ContentScan(scan, u"md5"_s);
    const Groups found = Scan(scan, {t.Root()}).Paths;
    EXPECT_EQ(scan.FoldersNotListed(), 0);
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(found[0].size(), 2);
    // Files of the root come before those of its sub-folders.
    EXPECT_EQ(found[0][0], P(u"top.bin"_s));
    EXPECT_TRUE(found[0][1].endsWith(u"/deep.bin"_s));
    EXPECT_GT(found[0][1].size(), 2 * PATH_MAX - 300);
}
