// The protected folders page of the advanced options and the across-folders box of the
// profile window, driven as a person would and saved with the profile.

#include "ProfileFixture.h"

#include "app/PathCodec.h"
#include "ui/ProfileOptionsPane.h"
#include "ui/ProtectedFoldersPage.h"
#include "ui/frmAdvOptions.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

using namespace profile_testing;
using Answer = MessageService::Answer;

namespace {

QStringList Shown(QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

void SelectRow(QTreeWidget* list, int row) {
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

TEST_F(ProfileWindowTest, ProtectedFoldersAreChosenRemovedAndSavedWithTheProfile) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music"))};
    p.MatchSize = true;
    p.ProtectedFolders = {S("/srv/already")};
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Songs"), p), 1);
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    frmAdvOptions* adv = w->AdvOptions();
    ASSERT_NE(adv, nullptr);
    const QString raw = Folders.Path(PathCodec::Decode("Musik \xfc"));

    // Edits thrown away with Cancel give back the saved list, read once, not twice.
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(ui_testing::WaitForModal<frmAdvOptions>(), adv);
        ShowPage(adv, "Protected Folders");
        Browser.Answers = {Folders.Path(S("Pictures"))};
        Click(adv, "cmdProtectAdd");
        EXPECT_EQ(adv->Protection().Folders().size(), 2);
        Messages.Script.Answers = {Answer::Yes};
        Click(adv, "cmdCancel");
    });
    Click(w, "cmdAdvancedOption");
    EXPECT_EQ(adv->Protection().Folders(), QStringList{S("/srv/already")});

    QTimer::singleShot(0, [&] {
        ASSERT_EQ(ui_testing::WaitForModal<frmAdvOptions>(), adv);
        ShowPage(adv, "Protected Folders");
        auto* list = Find<QTreeWidget>(adv, "lvwProtected");
        ASSERT_TRUE(list->isVisible());
        EXPECT_EQ(Shown(list), QStringList{S("/srv/already")});
        // Cancelled browsing adds nothing; the same folder twice is listed once.
        Browser.Answers = {QString(), Folders.Path(S("Pictures")), raw,
                           Folders.Path(S("Pictures/"))};
        for (int i = 0; i < 4; ++i)
            Click(adv, "cmdProtectAdd");
        EXPECT_EQ(Browser.Prompts.back().first, S("Select a folder to protect"));
        EXPECT_EQ(Shown(list), (QStringList{S("/srv/already"), Folders.Path(S("Pictures")),
                                            PathCodec::Display(raw)}));
        EXPECT_EQ(list->currentItem()->text(0), Folders.Path(S("Pictures")))
            << "the folder listed already is the one selected";

        SelectRow(list, 0);
        Click(adv, "cmdProtectRemove");
        EXPECT_EQ(Shown(list), (QStringList{Folders.Path(S("Pictures")), PathCodec::Display(raw)}));
        list->clearSelection();
        Click(adv, "cmdProtectRemove");
        EXPECT_EQ(Messages.Script.Texts().last(),
                  S("Please select an item to remove and try again."));
        Click(adv, "cmdOK");
    });
    Click(w, "cmdAdvancedOption");
    EXPECT_FALSE(adv->isVisible());

    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts().last(), S("Profile has been saved successfully"));
    // The name that is not UTF-8 is saved as its bytes, not as the text shown.
    EXPECT_EQ(ReadBack(ProfilePath("Songs")).ProtectedFolders,
              (QStringList{Folders.Path(S("Pictures")), raw}));
}

TEST_F(ProfileWindowTest, TheProtectedPageIsNamedForEveryoneAndReachedByTab) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    frmAdvOptions* adv = w->AdvOptions();
    ASSERT_NE(adv, nullptr);
    ProtectedFoldersPage& page = adv->Protection();
    EXPECT_EQ(page.lblProtected->buddy(), page.lvwProtected);
    // Buttons that show an icon are named by their tool tip.
    for (QPushButton* b : {page.cmdProtectAdd, page.cmdProtectRemove}) {
        EXPECT_FALSE(b->toolTip().isEmpty());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), b->toolTip());
    }
    // The node sits with the other action pages and shows its own page.
    const QList<QTreeWidgetItem*> nodes =
        Find<QTreeWidget>(adv, "tvwOptions")
            ->findItems(S("Protected Folders"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(nodes.size(), 1);
    EXPECT_EQ(nodes.first()->parent()->text(0), S("Action Options"));
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(ui_testing::WaitForModal<frmAdvOptions>(), adv);
        ShowPage(adv, "Protected Folders");
        EXPECT_TRUE(page.lvwProtected->isVisible());
        QApplication::setActiveWindow(adv);
        page.lvwProtected->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), page.lvwProtected);
        QStringList visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        EXPECT_EQ(visited, (QStringList{S("cmdProtectAdd"), S("cmdProtectRemove"), S("cmdOK")}));
        Click(adv, "cmdOK");
    });
    Click(w, "cmdAdvancedOption");
}

TEST_F(ProfileWindowTest, TheAcrossBoxIsSavedAndReadBack) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music")), Folders.Path(S("Pictures"))};
    p.MatchSize = true;
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Both"), p), 1);
    frmProfile* w = Open(ProfileMode::Edit, S("Both"));
    auto* across = Find<QCheckBox>(w, "chkAcrossFolders");
    EXPECT_FALSE(across->isChecked());
    Click(w, "chkAcrossFolders");
    Click(w, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("Both")).AcrossFolders, std::optional<bool>(true));
    delete Window.data();
    frmProfile* again = Open(ProfileMode::Edit, S("Both"));
    EXPECT_TRUE(Find<QCheckBox>(again, "chkAcrossFolders")->isChecked());
    Click(again, "chkAcrossFolders");
    Click(again, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("Both")).AcrossFolders, std::optional<bool>(false));
}
