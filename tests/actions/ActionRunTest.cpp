#include "ActionsFixture.h"

#include "actions/ActionRun.h"
#include "actions/DefaultActions.h"

#include <QDir>

#include <functional>

namespace {

using actions_testing::ActionsTest;
using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

// Records what the run shows and can cancel after a number of progress texts.
class RecordingObserver final : public ActionObserver {
public:
    void SetMaximum(qint64 maximum) override { Maximum = maximum; }
    void SetValue(qint64 value) override { Value = value; }
    void ShowProgress(const QString& processing, const QString& processed) override {
        Texts << processing << processed;
        if (OnProgress)
            OnProgress(Texts.size() / 2);
    }
    void Yield() override { ++Yields; }

    qint64 Maximum = -1;
    qint64 Value = -1;
    int Yields = 0;
    QStringList Texts;
    std::function<void(qsizetype)> OnProgress;
};

class Run : public ActionsTest {
protected:
    // Profile "P" removes permanently; two groups of three and two files.
    void SetUp() override {
        ActionsTest::SetUp();
        settings.DeleteTo = QStringLiteral("permanent");
        settings.CreateIn = Tree().Path(QStringLiteral("single"));
        settings.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
        settings.ExportFormat = QStringLiteral("csv");
        WriteProfile(QStringLiteral("P"), settings);
        for (const char* rel : {"d1/a.txt", "d2/a.txt", "d3/a.txt"})
            a << Tree().CreateFile(QString::fromLatin1(rel), "aaaa", 1700000000);
        for (const char* rel : {"d1/b.txt", "d2/b.txt"})
            b << Tree().CreateFile(QString::fromLatin1(rel), "bb", 1700000000);
        AddGroup(model, a); // rows 1..4
        AddGroup(model, b); // rows 5..7
    }

    Outcome Execute(const QString& action, qint64 fileCount, qint64 currentRow = 1) {
        ActionRun run(model, &observer, messages);
        run.Action = action;
        run.FileCount = fileCount;
        if (rule)
            run.SetRemoveRule(*rule);
        model.SetCurrent(currentRow, 1);
        if (cancelAfter > 0)
            observer.OnProgress = [&run, this](qsizetype n) {
                if (n == cancelAfter)
                    run.Cancel();
            };
        return run.Execute(QStringLiteral(" P "));
    }

    bool RunLogExists() const {
        return QFile::exists(modCommon::LogPath + QStringLiteral("P.log"));
    }

    ProfileSettings settings;
    ResultsModel model;
    RecordingObserver observer;
    QStringList a, b;
    std::optional<RemoveRule> rule;
    qsizetype cancelAfter = 0;
};

TEST_F(Run, DeleteAllRemovesMarkedRowsAndStrikesThem) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount(), 3), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[0]));
    EXPECT_FALSE(QFile::exists(a[1]));
    EXPECT_FALSE(QFile::exists(a[2]));
    EXPECT_TRUE(QFile::exists(b[0]));
    EXPECT_FALSE(QFile::exists(b[1]));
    for (qint64 r : {3, 4, 7})
        EXPECT_TRUE(model.IsStruck(r)) << r;
    for (qint64 r : {1, 2, 5, 6})
        EXPECT_FALSE(model.IsStruck(r)) << r;
    EXPECT_EQ(ActionLines(), (QStringList{a[1] + QStringLiteral(" - Deleted permanently"),
                                          a[2] + QStringLiteral(" - Deleted permanently"),
                                          b[1] + QStringLiteral(" - Deleted permanently"),
                                          QStringLiteral("finished")}));
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 3);
    EXPECT_EQ(observer.Maximum, 7);
    EXPECT_EQ(observer.Value, 7);
    EXPECT_EQ(observer.Texts.mid(0, 2), (QStringList{QStringLiteral("Currently processing ") + a[1],
                                                     QStringLiteral("Processed 3 of 7")}));
    EXPECT_EQ(model.CurrentRow(), 3); // restored after the walk
    EXPECT_TRUE(RunLogExists());
}

TEST_F(Run, DeleteGroupWalksOnlyTheRowsUnderItsHeader) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteGroup"),
                      ResultsModel::GetGroupFileCount(model.Text(5, 2)), 5),
              Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_FALSE(QFile::exists(b[1]));
    EXPECT_EQ(ActionLines().size(), 2);
}

