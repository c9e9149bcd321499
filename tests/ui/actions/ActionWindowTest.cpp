// The action window at work: what a removal leaves on disk and in the grid, Cancel, and
// the guards that never remove a changed file or a last copy. What the report says after a
// removal is checked in the core; a scan followed by the trash from the main window.

#include "ActionsWindowFixture.h"

#include "ui/RunLogPane.h"
#include "ui/frmActionProgress.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include <zip.h>

namespace {

using namespace actions_window_testing;

TEST_F(ActionsWindowTest, DeleteAllTrashesExactlyTheMarkedFilesAndKeepsTheCurrentRow) {
    SaveProfile(Settings("recycle", false, true));
    // A third group whose copy is unmarked by hand stays whole.
    Folders.CreateFile(S("tree/d1/c.txt"), "cc", 1700000000);
    Folders.CreateFile(S("tree/d2/c.txt"), "cc", 1700000000);
    OpenResults();
    AddGroup({Folders.Path(S("tree/d1/c.txt")), Folders.Path(S("tree/d2/c.txt"))});
    ASSERT_EQ(Model().Click(10, 1, Messages.Script), ResultsModel::ClickOutcome::Unmarked);

    SelectRow(6);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdRecycleAll");
    EXPECT_EQ(Flags(), S("..ss..s..."));
    // The row the person was on is current again, in the model and in the grid.
    EXPECT_EQ(Model().CurrentRow(), 6);
    EXPECT_EQ(Grid()->currentIndex().row(), 5);
    EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files).size(), 3);
    for (const QString& kept :
         {A[0], B[0], Folders.Path(S("tree/d1/c.txt")), Folders.Path(S("tree/d2/c.txt"))})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    for (const QString& gone : {A[1], A[2], B[1]})
        EXPECT_FALSE(QFile::exists(gone)) << gone.toStdString();
    EXPECT_EQ(ActionLines().last(), S("finished"));
}

TEST_F(ActionsWindowTest, CancelStopsBetweenFilesAndLeavesTheRestAndTheRunLogAlone) {
    SaveProfile(Settings("permanent"));
    for (int i = 0; i < 12; ++i)
        A << Folders.CreateFile(S("tree/many/%1/x.txt").arg(i), "x", 1700000000);
    OpenResults(false);
    AddGroup(A); // one header and twelve files, eleven marked

    QStringList progressTexts;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<frmActionProgress*>(QApplication::activeModalWidget());
        if (!window)
            return;
        const QString count = window->findChild<QLabel*>(S("lblFileCount"))->text();
        if (!progressTexts.contains(count))
            progressTexts << count;
        if (count == S("Processed 4 of 13")) {
            poll.stop();
            QTest::mouseClick(window->findChild<QPushButton*>(S("cmdCancel")), Qt::LeftButton);
            EXPECT_EQ(window->findChild<QLabel*>(S("lblProgress"))->text(),
                      S("Cancelling the operation..."));
        }
    });
    poll.start();
    Messages.Script.Answers = {Answer::Yes, Answer::Yes};
    Click(Window, "cmdPermanentDeleteAll");
    poll.stop();

    EXPECT_EQ(Messages.Script.Texts(),
              (QStringList{S("Do you want to permanently delete all the marked items?"),
                           S("Do you want to cancel the operation?")}));
    EXPECT_TRUE(progressTexts.contains(S("Processed 3 of 13")))
        << progressTexts.join(u'|').toStdString();
    // Rows 3 and 4 were done when Cancel came; the row being worked on finishes, no other.
    EXPECT_EQ(Flags(), S("..ss........."));
    for (qsizetype i = 3; i < A.size(); ++i)
        EXPECT_TRUE(QFile::exists(A[i])) << i;
    EXPECT_FALSE(ActionLines().contains(S("finished")));
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("P.log")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_NE(Window->cursor().shape(), Qt::WaitCursor);

    // A No to the cancel question lets the run go on to its end; the rows removed before
    // are still marked, so they are tried again and found missing.
    QTimer no;
    no.setInterval(0);
    QObject::connect(&no, &QTimer::timeout, [&] {
        if (auto* window = qobject_cast<frmActionProgress*>(QApplication::activeModalWidget())) {
            no.stop();
            QTest::mouseClick(window->findChild<QPushButton*>(S("cmdCancel")), Qt::LeftButton);
        }
    });
    no.start();
    Messages.Script.Answers = {Answer::Yes, Answer::No};
    Click(Window, "cmdPermanentDeleteAll");
    EXPECT_EQ(Flags(), S("..rrsssssssss"));
    EXPECT_TRUE(ActionLines().contains(S("finished")));
    EXPECT_TRUE(QFile::exists(modCommon::LogPath + S("P.log")));
}

