// Creating, saving and reopening profiles through the profile window.

#include "ProfileFixture.h"

#include "app/modXML.h"
#include "ui/ActionOptionsPages.h"
#include "ui/ProfileOptionsPane.h"
#include "ui/ScanOptionBoxes.h"
#include "ui/frmAdvOptions.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QTimer>
#include <QTreeWidget>

using namespace profile_testing;
using Answer = MessageService::Answer;

namespace {

bool Checked(QWidget* window, const char* name) {
    return Find<QAbstractButton>(window, name)->isChecked();
}

} // namespace

TEST_F(ProfileWindowTest, NewProfileStartsFromTheDefaultsAndIsSavedAsShown) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    EXPECT_TRUE(Checked(w, "chkFileSize"));
    EXPECT_FALSE(Checked(w, "chkFileName"));
    EXPECT_EQ(Ticked(), QStringList{Folders.Path(S("Music"))});
    EXPECT_FALSE(Find<QLineEdit>(w, "txtName")->isReadOnly());

    TypeName("Holiday");
    Tick(Folders.Path(S("Pictures")));
    Click(w, "chkFileName");
    Click(w, "chkFileContents");
    Click(w, "cmdOK");

    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Profile has been saved successfully")});
    EXPECT_TRUE(Closed()) << "a saved profile closes its window";
    const ProfileReadout r = ReadBack(ProfilePath("Holiday"));
    ASSERT_TRUE(r.Folders && r.Find && r.Remove);
    EXPECT_EQ(*r.Folders, (QStringList{Folders.Path(S("Music")), Folders.Path(S("Pictures"))}));
    EXPECT_TRUE(r.Find->Name && r.Find->Size && r.Find->Content);
    EXPECT_EQ(r.Find->MatchType, S("crc")) << "ticking contents starts from CRC32";
    // The action part came from the defaults through the advanced options.
    EXPECT_EQ(r.ExcludeFilters, QStringList{S("*.tmp")});
    EXPECT_EQ(r.Remove->DeleteTo, S("move"));
    EXPECT_EQ(r.Remove->Folder, S("/srv/dups"));
}

TEST_F(ProfileWindowTest, ASaveIsRefusedUntilEveryRuleHolds) {
    ProfileSettings taken;
    taken.Folders = {Folders.Path(S("Music"))};
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Taken"), taken), 1);
    WriteConfig({}); // no folder, no criterion
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    auto* name = Find<QLineEdit>(w, "txtName");

    struct Step {
        std::function<void()> Change;
        const char* Message;
        const char* Focus;
    };
    const Step steps[] = {
        {[] {}, "Please select atleast one folder and try again.", "flExplorer"},
        {[&] { Tick(Folders.Path(S("Music"))); }, "Please enter a profile name and try again.",
         "txtName"},
        // Which names are refused is the rules' to say; a typed extension names the same
        // document, so the taken name is found through it.
        {[&] { TypeName("Taken.xml"); },
         "Profile name already exists. Please enter a different name.", "txtName"},
        {[&] { TypeName("Mine.xml"); },
         "Please select atleast one criteria to find duplicate files.", "chkFileName"},
    };
    for (const Step& step : steps) {
        step.Change();
        Messages.Script.ShownMessages.clear();
        Click(w, "cmdOK");
        ASSERT_EQ(Messages.Script.Texts(), QStringList{S(step.Message)}) << step.Message;
        EXPECT_EQ(Messages.Script.ShownMessages[0].Kind, MessageService::Icon::Information);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << step.Message;
        const QWidget* expected = w->findChild<QWidget*>(S(step.Focus));
        EXPECT_TRUE(focus == expected || expected->isAncestorOf(focus))
            << step.Message << " focus on " << focus->objectName().toStdString();
        EXPECT_FALSE(Closed());
    }
    EXPECT_EQ(name->text(), S("Mine")) << "the typed extension is cut from the name box";
    Click(w, "chkFileModified");
    Messages.Script.ShownMessages.clear();
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Profile has been saved successfully")});
    EXPECT_TRUE(ReadBack(ProfilePath("Mine")).Find->Modify);
    EXPECT_EQ(ReadBack(ProfilePath("Taken")).Find->Modify, false) << "the other profile is kept";
}