TEST_F(Run, DeleteActsOnTheCurrentRowOnlyWhenMarked) {
    EXPECT_EQ(Execute(QStringLiteral("Delete"), 1, 2), Outcome::NotMarked);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Please select a marked item to delete and try again.")});
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(RunLogExists());
    EXPECT_TRUE(QFile::exists(a[0]));

    EXPECT_EQ(Execute(QStringLiteral("Delete"), 1, 4), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(a[2]));
    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_TRUE(model.IsStruck(4));
    EXPECT_EQ(observer.Texts.last(), QStringLiteral("Processed 1 of 1"));
}

TEST_F(Run, AMissingFileTurnsRedAndCountsAnError) {
    QFile::remove(a[1]);
    model.SetText(4, 1, ResultsModel::Unmarked);
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(model.IsRed(3));
    EXPECT_FALSE(model.IsStruck(3));
    EXPECT_EQ(ActionLines().first(), a[1] + QStringLiteral(" - Could not be found"));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 1);

    // A struck row still marked is walked again: now missing, it turns red as well.
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(model.IsStruck(7));
    EXPECT_TRUE(model.IsRed(7));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 3);
}

TEST_F(Run, NeverRemovesAChangedFileOrTheLastCopy) {
    // Changed since the scan: same size, other time.
    Tree().SetMTime(QStringLiteral("d2/a.txt"), 1700000500);
    // Group b: its kept file vanished, so the marked one is the last copy.
    QFile::remove(b[0]);
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_FALSE(QFile::exists(a[2]));
    EXPECT_TRUE(QFile::exists(b[1]));
    EXPECT_TRUE(model.IsRed(3));
    EXPECT_TRUE(model.IsRed(7));
    EXPECT_FALSE(model.IsStruck(7));
    const QString skipped = QStringLiteral(" - ") + ActionRun::SkippedText;
    EXPECT_EQ(ActionLines(),
              (QStringList{a[1] + skipped, a[2] + QStringLiteral(" - Deleted permanently"),
                           b[1] + skipped, QStringLiteral("finished")}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 2);

    // A kept copy whose size changed no longer counts either.
    Tree().CreateFile(QStringLiteral("d1/b.txt"), "grown");
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(b[1]));
}

TEST_F(Run, TheConfirmedRuleWinsOverTheSavedOne) {
    rule = RemoveRule{QStringLiteral("recycle"), QString(), false};
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(TrashFiles() + QStringLiteral("a.txt")));
    EXPECT_EQ(ActionLines().first(), a[1] + QStringLiteral(" - Moved to Recyclebin"));

    // A removal that did not happen is not shown as done.
    QDir(Tree().Path(QStringLiteral("home/data/Trash"))).removeRecursively();
    Tree().CreateFile(QStringLiteral("home/data/Trash"), "no trash here");
    model.ClearRecs();
    AddGroup(model, a.mid(0, 1) + QStringList{Tree().CreateFile(QStringLiteral("d4/a.txt"), "aaaa",
                                                                1700000000)});
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_TRUE(Tree().Exists(QStringLiteral("d4/a.txt")));
    EXPECT_FALSE(model.IsStruck(3));
    EXPECT_TRUE(model.IsRed(3));
}

TEST_F(Run, CancelStopsBetweenRowsWithoutClosingTheBatch) {
    cancelAfter = 1;
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Cancelled);
    EXPECT_FALSE(QFile::exists(a[1])); // processed before the cancel was heard
    EXPECT_TRUE(QFile::exists(a[2]));
    EXPECT_EQ(ActionLines(), QStringList{a[1] + QStringLiteral(" - Deleted permanently")});
    EXPECT_FALSE(RunLogExists());

    // A cancelled export writes no report and no line.
    modLog::RunStats.ActionDetails.clear();
    observer.Texts.clear();
    ASSERT_EQ(Execute(QStringLiteral("Export"), model.RowCount()), Outcome::Cancelled);
    EXPECT_TRUE(QDir(settings.ExportLocation).isEmpty());
    EXPECT_TRUE(ActionLines().isEmpty());
}

