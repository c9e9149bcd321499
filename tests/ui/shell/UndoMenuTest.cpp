#include "ShellFixture.h"

#include "app/RunJournal.h"

using namespace shell_testing;

namespace {

class UndoMenuTest : public ShellTest {
protected:
    // A file of the tree trashed by a recorded run of the profile.
    QString TrashedByARun(const QString& profile) {
        const QString path = m_tree.CreateFile(S("data/a.txt"), "a's bytes", 1700000000);
        modAPI::FileInfo before;
        EXPECT_EQ(modAPI::MyStat(path, before), 1);
        QString placed;
        EXPECT_EQ(modAPI::MyMoveToTrash(path, &placed), 1);
        modAPI::FileInfo after;
        EXPECT_EQ(modAPI::MyStat(placed, after), 1);
        RunJournal journal(RunJournal::FileFor(profile));
        EXPECT_TRUE(journal.Begin(S("DeleteAll"), S("recycle")));
        EXPECT_TRUE(journal.Intent(S("trash"), path, QString(), before));
        EXPECT_TRUE(journal.Done(path, placed, RunJournal::IdentityText(after)));
        EXPECT_TRUE(journal.End(S("finished")));
        return path;
    }

    testing_support::TrashInTree m_trash{m_tree.Path(S("home"))};
};

// The menu entry asks first, with what can and cannot come back, and undoes only on Yes,
// for the profile highlighted in the list.
TEST_F(UndoMenuTest, AsksWithTheCountsThenPutsTheFilesBack) {
    AddProfileDocument(S("Holiday"));
    const QString path = TrashedByARun(S("Holiday"));
    OpenMain();
    ASSERT_GE(SelectListed(S("Holiday")), 0);

    m_messages.Script.Answers = {MessageService::Answer::No};
    Action("mnuRunUndo")->trigger();
    ASSERT_EQ(Shown().size(), 1);
    EXPECT_TRUE(Shown()[0].startsWith(S("Undo the last action run of Holiday (")));
    EXPECT_TRUE(Shown()[0].contains(S("1 files can come back; 0 cannot come back")));
    EXPECT_EQ(m_messages.Script.ShownMessages[0].Choice, MessageService::Buttons::YesNo);
    EXPECT_FALSE(QFileInfo::exists(path));

    m_messages.Script.ShownMessages.clear();
    m_messages.Script.Answers = {MessageService::Answer::Yes};
    Action("mnuRunUndo")->trigger();
    ASSERT_EQ(Shown().size(), 2);
    EXPECT_EQ(Shown()[1], S("1 files are back."));
    EXPECT_EQ(ReadFile(path), QByteArray("a's bytes"));

    // Nothing is left to bring back: said, and not asked.
    m_messages.Script.ShownMessages.clear();
    Action("mnuRunUndo")->trigger();
    ASSERT_EQ(Shown().size(), 1);
    EXPECT_TRUE(Shown()[0].contains(S("can come back: 1 cannot come back (0 deleted "
                                      "permanently, 1 already back")))
        << Shown()[0].toStdString();
}

TEST_F(UndoMenuTest, WithoutARecordedRunItSaysSo) {
    OpenMain();
    ASSERT_GE(SelectListed(S("Default Profile")), 0);
    Action("mnuRunUndo")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("The profile Default Profile has no action run to undo.")});
}

} // namespace
