// The profile window as the main window hosts it: what it reports there and how it goes.

#include "ProfileFixture.h"

#include "app/modXML.h"
#include "ui/Forms.h"
#include "ui/frmMain.h"

#include <QMdiArea>

using namespace profile_testing;
using Answer = MessageService::Answer;

TEST_F(ProfileWindowTest, HostedWindowReportsTheOpenProfileAndLeavesWhenClosed) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music"))};
    p.MatchSize = true;
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Songs"), p), 1);
    ASSERT_EQ(modXML::InitXML(S("profiles"), modCommon::ProfileFolder + S("AllProfiles.xml")), 1);
    std::unique_ptr<frmMain> main(new frmMain);
    ASSERT_EQ(main->InitForm(), 1);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));

    ASSERT_EQ(main->OpenProfile(S("config.xml"), ProfileMode::Add), 1);
    frmProfile* w = Forms::Profile();
    ASSERT_NE(w, nullptr);
    QTRY_COMPARE(main->StatusMessage(), S("Currently open profile: <new profile>"));
    Messages.Script.Answers = {Answer::Yes};
    Click(w, "cmdCancel");
    QTRY_VERIFY(Forms::Profile() == nullptr);
    QTRY_VERIFY(main->MdiArea()->subWindowList().isEmpty());

    ASSERT_EQ(main->OpenProfile(S("Songs"), ProfileMode::Edit), 1);
    w = Forms::Profile();
    ASSERT_NE(w, nullptr);
    QTRY_COMPARE(main->StatusMessage(), S("Currently open profile:Songs"));
    // Saving closes the window after its message, and the main window lists the profile.
    Click(w, "cmdOK");
    EXPECT_EQ(Messages.Script.Texts().last(), S("Profile has been saved successfully"));
    QTRY_VERIFY(main->MdiArea()->subWindowList().isEmpty());
    main.reset();
}
