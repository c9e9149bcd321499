// The default options dialog: reading config.xml, the refusals of OK, the filter lists,
// the folder prompts and a save that must never destroy the previous defaults.

#include "ProfileFixture.h"

#include "ui/ScanOptionBoxes.h"
#include "ui/frmOptions.h"

using namespace profile_testing;

namespace {

class OptionsDialogTest : public ProfileWindowTest {
protected:
    frmOptions* OpenOptions(int expected = 1) {
        Dialog = std::make_unique<frmOptions>(Shell);
        EXPECT_EQ(Dialog->FormInit(), expected);
        Dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Dialog.get()));
        return Dialog.get();
    }
    QString ConfigPath() const { return modCommon::AppPath + S("config.xml"); }

    std::unique_ptr<frmOptions> Dialog;
};

} // namespace

TEST_F(OptionsDialogTest, DefaultsAreReadEditedAndSavedOrThrownAway) {
    ProfileSettings defaults;
    defaults.Folders = {S("$MyDocuments")};
    defaults.MatchSize = true;
    defaults.MatchContent = true;
    defaults.MatchType = S("md5");
    defaults.IncludeFilters = {S("*.jpg")};
    defaults.SingleCopyCreate = true;
    defaults.SingleCopyFolder = S("/srv/one");
    WriteConfig(defaults);
    frmOptions* d = OpenOptions();
    EXPECT_EQ(d->windowTitle(), S("Default Options"));
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(Find<QLineEdit>(d, "txtDefaultPath")->text(), documents);
    EXPECT_TRUE(d->Scan().optMD5->isChecked());
    ActionOptionsPages& a = d->Actions();
    EXPECT_EQ(a.Items(a.lvwInclude), QStringList{S("*.jpg")});
    EXPECT_TRUE(a.chkAutomaticCopy->isChecked());
    EXPECT_TRUE(a.optCopyOnlyDuplicate->isChecked()) << "single copy on means duplicates only";
    EXPECT_EQ(a.txtCopyToLocation->text(), S("/srv/one"));

    Click(d, "chkFileName");
    ShowPage(d, "Export Duplicates Report");
    Click(d, "chkExport");
    EXPECT_TRUE(a.optExportText->isChecked()) << "export starts as text";
    QTest::keyClicks(a.txtExportFolder, S("/srv/reports"));
    Click(d, "optExportXML");
    Click(d, "cmdOK");
    EXPECT_EQ(Said(), QStringList{S("Options saved successfully.")});
    EXPECT_FALSE(d->isVisible());

    const ProfileReadout r = ReadBack(ConfigPath());
    EXPECT_EQ(*r.Folders, QStringList{documents}) << "the real folder is written, not the token";
    EXPECT_TRUE(r.Find->Name && r.Find->Size && r.Find->Content);
    EXPECT_EQ(r.Find->MatchType, S("md5"));
    EXPECT_EQ(r.IncludeFilters, QStringList{S("*.jpg")});
    EXPECT_EQ(r.Exports->Format, S("xml"));
    EXPECT_EQ(r.Exports->Location, S("/srv/reports"));
    EXPECT_EQ(r.Copy->Folder, S("/srv/one"));

    // Cancel asks, and Yes throws the edits away; the frame closes without a question.
    d = OpenOptions();
    Click(d, "chkFileName");
    Answering({Answer::No});
    Click(d, "cmdCancel");
    EXPECT_TRUE(d->isVisible());
    Messages.Script.Answers = {Answer::Yes};
    Click(d, "cmdCancel");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(Messages.Script.ShownMessages.size(), 2u);
    EXPECT_TRUE(ReadBack(ConfigPath()).Find->Name);
    d = OpenOptions();
    Messages.Script.ShownMessages.clear();
    d->close();
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(Messages.Script.ShownMessages.empty());
    // Without defaults the dialog says so (in the profile window's words) and does not open.
    QFile::remove(ConfigPath());
    OpenOptions(3);
    EXPECT_EQ(Messages.Script.ShownMessages.size(), 1u);
}

