#include "ActionsFixture.h"

#include "actions/cls7z.h"
#include "actions/clsCleanup.h"

#include <QDir>

#include <zip.h>

namespace {

using actions_testing::ActionsTest;
using actions_testing::ProfileSettings;

class Cleanup : public ActionsTest {
protected:
    // An executor with the settings of a freshly written profile "P".
    clsCleanup& Load(const ProfileSettings& s) {
        WriteProfile(QStringLiteral("P"), s);
        EXPECT_EQ(cleanup.GetProfileSettings(QStringLiteral("P.xml")), 1);
        return cleanup;
    }
    static qint64 Errors() { return modLog::RunStats.ErrorCount; }

    clsCleanup cleanup{messages};
};

// The names of the entries in an archive, or nothing when it cannot be opened.
QStringList ZipEntries(const QString& archive) {
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    if (!za)
        return {};
    QStringList names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names << QString::fromUtf8(zip_get_name(za, zip_uint64_t(i), 0));
    zip_discard(za);
    return names;
}

TEST_F(Cleanup, SettingsComeFromTheProfileAndBadProfilesAreReported) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("move");
    s.Folder = QStringLiteral("/keep");
    s.DeleteEmptyFolder = QStringLiteral("YES");
    s.CreateIn = QStringLiteral("/single");
    s.ExportLocation = QStringLiteral("/reports");
    s.ExportFormat = QStringLiteral("csv");
    Load(s);
    EXPECT_EQ(cleanup.DeleteTo, QStringLiteral("move"));
    EXPECT_EQ(cleanup.TargetFolder, QStringLiteral("/keep"));
    EXPECT_TRUE(cleanup.DeleteEmptyFolder);
    EXPECT_EQ(cleanup.SingleCopyFolder, QStringLiteral("/single"));
    EXPECT_EQ(cleanup.ExportLocation, QStringLiteral("/reports"));
    EXPECT_EQ(cleanup.ExportFormat, QStringLiteral("csv"));
    EXPECT_EQ(cleanup.ProfileName, QStringLiteral("P"));
    EXPECT_TRUE(messages.ShownMessages.empty());

    clsCleanup missing(messages);
    EXPECT_EQ(missing.GetProfileSettings(QStringLiteral("Nowhere.xml")), 3);
    Tree().CreateFile(QStringLiteral("app/tester/Profile/Broken.xml"), "<echofind><oops");
    clsCleanup broken(messages);
    EXPECT_EQ(broken.GetProfileSettings(QStringLiteral("Broken.xml")), 3);
    EXPECT_EQ(messages.Texts(),
              (QStringList{QStringLiteral("Application could not locate the selected profile."),
                           QStringLiteral("Error occured while reading the selected profile")}));
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].startsWith(
        QStringLiteral("Error occured in clsCleanup.GetProfileSettings. Error No : 532 Desc : ")));
    EXPECT_TRUE(log[1].contains(QStringLiteral("Error No : 531 ")));
}

TEST_F(Cleanup, TrashLogsEachOutcomeAndNeverDeletesInstead) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("something else"); // any unknown rule is the trash
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("d/a.txt"), "aaa");
    EXPECT_EQ(cleanup.DeleteFile(a), 1);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("d/a.txt")));
    EXPECT_EQ(QFile(TrashFiles() + QStringLiteral("a.txt")).size(), 3);
    EXPECT_EQ(ActionLines(), QStringList{a + QStringLiteral(" - Moved to Recyclebin")});
    EXPECT_EQ(Errors(), 0);

    // A trash that cannot take the file: a failure line and one error, and the file stays.
    QDir(Tree().Path(QStringLiteral("home/data/Trash"))).removeRecursively();
    Tree().CreateFile(QStringLiteral("home/data/Trash"), "not a folder");
    const QString b = Tree().CreateFile(QStringLiteral("d/b.txt"), "bbb");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(Tree().CreateDir(QStringLiteral("cwd")));
    EXPECT_EQ(cleanup.DeleteFile(b), 1);
    QDir::setCurrent(cwd);
    EXPECT_EQ(Tree().Read(QStringLiteral("d/b.txt")), QByteArray("bbb"));
    EXPECT_TRUE(QDir(Tree().Path(QStringLiteral("cwd"))).isEmpty())
        << "no makeshift trash in the working folder";
    EXPECT_EQ(ActionLines().last(),
              b + QStringLiteral(" - Error occured while moving to Recyclebin"));
    EXPECT_EQ(Errors(), 1);
}

TEST_F(Cleanup, PermanentDeleteTakesReadOnlyFilesAndCountsFailures) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("permanent");
    Load(s);
    const QString ro = Tree().CreateFile(QStringLiteral("d/.hidden-ro"), "x");
    Tree().SetMode(QStringLiteral("d/.hidden-ro"), 0444);
    cleanup.DeleteFile(ro);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("d/.hidden-ro")));
    const QString gone = Tree().Path(QStringLiteral("d/never-there"));
    cleanup.DeleteFile(gone);
    EXPECT_EQ(ActionLines(),
              (QStringList{ro + QStringLiteral(" - Deleted permanently"),
                           gone + QStringLiteral(" - Error occured while deleting file")}));
    EXPECT_EQ(Errors(), 1);
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        QStringLiteral("Error occured in clsCleanup.DeletePermanently. Error No : ")));
}

