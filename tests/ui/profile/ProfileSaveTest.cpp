// Creating, saving and reopening profiles through the profile window.

#include "ProfileFixture.h"

using namespace profile_testing;

static bool Checked(QWidget* window, const char* name) {
    return Find<QAbstractButton>(window, name)->isChecked();
}

// A new profile starts from the defaults. Find Duplicates saves it as shown, runs it, and
// from then on it is an existing profile. (Saved with Save, it closes its window: that is
// the first session's test.)
TEST_F(ProfileWindowTest, ANewProfileStartsFromTheDefaultsAndFindDuplicatesSavesAndRunsIt) {
    Folders.CreateFile(S("Pictures/copy of a.jpg"), "a");
    Folders.CreateFile(S("Pictures/other.jpg"), "zz");
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    EXPECT_TRUE(Checked(w, "chkFileSize"));
    EXPECT_FALSE(Checked(w, "chkFileName"));
    // A folder the defaults name that is not there is shown as unavailable, still ticked,
    // and kept unless the person unticks it.
    EXPECT_EQ(Ticked(), (QStringList{Folders.Path(S("Music")), Gone()}));
    EXPECT_FALSE(Find<QLineEdit>(w, "txtName")->isReadOnly());

    TypeName("  Trip ");
    Tick(Folders.Path(S("Pictures")));
    Click(w, "chkFileContents");
    Click(w, "cmdExecute");
    EXPECT_TRUE(Said().isEmpty()) << Said().join(u'\n').toStdString();
    const ProfileReadout r = ReadBack(ProfilePath("Trip"));
    ASSERT_TRUE(r.Folders && r.Find && r.Remove);
    EXPECT_EQ(*r.Folders,
              (QStringList{Folders.Path(S("Music")), Folders.Path(S("Pictures")), Gone()}));
    EXPECT_TRUE(r.Find->Size && r.Find->Content && !r.Find->Name);
    EXPECT_EQ(r.Find->MatchType, S("crc")) << "ticking contents starts from CRC32";
    // The action part came from the defaults through the advanced options.
    EXPECT_EQ(r.ExcludeFilters, QStringList{S("*.tmp")});
    EXPECT_EQ(r.Remove->DeleteTo, S("move"));
    EXPECT_EQ(r.Remove->Folder, S("/srv/dups"));

    EXPECT_EQ(w->ActionMode(), ProfileMode::Edit);
    EXPECT_EQ(w->OpenProfileName(), S("Trip"));
    EXPECT_TRUE(Find<QLineEdit>(w, "txtName")->isReadOnly())
        << "a run profile's name must not be retyped onto another profile's document";
    EXPECT_EQ(Find<QStackedWidget>(w, "fraPanes")->currentWidget()->objectName(),
              S("fraRunResult"));
    // a.jpg and its copy have the same bytes; other.jpg has its own.
    QStringList paths;
    for (qint64 row = 1; row <= w->Results().RowCount(); ++row)
        if (!w->Results().IsGroupHeader(row))
            paths << w->Results().Text(row, 3);
    EXPECT_EQ(paths.filter(S("a.jpg")).size(), 2) << paths.join(u'\n').toStdString();
    EXPECT_TRUE(paths.filter(S("other.jpg")).isEmpty());

    const QString found = QString::number(paths.size()) + S(" duplicate files found in ");
    EXPECT_TRUE(Shell.Status.startsWith(found)) << Shell.Status.toStdString();

    // Running again writes the same document, without the taken-name refusal; what the
    // status says is always this run's.
    QFile::remove(Folders.Path(S("Pictures/copy of a.jpg")));
    Click(w, "cmdExecute");
    EXPECT_TRUE(Said().isEmpty()) << Said().join(u'\n').toStdString();
    EXPECT_EQ(Shell.Status, S("No Duplicate files found"));
    Folders.CreateFile(S("Pictures/copy of a.jpg"), "a");
    Click(w, "cmdExecute");
    EXPECT_TRUE(Shell.Status.startsWith(found)) << Shell.Status.toStdString();
}

