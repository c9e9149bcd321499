// The scan window: a real profile over a real temporary tree, run as the window runs it,
// with the message service answering from a script.

#include "UiTestSupport.h"

#include "ui/GroupRecorder.h"
#include "ui/frmProgress.h"

using namespace Qt::StringLiterals;
using namespace ui_testing;

namespace {

class ScanWindow : public ::testing::Test {
protected:
    QString WriteProfile(const QString& name, const QStringList& folders) {
        ProfileSettings s = testing_support::ContentProfile(folders);
        s.MatchName = true;
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
    {
        // A profile that is not there is reported, and the run ends as a failure.
        frmProgress window;
        EXPECT_EQ(Run(window, modCommon::ProfileFolder + u"Gone.xml"_s), QDialog::Rejected);
        EXPECT_EQ(messages.Script.Texts(),
                  QStringList{u"Error occured while executing the selected profile"_s});
        EXPECT_EQ(messages.Script.ShownMessages.front().Kind, MessageService::Icon::Information);
        EXPECT_TRUE(window.CancelOperation());
        EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Failed);
        EXPECT_FALSE(window.Outcome().Summary.Succeeded);
        messages.Script.ShownMessages.clear();
    }
    // An empty folder first: a successful run with no groups, over a grid left from before.
    pane.Model().AddHeader(u"left from before"_s);
    {
        frmProgress window;
        EXPECT_EQ(Run(window, WriteProfile(u"Nothing"_s, {t.CreateDir(u"empty"_s)})),
                  QDialog::Accepted);
        EXPECT_EQ(pane.Model().RowCount(), 0);
        EXPECT_EQ(window.findChild<QLabel*>(u"lblProgress"_s)->text(), u"Processing over"_s);
        const ScanSummary& s = window.Outcome().Summary;
        EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Finished);
        EXPECT_EQ(std::tuple(s.Files, s.Groups, s.Seconds), std::tuple(0, 0, 1))
            << "files, groups, and elapsed seconds, which start at 1";
    }

    t.CreateCopies("hello", {"data/a/x.txt", "data/b/x.txt", "data/c/x.txt"});
    t.CreateCopies("data-y", {"data/a/y.bin", "data/b/y.bin"});
    t.CreateFile(u"data/a/single.txt"_s, "alone");
    t.CreateFile(u"data/b/single.txt"_s, "other"); // same name and size, other content
    t.CreateCopies("", {"data/a/empty.txt", "data/b/empty.txt"}); // counted, but skipped
    frmProgress window;
    EXPECT_EQ(Run(window, WriteProfile(u"Photos"_s, {t.Path(u"data"_s)})), QDialog::Accepted);

    const ResultsModel& m = pane.Model();
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
    EXPECT_EQ(std::tuple(m.CurrentRow(), m.CurrentCol()), std::tuple(1, 1));
    EXPECT_EQ(m.HighlightedRow(), 0) << "the program's own move highlights nothing";
    EXPECT_EQ(pane.Grid()->model()->rowCount(), 7) << "the view heard the end of the fill";

    EXPECT_FALSE(window.CancelOperation());
    const frmProgress::Result& r = window.Outcome();
    EXPECT_EQ(r.How, frmProgress::Ending::Finished);
    EXPECT_TRUE(r.Summary.Succeeded);
    EXPECT_EQ(std::tuple(r.Summary.Files, r.Summary.Groups), std::tuple(9, 2));
    // Recording the run is the caller's: nothing of it is written here.
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + u"Photos.log"_s));
    EXPECT_TRUE(messages.Script.ShownMessages.empty());
}