TEST_F(Cleanup, MoveKeepsTheWholePathUnderTheTargetAndReplacesAnOccupiedDestination) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("move");
    s.Folder = Tree().Path(QStringLiteral("keep")); // no trailing "/": one is added
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("src/sub/a.txt"), "new");
    const QString destination = Tree().Path(QStringLiteral("keep")) + a;
    EXPECT_EQ(clsCleanup::DestinationUnder(s.Folder, a), destination);
    cleanup.DeleteFile(a);
    EXPECT_EQ(ActionLines(), QStringList{a + QStringLiteral(" - moved to ") + destination});
    EXPECT_FALSE(Tree().Exists(QStringLiteral("src/sub/a.txt")));

    // The same path moved again: the earlier file there gives way.
    Tree().CreateFile(QStringLiteral("src/sub/a.txt"), "newer");
    cleanup.DeleteFile(a);
    EXPECT_EQ(ActionLines().mid(1),
              (QStringList{destination + QStringLiteral(" - Deleted permanently"),
                           a + QStringLiteral(" - moved to ") + destination}));
    QFile moved(destination);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), QByteArray("newer"));
    EXPECT_EQ(Errors(), 0);
}

TEST_F(Cleanup, MoveFailuresLeaveTheFileAndCountTwice) {
    // The target folder cannot be created: a file stands where a folder should be.
    Tree().CreateFile(QStringLiteral("blocker"), "x");
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("move");
    s.Folder = Tree().Path(QStringLiteral("blocker/keep"));
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("src/a.txt"), "aaa");
    const QString destination = clsCleanup::DestinationUnder(s.Folder, a);
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("src/a.txt")), QByteArray("aaa"));
    EXPECT_EQ(ActionLines(),
              (QStringList{destination + QStringLiteral(" - Error occured while deleting file"),
                           a + QStringLiteral(" - Error occured while moving the file")}));
    EXPECT_EQ(Errors(), 2);
}

TEST_F(Cleanup, MoveThatFailsForAnotherReasonLeavesAnExistingDestinationAlone) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("move");
    s.Folder = Tree().Path(QStringLiteral("keep"));
    Load(s);
    // The source is gone by the time of the move, while its destination holds a file that
    // an earlier move put there: that file is no longer in the way of anything.
    const QString a = Tree().Path(QStringLiteral("src/a.txt"));
    const QString destination = clsCleanup::DestinationUnder(s.Folder, a);
    Tree().CreateFile(destination.mid(Tree().Root().size()), "moved earlier");
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(destination.mid(Tree().Root().size())), QByteArray("moved earlier"));
    EXPECT_EQ(ActionLines(),
              QStringList{a + QStringLiteral(" - Error occured while moving the file")});
    EXPECT_EQ(Errors(), 1);
}

TEST_F(Cleanup, MoveOntoItselfDeletesNothing) {
    // An empty target folder makes the destination the file's own path.
    const QString a = Tree().CreateFile(QStringLiteral("src/a.txt"), "only copy");
    cleanup.DeleteTo = QStringLiteral("move");
    cleanup.TargetFolder = QString();
    ASSERT_EQ(clsCleanup::DestinationUnder(cleanup.TargetFolder, a), a);
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("src/a.txt")), QByteArray("only copy"));

    // A hard link at the destination is the same file too.
    cleanup.TargetFolder = Tree().Path(QStringLiteral("keep"));
    const QString destination = clsCleanup::DestinationUnder(cleanup.TargetFolder, a);
    QDir().mkpath(destination.left(destination.lastIndexOf(u'/')));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(destination).constData()),
              0);
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("src/a.txt")), QByteArray("only copy"));
    const QString failed = a + QStringLiteral(" - Error occured while moving the file");
    EXPECT_EQ(ActionLines(), (QStringList{failed, failed}));
    EXPECT_EQ(Errors(), 2);
}

TEST_F(Cleanup, EmptiedFolderGoesButNotItsParentNorAFolderStillInUse) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("permanent");
    s.DeleteEmptyFolder = QStringLiteral("Yes");
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("p/q/a.txt"), "a");
    const QString b = Tree().CreateFile(QStringLiteral("p/r/b.txt"), "b");
    Tree().CreateFile(QStringLiteral("p/r/c.txt"), "c");
    cleanup.DeleteFile(a);
    cleanup.DeleteFile(b);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("p/q")));
    EXPECT_TRUE(Tree().Exists(QStringLiteral("p")));
    EXPECT_TRUE(Tree().Exists(QStringLiteral("p/r/c.txt")));

    // Tried even when the removal failed; no line of its own.
    const QString gone = Tree().Path(QStringLiteral("p/empty/gone.txt"));
    Tree().CreateDir(QStringLiteral("p/empty"));
    cleanup.DeleteFile(gone);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("p/empty")));
    EXPECT_EQ(ActionLines().size(), 3);
}

