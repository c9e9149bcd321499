// The commands as a person finds them: which buttons and popup entries the profile's
// options offer and where, the question each command asks, and what No leaves alone.

#include "ActionsWindowFixture.h"

#include "actions/RunLock.h"

#include <QLabel>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using namespace actions_window_testing;

struct Layout {
    const char* DeleteTo;
    bool SingleCopy;
    bool Export;
    std::vector<const char*> Buttons; // visible, in order
    QStringList Entries;              // popup entries on a file row
};

const QStringList AllButtons = {S("cmdRecycle"),
                                S("cmdRecycleAll"),
                                S("cmdPermanentDelete"),
                                S("cmdPermanentDeleteAll"),
                                S("cmdMove"),
                                S("cmdMoveAll"),
                                S("cmdZip"),
                                S("cmdZipAll"),
                                S("cmdSingleCopy"),
                                S("cmdExport")};

// Below the commands, on a file row only.
const QStringList FileEntries = {S("mnuPopupOpenFolder")};

TEST_F(ActionsWindowTest, OnlyTheButtonsOfTheRemovalAndTheExtrasOnShowWhereTheirOrderPutsThem) {
    const Layout layouts[] = {
        {"recycle",
         false,
         false,
         {"cmdRecycle", "cmdRecycleAll"},
         {S("mnuPopupRecycle"), S("mnuPopupRecycleAll")}},
        {"permanent",
         true,
         false,
         {"cmdPermanentDelete", "cmdPermanentDeleteAll", "cmdSingleCopy"},
         {S("mnuPopupRemove"), S("mnuPopupRemoveAll"), S("mnuPopupSingleCopy")}},
        {"move",
         true,
         true,
         {"cmdMove", "cmdMoveAll", "cmdSingleCopy", "cmdExport"},
         {S("mnuPopupMove"), S("mnuPopupMoveAll"), S("mnuPopupSingleCopy"), S("mnuPopupExport")}},
        {"zip",
         false,
         true,
         {"cmdZip", "cmdZipAll", "cmdExport"},
         {S("mnuPopupZip"), S("mnuPopupZipAll"), S("mnuPopupExport")}},
        // A rule of a later version: no removal at all, never the trash in its stead.
        {"shred", true, false, {"cmdSingleCopy"}, {S("mnuPopupSingleCopy")}},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.DeleteTo);
        SaveProfile(Settings(l.DeleteTo, l.SingleCopy, l.Export));
        OpenResults();
        QStringList visible;
        for (const QString& name : AllButtons) {
            QToolButton* b = Button(name.toLatin1().constData());
            ASSERT_NE(b, nullptr) << name.toStdString();
            EXPECT_EQ(b->accessibleName(), b->toolTip());
            EXPECT_FALSE(b->icon().isNull()) << name.toStdString();
            if (b->isVisible())
                visible << name;
        }
        QStringList expected;
        for (const char* name : l.Buttons)
            expected << S(name);
        EXPECT_EQ(visible, expected);
        // All at one height, in a row, none over another.
        for (size_t i = 1; i < l.Buttons.size(); ++i)
            EXPECT_GT(Button(l.Buttons[i])->x(), Button(l.Buttons[i - 1])->geometry().right());

        EXPECT_EQ(PopupEntries([&] {
                      QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {},
                                        CellRect(3, 2).center());
                  }),
                  l.Entries + FileEntries);
        delete Window.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        A.clear();
        B.clear();
    }
}

TEST_F(ActionsWindowTest, AChangeInTheAdvancedOptionsShowsAtTheNextVisitOfTheDuplicates) {
    SaveProfile(Settings("recycle"));
    OpenResults();
    Adv()->Pages().optZip->setChecked(true);
    Adv()->Pages().chkExport->setChecked(true);
    EXPECT_TRUE(Button("cmdRecycle")->isVisible()); // not before the pane is shown again
    Window->ToggleTabHead(ProfileTab::Options);
    Window->ToggleTabHead(ProfileTab::Duplicates);
    EXPECT_FALSE(Button("cmdRecycle")->isVisible());
    EXPECT_TRUE(Button("cmdZip")->isVisible());
    EXPECT_GT(Button("cmdExport")->x(), Button("cmdZipAll")->geometry().right());
}

