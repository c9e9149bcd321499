#include "ShellFixture.h"

using namespace shell_testing;

// The list changes in memory and is written at exit, merged with the runs the command line
// recorded meanwhile: for each profile the later run wins.
TEST_F(ShellTest, TheListIsWrittenAtExitMergedWithTheCommandLinesRuns) {
    AddProfileDocument(S("Photos"));
    AddProfileDocument(S("Music"));
    frmMain* main = OpenMain();
    ASSERT_EQ(main->Rows().size(), 3u);
    const QByteArray before = ReadFile(Catalogue::CataloguePath());
    main->AddNewProfile(S("default profile")); // a case-only difference is the same profile
    AddProfileDocument(S("Added"));
    main->AddNewProfile(S("Added"));
    EXPECT_EQ(ListedNames().size(), 4);
    EXPECT_EQ(main->Rows()[3].Status, S("Never"));
    EXPECT_EQ(main->Rows()[3].LastRun, QString());
    EXPECT_EQ(main->ProfileList()->currentItem()->text(0), S("Added"));
    main->UpdateProfile(S("PHOTOS"), S("Success"), S("2026-12-06 10:00:00"));
    main->UpdateProfile(S("Music"), S("Success"), S("2026-12-06 12:00:00"));
    EXPECT_EQ(main->Rows()[size_t(ProfileList::FindRow(main->Rows(), S("Photos")))].LastRun,
              S("2026-12-06 10:00:00"));
    EXPECT_EQ(ReadFile(Catalogue::CataloguePath()), before); // only at exit
    // An unknown name changes nothing and leaves its trace in the application log.
    main->UpdateProfile(S("Nobody"), S("Error"), S("2026-12-06 18:40:00"));
    EXPECT_EQ(main->Rows().size(), 4u);
    EXPECT_TRUE(ReadFile(modCommon::AppLogFile)
                    .contains("Error occured in frmMain.UpdateProfile. Error No : "));

    // Behind the window's back the command line runs Photos later and Music earlier than
    // the window did, and a new profile appears with its own run.
    ASSERT_EQ(Catalogue::UpdateProfile(S("Photos"), S("Error"), S("2026-12-06 11:00:00")), 1);
    ASSERT_EQ(Catalogue::UpdateProfile(S("Music"), S("Error"), S("2026-12-06 09:00:00")), 1);
    AddProfileDocument(S("Scripted"));
    ASSERT_EQ(Catalogue::UpdateProfile(S("Scripted"), S("Success"), S("2026-12-06 11:30:00")), 1);

    CloseMain();
    const struct {
        const char *Name, *Status, *LastRun;
    } held[] = {{"Photos", "Error", "2026-12-06 11:00:00"},
                {"Music", "Success", "2026-12-06 12:00:00"},
                {"Scripted", "Success", "2026-12-06 11:30:00"},
                {"Added", "Never", ""},
                {"Default Profile", "Never", ""}};
    for (const auto& h : held) {
        const auto entry = CatalogueEntry(S(h.Name));
        ASSERT_TRUE(entry.has_value()) << h.Name;
        EXPECT_EQ(entry->Status, S(h.Status)) << h.Name;
        EXPECT_EQ(entry->LastRun, S(h.LastRun)) << h.Name;
    }
    // The next start shows what was saved.
    OpenMain();
    EXPECT_EQ(ListedNames().size(), 5);
}

TEST_F(ShellTest, AFailedSaveKeepsThePreviousCatalogueAndIsOnlyLogged) {
    // A catalogue large enough that the log lines of the failure fit where it does not.
    std::vector<Catalogue::Entry> entries{{S("Default Profile"), QString(), S("Never")}};
    for (int i = 0; i < 12; ++i) {
        AddProfileDocument(S("Profile %1").arg(i));
        entries.push_back({S("Profile %1").arg(i), S("2026-12-01 10:00:00"), S("Success")});
    }
    ASSERT_EQ(Catalogue::SaveEntries(entries), 1);
    frmMain* main = OpenMain();
    main->UpdateProfile(S("Default Profile"), S("Success"), S("2026-12-06 10:00:00"));
    const QByteArray before = ReadFile(Catalogue::CataloguePath());
    {
        // The disk fills up while the window is open: the larger new catalogue does not
        // fit, a log line still does.
        testing_support::FileSizeLimit full(rlim_t(before.size()));
        CloseMain();
    }
    EXPECT_EQ(ReadFile(Catalogue::CataloguePath()), before);
    EXPECT_TRUE(Shown().isEmpty());
    const QByteArray logged = ReadFile(modCommon::AppLogFile);
    EXPECT_TRUE(logged.contains("Error occured in frmMain.Unload. Error No : 530 Desc : Error "
                                "occured while saving profile details at:"))
        << logged.constData() << before.size();
}
