// echofind-cli run on a real corpus: the removal leaves one file of each group, the trash
// holds the rest, and the report marks what was removed; and what a run refuses or fails.

#include "CliFixture.h"
#include "FileSystems.h"

#include "app/modXML.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using namespace cli_testing;

class RunCommand : public CliHome {
protected:
    // Two copies under data/ and a profile that compares them by MD5 and removes for good.
    ProfileSettings TwoCopies() {
        tree.CreateCopies("same bytes", {"data/a.txt", "data/b.txt"});
        ProfileSettings p = ContentProfile({tree.Path(u"data"_s)}, u"md5"_s);
        p.DeleteTo = u"permanent"_s;
        return p;
    }
    bool BothCopies() const { return tree.Exists(u"data/a.txt"_s) && tree.Exists(u"data/b.txt"_s); }
};

TEST_F(RunCommand, RemoveToTrashAndExportLeaveOneFileOfEachGroup) {
    const QString corpus = tree.Path(u"corpus"_s);
    const Result made =
        Tool("make-tree", QStringList{corpus} + Words("--files 400 --seed 3 --quiet"));
    ASSERT_EQ(made.Exit, 0) << made.Err.toStdString();
    ProfileSettings p = ContentProfile({corpus});
    p.IgnoreHidden = false;
    p.IgnoreReadOnly = false;
    p.DeleteTo = u"recycle"_s;
    p.DoExport = true;
    p.ExportLocation = tree.CreateDir(u"reports"_s);
    p.ExportFormat = u"xml"_s;
    SaveProfile(u"Corpus"_s, p);

    const Result run = Cli(0, Words("run Corpus --remove --export -q"));

    const QJsonArray groups =
        QJsonDocument::fromJson(tree.Read(u"corpus.manifest.json"_s))[u"groups"].toArray();
    ASSERT_GT(groups.size(), 10);
    qsizetype removed = 0;
    for (const QJsonValue& g : groups) {
        const QJsonArray paths = g[u"paths"].toArray();
        int left = 0;
        for (const QJsonValue& rel : paths)
            left += QFileInfo::exists(corpus + u'/' + rel.toString()) ? 1 : 0;
        EXPECT_EQ(left, 1) << QJsonDocument(paths).toJson().toStdString();
        removed += paths.size() - 1;
    }
    const QDir trash(tree.Path(u"xdg/Trash/files"_s));
    EXPECT_EQ(trash.entryList(QDir::Files | QDir::Hidden | QDir::System).size(), removed);

    modXML::Document report;
    ASSERT_EQ(modXML::ReadProfile(tree.Path(u"reports/Corpus.xml"_s), report), 1);
    EXPECT_EQ(qsizetype(modXML::SelectAll(report.Dom(), u"//duplicates/filedetails"_s).size()),
              groups.size());
    qsizetype deleted = 0;
    for (const pugi::xml_node& f : modXML::SelectAll(report.Dom(), u"//filedetails/file"_s)) {
        const QString location = modXML::AttributeText(f, u"location"_s);
        const bool isDeleted = modXML::AttributeText(f, u"status"_s) == u"deleted";
        deleted += isDeleted ? 1 : 0;
        EXPECT_NE(QFileInfo::exists(location), isDeleted) << location.toStdString();
    }
    EXPECT_EQ(deleted, removed);

    // The run log tells the scan and the two action batches.
    const QByteArray rtf = RunLog(u"Corpus"_s);
    EXPECT_EQ(rtf.count("Moved to Recyclebin"), removed);
    EXPECT_TRUE(rtf.contains("Duplicate results list exported"));
}

