#include "ActionsFixture.h"
#include "FileSystems.h"

#include <QFileInfo>

#include <string_view>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

class Run : public TwoGroupsTest {
protected:
    // Profile "P" removes permanently; two groups of three and two files.
    void SetUp() override {
        ActionsTest::SetUp();
        settings.CreateIn = Tree().Path(u"single"_s);
        settings.ExportLocation = Tree().CreateDir(u"reports"_s);
        settings.ExportFormat = u"csv"_s;
        Start(settings);
    }

    static bool RunLogExists() { return QFile::exists(modCommon::LogPath + u"P.log"_s); }
    static QString Deleted(const QString& path) { return Said(path, u"Deleted permanently"_s); }

    ActionSettings settings{u"permanent"_s};
};

TEST_F(Run, DeleteAndDeleteGroupActOnlyOnTheCurrentRowOrGroup) {
    EXPECT_EQ(Act(u"Delete"_s, 2), Outcome::NotMarked);
    EXPECT_EQ(messages.Texts(),
              QStringList{u"Please select a marked item to delete and try again."_s});
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(RunLogExists());

    EXPECT_EQ(Act(u"Delete"_s, 4), Outcome::Finished);
    EXPECT_EQ(Act(u"DeleteGroup"_s, 5), Outcome::Finished);
    EXPECT_EQ(Flags(), u"...s..s"_s);
    EXPECT_EQ(ActionLines(),
              (QStringList{Deleted(a[2]), u"finished"_s, Deleted(b[1]), u"finished"_s}));
}

TEST_F(Run, DeleteAllStrikesTheRemovedRowsAndTurnsAMissingFileRed) {
    QFile::remove(a[1]);
    ASSERT_EQ(Act(u"DeleteAll"_s, 3), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..rs..s"_s);
    EXPECT_EQ(ActionLines(), (QStringList{Said(a[1], u"Could not be found"_s), Deleted(a[2]),
                                          Deleted(b[1]), u"finished"_s}));
    EXPECT_EQ(Errors(), 1);
    EXPECT_EQ(progress.Texts.mid(0, 2),
              (QStringList{u"Currently processing "_s + a[1], u"Processed 3 of 7"_s}));
    EXPECT_EQ(model.CurrentRow(), 3); // restored after the walk
    EXPECT_TRUE(RunLogExists());
}

TEST_F(Run, TheConfirmedRuleWinsAndOnlyARealRemovalIsStruck) {
    const auto recycle = [](ActionRun& r) { r.SetRemoveRule({u"recycle"_s, QString(), false}); };
    ASSERT_EQ(Act(u"DeleteAll"_s, 1, 4, recycle), Outcome::Finished);
    EXPECT_EQ(ActionLines().first(), Said(a[1], u"Moved to Recyclebin"_s));
    EXPECT_TRUE(QFile::exists(TrashFiles() + u"a.txt"_s));

    BreakTrash();
    ASSERT_EQ(Act(u"DeleteAll"_s, 1, 0, recycle), Outcome::Finished);
    EXPECT_EQ(Flags().right(1), u"r"_s); // still on disk
}

TEST_F(Run, ATrashThatRefusesEveryFileEndsTheRunWithOneErrorEach) {
    // The trash exists but an ordinary user cannot write into it: every marked file is a
    // failure of its own, the run goes on to the next and finishes, nothing is lost.
    Tree().CreateDir(u"home/data/Trash/files"_s);
    Tree().CreateDir(u"home/data/Trash/info"_s);
    ShareAppFolder();
    for (const char* folder : {"d1", "d2", "d3"})
        Tree().SetMode(QString::fromLatin1(folder), 0777);
    const int outcome = testing_support::RunAsOtherUser([&] {
        if (Act(u"DeleteAll"_s, 1, 0, [](ActionRun& r) {
                r.SetRemoveRule({u"recycle"_s, QString(), false});
            }) != Outcome::Finished)
            return 1;
        const QString failed = u"Error occured while moving to Recyclebin"_s;
        if (ActionLines() !=
            QStringList{Said(a[1], failed), Said(a[2], failed), Said(b[1], failed), u"finished"_s})
            return 2;
        return Errors() == 3 && Flags() == u"..rr..r"_s ? 0 : 3;
    });
    EXPECT_EQ(outcome, 0) << "-1: the run did not end; 2: other lines; 3: other counts";
    for (const QString& path : a + b)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QDir(Tree().Path(u"home/data/Trash/info"_s)).isEmpty());
}

