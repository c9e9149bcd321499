// Removals from the profile window leave the files of protected folders alone: those the
// saved profile names and those just added in the advanced options, not yet saved.

#include "ActionsWindowFixture.h"

#include "ui/ProtectedFoldersPage.h"

#include <QTimer>

namespace {

using namespace actions_window_testing;

TEST_F(ActionsWindowTest, SavedAndUnsavedProtectedFoldersAreLeftAlone) {
    ProfileSettings s = Settings("permanent");
    s.ProtectedFolders = {Folders.Path(S("tree/d2"))};
    SaveProfile(s);
    OpenResults();

    // The person protects d3 too, accepts the options and does not save them.
    Window->ToggleTabHead(ProfileTab::Options);
    QTimer::singleShot(0, [&] {
        frmAdvOptions* adv = ui_testing::WaitForModal<frmAdvOptions>();
        ASSERT_NE(adv, nullptr);
        ShowPage(adv, "Protected Folders");
        Browser.Answers = {Folders.Path(S("tree/d3"))};
        Click(adv, "cmdProtectAdd");
        Click(adv, "cmdOK");
    });
    Click(Window, "cmdAdvancedOption");
    Window->ToggleTabHead(ProfileTab::Duplicates);

    // Row 3 is d2/a.txt: a single delete of it is refused quietly, no error.
    SelectRow(3);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdPermanentDelete");
    EXPECT_TRUE(QFile::exists(A[1]));

    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdPermanentDeleteAll");
    for (const QString& kept : {A[0], A[1], A[2], B[0], B[1]})
        EXPECT_TRUE(QFile::exists(kept)) << kept.toStdString();
    const QString why = S(" - Skipped: the file is in a protected folder");
    EXPECT_EQ(ActionLines(), (QStringList{A[1] + why, S("finished"), A[1] + why, A[2] + why,
                                          B[1] + why, S("finished")}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_EQ(Messages.Script.Texts().size(), 2) << "only the two questions were shown";
}

} // namespace