TEST_F(ProfileWindowTest, AnExistingProfileFillsTheWindowAndKeepsItsName) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Pictures"))};
    p.IncludeSubFolder = true;
    p.MatchName = true;
    p.MatchContent = true;
    p.MatchType = S("MD5"); // as a hand-edited document may spell it
    p.IgnoreSystem = true;
    p.IgnoreZeroByte = true;
    p.IgnoreHidden = false;
    p.IncludeFilters = {S("*.jpg")};
    p.DeleteTo = S("zip");
    p.RemoveFolder = S("/srv/zips");
    p.DoExport = true;
    p.ExportLocation = S("/srv/reports");
    p.ExportFormat = S("CSV");
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Photos"), p), 1);

    frmProfile* w = Open(ProfileMode::Edit, S("Photos"));
    EXPECT_EQ(w->ProfileNameText(), S("Photos"));
    EXPECT_TRUE(Find<QLineEdit>(w, "txtName")->isReadOnly());
    EXPECT_EQ(Ticked(), QStringList{Folders.Path(S("Pictures"))});
    for (const char* on : {"chkIncludeSubFolders", "chkFileName", "chkFileContents", "optMD5",
                           "chkSystemFilesandFolders", "chkZeroByteFiles"})
        EXPECT_TRUE(Checked(w, on)) << on;
    for (const char* off : {"chkFileSize", "optCRC", "chkHiddenFilesandFolders"})
        EXPECT_FALSE(Checked(w, off)) << off;
    EXPECT_TRUE(Find<QGroupBox>(w, "fraFileContent")->isEnabled());
    ASSERT_NE(w->AdvOptions(), nullptr) << "reading loads the advanced options, hidden";
    EXPECT_FALSE(w->AdvOptions()->isVisible());
    const ActionOptionsPages& a = w->AdvOptions()->Pages();
    EXPECT_EQ(a.Items(a.lvwInclude), QStringList{S("*.jpg")});
    EXPECT_TRUE(a.optZip->isChecked());
    EXPECT_EQ(a.txtZipToLocation->text(), S("/srv/zips"));
    EXPECT_TRUE(a.optExportCSV->isChecked());
    EXPECT_EQ(a.txtExportFolder->text(), S("/srv/reports"));

    // Editing saves over its own document without the taken-name check.
    Click(w, "chkFileSize");
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Profile has been saved successfully")});
    const ProfileReadout r = ReadBack(ProfilePath("Photos"));
    EXPECT_TRUE(r.Find->Size);
    EXPECT_EQ(r.IncludeFilters, QStringList{S("*.jpg")});
    const QString saved =
        QStringDecoder(QStringDecoder::Utf16)(App.Tree().Read(S("app/tester/Profile/Photos.xml")));
    EXPECT_TRUE(saved.contains(S("matchtype='md5'")) && saved.contains(S("format='csv'")))
        << saved.toStdString();
}

TEST_F(ProfileWindowTest, MissingOrBrokenDocumentsAreReportedAndRefused) {
    Open(ProfileMode::Edit, S("Ghost"), 2);
    EXPECT_EQ(Messages.Script.Texts(),
              QStringList{S("Application could not locate Ghost profile.")});
    EXPECT_EQ(Messages.Script.ShownMessages[0].Kind, MessageService::Icon::Critical);
    delete Window.data();

    Messages.Script.ShownMessages.clear();
    App.Tree().CreateFile(S("app/tester/Profile/Broken.xml"), "<echofind><profileoption>");
    Open(ProfileMode::Edit, S("Broken"), 2);
    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Error in reading selected profile")});
    delete Window.data();

    // A value the window needs as text is missing: what came before it is shown, the
    // rest is not, and the failure is logged.
    ASSERT_EQ(
        modXML::WriteXML(
            S("echofind"),
            {modXML::Element(S("findduplicates"), S("profileoption"),
                             {{S("size"), S("True")}, {S("content"), S("True")}}),
             modXML::Element(S("criteria"), S("removeoption"), {{S("delto"), S("permanent")}})},
            ProfilePath("Gap")),
        1);
    Messages.Script.ShownMessages.clear();
    frmProfile* w = Open(ProfileMode::Edit, S("Gap"), 3);
    EXPECT_TRUE(Messages.Script.ShownMessages.empty());
    EXPECT_TRUE(Find<QCheckBox>(w, "chkFileSize")->isChecked());
    EXPECT_FALSE(w->AdvOptions()->Pages().optPermanent->isChecked());
    ASSERT_FALSE(App.AppLogLines().isEmpty());
    EXPECT_TRUE(App.AppLogLines().last().startsWith(
        S("Error occued in frmProfile.ReadProfile. Error No : ")))
        << App.AppLogLines().last().toStdString();
    delete Window.data();

    Messages.Script.ShownMessages.clear();
    QFile::remove(modCommon::AppPath + S("config.xml"));
    Open(ProfileMode::Add, S("config.xml"), 2);
    EXPECT_EQ(
        Messages.Script.Texts(),
        QStringList{S("Application could not locate default profile. Please contact the vendor")});
}