TEST_F(ActionsWindowTest, GroupEntriesAreOfferedOnAHeaderOnlyAlsoFromTheKeyboard) {
    SaveProfile(Settings("move", false, true));
    OpenResults();
    const QStringList onFile =
        QStringList{S("mnuPopupMove"), S("mnuPopupMoveAll"), S("mnuPopupExport")} + FileEntries;
    const QStringList onHeader = {S("mnuPopupMove"), S("mnuPopupMoveAll"), S("mnuPopupMoveGroup"),
                                  S("mnuPopupExport")};
    EXPECT_EQ(PopupEntries([&] {
                  QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {},
                                    CellRect(5, 2).center());
              }),
              onHeader);
    EXPECT_EQ(Model().CurrentRow(), 5);
    EXPECT_EQ(PopupEntries([&] {
                  QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {},
                                    CellRect(6, 2).center());
              }),
              onFile);

    // From the keyboard, on the highlighted row.
    SelectRow(2);
    Grid()->setFocus();
    EXPECT_EQ(PopupEntries([&] { QTest::keyClick(Grid(), Qt::Key_F10, Qt::ShiftModifier); }),
              onFile);
    QTest::keyClick(Grid(), Qt::Key_Up);
    ASSERT_EQ(Model().HighlightedRow(), 1);
    EXPECT_EQ(PopupEntries([&] { QTest::keyClick(Grid(), Qt::Key_Menu); }), onHeader);
    EXPECT_TRUE(Messages.Script.Texts().isEmpty());
}

TEST_F(ActionsWindowTest, EveryCommandAsksAndNoChangesNothing) {
    SaveProfile(Settings("permanent", true, true));
    OpenResults();
    SelectRow(1); // a group header, for the group commands
    for (const char* command :
         {"Recycle", "RecycleAll", "RecycleGroup", "Delete", "DeleteAll", "DeleteGroup", "Move",
          "MoveAll", "MoveGroup", "Zip", "ZipAll", "ZipGroup", "SingleCopy", "Export"}) {
        Messages.Script.ShownMessages.clear();
        Messages.Script.Answers = {Answer::No};
        Window->TakeAction(S(command));
        ASSERT_EQ(Messages.Script.ShownMessages.size(), 1u) << command;
        const auto& asked = Messages.Script.ShownMessages.front();
        EXPECT_EQ(asked.Kind, MessageService::Icon::Question) << command;
        EXPECT_EQ(asked.Choice, MessageService::Buttons::YesNo) << command;
        EXPECT_TRUE(asked.Text.startsWith(S("Do you want to "))) << command;
    }
    // No is the default answer: a question dismissed without a choice removes nothing.
    Messages.Script.Answers.clear();
    Window->TakeAction(S("DeleteAll"));
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_TRUE(ActionLines().isEmpty());
    for (const QString& path : A + B)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QDir(Folders.Path(S("reports"))).isEmpty());
    EXPECT_FALSE(QFile::exists(Folders.Path(S("single"))));

    // Names outside the table, or in another case, ask nothing and do nothing.
    Messages.Script.ShownMessages.clear();
    Window->TakeAction(S("deleteall"));
    Window->TakeAction(S("Remove"));
    EXPECT_TRUE(Messages.Script.ShownMessages.empty());
}

