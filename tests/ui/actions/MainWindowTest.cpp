// The commands in the program as a person starts it: a profile opened from the main
// window, scanned, and its extra copies sent to the trash from the main window's popup.

#include "ui/shell/ShellFixture.h"

#include "actions/ResultsModel.h"
#include "profiles/ProfileDocument.h"
#include "ui/DuplicatesPane.h"
#include "ui/ResultsGrid.h"
#include "ui/frmProfile.h"

#include <QDir>
#include <QPushButton>

namespace {

using namespace shell_testing;
using Answer = MessageService::Answer;

class MainWindowActions : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        modLog::ResetRunStats();
    }

    testing_support::TrashInTree m_trash{m_tree.Path(S("home"))};
};

TEST_F(MainWindowActions, ThePopupOfTheMainWindowSendsTheExtraCopiesToTheTrash) {
    for (int i = 0; i < 3; ++i)
        m_tree.CreateFile(S("tree/%1/photo.jpg").arg(i), "same picture");
    for (int i = 0; i < 2; ++i)
        m_tree.CreateFile(S("tree/%1/song.mp3").arg(i), "same song, longer");
    m_tree.CreateFile(S("tree/0/alone.txt"), "alone");
    ProfileSettings s = testing_support::ContentProfile({m_tree.Path(S("tree"))}, S("md5"));
    s.IgnoreHidden = false;
    s.IgnoreSystem = false;
    ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + S("P.xml"), s), 1);

    frmMain* main = OpenMain();
    ASSERT_EQ(main->OpenProfile(S("P"), ProfileMode::Edit), 1);
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    auto* execute = profile->findChild<QPushButton*>(S("cmdExecute"));
    ASSERT_NE(execute, nullptr);
    QTest::mouseClick(execute, Qt::LeftButton);
    ResultsModel& model = profile->Results();
    ASSERT_EQ(model.RowCount(), 7) << m_messages.Script.Texts().join(u'\n').toStdString();

    // The menu that opens is the main window's, showing the trash entries only.
    ResultsGrid* grid = profile->Duplicates()->Grid();
    m_messages.Script.ShownMessages.clear();
    m_messages.Script.Answers = {Answer::Yes};
    QMenu* opened = nullptr;
    const QStringList seen = ui_testing::PopupEntries(
        [&] {
            QTest::mouseClick(grid->viewport(), Qt::RightButton, {},
                              grid->visualRect(model.index(1, 2)).center());
        },
        S("mnuPopupRecycleAll"), &opened);

    EXPECT_EQ(opened, main->PopupMenu());
    EXPECT_EQ(seen, (QStringList{S("mnuPopupRecycle"), S("mnuPopupRecycleAll"),
                                 S("mnuPopupOpenFolder")}));
    // Asked once, carried out once.
    EXPECT_EQ(Shown(), QStringList{S("Do you want to send all the marked items to Recycle Bin?")});
    EXPECT_EQ(modLog::RunStats.ActionDetails.count(S("finished")), 1);
    int photos = 0, songs = 0;
    for (int i = 0; i < 3; ++i)
        photos += m_tree.Exists(S("tree/%1/photo.jpg").arg(i));
    for (int i = 0; i < 2; ++i)
        songs += m_tree.Exists(S("tree/%1/song.mp3").arg(i));
    EXPECT_EQ(photos, 1);
    EXPECT_EQ(songs, 1);
    EXPECT_TRUE(m_tree.Exists(S("tree/0/alone.txt")));
    EXPECT_EQ(QDir(m_tree.Path(S("home/data/Trash/files"))).entryList(QDir::Files).size(), 3);
}

} // namespace
