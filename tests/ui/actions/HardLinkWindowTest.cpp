// Replacing copies by hard links from the window: the choice in the advanced options, the
// two buttons and the popup entries it brings, and what each does to the files and rows.

#include "ActionsWindowFixture.h"

#include <QTimer>

namespace {

using namespace actions_window_testing;

quint64 InodeOf(const QString& path) {
    modAPI::FileInfo info;
    return modAPI::MyStat(path, info) == 1 ? info.Inode : 0;
}

const char* const LinkButtons[] = {"cmdHardLink", "cmdHardLinkAll"};

TEST_F(ActionsWindowTest, TheLinkButtonsTakeThePlaceOfTheRemovalButtons) {
    SaveProfile(Settings("hardlink", false, true));
    OpenResults();
    EXPECT_EQ(Button("cmdHardLink")->toolTip(), S("Replace selected item by a hard link"));
    EXPECT_EQ(Button("cmdHardLinkAll")->toolTip(), S("Replace all checked items by hard links"));
    for (const char* name : LinkButtons) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Button(name)->isVisible());
        EXPECT_EQ(Button(name)->accessibleName(), Button(name)->toolTip());
        EXPECT_FALSE(Button(name)->icon().isNull());
    }
    for (const char* other : {"cmdRecycle", "cmdRecycleAll", "cmdPermanentDelete", "cmdMove",
                              "cmdZip", "cmdSingleCopy"})
        EXPECT_FALSE(Button(other)->isVisible()) << other;
    // Where the removal pair always stands, the extras after them.
    EXPECT_EQ(Button("cmdHardLink")->x(), ActionButtons::Pixels(75));
    EXPECT_EQ(Button("cmdHardLinkAll")->x(), ActionButtons::Pixels(585));
    EXPECT_EQ(Button("cmdExport")->x(), ActionButtons::Pixels(1120));

    const auto rightClick = [&](qint64 row) {
        return [this, row] {
            QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, CellRect(row, 2).center());
        };
    };
    EXPECT_EQ(PopupEntries(rightClick(3)),
              (QStringList{S("mnuPopupHardLink"), S("mnuPopupHardLinkAll"), S("mnuPopupExport"),
                           S("mnuPopupOpenFolder")}));
    EXPECT_EQ(PopupEntries(rightClick(5)),
              (QStringList{S("mnuPopupHardLink"), S("mnuPopupHardLinkAll"),
                           S("mnuPopupHardLinkGroup"), S("mnuPopupExport")}));

    // With any other removal they are not offered.
    Adv()->Pages().optPermanent->setChecked(true);
    Window->ToggleTabHead(ProfileTab::Options);
    Window->ToggleTabHead(ProfileTab::Duplicates);
    for (const char* name : LinkButtons)
        EXPECT_FALSE(Button(name)->isVisible()) << name;
    EXPECT_EQ(PopupEntries(rightClick(5)),
              (QStringList{S("mnuPopupRemove"), S("mnuPopupRemoveAll"), S("mnuPopupDeleteGroup"),
                           S("mnuPopupExport")}));
}

TEST_F(ActionsWindowTest, ChosenInTheOptionsThenEachButtonLinksItsRows) {
    SaveProfile(Settings("recycle"));
    frmProfile* w = OpenResults();

    // The person chooses the links in the advanced options.
    QTimer::singleShot(0, [&] {
        frmAdvOptions* adv = ui_testing::WaitForModal<frmAdvOptions>();
        ASSERT_NE(adv, nullptr);
        ShowPage(adv, "Remove Options");
        Click(adv, "chkDeleteEmptyFolder");
        Click(adv, "optHardLink");
        // Emptied folders cannot happen when every name stays.
        EXPECT_FALSE(adv->Pages().chkDeleteEmptyFolder->isEnabled());
        Click(adv, "cmdOK");
    });
    w->ToggleTabHead(ProfileTab::Options);
    Click(w, "cmdAdvancedOption");
    w->ToggleTabHead(ProfileTab::Duplicates);
    ASSERT_TRUE(Button("cmdHardLink")->isVisible());

    // One row: a marked file is linked to the kept one. (The kept row's refusal is the
    // run's, checked in the core.)
    SelectRow(3);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdHardLink");
    EXPECT_EQ(Messages.Script.Texts(),
              QStringList{S("Do you want to replace the highlighted item by a hard link to the "
                            "kept copy of its group?")});
    EXPECT_EQ(Flags(), S("..s...."));
    EXPECT_EQ(InodeOf(A[1]), InodeOf(A[0]));
    EXPECT_NE(InodeOf(A[2]), InodeOf(A[0]));

    // The group from its header's popup.
    Messages.Script.Answers = {Answer::Yes};
    PopupEntries(
        [&] {
            QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, CellRect(5, 2).center());
        },
        S("mnuPopupHardLinkGroup"));
    EXPECT_EQ(Flags(), S("..s...s"));
    EXPECT_EQ(InodeOf(B[1]), InodeOf(B[0]));

    // Everything marked: the rows linked already are no error.
    Messages.Script.ShownMessages.clear();
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdHardLinkAll");
    EXPECT_EQ(
        Messages.Script.Texts(),
        QStringList{
            S("Do you want to replace all the marked items by hard links to the kept copies?")});
    EXPECT_EQ(Flags(), S("..ss..s"));
    EXPECT_EQ(InodeOf(A[2]), InodeOf(A[0]));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    for (const QString& path : A + B)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();

    // Saved, the profile names the method.
    w->ToggleTabHead(ProfileTab::Options);
    Click(w, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("P")).Remove->DeleteTo, S("hardlink"));
}

} // namespace