TEST_F(ActionsWindowTest, YesCarriesOutEachCommandOnItsRows) {
    SaveProfile(Settings("recycle", true, true));
    OpenResults();

    // A single-row command on a kept file refuses, on a marked file removes it.
    SelectRow(2);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdRecycle");
    EXPECT_EQ(Messages.Script.Texts(),
              (QStringList{S("Do you want to send the highlighted item to Recycle Bin?"),
                           S("Please select a marked item to delete and try again.")}));
    SelectRow(3);
    Messages.Script.ShownMessages.clear();
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdRecycle");
    EXPECT_EQ(Flags(), S("..s...."));
    EXPECT_TRUE(QFile::exists(TrashFiles() + S("a.txt")));

    // The group command from the header's popup walks that group's rows only.
    Messages.Script.ShownMessages.clear();
    Messages.Script.Answers = {Answer::Yes};
    PopupEntries(
        [&] {
            QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, CellRect(5, 2).center());
        },
        S("mnuPopupRecycleGroup"));
    EXPECT_EQ(
        Messages.Script.Texts(),
        QStringList{S("Do you want to send all the marked items of this Group to Recycle Bin?")});
    EXPECT_EQ(Flags(), S("..s...s"));
    EXPECT_TRUE(QFile::exists(A[2]) && !QFile::exists(B[1]));

    // Single copy takes the kept files; the report lists every row.
    Messages.Script.Answers = {Answer::Yes, Answer::Yes};
    Click(Window, "cmdSingleCopy");
    Click(Window, "cmdExport");
    EXPECT_EQ(Folders.Read(S("single/P") + A[0]), QByteArray("aaaa"));
    EXPECT_TRUE(Folders.Exists(S("single/P") + B[0]));
    EXPECT_FALSE(Folders.Exists(S("single/P") + A[1]));
    EXPECT_TRUE(Folders.Exists(S("reports/P.csv")))
        << Messages.Script.Texts().join(u'\n').toStdString();
    EXPECT_TRUE(ActionLines().contains(S("Duplicate results list exported")));
}

} // namespace

namespace {

using namespace actions_window_testing;

TEST_F(ActionsWindowTest, ARemoveRuleThisVersionDoesNotKnowIsSaidAndKeptUntilAnotherIsChosen) {
    SaveProfile(Settings("shred"));
    OpenResults();
    auto* why = Window->findChild<QLabel*>(S("lblNoRemoval"));
    ASSERT_NE(why, nullptr);
    EXPECT_TRUE(why->isVisible());
    EXPECT_TRUE(why->text().contains(S("\"shred\""))) << why->text().toStdString();
    const ActionOptionsPages& pages = Adv()->Pages();
    EXPECT_FALSE(pages.lblOtherRule->isHidden());
    for (const QRadioButton* b :
         {pages.optRecycleBin, pages.optPermanent, pages.optMove, pages.optZip, pages.optHardLink})
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    // Whatever asks for it, nothing is removed by a rule that is not known.
    Messages.Script.Answers = {Answer::Yes};
    Window->TakeAction(S("RecycleAll"));
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_FALSE(QFile::exists(TrashFiles()));

    // Saving keeps the rule as written; choosing one replaces it.
    Window->ToggleTabHead(ProfileTab::Options);
    Click(Window, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("P")).Remove->DeleteTo, S("shred"));
    OpenResults(false);
    const ActionOptionsPages& reread = Adv()->Pages();
    EXPECT_FALSE(reread.lblOtherRule->isHidden());
    reread.optPermanent->click();
    EXPECT_TRUE(reread.lblOtherRule->isHidden());
    Window->ToggleTabHead(ProfileTab::Options);
    Window->ToggleTabHead(ProfileTab::Duplicates);
    EXPECT_FALSE(Window->findChild<QLabel*>(S("lblNoRemoval"))->isVisible());
    EXPECT_TRUE(Button("cmdPermanentDeleteAll")->isVisible());
}

// Another action run (a command line, another window) holds the application folder's lock.
TEST_F(ActionsWindowTest, WhileAnotherRunActsTheWindowSaysSoAndDoesNothing) {
    SaveProfile(Settings("permanent"));
    OpenResults();
    const int held = ::open(QFile::encodeName(modCommon::AppPath + S("actions.lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    Messages.Script.Answers = {Answer::Yes};
    Click(Window, "cmdPermanentDeleteAll");
    ::close(held);
    EXPECT_EQ(Messages.Script.Texts().last(), RunLock::BusyText);
    EXPECT_EQ(Flags(), S("......."));
    for (const QString& path : A + B)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(ActionLines().isEmpty());
}

} // namespace
