// Groups of duplicate folders, made from the file groups of a real scan over a temporary
// tree: what counts as the same content, which folders are listed, and in what order.

#include "EngineFixtures.h"

#include "engine/FolderGroups.h"

using namespace engine_test;

namespace {

class FolderGroupsTest : public EngineTest {
protected:
    // Each group as "folder size files" lines relative to the tree, the groups joined by
    // " | ".
    QString Find(clsFindFile& scan, const QStringList& folders) {
        FileList list;
        EXPECT_EQ(scan.ScanFolders(folders, list), 1);
        QStringList groups;
        for (const FolderGroups::Group& g : FolderGroups::Find(list, scan.ScannedFolders())) {
            QStringList members;
            for (const FolderGroups::Folder& f : g)
                members << u"%1 %2 %3"_s.arg(f.Path.mid(P(u"s/"_s).size()))
                               .arg(f.TotalSize)
                               .arg(f.FileCount);
            groups << members.join(u", "_s);
        }
        return groups.join(u" | "_s);
    }
    QString FindByContent(const QStringList& folders = {}) {
        clsFindFile scan;
        ContentScan(scan, u"md5"_s);
        return Find(scan, folders.isEmpty() ? QStringList{P(u"s"_s)} : folders);
    }
};

} // namespace

TEST_F(FolderGroupsTest, OnlyTheTopmostFoldersOfNestedCopiesAreListedLargestFirst) {
    for (const char* top : {"a", "b", "c"}) {
        const QString dir = QString::fromUtf8(top);
        t.CreateFile(u"s/"_s + dir + u"/x.txt"_s, "xxxx");
        t.CreateFile(u"s/"_s + dir + u"/sub/y.txt"_s, "yy");
        t.CreateFile(u"s/"_s + dir + u"/sub/deeper/z.txt"_s, "z");
    }
    // A copy of the nested folder alone, elsewhere: the folders it matches lie inside
    // duplicate folders, so it has no group of its own left to show.
    t.CreateFile(u"s/d/sub/y.txt"_s, "yy");
    t.CreateFile(u"s/d/sub/deeper/z.txt"_s, "z");
    t.CreateFile(u"s/d/own.txt"_s, "only here");
    // A smaller pair, listed after the larger group.
    t.CreateCopies("pp", {"s/p/one/f.bin", "s/p/two/f.bin"});
    t.CreateFile(u"s/p/unique.bin"_s, "mine");

    EXPECT_EQ(FindByContent(), u"a 7 3, b 7 3, c 7 3 | p/one 2 1, p/two 2 1"_s);
}

TEST_F(FolderGroupsTest, AnyDifferenceInContentOrNamesKeepsFoldersApart) {
    // One folder holds an extra file that has copies elsewhere.
    t.CreateCopies("shared", {"s/extra/a/f.txt", "s/extra/b/f.txt"});
    t.CreateCopies("other", {"s/extra/a/g.txt", "s/extra/b/g.txt", "s/elsewhere/g2.txt"});
    t.CreateCopies("more", {"s/extra/a/h.txt", "s/elsewhere/h2.txt"});
    // A file in no group at all, with the same name on both sides.
    t.CreateCopies("common", {"s/unique/a/same.txt", "s/unique/b/same.txt"});
    t.CreateFile(u"s/unique/a/own.txt"_s, "one text");
    t.CreateFile(u"s/unique/b/own.txt"_s, "another");
    // Names that differ only in letter case name different files.
    t.CreateCopies("photo", {"s/case/a/Photo.jpg", "s/case/b/photo.jpg"});
    // The same files at different relative places.
    t.CreateCopies("deep", {"s/place/a/x/f", "s/place/b/y/f"});
    // Empty folders, and folders holding only empty folders, are no groups.
    t.CreateDir(u"s/empty/a"_s);
    t.CreateDir(u"s/empty/b"_s);
    t.CreateDir(u"s/empty/c/inner"_s);
    t.CreateDir(u"s/empty/d/inner"_s);

    // Only the matching pieces inside stay: each pair of single-file folders where the
    // names agree.
    EXPECT_EQ(FindByContent(), u"place/a/x 4 1, place/b/y 4 1"_s);
}

TEST_F(FolderGroupsTest, FilesAreTheSameByTheScansOwnCriteria) {
    // Same size, other content.
    t.CreateFile(u"s/a/f.dat"_s, "abc");
    t.CreateFile(u"s/b/f.dat"_s, "xyz");
    clsFindFile bySize;
    bySize.MatchName = false;
    bySize.MatchSize = true;
    bySize.IncludeSubFolder = true;
    EXPECT_EQ(Find(bySize, {P(u"s"_s)}), u"a 3 1, b 3 1"_s);
    EXPECT_EQ(FindByContent(), QString());
}

TEST_F(FolderGroupsTest, ScannedFoldersThemselvesCanBeCopiesOfEachOther) {
    t.CreateCopies("1", {"s/left/one", "s/right/one"});
    t.CreateCopies("22", {"s/left/s/two", "s/right/s/two"});
    EXPECT_EQ(FindByContent({P(u"s/left"_s), P(u"s/right/"_s)}), u"left 3 2, right 3 2"_s);
    // One folder named inside another: the inner one hangs under the outer as usual.
    EXPECT_EQ(FindByContent({P(u"s/right/s"_s), P(u"s"_s)}), u"left 3 2, right 3 2"_s);
}

