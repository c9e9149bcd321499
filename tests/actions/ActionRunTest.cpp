#include "ActionsFixture.h"
#include "FileSystems.h"

#include "actions/ActionRun.h"
#include "actions/CsvReportWriter.h"
#include "actions/DefaultActions.h"
#include "engine/FileList.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"

#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace Qt::StringLiterals;
using actions_testing::ActionsTest;
using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

// Records the progress texts and can cancel the run after the n-th.
class RecordingObserver final : public ActionObserver {
public:
    void SetMaximum(qint64) override {}
    void SetValue(qint64) override {}
    void ShowProgress(const QString& processing, const QString& processed) override {
        Texts << processing << processed;
        if (Texts.size() / 2 == CancelAfter)
            Run->Cancel();
    }
    void Yield() override {}

    QStringList Texts;
    qsizetype CancelAfter = 0;
    ActionRun* Run = nullptr;
};

class Run : public actions_testing::TwoGroupsTest {
protected:
    // Profile "P" removes permanently; two groups of three and two files.
    void SetUp() override {
        ActionsTest::SetUp();
        settings.DeleteTo = QStringLiteral("permanent");
        settings.CreateIn = Tree().Path(QStringLiteral("single"));
        settings.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
        settings.ExportFormat = QStringLiteral("csv");
        WriteProfile(QStringLiteral("P"), settings);
        MakeGroups();
    }

    Outcome Execute(const QString& action, qint64 currentRow = 1, qint64 fileCount = 7) {
        ActionRun run(model, &observer, messages);
        run.Action = action;
        run.FileCount = fileCount;
        if (rule)
            run.SetRemoveRule(*rule);
        model.SetCurrent(currentRow, 1);
        observer.Run = &run;
        return run.Execute(QStringLiteral(" P "));
    }

    static bool RunLogExists() {
        return QFile::exists(modCommon::LogPath + QStringLiteral("P.log"));
    }
    static QString Deleted(const QString& path) {
        return path + QStringLiteral(" - Deleted permanently");
    }

    ProfileSettings settings;
    RecordingObserver observer;
    std::optional<RemoveRule> rule;
};

TEST_F(Run, DeleteAndDeleteGroupActOnlyOnTheCurrentRowOrGroup) {
    EXPECT_EQ(Execute(QStringLiteral("Delete"), 2, 1), Outcome::NotMarked);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Please select a marked item to delete and try again.")});
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(RunLogExists());

    EXPECT_EQ(Execute(QStringLiteral("Delete"), 4, 1), Outcome::Finished);
    EXPECT_EQ(Execute(QStringLiteral("DeleteGroup"), 5, 2), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("...s..s"));
    EXPECT_EQ(ActionLines(), (QStringList{Deleted(a[2]), QStringLiteral("finished"), Deleted(b[1]),
                                          QStringLiteral("finished")}));
}