TEST_F(Run, CancelStopsBetweenRowsWithoutFinishingTheRun) {
    progress.CancelAt = 1;
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Cancelled);
    EXPECT_EQ(ActionLines(), QStringList{Deleted(a[1])}); // heard only at the next row
    EXPECT_FALSE(RunLogExists());

    progress.Texts.clear();
    ASSERT_EQ(Act(u"Export"_s), Outcome::Cancelled);
    EXPECT_TRUE(QDir(settings.ExportLocation).isEmpty());
    EXPECT_EQ(ActionLines().size(), 1);
}

TEST_F(Run, SingleCopiesOfTheKeptFilesKeepTheirWholePathAndReplaceOlderOnes) {
    const QString root = Tree().Path(u"single/P"_s);
    const QString older = Tree().CreateFile(u"single/P"_s + a[0], "an older copy");
    ASSERT_EQ(Act(u"SingleCopy"_s), Outcome::Finished);
    EXPECT_EQ(ReadFile(older), QByteArray("aaaa"));
    EXPECT_EQ(ReadFile(root + b[0]), QByteArray("bb"));
    EXPECT_FALSE(QFile::exists(root + a[1]));
    EXPECT_EQ(progress.Texts.size(), 4); // two kept files, no group row
    EXPECT_EQ(ActionLines(), QStringList{u"finished"_s});
}

TEST_F(Run, ASingleCopyThatCannotBeMadeIsAFailure) {
    const QString failed = u"Error occured while creating single copy"_s;
    Tree().CreateFile(u"single/P"_s, "in the way"); // a file where the copies' folder goes
    QFile::remove(b[0]);                            // vanished since the scan
    ASSERT_EQ(Act(u"SingleCopy"_s), Outcome::Finished);
    EXPECT_EQ(ActionLines(), (QStringList{Said(a[0], failed), Said(b[0], failed), u"finished"_s}));
    EXPECT_EQ(Errors(), 2);
    const QString log = app.AppLogLines().join(u'\n');
    EXPECT_TRUE(Holds(log, u"modAPI.MyMakeSureDirectoryPathExists"_s));
    EXPECT_TRUE(Holds(log, u"modAPI.MyCopyFile Error number: 2 "_s));

    testing_support::PrivateMount readOnly({}, true);
    if (readOnly.Skip())
        GTEST_SKIP() << readOnly.Skip();
    settings.CreateIn = readOnly.Root();
    WriteProfile(u"P"_s, settings);
    modLog::ResetRunStats();
    ASSERT_EQ(Act(u"SingleCopy"_s), Outcome::Finished);
    EXPECT_EQ(ActionLines().first(), Said(a[0], failed));
    EXPECT_EQ(Errors(), 2);
}

