// The action window at work: what a removal leaves on disk and in the grid, Cancel, and
// the guards that never remove a changed file, a last copy or a file of a protected folder
// (those the saved profile names and those just added in the advanced options, not yet
// saved); and hard links in place of a removal, chosen in the advanced options. What the
// report says after a removal is checked in the core.

#include "ActionsWindowFixture.h"

#include "app/HeldFile.h"
#include "ui/ProtectedFoldersPage.h"
#include "ui/frmActionProgress.h"

using namespace actions_window_testing;

using actions_testing::InodeOf;

// The removal is the one the advanced options hold, confirmed there and not saved: here the
// trash over a profile that says permanent.
TEST_F(ActionsWindowTest, RemoveAllTakesExactlyTheMarkedFilesTheWayTheOptionsSayAndKeepsTheRow) {
    SaveProfile(Settings("permanent"));
    // A third group whose copy is unmarked by hand stays whole.
    const QStringList c = {Folders.CreateFile(S("tree/d1/c.txt"), "cc", 1700000000),
                           Folders.CreateFile(S("tree/d2/c.txt"), "cc", 1700000000)};
    OpenResults();
    AddGroup(c);
    ASSERT_EQ(Model().Click(10, 1, Messages.Script), ResultsModel::ClickOutcome::Unmarked);
    Adv()->Pages().optRecycleBin->setChecked(true);
    Revisit();

    SelectRow(6);
    Press("cmdRecycleAll");
    EXPECT_EQ(Said(), QStringList{S("Do you want to send all the marked items to Recycle Bin?")});
    EXPECT_EQ(Flags(), S("..ss..s..."));
    // The row the person was on is current again, in the model and in the grid.
    EXPECT_EQ(Model().CurrentRow(), 6);
    EXPECT_EQ(Grid()->currentIndex().row(), 5);
    EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files).size(), 3);
    for (const QString& kept : {A[0], B[0], c[0], c[1]})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    for (const QString& gone : {A[1], A[2], B[1]})
        EXPECT_FALSE(QFile::exists(gone)) << gone.toStdString();
    EXPECT_EQ(ActionLines().first(), A[1] + S(" - Moved to Recyclebin"));
    EXPECT_EQ(ActionLines().last(), S("finished"));
}

TEST_F(ActionsWindowTest, CancelStopsBetweenFilesAndLeavesTheRestAndTheRunLogAlone) {
    SaveProfile(Settings("permanent"));
    for (int i = 0; i < 12; ++i)
        A << Folders.CreateFile(S("tree/many/%1/x.txt").arg(i), "x", 1700000000);
    OpenResults(false);
    AddGroup(A); // one header and twelve files, eleven marked

    QStringList progressTexts;
    std::optional<WhileModal<frmActionProgress>> cancel;
    cancel.emplace([&](frmActionProgress* window) {
        const QString count = Find<QLabel>(window, "lblFileCount")->text();
        if (!progressTexts.contains(count))
            progressTexts << count;
        if (count != S("Processed 4 of 13"))
            return false;
        Click(window, "cmdCancel");
        EXPECT_EQ(Find<QLabel>(window, "lblProgress")->text(), S("Cancelling the operation..."));
        return true;
    });
    Press("cmdPermanentDeleteAll", {Answer::Yes, Answer::Yes});
    cancel.reset();

    EXPECT_EQ(Said(), (QStringList{S("Do you want to permanently delete all the marked items?"),
                                   kCancelRun}));
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
    cancel.emplace([](frmActionProgress* window) {
        Click(window, "cmdCancel");
        return true;
    });
    Press("cmdPermanentDeleteAll", {Answer::Yes, Answer::No});
    EXPECT_EQ(Flags(), S("..rrsssssssss"));
    EXPECT_TRUE(ActionLines().contains(S("finished")));
    EXPECT_TRUE(QFile::exists(modCommon::LogPath + S("P.log")));
}