TEST_F(Run, DeleteAllStrikesTheRemovedRowsAndTurnsAMissingFileRed) {
    QFile::remove(a[1]);
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), 3), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..rs..s"));
    EXPECT_EQ(ActionLines(),
              (QStringList{a[1] + QStringLiteral(" - Could not be found"), Deleted(a[2]),
                           Deleted(b[1]), QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 1);
    EXPECT_EQ(observer.Texts.mid(0, 2), (QStringList{QStringLiteral("Currently processing ") + a[1],
                                                     QStringLiteral("Processed 3 of 7")}));
    EXPECT_EQ(model.CurrentRow(), 3); // restored after the walk
    EXPECT_TRUE(RunLogExists());
}

TEST_F(Run, NeverRemovesAChangedFileOrTheLastCopy) {
    Tree().SetMTime(QStringLiteral("d2/a.txt"), 1700000500); // same size, other time
    QFile::remove(b[0]);                                     // b[1] is the last copy
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..rs..r"));
    const QString skipped = QStringLiteral(" - ") + ActionRun::SkippedText;
    EXPECT_EQ(ActionLines(), (QStringList{a[1] + skipped, Deleted(a[2]), b[1] + skipped,
                                          QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 2);

    // A kept copy whose size changed no longer counts either.
    Tree().CreateFile(QStringLiteral("d1/b.txt"), "grown");
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(b[1]));
}

// Puts the same bytes back at the path with the same modified time, as cp -a, rsync -t or
// an editor that restores the time would: either as a new file renamed over the old one,
// or rewritten in place. Only the inode or the change time can tell.
void ReplaceKeepingSizeAndTime(const QString& path, bool inPlace) {
    modAPI::FileInfo before;
    ASSERT_EQ(modAPI::MyStat(path, before), 1);
    const QByteArray bytes = actions_testing::Contents(path);
    // File times come from a coarse clock; let it move past the scan's change time.
    QThread::msleep(30);
    const QString written = inPlace ? path : path + QStringLiteral(".new");
    {
        QFile f(written);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    const struct timespec times[2] = {{before.ModifiedSecs, 0}, {before.ModifiedSecs, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(written).constData(), times, 0), 0);
    if (!inPlace) {
        ASSERT_EQ(::rename(QFile::encodeName(written).constData(), QFile::encodeName(path)), 0);
    }
    modAPI::FileInfo after;
    ASSERT_EQ(modAPI::MyStat(path, after), 1);
    ASSERT_EQ(after.Size, before.Size);
    ASSERT_EQ(after.ModifiedSecs, before.ModifiedSecs);
}

TEST_F(Run, AFileReplacedBehindTheScansBackIsNeverRemoved) {
    const QString skipped = QStringLiteral(" - ") + ActionRun::SkippedText;
    struct Case {
        int Replaced; // index into group a: 0 is the kept copy, 1 a marked file
        bool InPlace;
        QString Rows;
        qint64 Errors;
    };
    for (const Case& c : {Case{1, false, u"..rs..s"_s, 1}, Case{1, true, u"..rs..s"_s, 1},
                          Case{0, false, u"..rr..s"_s, 2}, Case{0, true, u"..rr..s"_s, 2}}) {
        SCOPED_TRACE(testing::Message() << "replaced " << c.Replaced << " in place " << c.InPlace);
        TearDown();
        model.ClearRecs();
        a.clear();
        b.clear();
        modLog::ResetRunStats();
        SetUp(); // the files written afresh, the model filled from them
        ReplaceKeepingSizeAndTime(a[c.Replaced], c.InPlace);
        ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
        EXPECT_EQ(Flags(), c.Rows);
        EXPECT_EQ(Errors(), c.Errors);
        EXPECT_EQ(ActionLines().first(), a[1] + skipped);
        for (const QString& path : a.mid(0, c.Errors + 1))
            EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
}

TEST_F(Run, TheConfirmedRuleWinsAndOnlyARealRemovalIsStruck) {
    rule = RemoveRule{QStringLiteral("recycle"), QString(), false};
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), 1, 4), Outcome::Finished);
    EXPECT_EQ(ActionLines().first(), a[1] + QStringLiteral(" - Moved to Recyclebin"));
    EXPECT_TRUE(QFile::exists(TrashFiles() + QStringLiteral("a.txt")));

    BreakTrash();
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(Flags().right(1), QStringLiteral("r")); // still on disk
}

TEST_F(Run, ATrashThatRefusesEveryFileEndsTheRunWithOneErrorEach) {
    // The trash exists but an ordinary user cannot write into it: every marked file is a
    // failure of its own, the run goes on to the next and finishes, nothing is lost.
    rule = RemoveRule{QStringLiteral("recycle"), QString(), false};
    Tree().CreateDir(QStringLiteral("home/data/Trash/files"));
    Tree().CreateDir(QStringLiteral("home/data/Trash/info"));
    ::chmod(QFile::encodeName(Tree().Root()).constData(), 0755);
    ShareAppFolder();
    for (const char* folder : {"d1", "d2", "d3"})
        Tree().SetMode(QString::fromLatin1(folder), 0777);
    const int outcome = testing_support::RunAsOtherUser([&] {
        if (Execute(QStringLiteral("DeleteAll")) != Outcome::Finished)
            return 1;
        const QString failed = QStringLiteral(" - Error occured while moving to Recyclebin");
        if (ActionLines() !=
            QStringList{a[1] + failed, a[2] + failed, b[1] + failed, QStringLiteral("finished")})
            return 2;
        return Errors() == 3 && Flags() == QStringLiteral("..rr..r") ? 0 : 3;
    });
    EXPECT_EQ(outcome, 0) << "-1: the run did not end; 2: other lines; 3: other counts";
    for (const QString& path : a + b)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QDir(Tree().Path(QStringLiteral("home/data/Trash/info"))).isEmpty());
}

TEST_F(Run, CancelStopsBetweenRowsWithoutFinishingTheRun) {
    observer.CancelAfter = 1;
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Cancelled);
    EXPECT_EQ(ActionLines(), QStringList{Deleted(a[1])}); // heard only at the next row
    EXPECT_FALSE(RunLogExists());

    observer.Texts.clear();
    ASSERT_EQ(Execute(QStringLiteral("Export")), Outcome::Cancelled);
    EXPECT_TRUE(QDir(settings.ExportLocation).isEmpty());
    EXPECT_EQ(ActionLines().size(), 1);
}

TEST_F(Run, SingleCopyCopiesOnlyTheKeptFiles) {
    ASSERT_EQ(Execute(QStringLiteral("SingleCopy")), Outcome::Finished);
    const QString root = Tree().Path(QStringLiteral("single/P"));
    EXPECT_TRUE(QFile::exists(root + a[0]) && QFile::exists(root + b[0]));
    EXPECT_FALSE(QFile::exists(root + a[1]));
    EXPECT_EQ(observer.Texts.size(), 4); // two kept files, no group row
}

