// The scan window: a real profile over a real temporary tree, run as the window runs it,
// with the message service answering from a script.

#include "UiTestSupport.h"

#include "ui/DuplicatesPane.h"
#include "ui/GroupRecorder.h"
#include "ui/ResultsGrid.h"
#include "ui/frmProgress.h"

#include "actions/ResultsModel.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileDocument.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;
using ui_testing::ScriptedMessagesScope;
using Answer = MessageService::Answer;

namespace {

class ScanWindow : public ::testing::Test {
protected:
    QString WriteProfile(const QString& name, const QStringList& folders) {
        ProfileSettings s;
        s.Folders = folders;
        s.IncludeSubFolder = true;
        s.MatchName = true;
        s.MatchSize = true;
        s.MatchContent = true;
        s.MatchType = u"crc"_s;
        const QString path = modCommon::ProfileFolder + name + u".xml"_s;
        EXPECT_EQ(ProfileDocument::Save(path, s), 1);
        return path;
    }

    // Runs the window to its end as the profile window's execute button does, with a
    // guard so a window that never closes fails the test instead of hanging it.
    int Run(frmProgress& window, const QString& profilePath) {
        modLog::ResetRunStats();
        window.SetProfilePath(profilePath);
        window.SetResults(&pane.Model());
        bool timedOut = false;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &window, [&] {
            timedOut = true;
            window.done(QDialog::Rejected);
        });
        guard.start(60000);
        const int result = window.exec();
        EXPECT_FALSE(timedOut) << "the scan window did not close by itself";
        return result;
    }

    QString RunLogPath(const QString& name) const { return modCommon::LogPath + name + u".log"_s; }

    static QStringList Column(const ResultsModel& m, int col) {
        QStringList texts;
        for (qint64 r = 1; r <= m.RowCount(); ++r)
            texts << m.Text(r, col);
        return texts;
    }

    testing_support::AppFolder app;
    ScriptedMessagesScope messages;
    DuplicatesPane pane;
};

TEST_F(ScanWindow, FillsTheGridWithTheGroupsAndSaysHowTheRunEnded) {
    const auto& t = app.Tree();
    t.CreateFile(u"data/a/x.txt"_s, "hello");
    t.CreateFile(u"data/b/x.txt"_s, "hello");
    t.CreateFile(u"data/c/x.txt"_s, "hello");
    t.CreateFile(u"data/a/y.bin"_s, "data-y");
    t.CreateFile(u"data/b/y.bin"_s, "data-y");
    t.CreateFile(u"data/a/single.txt"_s, "alone");
    t.CreateFile(u"data/b/single.txt"_s, "other"); // same name and size, other content
    t.CreateFile(u"data/a/empty.txt"_s, "");       // counted, but empty files are skipped
    t.CreateFile(u"data/b/empty.txt"_s, "");
    const QString profile = WriteProfile(u"Photos"_s, {t.Path(u"data"_s)});

    frmProgress window;
    EXPECT_EQ(Run(window, profile), QDialog::Accepted);

    const ResultsModel& m = pane.Model();
    EXPECT_EQ(Column(m, 0), QStringList({u"-"_s, u""_s, u""_s, u""_s, u"-"_s, u""_s, u""_s}));
    EXPECT_EQ(Column(m, 2),
              QStringList({u"x.txt   (3 copies)"_s, u"x.txt"_s, u"x.txt"_s, u"x.txt"_s,
                           u"y.bin   (2 copies)"_s, u"y.bin"_s, u"y.bin"_s}));
    EXPECT_EQ(Column(m, 1), QStringList({u""_s, ResultsModel::Unmarked, ResultsModel::Marked,
                                         ResultsModel::Marked, u""_s, ResultsModel::Unmarked,
                                         ResultsModel::Marked}));
    EXPECT_EQ(m.Text(1, 4), u"15 bytes"_s);
    EXPECT_EQ(m.Text(5, 4), u"12 bytes"_s);
    QStringList xPaths = Column(m, 3).mid(1, 3);
    xPaths.sort();
    EXPECT_EQ(xPaths, QStringList({t.Path(u"data/a/x.txt"_s), t.Path(u"data/b/x.txt"_s),
                                   t.Path(u"data/c/x.txt"_s)}));
    EXPECT_EQ(m.CurrentRow(), 1);
    EXPECT_EQ(m.CurrentCol(), 1);
    EXPECT_EQ(pane.Grid()->model()->rowCount(), 7) << "the view heard the end of the fill";

    EXPECT_FALSE(window.CancelOperation());
    const frmProgress::Result& r = window.Outcome();
    EXPECT_EQ(r.How, frmProgress::Ending::Finished);
    EXPECT_TRUE(r.Summary.Succeeded);
    EXPECT_EQ(r.Summary.Files, 9);
    EXPECT_EQ(r.Summary.Groups, 2);
    // Recording the run is the caller's: nothing of it is written here.
    EXPECT_FALSE(QFile::exists(RunLogPath(u"Photos"_s)));
    EXPECT_TRUE(messages.Script.ShownMessages.empty());
}