TEST_F(ActionsWindowTest, AChangedFileOrALastCopyIsSkippedAndShownRed) {
    SaveProfile(Settings("permanent"));
    OpenResults();
    Folders.SetMTime(S("tree/d2/a.txt"), 1700000500); // A[1]: same size, another time
    QFile::remove(B[0]);                              // B[1] became the last copy
    Press("cmdPermanentDeleteAll");
    EXPECT_EQ(Flags(), S("..rs..r"));
    EXPECT_TRUE(QFile::exists(A[1]));
    EXPECT_FALSE(QFile::exists(A[2]));
    EXPECT_TRUE(QFile::exists(B[1]));
    const QString skipped = S(" - Skipped: the file or its kept copy changed since the scan");
    EXPECT_EQ(ActionLines(), (QStringList{A[1] + skipped, A[2] + S(" - Deleted permanently"),
                                          B[1] + skipped, S("finished")}));
}

// Cancelled while the archive is written, nothing is removed and no archive is left; let
// through, the archive takes the marked files and the run log pane shows the run when
// opened again.
TEST_F(ActionsWindowTest, ZipAllWritesOneArchiveOrNoneWhenCancelled) {
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
    {
        WhileModal<frmActionProgress> cancel([&](frmActionProgress* window) {
            if (Find<QLabel>(window, "lblProgress")->text() != S("Currently processing ") + archive)
                return false;
            Click(window, "cmdCancel");
            return true;
        });
        Press("cmdZipAll", {Answer::Yes, Answer::Yes});
        ASSERT_TRUE(cancel.Done()) << "the window never showed the archive being written";
    }
    EXPECT_EQ(Flags(), S("........."));
    for (const QString& path : A)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_FALSE(QFile::exists(archive));
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("P.log")));

    Window->ToggleTabHead(ProfileTab::RunLog);
    const QString before = Window->RunLog()->TextBox()->toPlainText();
    Window->ToggleTabHead(ProfileTab::Duplicates);
    Press("cmdZipAll");
    EXPECT_EQ(Flags(), S("..sssssss"));
    EXPECT_EQ(actions_testing::ZipEntries(archive).size(), 7);
    Window->ToggleTabHead(ProfileTab::RunLog);
    const QString after = Window->RunLog()->TextBox()->toPlainText();
    EXPECT_NE(after, before);
    EXPECT_TRUE(Holds(after, A[1] + S(" - moved to ") + archive));
}