TEST_F(ProfileWindowTest, ASaveIsRefusedUntilEveryRuleHolds) {
    Store("Taken", MusicBySize());
    WriteConfig({}); // no folder, no criterion
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    auto* name = Find<QLineEdit>(w, "txtName");

    const struct {
        std::function<void()> Change;
        const char *Message, *Focus;
    } steps[] = {
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
    for (const auto& step : steps) {
        step.Change();
        Messages.Script.ShownMessages.clear();
        Click(w, "cmdOK");
        ASSERT_EQ(Said(), QStringList{S(step.Message)}) << step.Message;
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
    EXPECT_EQ(Said(), QStringList{kProfileSaved});
    EXPECT_TRUE(ReadBack(ProfilePath("Mine")).Find->Modify);
    EXPECT_EQ(ReadBack(ProfilePath("Taken")).Find->Modify, false) << "the other profile is kept";
}

TEST_F(ProfileWindowTest, AnExistingProfileFillsTheWindowAndKeepsItsName) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Pictures")), Gone()}; // the tree cannot show the second
    p.IncludeSubFolder = true;
    p.MatchName = true;
    p.MatchContent = true;
    p.MatchType = S("MD5"); // as a hand-edited document may spell it
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
    EXPECT_EQ(Ticked(), (QStringList{Folders.Path(S("Pictures")), Gone()}));
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
    EXPECT_EQ(Said(), QStringList{kProfileSaved});
    const ProfileReadout r = ReadBack(ProfilePath("Photos"));
    EXPECT_TRUE(r.Find->Size);
    EXPECT_EQ(*r.Folders, (QStringList{Folders.Path(S("Pictures")), Gone()}));
    EXPECT_EQ(r.IncludeFilters, QStringList{S("*.jpg")});
    const QString saved =
        QStringDecoder(QStringDecoder::Utf16)(App.Tree().Read(S("app/tester/Profile/Photos.xml")));
    EXPECT_TRUE(Holds(saved, S("matchtype='md5'")));
    EXPECT_TRUE(Holds(saved, S("format='csv'")));
}

TEST_F(ProfileWindowTest, MissingOrBrokenDocumentsAreReportedAndRefused) {
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
    frmProfile* w = Open(ProfileMode::Edit, S("Gap"), 3);
    EXPECT_TRUE(Messages.Script.ShownMessages.empty());
    EXPECT_TRUE(Find<QCheckBox>(w, "chkFileSize")->isChecked());
    EXPECT_FALSE(w->AdvOptions()->Pages().optPermanent->isChecked());
    ASSERT_FALSE(App.AppLogLines().isEmpty());
    EXPECT_TRUE(App.AppLogLines().last().startsWith(
        S("Error occued in frmProfile.ReadProfile. Error No : ")))
        << App.AppLogLines().last().toStdString();
    delete Window.data();

    App.Tree().CreateFile(S("app/tester/Profile/Broken.xml"), "<echofind><profileoption>");
    QFile::remove(modCommon::AppPath + S("config.xml"));
    const struct {
        ProfileMode Mode;
        const char *Name, *Said;
    } refused[] = {
        {ProfileMode::Edit, "Ghost", "Application could not locate Ghost profile."},
        {ProfileMode::Edit, "Broken", "Error in reading selected profile"},
        {ProfileMode::Add, "config.xml",
         "Application could not locate default profile. Please contact the vendor"},
    };
    for (const auto& r : refused) {
        Messages.Script.ShownMessages.clear();
        Open(r.Mode, S(r.Name), 2);
        EXPECT_EQ(Said(), QStringList{S(r.Said)});
        EXPECT_EQ(Messages.Script.ShownMessages[0].Kind, MessageService::Icon::Critical) << r.Name;
        delete Window.data();
    }
}

TEST_F(ProfileWindowTest, AcceptedAdvancedOptionsAreSavedAndCancelledOnesThrownAway) {
    ProfileSettings p = MusicBySize();
    p.IncludeFilters = {S("*.mp3")};
    p.DeleteTo = S("recycle");
    Store("Songs", p);
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    frmAdvOptions* adv = w->AdvOptions();
    ASSERT_NE(adv, nullptr);

    // Edit, then cancel and confirm: the document's values come back, lists not doubled.
    EditAdvancedOptions([&](frmAdvOptions* shown) {
        EXPECT_EQ(shown, adv);
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        ShowPage(adv, "Include Options");
        QTest::keyClicks(Find<QLineEdit>(adv, "txtInclude"), S("*.ogg"));
        Click(adv, "cmdIncludeAdd");
        Messages.Script.Answers = {Answer::Yes};
        Click(adv, "cmdCancel");
    });
    EXPECT_FALSE(adv->isVisible());
    EXPECT_EQ(Said().last(), kLoseChanges);
    EXPECT_EQ(adv->Pages().Items(adv->Pages().lvwInclude), QStringList{S("*.mp3")});
    EXPECT_TRUE(adv->Pages().optRecycleBin->isChecked());

    // A frame close answered No keeps the dialog and its edits.
    EditAdvancedOptions([&](frmAdvOptions*) {
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        Messages.Script.Answers = {Answer::No};
        adv->close();
        EXPECT_TRUE(adv->isVisible());
        EXPECT_TRUE(adv->Pages().optPermanent->isChecked());
        // Zip without a folder is refused on its page.
        Click(adv, "optZip");
        ShowPage(adv, "Filter Options");
        Click(adv, "cmdOK");
        EXPECT_TRUE(adv->isVisible());
        EXPECT_EQ(Said().last(), S("Please select a location to zip duplicate files"));
        EXPECT_EQ(Find<QStackedWidget>(adv, "fraOptions")->currentIndex(), 4);
        EXPECT_EQ(Find<QTreeWidget>(adv, "tvwOptions")->currentItem()->text(0),
                  S("Remove Options"));
        EXPECT_EQ(QApplication::focusWidget(), adv->Pages().txtZipToLocation);
        Click(adv, "optPermanent");
        Click(adv, "cmdOK");
    });
    EXPECT_FALSE(adv->isVisible());

    // Closed by the program while hidden (the program ending), it goes without a question.
    const auto shown = Messages.Script.ShownMessages.size();
    EXPECT_TRUE(adv->close());
    EXPECT_EQ(Messages.Script.ShownMessages.size(), shown);

    // What OK accepted is what the profile saves: never the older document's rule.
    Click(w, "cmdOK");
    EXPECT_EQ(Said().last(), kProfileSaved);
    EXPECT_EQ(ReadBack(ProfilePath("Songs")).Remove->DeleteTo, S("permanent"));
}