// A save that fails (the disk is full) keeps the previous defaults and the dialog with its
// edits; the next one writes a bare document out whole.
TEST_F(OptionsDialogTest, AFailedSaveKeepsThePreviousDefaultsAndABareDocumentIsSavedWhole) {
    ASSERT_EQ(modXML::InitXML(S("echofind"), ConfigPath()), 1);
    const QByteArray before = App.Tree().Read(S("app/config.xml"));
    frmOptions* d = OpenOptions();
    EXPECT_TRUE(Find<QLineEdit>(d, "txtDefaultPath")->text().isEmpty());
    EXPECT_TRUE(d->Actions().optRecycleBin->isChecked());
    Click(d, "chkFileName");
    {
        testing_support::FileSizeLimit limit(before.size() + 16);
        Click(d, "cmdOK");
    }
    EXPECT_EQ(Said(), QStringList{S("Error occured while storing the default options")});
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(App.Tree().Read(S("app/config.xml")), before);
    EXPECT_EQ(QDir(modCommon::AppPath).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no half-written file is left beside it";

    Click(d, "cmdOK");
    EXPECT_EQ(Said().last(), S("Options saved successfully."));
    const ProfileReadout r = ReadBack(ConfigPath());
    ASSERT_TRUE(r.Folders && r.Find && r.Ignores && r.Remove && r.Copy && r.Exports);
    EXPECT_TRUE(r.Find->Name);
    EXPECT_EQ(*r.Folders, QStringList{QString()}) << "an empty default folder is kept empty";
    EXPECT_EQ(r.Remove->DeleteTo, S("recycle"));
    EXPECT_FALSE(r.Copy->Create || r.Exports->DoExport);
}

TEST_F(OptionsDialogTest, OkRefusesMissingCriteriaAndLocationsOnTheirPage) {
    WriteConfig({});
    frmOptions* d = OpenOptions();
    auto* pages = Find<QStackedWidget>(d, "fraOptions");
    auto* tree = Find<QTreeWidget>(d, "tvwOptions");
    Click(d, "cmdOK");
    EXPECT_EQ(Said().last(), S("Please select atleast one criteria to find duplicate files."));
    EXPECT_EQ(QApplication::focusWidget(), d->Scan().chkFileName);

    Click(d, "chkFileSize");
    ShowPage(d, "Make Single Copy");
    Click(d, "chkAutomaticCopy");
    ShowPage(d, "Remove Options");
    Click(d, "optMove");
    ShowPage(d, "Profile Options");
    Click(d, "cmdOK");
    EXPECT_EQ(Said().last(), S("Please select a location to copy duplicate files"));
    EXPECT_EQ(pages->currentIndex(), 5);
    EXPECT_EQ(tree->currentItem()->text(0), S("Remove Options"));
    EXPECT_EQ(QApplication::focusWidget(), d->Actions().txtMoveToLocation);

    QTest::keyClicks(d->Actions().txtMoveToLocation, S("/srv/moved"));
    Click(d, "cmdOK");
    EXPECT_EQ(Said().last(), S("Please select a location to copy files"));
    EXPECT_EQ(pages->currentIndex(), 6);
    EXPECT_EQ(tree->currentItem()->text(0), S("Make Single Copy"));
    // Clearing single copy empties its folder; ticking it again needs a new one.
    QTest::keyClicks(d->Actions().txtCopyToLocation, S("/srv/one"));
    Click(d, "chkAutomaticCopy");
    EXPECT_TRUE(d->Actions().txtCopyToLocation->text().isEmpty());
    Click(d, "chkAutomaticCopy");
    Click(d, "cmdOK");
    EXPECT_EQ(Said().last(), S("Please select a location to copy files"));
    EXPECT_TRUE(d->isVisible());
}

TEST_F(OptionsDialogTest, PatternsAreCheckedAgainstBothLists) {
    frmOptions* d = OpenOptions();
    ActionOptionsPages& a = d->Actions();
    ShowPage(d, "Include Filter");
    QTest::keyClicks(a.txtInclude, S(" *.jpg "));
    QTest::keyClick(a.txtInclude, Qt::Key_Return);
    EXPECT_EQ(a.Items(a.lvwInclude), QStringList{S("*.jpg")});
    EXPECT_TRUE(a.txtInclude->text().isEmpty());
    QTest::keyClicks(a.txtInclude, S("*.jpg"));
    Click(d, "cmdIncludeAdd");
    EXPECT_EQ(Said().last(), S("The text already exists in the list"));
    EXPECT_EQ(a.Items(a.lvwInclude).size(), 1);
    Click(d, "cmdIncludeAdd");
    EXPECT_EQ(Said().last(), S("Please enter a text and try again."));

    ShowPage(d, "Exclude Filter");
    EXPECT_EQ(a.Items(a.lvwExclude), QStringList{S("*.tmp")}) << "from the defaults";
    QTest::keyClicks(a.txtExclude, S("*.jpg"));
    Click(d, "cmdExcludeAdd");
    EXPECT_EQ(Said().last(),
              S("The entered text already exist in Include filter. The same text cannot be "
                "included in both include and exclude filters"));
    EXPECT_EQ(QApplication::focusWidget(), a.txtExclude);

    a.lvwExclude->clearSelection();
    Click(d, "cmdExcludeRemove");
    EXPECT_EQ(Said().last(), S("Please select an item to remove and try again."));
    for (const char* p : {"a", "b", "c"}) {
        a.txtExclude->setText(S(p));
        Click(d, "cmdExcludeAdd");
    }
    a.lvwExclude->clearSelection();
    a.lvwExclude->topLevelItem(2)->setSelected(true); // "b"
    a.lvwExclude->topLevelItem(3)->setSelected(true); // "c"
    Click(d, "cmdExcludeRemove");
    EXPECT_EQ(a.Items(a.lvwExclude), (QStringList{S("*.tmp"), S("a")}));
    ASSERT_EQ(a.lvwExclude->selectedItems().size(), 1);
    EXPECT_EQ(a.lvwExclude->selectedItems()[0]->text(0), S("a"));
}

// Tab follows the fields in their order on the page; the browse buttons ask with their
// own prompt, start at the field's folder and keep the field on Cancel.
TEST_F(OptionsDialogTest, TabAndTheBrowseButtonsFollowTheFields) {
    frmOptions* d = OpenOptions();
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    auto* path = Find<QLineEdit>(d, "txtDefaultPath");
    path->setFocus();
    EXPECT_EQ(TabWalk(3),
              (QStringList{S("cmdDefaultBrowse"), S("chkIncludeSubFolders"), S("chkFileName")}));
    ShowPage(d, "Remove Options");
    d->Actions().txtMoveToLocation->setFocus();
    EXPECT_EQ(TabWalk(1), QStringList{S("cmdMoveBrowse")});

    ShowPage(d, "Profile Options");
    path->setText(Folders.Path(S("Music/")));
    Browser.Answers = {Folders.Path(S("Pictures"))};
    Click(d, "cmdDefaultBrowse");
    ASSERT_EQ(Browser.Prompts.size(), 1u);
    EXPECT_EQ(Browser.Prompts[0].first, S("Select default folder"));
    EXPECT_EQ(Browser.Prompts[0].second, Folders.Path(S("Music")));
    EXPECT_EQ(path->text(), Folders.Path(S("Pictures")));
    ShowPage(d, "Export Duplicates Report");
    Click(d, "chkExport");
    Browser.Answers = {QString()};
    Click(d, "cmdBrowseExport");
    EXPECT_EQ(Browser.Prompts.back().first, S("Select a folder to export duplicate files report"));
    EXPECT_TRUE(Browser.Prompts.back().second.isEmpty()) << "an empty field browses from the top";
    EXPECT_TRUE(d->Actions().txtExportFolder->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), d->Actions().txtExportFolder);
}