TEST_F(ActionsWindowTest, SavedAndUnsavedProtectedFoldersAreLeftAlone) {
    ProfileSettings s = Settings("permanent");
    s.ProtectedFolders = {Folders.Path(S("tree/d2"))};
    SaveProfile(s);
    OpenResults();

    // The person protects d3 too, accepts the options and does not save them.
    Window->ToggleTabHead(ProfileTab::Options);
    EditAdvancedOptions([&](frmAdvOptions* adv) {
        ShowPage(adv, "Protected Folders");
        Browser.Answers = {Folders.Path(S("tree/d3"))};
        Click(adv, "cmdProtectAdd");
        Click(adv, "cmdOK");
    });
    Window->ToggleTabHead(ProfileTab::Duplicates);

    // Row 3 is d2/a.txt: a single delete of it is refused quietly, no error.
    SelectRow(3);
    Press("cmdPermanentDelete");
    EXPECT_TRUE(QFile::exists(A[1]));

    Press("cmdPermanentDeleteAll");
    for (const QString& kept : {A[0], A[1], A[2], B[0], B[1]})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    const QString why = S(" - Skipped: the file is in a protected folder");
    EXPECT_EQ(ActionLines(), (QStringList{A[1] + why, S("finished"), A[1] + why, A[2] + why,
                                          B[1] + why, S("finished")}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_EQ(Said().size(), 2) << "only the two questions were shown";
}

TEST_F(ActionsWindowTest, ChosenInTheOptionsTheLinkButtonsTakeTheRemovalsPlaceAndLinkTheirRows) {
    SaveProfile(Settings("recycle"));
    frmProfile* w = OpenResults();
    const int removalLeft[] = {Button("cmdRecycle")->x(), Button("cmdRecycleAll")->x()};

    // The person chooses the links in the advanced options; the duplicates show them when
    // next visited.
    w->ToggleTabHead(ProfileTab::Options);
    EditAdvancedOptions([](frmAdvOptions* adv) {
        ShowPage(adv, "Remove Options");
        Click(adv, "chkDeleteEmptyFolder");
        Click(adv, "optHardLink");
        // Emptied folders cannot happen when every name stays.
        EXPECT_FALSE(adv->Pages().chkDeleteEmptyFolder->isEnabled());
        Click(adv, "cmdOK");
    });
    w->ToggleTabHead(ProfileTab::Duplicates);
    ASSERT_TRUE(Button("cmdHardLink")->isVisible());
    EXPECT_FALSE(Button("cmdRecycle")->isVisible());
    EXPECT_EQ(Button("cmdHardLink")->x(), removalLeft[0]);
    EXPECT_EQ(Button("cmdHardLinkAll")->x(), removalLeft[1]);
    EXPECT_EQ(Button("cmdHardLink")->toolTip(), S("Replace selected item by a hard link"));
    EXPECT_EQ(Button("cmdHardLinkAll")->toolTip(), S("Replace all checked items by hard links"));

    // Everything marked is linked to the kept copy of its group, and every name stays.
    Press("cmdHardLinkAll");
    EXPECT_EQ(
        Said(),
        QStringList{
            S("Do you want to replace all the marked items by hard links to the kept copies?")});
    EXPECT_EQ(Flags(), S("..ss..s"));
    for (const QString& copy : {A[1], A[2]})
        EXPECT_EQ(InodeOf(copy), InodeOf(A[0]));
    EXPECT_EQ(InodeOf(B[1]), InodeOf(B[0]));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    for (const QString& path : A + B)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();

    // Saved, the profile names the method.
    w->ToggleTabHead(ProfileTab::Options);
    Click(w, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("P")).Remove->DeleteTo, S("hardlink"));
}

// The temporary tree may lie on a file system that shares blocks or on one that cannot; the
// window says which happened, and either way every file keeps its name, inode and bytes.
TEST_F(ActionsWindowTest, ChosenInTheOptionsTheShareButtonsActOnTheMarkedRowsKeepingEveryFile) {
    SaveProfile(Settings("recycle"));
    frmProfile* w = OpenResults();
    w->ToggleTabHead(ProfileTab::Options);
    EditAdvancedOptions([](frmAdvOptions* adv) {
        ShowPage(adv, "Remove Options");
        Click(adv, "optClone");
        EXPECT_FALSE(adv->Pages().chkDeleteEmptyFolder->isEnabled());
        Click(adv, "cmdOK");
    });
    w->ToggleTabHead(ProfileTab::Duplicates);
    ASSERT_TRUE(Button("cmdClone")->isVisible());
    EXPECT_FALSE(Button("cmdHardLink")->isVisible());
    EXPECT_EQ(Button("cmdClone")->toolTip(),
              S("Share the selected item's blocks with the kept file"));
    EXPECT_EQ(Button("cmdCloneAll")->accessibleName(),
              S("Share all checked items' blocks with the kept files"));
    modAPI::HeldFile probeKept;
    modAPI::HeldFile probeCopy;
    ASSERT_EQ(probeKept.Open(B[0]), 0);
    ASSERT_EQ(probeCopy.Open(B[1]), 0);
    const bool shares = modAPI::MyShareBlocksHeld(probeKept, probeCopy) == 1 ||
                        !modAPI::CannotShareBlocks(modAPI::LastAPIError);
    probeKept.Close();
    probeCopy.Close();
    const QList<quint64> inodes = {InodeOf(A[1]), InodeOf(A[2]), InodeOf(B[1])};

    Press("cmdCloneAll");
    EXPECT_EQ(Said(), QStringList{S("Do you want all the marked items to share their blocks "
                                    "with the kept copies?")});
    EXPECT_EQ(Flags(), shares ? S("..ss..s") : S("..rr..r"));
    EXPECT_EQ(QList<quint64>({InodeOf(A[1]), InodeOf(A[2]), InodeOf(B[1])}), inodes);
    for (const QString& path : A)
        EXPECT_EQ(testing_support::ReadFile(path), QByteArray("aaaa"));
    if (!shares) {
        EXPECT_EQ(
            ActionLines().filter(S(" - Not shared: the file system cannot share blocks")).size(),
            3);
    }
    w->ToggleTabHead(ProfileTab::Options);
    Click(w, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("P")).Remove->DeleteTo, S("clone"));
}