TEST_F(Run, SingleCopiesOntoAReadOnlyMediumAreFailures) {
    testing_support::PrivateMount readOnly({}, true);
    if (readOnly.Skip())
        GTEST_SKIP() << readOnly.Skip();
    settings.CreateIn = readOnly.Root();
    WriteProfile(QStringLiteral("P"), settings);
    ASSERT_EQ(Execute(QStringLiteral("SingleCopy")), Outcome::Finished);
    EXPECT_EQ(ActionLines(),
              (QStringList{a[0] + QStringLiteral(" - Error occured while creating single copy"),
                           b[0] + QStringLiteral(" - Error occured while creating single copy"),
                           QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 2);
}

TEST_F(Run, ExportAfterRemovalMarksTheRemovedFilesDeleted) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    ASSERT_EQ(Execute(QStringLiteral("Export")), Outcome::Finished);
    const QStringList lines = QString::fromUtf8(Tree().Read(QStringLiteral("reports/P.csv")))
                                  .split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9); // header, seven rows, nothing after the last line end
    EXPECT_EQ(lines[1], QStringLiteral("a.txt   (3 copies)") + QString(9, u','));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("a.txt,") + a[1] + QStringLiteral(",4 bytes,")));
    EXPECT_TRUE(lines[3].endsWith(u",deleted"));
    EXPECT_EQ(ActionLines().mid(4), (QStringList{QStringLiteral("Duplicate results list exported"),
                                                 QStringLiteral("finished")}));

    settings.ExportLocation = Tree().Path(QStringLiteral("missing"));
    WriteProfile(QStringLiteral("P"), settings);
    ASSERT_EQ(Execute(QStringLiteral("Export")), Outcome::Finished);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Error occured while exporting the report")});
}

// A real scan fills the model; trashing the marked files and exporting must leave exactly
// one file of every group on disk, the others in the trash, and a report naming them.
TEST_F(ActionsTest, ScannedGroupsKeepOneFileEachAfterTrashAndExport) {
    const QStringList groupA = {
        Tree().CreateFile(QStringLiteral("tree/x/Photo é.jpg"), QByteArray(5000, 'a')),
        Tree().CreateFile(QStringLiteral("tree/y/Photo é.jpg"), QByteArray(5000, 'a')),
        Tree().CreateFile(QStringLiteral("tree/y/z/copy, \"1\".jpg"), QByteArray(5000, 'a'))};
    const QStringList groupB = {Tree().CreateFile(QStringLiteral("tree/x/b.txt"), "same text"),
                                Tree().CreateFile(QStringLiteral("tree/w/b2.txt"), "same text")};
    Tree().CreateFile(QStringLiteral("tree/x/unique.txt"), "only one");
    Tree().CreateFile(QStringLiteral("tree/x/near.txt"), "same texT"); // same size, other bytes

    ProfileSettings settings;
    settings.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
    settings.ExportFormat = QStringLiteral("csv");
    WriteProfile(QStringLiteral("Corpus"), settings);

    clsFindFile scan;
    scan.IncludeSubFolder = true;
    scan.MatchName = false;
    scan.MatchSize = true;
    scan.ContentMatch = true;
    scan.MatchType = QStringLiteral("md5");
    FileList list;
    ASSERT_EQ(scan.ScanFolders({Tree().Path(QStringLiteral("tree"))}, list), 1);
    ResultsModel model;
    ASSERT_EQ(GroupingPass(list, model), 2);
    ASSERT_EQ(model.RowCount(), 7);

    const ActionSummary removed =
        RunDefaultAction(model, QStringLiteral("Corpus"), QStringLiteral("DeleteAll"));
    EXPECT_EQ(removed.Errors, 0) << removed.Lines.join(u'\n').toStdString();
    EXPECT_EQ(removed.Removed, 3);
    EXPECT_EQ(RunDefaultAction(model, QStringLiteral("Corpus"), QStringLiteral("Export")).Errors,
              0);
    EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files).size(), 3);

    const QStringList lines = QString::fromUtf8(Tree().Read(QStringLiteral("reports/Corpus.csv")))
                                  .split(QStringLiteral("\r\n"));
    for (const QStringList& group : {groupA, groupB}) {
        int left = 0;
        for (const QString& path : group) {
            left += QFile::exists(path) ? 1 : 0;
            EXPECT_EQ(lines.filter(CsvReportWriter::Field(path)).value(0).endsWith(u",deleted"),
                      !QFile::exists(path))
                << path.toStdString();
        }
        EXPECT_EQ(left, 1) << group.first().toStdString();
    }
}

} // namespace