// The list holds nothing of what the scan left out, so a folder holding anything more is
// no copy, even when the other side holds the same: the scan cannot tell the two apart.
TEST_F(FolderGroupsTest, FoldersHoldingWhatTheScanLeftOutAreNoCopies) {
    t.CreateCopies("kept", {"s/hidden/a/f", "s/hidden/b/f", "s/zero/a/f", "s/zero/b/f",
                            "s/pattern/a/f", "s/pattern/b/f", "s/link/a/f", "s/link/b/f",
                            "s/emptysub/a/f", "s/emptysub/b/f", "s/fifo/a/f", "s/fifo/b/f"});
    for (const QString& side : {u"a"_s, u"b"_s}) {
        t.CreateFile(u"s/hidden/%1/.dot"_s.arg(side), "dot");
        t.CreateFile(u"s/zero/%1/empty"_s.arg(side), "");
        t.CreateFile(u"s/pattern/%1/f.skip"_s.arg(side), "skipped");
        ASSERT_EQ(::symlink("f", QFile::encodeName(P(u"s/link/%1/to-f"_s.arg(side))).constData()),
                  0);
        Fifo(u"s/fifo/%1/pipe"_s.arg(side));
    }
    t.CreateDir(u"s/emptysub/a/nothing"_s);

    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    scan.SetExcludePatterns({u"*.skip"_s});
    EXPECT_EQ(Find(scan, {P(u"s"_s)}), QString());

    // Without sub-folders only the named folders are compared, and a folder holding
    // sub-folders the scan never entered is no copy.
    t.CreateCopies("kept", {"s/sub/a/f", "s/sub/b/f"});
    clsFindFile flat;
    ContentScan(flat, u"crc"_s);
    flat.IncludeSubFolder = false;
    EXPECT_EQ(Find(flat, {P(u"s/sub/a"_s), P(u"s/sub/b"_s)}), u"sub/a 4 1, sub/b 4 1"_s);
    t.CreateFile(u"s/sub/a/inner/g"_s, "g");
    t.CreateFile(u"s/sub/b/inner/g"_s, "g");
    clsFindFile flatAgain;
    ContentScan(flatAgain, u"crc"_s);
    flatAgain.IncludeSubFolder = false;
    EXPECT_EQ(Find(flatAgain, {P(u"s/sub/a"_s), P(u"s/sub/b"_s)}), QString());
}

TEST_F(FolderGroupsTest, HandedOnAsRowsThatNameNoFile) {
    t.CreateCopies("abc", {"s/one/f", "s/two/f", "s/three/f"});
    t.CreateCopies("d", {"s/one/g", "s/two/g", "s/three/g"});
    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    FileList list;
    ASSERT_EQ(scan.ScanFolders({P(u"s"_s)}, list), 1);
    RecordingSink sink;
    EXPECT_EQ(FolderGroups::HandOn(FolderGroups::Find(list, scan.ScannedFolders()), sink), 1);
    EXPECT_EQ(sink.Calls, (QStringList{u"ClearRecs"_s, u"AddHeader one"_s, u"AddRow 1 one 4"_s,
                                       u"AddRow 0 three 4"_s, u"AddRow 0 two 4"_s,
                                       u"UpdateHeadTotal 1 12"_s, u"UpdateHeader 1 3"_s}));
    // Nothing that acts on files may take a folder row for one.
    for (const FileIdentity& id : sink.Identities)
        EXPECT_FALSE(id.Known());
    EXPECT_EQ(FolderGroups::CountText(2), u"2 files"_s);

    // With the list, each relative name follows as a group of its own, the file of each
    // folder in the folders' order, with the identity an action checks it by.
    RecordingSink withFiles;
    FolderGroups::HandOn(FolderGroups::Find(list, scan.ScannedFolders()), withFiles, &list);
    EXPECT_EQ(withFiles.Calls.mid(7),
              (QStringList{u"AddHeader f"_s, u"AddRow 1 f 3"_s, u"AddRow 0 f 3"_s,
                           u"AddRow 0 f 3"_s, u"UpdateHeadTotal 5 9"_s, u"UpdateHeader 5 3"_s,
                           u"AddHeader g"_s, u"AddRow 1 g 1"_s, u"AddRow 0 g 1"_s,
                           u"AddRow 0 g 1"_s, u"UpdateHeadTotal 9 3"_s, u"UpdateHeader 9 3"_s}));
    EXPECT_EQ(withFiles.Paths[2],
              (QStringList{P(u"s/one/g"_s), P(u"s/three/g"_s), P(u"s/two/g"_s)}));
    EXPECT_TRUE(withFiles.Identities[P(u"s/two/f"_s)].Known());
}

// Files pair up by their whole relative names, however deep, never by name alone.
TEST_F(FolderGroupsTest, EachFolderListsItsFilesInTheSameOrderOfRelativeNames) {
    for (const char* top : {"a", "b"}) {
        const QString dir = u"s/"_s + QString::fromUtf8(top);
        t.CreateFile(dir + u"/z.txt"_s, "1");
        t.CreateFile(dir + u"/m/z.txt"_s, "22");
        t.CreateFile(dir + u"/m/a.txt"_s, "333");
        t.CreateFile(dir + u"/b/z.txt"_s, "4444");
    }
    clsFindFile scan;
    ContentScan(scan, u"crc"_s);
    FileList list;
    ASSERT_EQ(scan.ScanFolders({P(u"s"_s)}, list), 1);
    const std::vector<FolderGroups::Group> groups = FolderGroups::Find(list, scan.ScannedFolders());
    ASSERT_EQ(groups.size(), 1u);
    for (const FolderGroups::Folder& f : groups[0]) {
        QStringList rel;
        for (const quint32 i : f.Files)
            rel << list.Details(i, false).FilePath.mid(f.Path.size() + 1);
        EXPECT_EQ(rel, (QStringList{u"b/z.txt"_s, u"m/a.txt"_s, u"m/z.txt"_s, u"z.txt"_s}));
    }
}