TEST_F(ScanWindow, AnEmptyFolderIsASuccessfulRunWithNoGroups) {
    app.Tree().CreateDir(u"empty"_s);
    const QString profile = WriteProfile(u"Nothing"_s, {app.Tree().Path(u"empty"_s)});
    pane.Model().AddHeader(u"left from before"_s);

    frmProgress window;
    EXPECT_EQ(Run(window, profile), QDialog::Accepted);
    EXPECT_EQ(pane.Model().RowCount(), 0);
    EXPECT_EQ(window.findChild<QLabel*>(u"lblProgress"_s)->text(), u"Processing over"_s);
    const ScanSummary& s = window.Outcome().Summary;
    EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Finished);
    EXPECT_EQ(s.Files, 0);
    EXPECT_EQ(s.Groups, 0);
    EXPECT_EQ(s.Seconds, 1) << "elapsed seconds start at 1";
}

TEST_F(ScanWindow, AMissingProfileIsReportedAndEndsAsAFailure) {
    frmProgress window;
    EXPECT_EQ(Run(window, modCommon::ProfileFolder + u"Gone.xml"_s), QDialog::Rejected);
    EXPECT_EQ(messages.Script.Texts(),
              QStringList{u"Error occured while executing the selected profile"_s});
    EXPECT_EQ(messages.Script.ShownMessages.front().Kind, MessageService::Icon::Information);
    EXPECT_TRUE(window.CancelOperation());
    EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Failed);
    EXPECT_FALSE(window.Outcome().Summary.Succeeded);
}

