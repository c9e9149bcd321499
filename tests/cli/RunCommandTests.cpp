// echofind-cli run on a real corpus: the removal leaves one file of each group, the trash
// holds the rest, and the report marks what was removed.

#include "CliFixture.h"
#include "FileSystems.h"

#include "app/modXML.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace testing_support;

namespace {

using namespace cli_testing;

using RunCommand = CliHome;

} // namespace

TEST_F(RunCommand, RemoveToTrashAndExportLeaveOneFileOfEachGroup) {
    const QString corpus = tree.Path(QStringLiteral("corpus"));
    const Result made =
        Launch(QStringLiteral("python3"),
               {QStringLiteral(ECHOFIND_TOOLS_DIR "/make-tree"), corpus, QStringLiteral("--files"),
                QStringLiteral("400"), QStringLiteral("--seed"), QStringLiteral("3"),
                QStringLiteral("--quiet")},
               env);
    ASSERT_EQ(made.Exit, 0) << made.Err.toStdString();

    ProfileSettings p = testing_support::ContentProfile({corpus});
    p.IgnoreHidden = false;
    p.IgnoreReadOnly = false;
    p.DeleteTo = QStringLiteral("recycle");
    p.DoExport = true;
    p.ExportLocation = tree.Path(QStringLiteral("reports"));
    p.ExportFormat = QStringLiteral("xml");
    SaveProfile(QStringLiteral("Corpus"), p);
    tree.CreateDir(QStringLiteral("reports"));

    const Result run =
        Cli({QStringLiteral("run"), QStringLiteral("Corpus"), QStringLiteral("--remove"),
             QStringLiteral("--export"), QStringLiteral("-q")});
    ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();

    QFile manifestFile(corpus + QStringLiteral(".manifest.json"));
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly));
    const QJsonArray groups =
        QJsonDocument::fromJson(manifestFile.readAll())[QStringLiteral("groups")].toArray();
    ASSERT_GT(groups.size(), 10);
    qsizetype removed = 0;
    for (const QJsonValue& g : groups) {
        const QJsonArray paths = g[QStringLiteral("paths")].toArray();
        int left = 0;
        for (const QJsonValue& rel : paths)
            left += QFileInfo::exists(corpus + u'/' + rel.toString()) ? 1 : 0;
        EXPECT_EQ(left, 1) << QJsonDocument(paths).toJson().toStdString();
        removed += paths.size() - 1;
    }
    const QDir trash(tree.Path(QStringLiteral("xdg/Trash/files")));
    EXPECT_EQ(trash.entryList(QDir::Files | QDir::Hidden | QDir::System).size(), removed);

    modXML::Document report;
    ASSERT_EQ(modXML::ReadProfile(tree.Path(QStringLiteral("reports/Corpus.xml")), report), 1);
    EXPECT_EQ(
        qsizetype(
            modXML::SelectAll(report.Dom(), QStringLiteral("//duplicates/filedetails")).size()),
        groups.size());
    qsizetype deleted = 0;
    for (const pugi::xml_node& f :
         modXML::SelectAll(report.Dom(), QStringLiteral("//filedetails/file"))) {
        const QString location = modXML::AttributeText(f, QStringLiteral("location"));
        const bool isDeleted = modXML::AttributeText(f, QStringLiteral("status")) == u"deleted";
        deleted += isDeleted ? 1 : 0;
        EXPECT_NE(QFileInfo::exists(location), isDeleted) << location.toStdString();
    }
    EXPECT_EQ(deleted, removed);

    // The run log tells the scan and the two action batches.
    QFile log(modCommon::LogPath + QStringLiteral("Corpus.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray rtf = log.readAll();
    EXPECT_EQ(rtf.count("Moved to Recyclebin"), removed);
    EXPECT_TRUE(rtf.contains("Duplicate results list exported"));
}

TEST_F(RunCommand, RemovesNothingWithoutBeingAskedAndReportsBadInput) {
    tree.CreateFile(QStringLiteral("data/a.txt"), "same bytes");
    tree.CreateFile(QStringLiteral("data/b.txt"), "same bytes");
    ProfileSettings p =
        testing_support::ContentProfile({tree.Path(QStringLiteral("data"))}, QStringLiteral("md5"));
    p.DeleteTo = QStringLiteral("permanent");
    SaveProfile(QStringLiteral("Small"), p);

    EXPECT_EQ(Cli({QStringLiteral("run"), QStringLiteral("Small"), QStringLiteral("-q")}).Exit, 0);
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/a.txt")));
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/b.txt")));

    const Result missing =
        Cli({QStringLiteral("run"), QStringLiteral("Nowhere"), QStringLiteral("--remove")});
    EXPECT_EQ(missing.Exit, 3);
    EXPECT_TRUE(missing.Err.contains(QStringLiteral("Nowhere"))) << missing.Err.toStdString();
    EXPECT_EQ(Cli({QStringLiteral("run")}).Exit, 2);

    // A report folder that does not exist: the report is missing and the run says so.
    p.DoExport = true;
    p.ExportLocation = tree.Path(QStringLiteral("no-such-folder"));
    p.ExportFormat = QStringLiteral("csv");
    SaveProfile(QStringLiteral("Small"), p);
    const Result noReport = Cli({QStringLiteral("run"), QStringLiteral("Small"),
                                 QStringLiteral("--export"), QStringLiteral("-q")});
    EXPECT_EQ(noReport.Exit, 1);
    EXPECT_TRUE(noReport.Err.contains(QStringLiteral("export: the report could not be written")))
        << noReport.Err.toStdString();
    EXPECT_EQ(Cli({QStringLiteral("run"), QStringLiteral("Small"), QStringLiteral("--shred")}).Exit,
              2);

    // A move target that cannot be created: the files stay and the run says so.
    tree.CreateFile(QStringLiteral("blocker"), "x");
    p.DeleteTo = QStringLiteral("move");
    p.RemoveFolder = tree.Path(QStringLiteral("blocker/keep"));
    SaveProfile(QStringLiteral("Small"), p);
    const Result blocked = Cli({QStringLiteral("run"), QStringLiteral("Small"),
                                QStringLiteral("--remove"), QStringLiteral("-q")});
    EXPECT_EQ(blocked.Exit, 1) << blocked.Err.toStdString();
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/a.txt")));
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/b.txt")));
}

TEST_F(RunCommand, FailedSingleCopiesAndUnreadableSettingsSetTheExitStatus) {
    tree.CreateFile(QStringLiteral("data/a.txt"), "same bytes");
    tree.CreateFile(QStringLiteral("data/b.txt"), "same bytes");
    tree.CreateFile(QStringLiteral("blocker"), "x");
    ProfileSettings p =
        testing_support::ContentProfile({tree.Path(QStringLiteral("data"))}, QStringLiteral("md5"));
    p.DeleteTo = QStringLiteral("permanent");
    p.SingleCopyCreate = true;
    // The copy folder lies under a file, so no copy can be made.
    p.SingleCopyFolder = tree.Path(QStringLiteral("blocker/copies"));
    SaveProfile(QStringLiteral("Copies"), p);
    const Result blocked = Cli({QStringLiteral("run"), QStringLiteral("Copies"),
                                QStringLiteral("--single-copy"), QStringLiteral("-q")});
    EXPECT_EQ(blocked.Exit, 1) << blocked.Err.toStdString();
    EXPECT_TRUE(blocked.Err.contains(QStringLiteral("single copy: done, 1 errors")))
        << blocked.Err.toStdString();
    QFile log(modCommon::LogPath + QStringLiteral("Copies.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Error occured while creating single copy"));

    // The profile scans its own folder and, first, a folder with a copy of its document: the
    // copy is kept, the document removed, and the single copy then cannot read settings.
    p.Folders = {tree.Path(QStringLiteral("0early")), modCommon::ProfileFolder};
    p.SingleCopyFolder = tree.Path(QStringLiteral("copies"));
    SaveProfile(QStringLiteral("Self"), p);
    tree.CreateDir(QStringLiteral("0early"));
    ASSERT_TRUE(QFile::copy(modCommon::ProfileFolder + QStringLiteral("Self.xml"),
                            tree.Path(QStringLiteral("0early/Self.xml"))));
    const Result unreadable =
        Cli({QStringLiteral("run"), QStringLiteral("Self"), QStringLiteral("--remove"),
             QStringLiteral("--single-copy"), QStringLiteral("-q")});
    ASSERT_FALSE(QFile::exists(modCommon::ProfileFolder + QStringLiteral("Self.xml")))
        << "the removal was meant to take the profile's own document";
    EXPECT_EQ(unreadable.Exit, 3) << unreadable.Err.toStdString();
    EXPECT_TRUE(unreadable.Err.contains(
        QStringLiteral("single copy: not done, the profile's settings could not be read")))
        << unreadable.Err.toStdString();
}

// A profile that would make every file a duplicate of every other must not remove a thing.
TEST_F(RunCommand, RefusesProfilesThatCompareNothingKnown) {
    tree.CreateFile(QStringLiteral("data/a.txt"), "first");
    tree.CreateFile(QStringLiteral("data/b.txt"), "second");
    tree.CreateFile(QStringLiteral("data/c.txt"), "third!");
    struct Case {
        bool Content;
        QString Type;
        QString Detail;
    };
    for (const Case& c : {Case{true, QStringLiteral("sha1"), QStringLiteral("\"sha1\"")},
                          Case{true, QString(), QStringLiteral("comparison \"\"")},
                          Case{false, QString(), QStringLiteral("no duplicate criterion")}}) {
        ProfileSettings p;
        p.Folders = {tree.Path(QStringLiteral("data"))};
        p.MatchContent = c.Content;
        p.MatchType = c.Type;
        p.DeleteTo = QStringLiteral("permanent");
        SaveProfile(QStringLiteral("Odd"), p);
        const Result run = Cli({QStringLiteral("run"), QStringLiteral("Odd"),
                                QStringLiteral("--remove"), QStringLiteral("-q")});
        EXPECT_EQ(run.Exit, 3) << run.Err.toStdString();
        const Result scan = Cli({QStringLiteral("scan"), QStringLiteral("--profile"),
                                 QStringLiteral("Odd"), QStringLiteral("-q")});
        EXPECT_EQ(scan.Exit, 3) << scan.Err.toStdString();
        EXPECT_TRUE(scan.Err.contains(c.Detail)) << scan.Err.toStdString();
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
    for (const char* rel : {"data/keep/a.txt", "data/other/a.txt", "data/zz/a.txt"})
        tree.CreateFile(QString::fromLatin1(rel), "three copies");
    tree.CreateFile(QStringLiteral("data/keep/b1.txt"), "two in keep");
    tree.CreateFile(QStringLiteral("data/keep/b2.txt"), "two in keep");
    ProfileSettings p = testing_support::ContentProfile({tree.Path(QStringLiteral("data/keep")),
                                                         tree.Path(QStringLiteral("data/other")),
                                                         tree.Path(QStringLiteral("data/zz"))});
    p.DeleteTo = QStringLiteral("permanent");
    p.ProtectedFolders = {tree.Path(QStringLiteral("data/zz"))};
    SaveProfile(QStringLiteral("Guarded"), p);

    // A mistyped folder would protect nothing: refused before anything is scanned.
    const Result typo =
        Cli({QStringLiteral("run"), QStringLiteral("Guarded"), QStringLiteral("--remove"),
             QStringLiteral("--protect"), tree.Path(QStringLiteral("data/kep"))});
    EXPECT_EQ(typo.Exit, 2);
    EXPECT_TRUE(typo.Err.contains(QStringLiteral("--protect: no folder at")))
        << typo.Err.toStdString();
    EXPECT_EQ(
        Cli({QStringLiteral("run"), QStringLiteral("Guarded"), QStringLiteral("--protect")}).Exit,
        2);

    // Only the a.txt group spans folders; the b group in keep/ is left out, so b2 stays.
    // keep/a.txt is the kept file, other/ is protected for this run (given relative to
    // the working folder) and zz/ by the profile: nothing may go.
    const Result guarded =
        Cli({QStringLiteral("run"), QStringLiteral("Guarded"), QStringLiteral("--remove"),
             QStringLiteral("--across"), QStringLiteral("--protect=other"), QStringLiteral("-q")},
            tree.Path(QStringLiteral("data")));
    const QString& err = guarded.Err;
    EXPECT_EQ(guarded.Exit, 0) << err.toStdString();
    for (const char* rel : {"data/keep/a.txt", "data/other/a.txt", "data/zz/a.txt",
                            "data/keep/b1.txt", "data/keep/b2.txt"})
        EXPECT_TRUE(tree.Exists(QString::fromLatin1(rel))) << rel;
    EXPECT_TRUE(err.contains(QStringLiteral(
        "remove: 0 files acted on, 0 removed, 0 flagged, 2 kept in protected folders, 0 errors")))
        << err.toStdString();

    // The next run without them: the protection of one run is gone, the profile's stays.
    const Result plain = Cli({QStringLiteral("run"), QStringLiteral("Guarded"),
                              QStringLiteral("--remove"), QStringLiteral("-q")});
    EXPECT_EQ(plain.Exit, 0) << plain.Err.toStdString();
    EXPECT_FALSE(tree.Exists(QStringLiteral("data/other/a.txt")));
    EXPECT_FALSE(tree.Exists(QStringLiteral("data/keep/b2.txt")));
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/zz/a.txt")));
    EXPECT_TRUE(tree.Exists(QStringLiteral("data/keep/a.txt")));

    // The profile's run log tells each kept file.
    QFile log(modCommon::LogPath + QStringLiteral("Guarded.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Skipped: the file is in a protected folder"));

    // scan takes --across with a profile as well.
    const Result scan =
        Cli({QStringLiteral("scan"), QStringLiteral("--profile"), QStringLiteral("Guarded"),
             QStringLiteral("--across"), QStringLiteral("-q")});
    EXPECT_EQ(scan.Exit, 0) << scan.Err.toStdString();
}

// With a profile that replaces copies by hard links, --remove makes every copy a name of the
// kept file; a copy on another file system is left as it is, and the run ends with errors.
TEST_F(RunCommand, RemoveWithAHardLinkProfileLinksWithinOneFileSystemOnly) {
    const QStringList copies = {tree.CreateFile(QStringLiteral("data/x/a.txt"), "same bytes"),
                                tree.CreateFile(QStringLiteral("data/y/a.txt"), "same bytes"),
                                tree.CreateFile(QStringLiteral("data/z/a.txt"), "same bytes")};
    ProfileSettings p =
        testing_support::ContentProfile({tree.Path(QStringLiteral("data"))}, QStringLiteral("md5"));
    p.DeleteTo = QStringLiteral("hardlink");
    SaveProfile(QStringLiteral("Links"), p);

    const Result linked = Cli({QStringLiteral("run"), QStringLiteral("Links"),
                               QStringLiteral("--remove"), QStringLiteral("-q")});
    EXPECT_EQ(linked.Exit, 0) << linked.Err.toStdString();
    EXPECT_TRUE(linked.Err.contains(
        QStringLiteral("remove: 2 files acted on, 2 replaced by hard links, 0 flagged, 0 errors")))
        << linked.Err.toStdString();
    modAPI::FileInfo first;
    ASSERT_EQ(modAPI::MyStat(copies[0], first), 1);
    for (const QString& path : copies) {
        modAPI::FileInfo info;
        ASSERT_EQ(modAPI::MyStat(path, info), 1) << path.toStdString();
        EXPECT_EQ(info.Inode, first.Inode) << path.toStdString();
    }
    QFile log(modCommon::LogPath + QStringLiteral("Links.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count(" - Replaced by a hard link to "), 2);

    testing_support::PrivateMount other;
    if (other.Skip())
        GTEST_SKIP() << other.Skip();
    const QString here = tree.CreateFile(QStringLiteral("data/b.txt"), "other bytes");
    const QString there = other.Root() + QStringLiteral("/b.txt");
    {
        QFile f(there);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("other bytes");
    }
    modAPI::FileInfo before;
    ASSERT_EQ(modAPI::MyStat(there, before), 1);
    p.Folders = {tree.Path(QStringLiteral("data")), other.Root()};
    SaveProfile(QStringLiteral("Links"), p);
    const Result refused = Cli({QStringLiteral("run"), QStringLiteral("Links"),
                                QStringLiteral("--remove"), QStringLiteral("-q")});
    EXPECT_EQ(refused.Exit, 1) << refused.Err.toStdString();
    // The names already linked are one file now, so only the pair across the mount is left.
    EXPECT_TRUE(refused.Err.contains(
        QStringLiteral("remove: 1 files acted on, 0 replaced by hard links, 1 flagged, 1 errors")))
        << refused.Err.toStdString();
    modAPI::FileInfo after;
    ASSERT_EQ(modAPI::MyStat(there, after), 1);
    EXPECT_EQ(after.Inode, before.Inode);
    EXPECT_EQ(tree.Read(QStringLiteral("data/b.txt")), QByteArray("other bytes"));
    EXPECT_TRUE(QFile::exists(here));
}