TEST_F(ProfileWindowTest, FoldersTheTreeCannotShowSurviveOpeningAndSaving) {
    const QString gone = Folders.Path(S("Unplugged/Stick"));
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music")), gone};
    p.MatchSize = true;
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Backup"), p), 1);

    frmProfile* w = Open(ProfileMode::Edit, S("Backup"));
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Profile has been saved successfully")});
    EXPECT_EQ(*ReadBack(ProfilePath("Backup")).Folders,
              (QStringList{Folders.Path(S("Music")), gone}));

    // A folder the defaults name is shown to a new profile as unavailable, still ticked, and
    // kept unless the user unticks it.
    ProfileSettings defaults;
    defaults.Folders = {gone};
    defaults.MatchSize = true;
    WriteConfig(defaults);
    Messages.Script.ShownMessages.clear();
    w = Open(ProfileMode::Add, S("config.xml"));
    TypeName("Fresh");
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts(), QStringList{S("Profile has been saved successfully")});
    EXPECT_EQ(*ReadBack(ProfilePath("Fresh")).Folders, QStringList{gone});
}

TEST_F(ProfileWindowTest, AcceptedAdvancedOptionsAreSavedAndCancelledOnesThrownAway) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music"))};
    p.MatchSize = true;
    p.IncludeFilters = {S("*.mp3")};
    p.DeleteTo = S("recycle");
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Songs"), p), 1);
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    frmAdvOptions* adv = w->AdvOptions();
    ASSERT_NE(adv, nullptr);

    // Edit, then cancel and confirm: the document's values come back, lists not doubled.
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(ui_testing::WaitForModal<frmAdvOptions>(), adv);
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        ShowPage(adv, "Include Options");
        QTest::keyClicks(Find<QLineEdit>(adv, "txtInclude"), S("*.ogg"));
        Click(adv, "cmdIncludeAdd");
        Messages.Script.Answers = {Answer::Yes};
        Click(adv, "cmdCancel");
    });
    Click(w, "cmdAdvancedOption");
    EXPECT_FALSE(adv->isVisible());
    EXPECT_EQ(Messages.Script.Texts().last(),
              S("All unsaved changes will be lost. Do you want to continue?"));
    EXPECT_EQ(adv->Pages().Items(adv->Pages().lvwInclude), QStringList{S("*.mp3")});
    EXPECT_TRUE(adv->Pages().optRecycleBin->isChecked());

    // A frame close answered No keeps the dialog and its edits.
    QTimer::singleShot(0, [&] {
        ASSERT_EQ(ui_testing::WaitForModal<frmAdvOptions>(), adv);
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        Messages.Script.Answers = {Answer::No};
        adv->close();
        EXPECT_TRUE(adv->isVisible());
        EXPECT_TRUE(adv->Pages().optPermanent->isChecked());
        // Zip without a folder is refused on its page.
        ShowPage(adv, "Export Duplicates Report");
        ShowPage(adv, "Remove Options");
        Click(adv, "optZip");
        ShowPage(adv, "Filter Options");
        Click(adv, "cmdOK");
        EXPECT_TRUE(adv->isVisible());
        EXPECT_EQ(Messages.Script.Texts().last(),
                  S("Please select a location to zip duplicate files"));
        EXPECT_EQ(Find<QStackedWidget>(adv, "fraOptions")->currentIndex(), 4);
        EXPECT_EQ(Find<QTreeWidget>(adv, "tvwOptions")->currentItem()->text(0),
                  S("Remove Options"));
        EXPECT_EQ(QApplication::focusWidget(), adv->Pages().txtZipToLocation);
        Click(adv, "optPermanent");
        Click(adv, "cmdOK");
    });
    Click(w, "cmdAdvancedOption");
    EXPECT_FALSE(adv->isVisible());

    // Closed by the program while hidden (the program ending), it goes without a question.
    const auto shown = Messages.Script.ShownMessages.size();
    EXPECT_TRUE(adv->close());
    EXPECT_EQ(Messages.Script.ShownMessages.size(), shown);

    // What OK accepted is what the profile saves: never the older document's rule.
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts().last(), S("Profile has been saved successfully"));
    EXPECT_EQ(ReadBack(ProfilePath("Songs")).Remove->DeleteTo, S("permanent"));
}

TEST_F(ProfileWindowTest, AcceptedOptionsThatAreNotSavedLeaveTheDocumentAlone) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music"))};
    p.MatchSize = true;
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Songs"), p), 1);
    const QByteArray before = App.Tree().Read(S("app/tester/Profile/Songs.xml"));
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    QTimer::singleShot(0, [&] {
        frmAdvOptions* adv = ui_testing::WaitForModal<frmAdvOptions>();
        ASSERT_NE(adv, nullptr);
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        Click(adv, "cmdOK");
    });
    Click(w, "cmdAdvancedOption");
    Messages.Script.Answers = {Answer::Yes};
    Click(w, "cmdCancel");
    EXPECT_TRUE(Closed());
    EXPECT_EQ(App.Tree().Read(S("app/tester/Profile/Songs.xml")), before);
}