TEST_F(ActionsWindowTest, AChangedFileOrALastCopyIsSkippedAndShownRed) {
    SaveProfile(Settings("permanent"));
    OpenResults();
    Folders.SetMTime(S("tree/d2/a.txt"), 1700000500); // A[1]: same size, another time
    QFile::remove(B[0]);                              // B[1] became the last copy
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdPermanentDeleteAll");
    EXPECT_EQ(Flags(), S("..rs..r"));
    EXPECT_TRUE(QFile::exists(A[1]));
    EXPECT_FALSE(QFile::exists(A[2]));
    EXPECT_TRUE(QFile::exists(B[1]));
    const QString skipped = S(" - Skipped: the file or its kept copy changed since the scan");
    EXPECT_EQ(ActionLines(), (QStringList{A[1] + skipped, A[2] + S(" - Deleted permanently"),
                                          B[1] + skipped, S("finished")}));
}

TEST_F(ActionsWindowTest, TheRemovalIsTheOneTheAdvancedOptionsHoldNotTheSavedOne) {
    SaveProfile(Settings("permanent"));
    OpenResults();
    // Confirmed in the dialog, not saved: the trash.
    Adv()->Pages().optRecycleBin->setChecked(true);
    Window->ToggleTabHead(ProfileTab::Options);
    Window->ToggleTabHead(ProfileTab::Duplicates);
    ASSERT_TRUE(Button("cmdRecycleAll")->isVisible());
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdRecycleAll");
    EXPECT_EQ(Messages.Script.Texts(),
              QStringList{S("Do you want to send all the marked items to Recycle Bin?")});
    EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(ActionLines().first(), A[1] + S(" - Moved to Recyclebin"));
}

TEST_F(ActionsWindowTest, ZipAllWritesOneArchiveAndTheRunLogPaneShowsTheRunWhenOpened) {
    SaveProfile(Settings("zip"));
    OpenResults();
    Window->ToggleTabHead(ProfileTab::RunLog);
    const QString before = Window->RunLog()->findChild<QTextEdit*>(S("rtbRunLog"))->toPlainText();
    Window->ToggleTabHead(ProfileTab::Duplicates);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdZipAll");
    EXPECT_EQ(Flags(), S("..ss..s"));
    const QString archive = Folders.Path(S("removed/P.zip"));
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip_get_num_entries(zip, 0), 3);
    zip_discard(zip);

    Window->ToggleTabHead(ProfileTab::RunLog);
    const QString after = Window->RunLog()->findChild<QTextEdit*>(S("rtbRunLog"))->toPlainText();
    EXPECT_NE(after, before);
    EXPECT_TRUE(after.contains(A[1] + S(" - moved to ") + archive)) << after.toStdString();
}

} // namespace

namespace {

using namespace actions_window_testing;

TEST_F(ActionsWindowTest, CancelWhileTheArchiveIsWrittenKeepsTheArchiveAndEveryFile) {
    SaveProfile(Settings("zip"));
    // Enough data for the archive write to report its progress many times; copies of one
    // file, as only equal bytes are ever removed.
    QByteArray block(256 * 1024, 'z');
    for (int i = 0; i < block.size(); i += 7)
        block[i] = char('a' + i % 23);
    for (int i = 0; i < 8; ++i)
        A << Folders.CreateFile(S("tree/%1/big.bin").arg(i), block, 1700000000);
    OpenResults(false);
    AddGroup(A);
    const QString archive = Folders.Path(S("removed/P.zip"));

    bool clicked = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<frmActionProgress*>(QApplication::activeModalWidget());
        if (!window || window->findChild<QLabel*>(S("lblProgress"))->text() !=
                           S("Currently processing ") + archive)
            return;
        poll.stop();
        clicked = true;
        QTest::mouseClick(window->findChild<QPushButton*>(S("cmdCancel")), Qt::LeftButton);
    });
    poll.start();
    Messages.Script.Answers = {Answer::Yes, Answer::Yes};
    Click(Window, "cmdZipAll");
    poll.stop();
    ASSERT_TRUE(clicked) << "the window never showed the archive being written";
    EXPECT_EQ(Flags(), S("........."));
    for (const QString& path : A)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_FALSE(QFile::exists(archive));
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("P.log")));
}

} // namespace
