#include "ShellFixture.h"

using namespace shell_testing;

TEST_F(ShellTest, CancellingARunFromTheListLeavesEverythingAsItWas) {
    // Enough files that the walk is still going when Cancel is pressed.
    for (int f = 0; f < 20; ++f)
        for (int i = 0; i < 400; ++i)
            m_tree.CreateFile(S("big/%1/f%2.txt").arg(f).arg(i), QByteArray::number(i));
    ProfileSettings s = testing_support::ContentProfile({m_tree.Path(S("big"))});
    ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + S("Big.xml"), s), 1);
    frmMain* main = OpenMain();
    const qsizetype index = SelectListed(S("Big"));
    ASSERT_GE(index, 0);

    m_messages.Script.Answers = {MessageService::Answer::Yes};
    // As soon as the walk has begun: a fast machine could finish it before any count.
    WhileModal<frmProgress> cancel([](frmProgress* window) {
        if (Find<QLabel>(window, "lblProgress")->text().isEmpty())
            return false;
        Click(window, "cmdCancel");
        return true;
    });
    main->ExecuteProfile(S("Big"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_EQ(Shown(), QStringList{kCancelRun});
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProfile")));
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProgress")));
    EXPECT_TRUE(main->ManagerVisible());
    const auto row = main->Rows()[size_t(index)];
    EXPECT_EQ(row.Status, S("Never"));
    EXPECT_EQ(row.LastRun, QString());
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("Big.log")));
}