TEST_F(Run, SingleCopyCopiesOnlyTheKeptFiles) {
    ASSERT_EQ(Execute(QStringLiteral("SingleCopy"), model.RowCount()), Outcome::Finished);
    const QString root = Tree().Path(QStringLiteral("single/P"));
    EXPECT_TRUE(QFile::exists(root + a[0]));
    EXPECT_TRUE(QFile::exists(root + b[0]));
    EXPECT_FALSE(QFile::exists(root + a[1]));
    EXPECT_EQ(ActionLines(), QStringList{QStringLiteral("finished")});
    EXPECT_EQ(observer.Texts.size(), 4); // two kept files, no group row
}

TEST_F(Run, ExportAfterRemovalMarksTheRemovedFilesDeleted) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    ASSERT_EQ(Execute(QStringLiteral("Export"), model.RowCount()), Outcome::Finished);
    const QStringList lines = QString::fromUtf8(Tree().Read(QStringLiteral("reports/P.csv")))
                                  .split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9); // header, seven rows, nothing after the last line end
    EXPECT_EQ(lines[1], QStringLiteral("a.txt   (3 copies)") + QString(9, u','));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",00000000,,")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("a.txt,") + a[1] + QStringLiteral(",4 bytes,")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(",deleted")));
    EXPECT_TRUE(lines[7].endsWith(QStringLiteral(",deleted")));
    EXPECT_EQ(ActionLines().mid(4), (QStringList{QStringLiteral("Duplicate results list exported"),
                                                 QStringLiteral("finished")}));

    // An unknown format writes nothing yet still reports the export; a failure tells the user.
    settings.ExportFormat = QStringLiteral("pdf");
    WriteProfile(QStringLiteral("P"), settings);
    ASSERT_EQ(Execute(QStringLiteral("Export"), model.RowCount()), Outcome::Finished);
    EXPECT_EQ(ActionLines().at(6), QStringLiteral("Duplicate results list exported"));
    settings.ExportFormat = QStringLiteral("csv");
    settings.ExportLocation = Tree().Path(QStringLiteral("missing"));
    WriteProfile(QStringLiteral("P"), settings);
    ASSERT_EQ(Execute(QStringLiteral("Export"), model.RowCount()), Outcome::Finished);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Error occured while exporting the report")});
}

TEST_F(Run, UnreadableSettingsAndEmptyWalks) {
    QFile::remove(modCommon::ProfileFolder + QStringLiteral("P.xml"));
    EXPECT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::SettingsUnreadable);
    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_TRUE(RunLogExists());

    WriteProfile(QStringLiteral("P"), settings);
    EXPECT_EQ(Execute(QStringLiteral("DeleteAll"), 0), Outcome::Finished);
    EXPECT_EQ(observer.Maximum, -1);
    for (qint64 r = 1; r <= model.RowCount(); ++r)
        model.SetText(r, 1, model.Text(r, 1).isEmpty() ? QString() : ResultsModel::Unmarked);
    EXPECT_EQ(Execute(QStringLiteral("DeleteAll"), model.RowCount()), Outcome::Finished);
    EXPECT_EQ(ActionLines(), (QStringList{QStringLiteral("finished"), QStringLiteral("finished")}));
    EXPECT_TRUE(QFile::exists(a[1]));
}

TEST_F(Run, DefaultActionsSummariseWhatTheyDid) {
    const ActionSummary removed = RunDefaultAction(model, QStringLiteral("P"),
                                                   QStringLiteral("DeleteAll"), nullptr, messages);
    EXPECT_EQ(removed.Outcome, Outcome::Finished);
    EXPECT_EQ(removed.FilesActedOn, 3);
    EXPECT_EQ(removed.Removed, 3);
    EXPECT_EQ(removed.Errors, 0);
    EXPECT_EQ(removed.Lines.size(), 4);

    const ActionSummary report = RunDefaultAction(model, QStringLiteral("P.xml"),
                                                  QStringLiteral("Export"), nullptr, messages);
    EXPECT_EQ(report.ReportPath, settings.ExportLocation + QStringLiteral("/P.csv"));
    EXPECT_TRUE(QFile::exists(report.ReportPath));
    EXPECT_EQ(report.Lines, (QStringList{QStringLiteral("Duplicate results list exported"),
                                         QStringLiteral("finished")}));
}

} // namespace