// With the profile asking for duplicate folders the grid holds folder rows, which no click
// can mark, each folder group followed by its files as groups of their own, through the
// recording the worker makes and its replay into the grid.
TEST_F(ScanWindow, AProfileThatAsksForFoldersFillsTheGridWithFolderRowsAndTheirFiles) {
    const auto& t = app.Tree();
    t.CreateCopies("hello", {"data/one/x.txt", "data/two/x.txt"});
    t.CreateCopies("nested!", {"data/one/in/y.bin", "data/two/in/y.bin"});
    t.CreateFile(u"data/own.txt"_s, "alone");
    ProfileSettings s = testing_support::ContentProfile({t.Path(u"data"_s)});
    s.FindFolders = true;
    const QString path = modCommon::ProfileFolder + u"Folders.xml"_s;
    ASSERT_EQ(ProfileDocument::Save(path, s), 1);
    frmProgress window;
    EXPECT_EQ(Run(window, path), QDialog::Accepted);

    ResultsModel& m = pane.Model();
    EXPECT_EQ(Column(m, 2).mid(0, 4),
              QStringList({u"one   (2 copies)"_s, u"one"_s, u"two"_s, u"y.bin   (2 copies)"_s}));
    EXPECT_EQ(Column(m, 3).mid(1, 2), QStringList({t.Path(u"data/one"_s), t.Path(u"data/two"_s)}));
    EXPECT_EQ(Column(m, 3).mid(4, 2),
              QStringList({t.Path(u"data/one/in/y.bin"_s), t.Path(u"data/two/in/y.bin"_s)}));
    EXPECT_EQ(Column(m, 4).mid(0, 3), QStringList({u"24 bytes"_s, u"12 bytes"_s, u"12 bytes"_s}));
    EXPECT_EQ(Column(m, 7).mid(1, 2), QStringList({u"2 files"_s, u"2 files"_s}));
    EXPECT_EQ(Column(m, 1),
              QStringList({u""_s, u""_s, u""_s, u""_s, ResultsModel::Unmarked, ResultsModel::Marked,
                           u""_s, ResultsModel::Unmarked, ResultsModel::Marked}))
        << "the second folder's files marked, the folder rows never";
    EXPECT_EQ(window.Outcome().Summary.Groups, 1);
    for (const qint64 row : {2, 3}) {
        EXPECT_EQ(m.Click(row, 1), ResultsModel::ClickOutcome::Nothing);
        EXPECT_FALSE(m.SetMark(row, true));
        EXPECT_FALSE(m.Identity(row).Known());
    }
    EXPECT_TRUE(m.Identity(6).Known());
    EXPECT_EQ(m.Marks().Files, 2);
}

// Cancel asks: No lets the walk go on, Yes stops it at once and the grid keeps what it held.
TEST_F(ScanWindow, CancelAsksAndStopsTheWalkOnlyOnYes) {
    // Enough files that the walk is still going when Cancel is pressed the second time.
    for (int f = 0; f < 10; ++f)
        for (int i = 0; i < 400; ++i)
            app.Tree().CreateFile(u"big/%1/f%2.txt"_s.arg(f).arg(i), QByteArray::number(i));
    const QString profile = WriteProfile(u"Big"_s, {app.Tree().Path(u"big"_s)});
    pane.Model().AddHeader(u"earlier group"_s);

    messages.Script.Answers = {Answer::No, Answer::Yes};
    QElapsedTimer sinceClick;
    int clicks = 0;
    WhileModal<frmProgress> cancel([&](frmProgress* window) {
        // First before the walk has begun, then once it is under way.
        if (clicks > 0 && Find<QLabel>(window, "lblProgress")->text().isEmpty())
            return false;
        sinceClick.start();
        Click(window, "cmdCancel");
        return ++clicks == 2;
    });
    frmProgress window;
    EXPECT_EQ(Run(window, profile), QDialog::Rejected);
    const qint64 heardAfter = sinceClick.elapsed();

    EXPECT_EQ(messages.Script.Texts(), (QStringList{kCancelRun, kCancelRun}));
    EXPECT_EQ(messages.Script.ShownMessages.front().Choice, MessageService::Buttons::YesNo);
    EXPECT_TRUE(window.CancelOperation());
    EXPECT_EQ(window.Outcome().How, frmProgress::Ending::Stopped);
    EXPECT_LT(heardAfter, 1000) << "the walk went on long after Cancel";
    EXPECT_EQ(pane.Model().RowCount(), 1) << "the grid keeps what it held";
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
        sink->UpdateHeader(1, u"9"_s); // a second count on the first header, after its rows
    }
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