TEST_F(Cleanup, ZipAddsToTheProfileArchiveBeforeDeleting) {
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("zip");
    s.Folder = Tree().Path(QStringLiteral("zips/"));
    Load(s);
    const QString archive = Tree().Path(QStringLiteral("zips/P.zip"));
    const QString a = Tree().CreateFile(QStringLiteral("d1/a.txt"), "first");
    const QString b = Tree().CreateFile(QStringLiteral("d2/a.txt"), "second");
    cleanup.DeleteFile(a);
    cleanup.DeleteFile(b);
    EXPECT_EQ(ActionLines(), (QStringList{a + QStringLiteral(" - moved to ") + archive,
                                          a + QStringLiteral(" - Deleted permanently"),
                                          b + QStringLiteral(" - moved to ") + archive,
                                          b + QStringLiteral(" - Deleted permanently")}));
    EXPECT_EQ(ZipEntries(archive), (QStringList{cls7z::EntryName(a), cls7z::EntryName(b)}));
    EXPECT_FALSE(cls7z::EntryName(a).startsWith(u'/'));
    EXPECT_FALSE(Tree().Exists(QStringLiteral("d1/a.txt")));
    EXPECT_EQ(Errors(), 0);
}

TEST_F(Cleanup, FailedZipLeavesTheFileAndTheEarlierArchive) {
    const QString archive = Tree().CreateFile(QStringLiteral("zips/P.zip"), "this is no zip");
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("zip");
    s.Folder = Tree().Path(QStringLiteral("zips"));
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("d/a.txt"), "keep me");
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("d/a.txt")), QByteArray("keep me"));
    EXPECT_EQ(Tree().Read(QStringLiteral("zips/P.zip")), QByteArray("this is no zip"));
    EXPECT_EQ(ActionLines(),
              QStringList{a + QStringLiteral(" - Error occured while zipping file")});
    EXPECT_EQ(Errors(), 1);
    EXPECT_TRUE(
        app.AppLogLines().last().startsWith(QStringLiteral("Error occured in cls7Z.Archive")));

    // A place that cannot be written (no folder can be made there): the same outcome.
    cleanup.TargetFolder = QStringLiteral("/proc/echofind-zips");
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("d/a.txt")), QByteArray("keep me"));
    EXPECT_EQ(Errors(), 2);

    // A file that vanished before it was read fails the commit and keeps a good archive.
    cleanup.TargetFolder = Tree().Path(QStringLiteral("good"));
    const QString b = Tree().CreateFile(QStringLiteral("d/b.txt"), "b");
    cleanup.DeleteFile(b);
    const QString good = Tree().Path(QStringLiteral("good/P.zip"));
    const QByteArray before = Tree().Read(QStringLiteral("good/P.zip"));
    ASSERT_EQ(ZipEntries(good), QStringList{cls7z::EntryName(b)});
    EXPECT_EQ(cls7z().Archive(Tree().Path(QStringLiteral("good/P")),
                              Tree().Path(QStringLiteral("d/none"))),
              3);
    EXPECT_EQ(Tree().Read(QStringLiteral("good/P.zip")), before);
}

TEST_F(Cleanup, SingleCopyKeepsPathsPerProfileAndOverwrites) {
    ProfileSettings s;
    s.CreateIn = Tree().Path(QStringLiteral("single"));
    Load(s);
    const QString a = Tree().CreateFile(QStringLiteral("x/a.txt"), "one");
    const QString b = Tree().CreateFile(QStringLiteral("y/a.txt"), "two");
    const QString copyA = Tree().Path(QStringLiteral("single/P")) + a;
    EXPECT_EQ(cleanup.CreateSingleCopy(a), 1);
    EXPECT_EQ(cleanup.CreateSingleCopy(b), 1);
    QFile fa(copyA);
    ASSERT_TRUE(fa.open(QIODevice::ReadOnly));
    EXPECT_EQ(fa.readAll(), QByteArray("one"));
    EXPECT_TRUE(QFile::exists(Tree().Path(QStringLiteral("single/P")) + b));

    Tree().CreateFile(QStringLiteral("x/a.txt"), "changed");
    cleanup.CreateSingleCopy(a);
    QFile again(copyA);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), QByteArray("changed"));

    // A missing source: no action line, no error, only the platform layer's log line.
    EXPECT_EQ(cleanup.CreateSingleCopy(Tree().Path(QStringLiteral("x/none"))), 1);
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_EQ(Errors(), 0);
    EXPECT_TRUE(a.startsWith(u'/'));
}

} // namespace
