// The protected folders page of the advanced options and the across-folders box of the
// profile window, driven as a person would and saved with the profile.

#include "ProfileFixture.h"

#include "app/PathCodec.h"
#include "ui/ProtectedFoldersPage.h"

using namespace profile_testing;

static QStringList Shown(QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

TEST_F(ProfileWindowTest, ProtectedFoldersAreNamedChosenRemovedAndSavedWithTheProfile) {
    ProfileSettings p = MusicBySize();
    p.ProtectedFolders = {S("/srv/already")};
    Store("Songs", p);
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    frmAdvOptions* adv = w->AdvOptions();
    ASSERT_NE(adv, nullptr);
    const QString raw = Folders.Path(PathCodec::Decode("Musik \xfc"));

    // Edits thrown away with Cancel give back the saved list, read once, not twice.
    EditAdvancedOptions([&](frmAdvOptions*) {
        ShowPage(adv, "Protected Folders");
        Browser.Answers = {Folders.Path(S("Pictures"))};
        Click(adv, "cmdProtectAdd");
        EXPECT_EQ(adv->Protection().Folders().size(), 2);
        Messages.Script.Answers = {Answer::Yes};
        Click(adv, "cmdCancel");
    });
    EXPECT_EQ(adv->Protection().Folders(), QStringList{S("/srv/already")});

    EditAdvancedOptions([&](frmAdvOptions*) {
        ShowPage(adv, "Protected Folders");
        ProtectedFoldersPage& page = adv->Protection();
        QTreeWidget* list = page.lvwProtected;
        ASSERT_TRUE(list->isVisible());
        // Named for everyone: the list by its label, the icon buttons by their tool tips;
        // reached by Tab in the order they are read.
        ExpectEveryControlNamed(adv);
        EXPECT_EQ(page.lblProtected->buddy(), list);
        for (QPushButton* b : {page.cmdProtectAdd, page.cmdProtectRemove}) {
            EXPECT_FALSE(b->toolTip().isEmpty());
            EXPECT_EQ(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name),
                      b->toolTip());
        }
        QApplication::setActiveWindow(adv);
        list->setFocus();
        EXPECT_EQ(TabWalk(3), (QStringList{S("cmdProtectAdd"), S("cmdProtectRemove"), S("cmdOK")}));
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

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        Click(adv, "cmdProtectRemove");
        EXPECT_EQ(Shown(list), (QStringList{Folders.Path(S("Pictures")), PathCodec::Display(raw)}));
        list->clearSelection();
        Click(adv, "cmdProtectRemove");
        EXPECT_EQ(Said().last(), S("Please select an item to remove and try again."));
        Click(adv, "cmdOK");
    });
    EXPECT_FALSE(adv->isVisible());

    Click(w, "cmdOK");
    EXPECT_EQ(Said().last(), kProfileSaved);
    // The name that is not UTF-8 is saved as its bytes, not as the text shown.
    EXPECT_EQ(ReadBack(ProfilePath("Songs")).ProtectedFolders,
              (QStringList{Folders.Path(S("Pictures")), raw}));
}

// Off unless ticked, and saved and read back both ways, each box on its own.
TEST_F(ProfileWindowTest, TheAcrossAndFolderGroupBoxesAreSavedAndReadBack) {
    ProfileSettings p = MusicBySize();
    p.Folders << Folders.Path(S("Pictures"));
    Store("Both", p);
    for (const bool ticked : {true, false}) {
        frmProfile* w = Open(ProfileMode::Edit, S("Both"));
        EXPECT_EQ(Find<QCheckBox>(w, "chkAcrossFolders")->isChecked(), !ticked);
        Click(w, "chkAcrossFolders");
        Click(w, "cmdOK");
        EXPECT_EQ(ReadBack(ProfilePath("Both")).AcrossFolders, std::optional<bool>(ticked));
        EXPECT_EQ(ReadBack(ProfilePath("Both")).FindFolders, std::optional<bool>(false));
        delete Window.data();
    }
    for (const bool ticked : {true, false}) {
        frmProfile* w = Open(ProfileMode::Edit, S("Both"));
        auto* box = Find<QCheckBox>(w, "chkFindFolders");
        EXPECT_EQ(box->isChecked(), !ticked);
        // Reached from the box before it by the keyboard, and named for screen readers.
        EXPECT_EQ(Find<QCheckBox>(w, "chkAcrossFolders")->nextInFocusChain(), box);
        EXPECT_EQ(box->accessibleName(), S("Find duplicate folders"));
        Click(w, "chkFindFolders");
        Click(w, "cmdOK");
        EXPECT_EQ(ReadBack(ProfilePath("Both")).FindFolders, std::optional<bool>(ticked));
        delete Window.data();
    }
}