TEST_F(ScanWindow, CancelDuringTheWalkStopsTheRunAndKeepsTheGrid) {
    const auto& t = app.Tree();
    // Enough files that the walk is still going when Cancel is pressed, right after the
    // first tick has handed the scan to its worker.
    constexpr int Folders = 10, PerFolder = 400;
    for (int f = 0; f < Folders; ++f)
        for (int i = 0; i < PerFolder; ++i)
            t.CreateFile(u"big/%1/f%2.txt"_s.arg(f).arg(i), QByteArray::number(i));
    const QString profile = WriteProfile(u"Big"_s, {t.Path(u"big"_s)});
    pane.Model().AddHeader(u"earlier group"_s);

    messages.Script.Answers = {Answer::Yes};
    frmProgress window;
    auto* cancel = window.findChild<QPushButton*>(u"cmdCancel"_s);
    auto* progress = window.findChild<QLabel*>(u"lblProgress"_s);
    QElapsedTimer sinceClick;
    QTimer presser;
    presser.setInterval(1);
    QObject::connect(&presser, &QTimer::timeout, &window, [&] {
        if (!progress->text().isEmpty()) {
            presser.stop();
            sinceClick.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    presser.start();
    window.SetProfilePath(profile);
    window.SetResults(&pane.Model());
    EXPECT_EQ(window.exec(), QDialog::Rejected);
    const qint64 heardAfter = sinceClick.elapsed();

    EXPECT_EQ(messages.Script.Texts(), QStringList{u"Do you want to cancel the operation?"_s});
    EXPECT_EQ(messages.Script.ShownMessages.front().Choice, MessageService::Buttons::YesNo);
    EXPECT_TRUE(window.CancelOperation());
    EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Stopped);
    EXPECT_LT(heardAfter, 1000) << "the walk went on long after Cancel";
    EXPECT_EQ(pane.Model().RowCount(), 1) << "the grid keeps what it held";
}

TEST_F(ScanWindow, ANoAnswerToTheCancelQuestionLetsTheRunFinish) {
    const auto& t = app.Tree();
    t.CreateFile(u"d/a/same.txt"_s, "same");
    t.CreateFile(u"d/b/same.txt"_s, "same");
    const QString profile = WriteProfile(u"Kept"_s, {t.Path(u"d"_s)});
    messages.Script.Answers = {Answer::No};
    frmProgress window;
    // Pressed before the first tick: the question is asked, the answer keeps the run.
    QTimer::singleShot(0, &window, [&] {
        QTest::mouseClick(window.findChild<QPushButton*>(u"cmdCancel"_s), Qt::LeftButton);
    });
    EXPECT_EQ(Run(window, profile), QDialog::Accepted);
    EXPECT_EQ(messages.Script.Texts(), QStringList{u"Do you want to cancel the operation?"_s});
    EXPECT_EQ(pane.Model().RowCount(), 3);
    EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Finished);
}

// The recording the worker makes must give the grid exactly what a direct fill gives,
// however the fill is sliced.
TEST(GroupRecorderReplay, AnySlicingGivesTheSameRowsAsADirectFill) {
    ResultsModel direct;
    GroupRecorder recorder;
    for (ResultSink* sink :
         {static_cast<ResultSink*>(&direct), static_cast<ResultSink*>(&recorder)}) {
        sink->ClearRecs();
        for (int g = 0; g < 3; ++g) {
            const qint64 header = sink->AddHeader(u"name%1"_s.arg(g));
            qint64 total = 0;
            for (int f = 0; f <= g + 1; ++f) {
                sink->AddRow(f == 0,
                             {u"name%1"_s.arg(g), u"/p/%1/%2"_s.arg(g).arg(f),
                              u"2026-01-01 00:00:0%1"_s.arg(f), u""_s, 10 + f, u"N"_s,
                              u"CRC%1"_s.arg(f), g == 1 ? u""_s : u"md5-%1"_s.arg(f)},
                             {});
                total += 10 + f;
            }
            sink->UpdateHeadTotal(header, total);
            sink->UpdateHeader(header, QString::number(g + 2));
        }
    }
    // A second count on the first header lands on the right row, too.
    direct.UpdateHeader(1, u"9"_s);
    recorder.UpdateHeader(1, u"9"_s);
    ASSERT_EQ(recorder.Rows(), direct.RowCount());
    for (size_t slice : {size_t(1), size_t(2), size_t(5), recorder.Size()}) {
        ResultsModel replayed;
        replayed.AddHeader(u"stale"_s);
        replayed.ClearRecs();
        for (size_t from = 0; from < recorder.Size();)
            from = recorder.Replay(replayed, from, slice);
        ASSERT_EQ(replayed.RowCount(), direct.RowCount()) << slice;
        for (qint64 r = 1; r <= direct.RowCount(); ++r)
            for (int c = 0; c < ResultsModel::ColumnCount; ++c)
                EXPECT_EQ(replayed.Text(r, c), direct.Text(r, c)) << slice << " " << r << "," << c;
    }
}

} // namespace