TEST_F(RunCommand, RemovesNothingWithoutBeingAskedAndSaysWhatFailed) {
    ProfileSettings p = TwoCopies();
    SaveProfile(u"Small"_s, p);
    EXPECT_EQ(Cli(Words("run Small -q")).Exit, 0);
    EXPECT_TRUE(BothCopies());

    const Result missing = Cli(3, Words("run Nowhere --remove"));
    EXPECT_TRUE(Holds(missing.Err, u"Nowhere"_s));

    // A report folder that cannot be made: the report is missing and the run says so.
    p.DoExport = true;
    tree.CreateFile(u"plain"_s, "x");
    p.ExportLocation = tree.Path(u"plain/reports"_s);
    p.ExportFormat = u"csv"_s;
    SaveProfile(u"Small"_s, p);
    const Result noReport = Cli(1, Words("run Small --export -q"));
    EXPECT_TRUE(Holds(noReport.Err, u"export: the report could not be written"_s));

    // A move target that cannot be created: the files stay and the run says so.
    tree.CreateFile(u"blocker"_s, "x");
    p.DeleteTo = u"move"_s;
    p.RemoveFolder = tree.Path(u"blocker/keep"_s);
    SaveProfile(u"Small"_s, p);
    EXPECT_EQ(Cli(Words("run Small --remove -q")).Exit, 1);
    EXPECT_TRUE(BothCopies());

    // The copy folder lies under a file, so no single copy can be made.
    p.SingleCopyCreate = true;
    p.SingleCopyFolder = tree.Path(u"blocker/copies"_s);
    SaveProfile(u"Small"_s, p);
    const Result blocked = Cli(1, Words("run Small --single-copy -q"));
    EXPECT_TRUE(Holds(blocked.Err, u"single copy: done, 1 errors"_s));
    EXPECT_TRUE(RunLog(u"Small"_s).contains("Error occured while creating single copy"));
}

// The profile scans its own folder and, first, a folder with a copy of its document: the
// copy is kept, the document removed, and the single copy then cannot read settings.
TEST_F(RunCommand, ASingleCopyAfterTheProfileWasRemovedCannotReadItsSettings) {
    ProfileSettings p = TwoCopies();
    p.Folders = {tree.CreateDir(u"0early"_s), modCommon::ProfileFolder};
    p.SingleCopyCreate = true;
    p.SingleCopyFolder = tree.Path(u"copies"_s);
    SaveProfile(u"Self"_s, p);
    ASSERT_TRUE(
        QFile::copy(modCommon::ProfileFolder + u"Self.xml"_s, tree.Path(u"0early/Self.xml"_s)));
    const Result unreadable = Cli(Words("run Self --remove --single-copy -q"));
    ASSERT_FALSE(QFile::exists(modCommon::ProfileFolder + u"Self.xml"_s))
        << "the removal was meant to take the profile's own document";
    EXPECT_EQ(unreadable.Exit, 3) << unreadable.Err.toStdString();
    EXPECT_TRUE(Holds(unreadable.Err,
                      u"single copy: not done, the profile's settings could not be read"_s));
}

// A profile that would make every file a duplicate of every other must not remove a thing.
TEST_F(RunCommand, RefusesProfilesThatCompareNothingKnown) {
    tree.CreateFile(u"data/a.txt"_s, "first");
    tree.CreateFile(u"data/b.txt"_s, "second");
    tree.CreateFile(u"data/c.txt"_s, "third!");
    const struct {
        bool Content;
        QString Type;
        QString Detail;
    } cases[] = {{true, u"sha1"_s, u"\"sha1\""_s},
                 {true, QString(), u"comparison \"\""_s},
                 {false, QString(), u"no duplicate criterion"_s}};
    for (const auto& c : cases) {
        ProfileSettings p;
        p.Folders = {tree.Path(u"data"_s)};
        p.MatchContent = c.Content;
        p.MatchType = c.Type;
        p.DeleteTo = u"permanent"_s;
        SaveProfile(u"Odd"_s, p);
        EXPECT_EQ(Cli(Words("run Odd --remove -q")).Exit, 3);
        EXPECT_TRUE(Holds(Cli(3, Words("scan --profile Odd -q")).Err, c.Detail));
        for (const char* name : {"data/a.txt", "data/b.txt", "data/c.txt"})
            EXPECT_TRUE(tree.Exists(QString::fromLatin1(name))) << name;
        QFile log(modCommon::AppLogFile);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().contains("clsFindFile.ExecuteProfile. Error No : 536"));
    }
}

