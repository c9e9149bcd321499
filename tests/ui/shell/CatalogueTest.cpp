#include "ShellFixture.h"

#include <QTreeWidgetItem>

using namespace shell_testing;

namespace {

std::vector<Catalogue::Entry> ReadCatalogue() {
    std::vector<Catalogue::Entry> entries;
    EXPECT_EQ(Catalogue::ReadEntries(entries), 1);
    return entries;
}

const Catalogue::Entry* Entry(const std::vector<Catalogue::Entry>& entries, const QString& name) {
    for (const auto& e : entries)
        if (e.Name == name)
            return &e;
    return nullptr;
}

} // namespace

TEST_F(ShellTest, AddNewProfileIgnoresACaseOnlyDifference) {
    frmMain* main = OpenMain();
    main->AddNewProfile(S("default profile"));
    EXPECT_EQ(ListedNames(), QStringList{S("Default Profile")});

    main->AddNewProfile(S("Music"));
    EXPECT_EQ(ListedNames(), (QStringList{S("Default Profile"), S("Music")}));
    const auto rows = main->Rows();
    EXPECT_EQ(rows[1].Status, S("Never"));
    EXPECT_EQ(rows[1].LastRun, QString());
    EXPECT_EQ(main->ProfileList()->currentItem()->text(0), S("Music"));
}

TEST_F(ShellTest, UpdateProfileChangesOnlyTheNamedRowInMemory) {
    const QByteArray before = Bytes(Catalogue::CataloguePath());

    frmMain* main = OpenMain();
    main->UpdateProfile(S("DEFAULT PROFILE"), S("Success"), S("2026-12-06 18:39:43"));
    EXPECT_EQ(main->Rows()[0].Status, S("Success"));
    EXPECT_EQ(main->Rows()[0].LastRun, S("2026-12-06 18:39:43"));
    EXPECT_EQ(Bytes(Catalogue::CataloguePath()), before); // only at exit

    // An unknown name changes nothing and leaves its trace in the application log.
    main->UpdateProfile(S("Nobody"), S("Error"), S("2026-12-06 18:40:00"));
    EXPECT_EQ(main->Rows().size(), 1u);
    EXPECT_TRUE(Bytes(modCommon::AppLogFile)
                    .contains("Error occured in frmMain.UpdateProfile. Error No : "));
}

TEST_F(ShellTest, ExitMergesRunsTheCommandLineRecordedMeanwhile) {
    AddProfileDocument(S("Photos"));
    AddProfileDocument(S("Music"));
    frmMain* main = OpenMain();
    ASSERT_EQ(main->Rows().size(), 3u);
    main->UpdateProfile(S("Photos"), S("Success"), S("2026-12-06 10:00:00"));
    main->UpdateProfile(S("Music"), S("Success"), S("2026-12-06 12:00:00"));

    // Behind the window's back the command line runs Photos later and Music earlier than
    // the window did, and a new profile appears with its own run.
    ASSERT_EQ(Catalogue::UpdateProfile(S("Photos"), S("Error"), S("2026-12-06 11:00:00")), 1);
    ASSERT_EQ(Catalogue::UpdateProfile(S("Music"), S("Error"), S("2026-12-06 09:00:00")), 1);
    AddProfileDocument(S("Scripted"));
    ASSERT_EQ(Catalogue::UpdateProfile(S("Scripted"), S("Success"), S("2026-12-06 11:30:00")), 1);

    CloseMain();
    const auto entries = ReadCatalogue();
    ASSERT_NE(Entry(entries, S("Photos")), nullptr);
    EXPECT_EQ(Entry(entries, S("Photos"))->Status, S("Error"));
    EXPECT_EQ(Entry(entries, S("Photos"))->LastRun, S("2026-12-06 11:00:00"));
    ASSERT_NE(Entry(entries, S("Music")), nullptr);
    EXPECT_EQ(Entry(entries, S("Music"))->Status, S("Success"));
    EXPECT_EQ(Entry(entries, S("Music"))->LastRun, S("2026-12-06 12:00:00"));
    ASSERT_NE(Entry(entries, S("Scripted")), nullptr);
    EXPECT_EQ(Entry(entries, S("Scripted"))->LastRun, S("2026-12-06 11:30:00"));
    ASSERT_NE(Entry(entries, S("Default Profile")), nullptr);
    EXPECT_EQ(Entry(entries, S("Default Profile"))->Status, S("Never"));

    // The next start shows what was saved.
    OpenMain();
    EXPECT_EQ(ListedNames().size(), 4);
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
    const QByteArray before = Bytes(Catalogue::CataloguePath());
    {
        // The disk fills up while the window is open: the larger new catalogue does not
        // fit, a log line still does.
        testing_support::FileSizeLimit full(rlim_t(before.size()));
        CloseMain();
    }
    EXPECT_EQ(Bytes(Catalogue::CataloguePath()), before);
    EXPECT_TRUE(Shown().isEmpty());
    const QByteArray logged = Bytes(modCommon::AppLogFile);
    EXPECT_TRUE(logged.contains("Error occured in frmMain.Unload. Error No : 530 Desc : Error "
                                "occured while saving profile details at:"))
        << logged.constData() << before.size();
}