TEST_F(Run, ExportAfterRemovalMarksTheRemovedFilesDeleted) {
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    ASSERT_EQ(Act(u"Export"_s), Outcome::Finished);
    const QStringList lines = QString::fromUtf8(Tree().Read(u"reports/P.csv"_s)).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 9); // header, seven rows, nothing after the last line end
    EXPECT_EQ(lines[1], u"a.txt   (3 copies)"_s + QString(9, u','));
    EXPECT_TRUE(lines[3].startsWith(u"a.txt,"_s + a[1] + u",4 bytes,"_s));
    EXPECT_TRUE(lines[3].endsWith(u",deleted"));
    EXPECT_FALSE(lines[2].endsWith(u",deleted"));
    EXPECT_EQ(
        ActionLines().mid(4),
        (QStringList{u"Duplicate results list exported"_s,
                     u"Report written to "_s + Tree().Path(u"reports/P.csv"_s), u"finished"_s}));

    // A folder that is not there yet is made, as for a move; one that cannot be made is
    // named with the system's reason, and nothing claims an export.
    settings.ExportLocation = Tree().Path(u"new/reports"_s);
    WriteProfile(u"P"_s, settings);
    ASSERT_EQ(Act(u"Export"_s), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(Tree().Path(u"new/reports/P.csv"_s)));
    Tree().CreateFile(u"plain"_s, "x");
    settings.ExportLocation = Tree().Path(u"plain/reports"_s);
    WriteProfile(u"P"_s, settings);
    const qsizetype before = ActionLines().size();
    ASSERT_EQ(Act(u"Export"_s), Outcome::Finished);
    ASSERT_EQ(messages.ShownMessages.size(), size_t(1));
    EXPECT_EQ(messages.ShownMessages[0].Text, u"Error occured while exporting the report"_s);
    EXPECT_EQ(messages.ShownMessages[0].Detail,
              Tree().Path(u"plain/reports/P.csv"_s) + u": Not a directory"_s);
    EXPECT_FALSE(ActionLines().mid(before).join(u'\n').contains(u"exported"_s));

    // No format: nothing to write, and it is said instead of a silent success.
    settings.ExportFormat.clear();
    WriteProfile(u"P"_s, settings);
    ASSERT_EQ(Act(u"Export"_s), Outcome::SettingsUnreadable);
    EXPECT_TRUE(messages.Texts().last().startsWith(u"No report was exported"_s));
}

// Whatever changed since the scan is left where it is, by a removal and by a hard link alike.
class Changed : public TwoGroupsTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        Start(ActionSettings(QString::fromLatin1(GetParam())));
    }
};

TEST_P(Changed, AFileWithAnotherTimeOrWithoutItsKeptCopyIsSkipped) {
    Tree().SetMTime(u"d2/a.txt"_s, 1700000500); // same size, other time
    QFile::remove(b[0]);                        // b[1] is the last copy
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..rs..r"_s);
    const QString done = std::string_view(GetParam()) == "hardlink"
                             ? u"Replaced by a hard link to "_s + a[0]
                             : u"Deleted permanently"_s;
    EXPECT_EQ(ActionLines(), (QStringList{Said(a[1], ActionRun::SkippedText), Said(a[2], done),
                                          Said(b[1], ActionRun::SkippedText), u"finished"_s}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_EQ(QFileInfo(a[1]).lastModified().toSecsSinceEpoch(), 1700000500); // not linked

    // A kept copy whose size changed no longer counts either.
    Tree().CreateFile(u"d1/b.txt"_s, "grown");
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(ReadFile(b[1]), QByteArray("bb"));
}

TEST_P(Changed, AFileReplacedBehindTheScansBackIsLeftAlone) {
    for (const int replaced : {1, 0}) { // a marked file, then the kept copy
        for (const bool inPlace : {false, true}) {
            SCOPED_TRACE(testing::Message() << "replaced " << replaced << " in place " << inPlace);
            Restart();
            Rewrite(a[replaced], {}, inPlace);
            ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
            EXPECT_EQ(Flags(), replaced == 1 ? u"..rs..s"_s : u"..rr..s"_s);
            EXPECT_EQ(Errors(), 2 - replaced);
            EXPECT_EQ(ActionLines().first(), Said(a[1], ActionRun::SkippedText));
            for (const QString& path : a.mid(0, 3 - replaced))
                EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, Changed, ::testing::Values("permanent", "hardlink"));

} // namespace