// --protect adds folders to the profile's for one run: their files stay whatever their
// marks, the rest is removed, and the run is no failure.
TEST_F(RunCommand, ProtectKeepsFilesForOneRunAndAcrossNarrowsTheGroups) {
    tree.CreateCopies("three copies", {"data/keep/a.txt", "data/other/a.txt", "data/zz/a.txt"});
    tree.CreateCopies("two in keep", {"data/keep/b1.txt", "data/keep/b2.txt"});
    ProfileSettings p = ContentProfile(
        {tree.Path(u"data/keep"_s), tree.Path(u"data/other"_s), tree.Path(u"data/zz"_s)});
    p.DeleteTo = u"permanent"_s;
    p.ProtectedFolders = {tree.Path(u"data/zz"_s)};
    SaveProfile(u"Guarded"_s, p);

    // A mistyped folder would protect nothing: refused before anything is scanned.
    const Result typo = Cli(2, Words("run Guarded --remove --protect") << tree.Path(u"data/kep"_s));
    EXPECT_TRUE(Holds(typo.Err, u"--protect: no folder at"_s));
    EXPECT_EQ(Cli(Words("run Guarded --protect")).Exit, 2);

    // Only the a.txt group spans folders; the b group in keep/ is left out, so b2 stays.
    // keep/a.txt is the kept file, other/ is protected for this run (given relative to
    // the working folder) and zz/ by the profile: nothing may go.
    const Result guarded =
        Cli(0, Words("run Guarded --remove --across --protect=other -q"), tree.Path(u"data"_s));
    for (const char* rel : {"data/keep/a.txt", "data/other/a.txt", "data/zz/a.txt",
                            "data/keep/b1.txt", "data/keep/b2.txt"})
        EXPECT_TRUE(tree.Exists(QString::fromLatin1(rel))) << rel;
    EXPECT_TRUE(Holds(
        guarded.Err,
        u"remove: 0 files acted on, 0 removed, 0 flagged, 2 kept in protected folders, 0 errors"_s));

    // The next run without them: the protection of one run is gone, the profile's stays.
    const Result plain = Cli(0, Words("run Guarded --remove -q"));
    EXPECT_FALSE(tree.Exists(u"data/other/a.txt"_s) || tree.Exists(u"data/keep/b2.txt"_s));
    EXPECT_TRUE(tree.Exists(u"data/zz/a.txt"_s) && tree.Exists(u"data/keep/a.txt"_s));
    // The profile's run log tells each kept file.
    EXPECT_TRUE(RunLog(u"Guarded"_s).contains("Skipped: the file is in a protected folder"));
    // scan takes --across with a profile as well.
    EXPECT_EQ(Cli(Words("scan --profile Guarded --across -q")).Exit, 0);
}

// With a profile that replaces copies by hard links, --remove makes every copy a name of the
// kept file; a copy on another file system is left as it is, and the run ends with errors.
TEST_F(RunCommand, RemoveWithAHardLinkProfileLinksWithinOneFileSystemOnly) {
    const QStringList copies = {tree.CreateFile(u"data/x/a.txt"_s, "same bytes"),
                                tree.CreateFile(u"data/y/a.txt"_s, "same bytes"),
                                tree.CreateFile(u"data/z/a.txt"_s, "same bytes")};
    ProfileSettings p = ContentProfile({tree.Path(u"data"_s)}, u"md5"_s);
    p.DeleteTo = u"hardlink"_s;
    SaveProfile(u"Links"_s, p);
    const auto inode = [](const QString& path) {
        modAPI::FileInfo info;
        EXPECT_EQ(modAPI::MyStat(path, info), 1) << path.toStdString();
        return info.Inode;
    };

    const Result linked = Cli(0, Words("run Links --remove -q"));
    EXPECT_TRUE(Holds(
        linked.Err, u"remove: 2 files acted on, 2 replaced by hard links, 0 flagged, 0 errors"_s));
    for (const QString& path : copies)
        EXPECT_EQ(inode(path), inode(copies[0])) << path.toStdString();
    EXPECT_EQ(RunLog(u"Links"_s).count(" - Replaced by a hard link to "), 2);

    testing_support::PrivateMount other;
    if (other.Skip())
        GTEST_SKIP() << other.Skip();
    tree.CreateFile(u"data/b.txt"_s, "other bytes");
    const QString there = testing_support::WriteFile(other.Root() + u"/b.txt"_s, "other bytes");
    const quint64 before = inode(there);
    p.Folders = {tree.Path(u"data"_s), other.Root()};
    SaveProfile(u"Links"_s, p);
    const Result refused = Cli(1, Words("run Links --remove -q"));
    // The names already linked are one file now, so only the pair across the mount is left.
    EXPECT_TRUE(Holds(
        refused.Err, u"remove: 1 files acted on, 0 replaced by hard links, 1 flagged, 1 errors"_s));
    EXPECT_EQ(inode(there), before);
    EXPECT_EQ(tree.Read(u"data/b.txt"_s), QByteArray("other bytes"));
}

} // namespace
