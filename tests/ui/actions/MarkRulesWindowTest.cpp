// Marking rules in the window as a person uses them: the Mark button's menu, the same rules
// from the grid's popup, Shift+Space over a range, and the totals in the status bar.

#include "ActionsWindowFixture.h"
#include "ui/shell/ShellFixture.h"

#include "ui/MarkMenu.h"
#include "ui/frmProfile.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>

namespace {

using namespace actions_window_testing;

using actions_testing::Marks;

// Answers the pattern prompt for the length of a test.
class ScriptedPattern {
public:
    explicit ScriptedPattern(std::optional<QString> answer) {
        MarkMenu::SetPatternAsker([this, answer](const QString& prompt) {
            Prompts << prompt;
            return answer;
        });
    }
    ~ScriptedPattern() { MarkMenu::SetPatternAsker({}); }
    QStringList Prompts;
};

// Opens the grid's popup with a right click on the row, opens its Mark submenu with the
// arrow key and picks the entry, as a person does with the keyboard in the menu.
void PickFromPopupMarkMenu(ResultsGrid* grid, const QRect& cell, const QString& entry,
                           QStringList* offered) {
    bool picked = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        if (menu->objectName() == u"mnuPopupMarkRules") {
            poll.stop();
            for (QAction* a : menu->actions()) {
                if (a->isSeparator())
                    continue;
                *offered << a->objectName();
                if (a->objectName() == entry) {
                    menu->setActiveAction(a);
                    picked = true;
                }
            }
            QTest::keyClick(menu, picked ? Qt::Key_Return : Qt::Key_Escape);
            return;
        }
        for (QAction* a : menu->actions()) {
            if (a->objectName() == u"mnuPopupMark" && a->isVisible() && menu->activeAction() != a) {
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Right);
                return;
            }
        }
    });
    poll.start();
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(picked) << "the popup's Mark submenu did not offer " << entry.toStdString();
}

using MarkRulesWindow = ActionsWindowTest;

TEST_F(MarkRulesWindow, TheMarkButtonOffersTheRulesAndAsksForTheFolderARuleNeeds) {
    SaveProfile(Settings("recycle"));
    OpenResults(false);
    QToolButton* mark = Button("cmdMark");
    ASSERT_NE(mark, nullptr);
    EXPECT_FALSE(mark->isEnabled()); // nothing to mark yet
    MakeGroups();
    // Rows: 1 header, 2-4 tree/d1..d3/a.txt; 5 header, 6-7 tree/d1..d2/b.txt.
    ASSERT_EQ(Marks(Model()), S(".XX|.X"));
    ASSERT_TRUE(mark->isVisible() && mark->isEnabled());
    EXPECT_FALSE(mark->toolTip().isEmpty());
    EXPECT_EQ(mark->accessibleName(), mark->toolTip());
    // Beside the removal buttons, over none of them.
    QToolButton* all = Button("cmdRecycleAll");
    EXPECT_GT(mark->x(), all->mapTo(mark->parentWidget(), QPoint(all->width(), 0)).x());

    Browser.Answers = {Folders.Path(S("tree/d2"))};
    const QStringList offered =
        PopupEntries([&] { QTest::mouseClick(mark, Qt::LeftButton); }, S("mnuMarkKeepFirstUnder"));
    EXPECT_EQ(offered,
              (QStringList{S("mnuMarkKeepNewest"), S("mnuMarkKeepOldest"), S("mnuMarkKeepShortest"),
                           S("mnuMarkKeepLongest"), S("mnuMarkKeepFirstUnder"), S("mnuMarkUnder"),
                           S("mnuUnmarkUnder"), S("mnuMarkMatching"), S("mnuUnmarkMatching")}));
    ASSERT_EQ(Browser.Prompts.size(), 1u);
    EXPECT_EQ(Browser.Prompts[0].first, S("Select the folder whose files to keep"));
    EXPECT_EQ(Marks(Model()), S("X.X|X."));

    // Cancelling the folder prompt changes nothing.
    PopupEntries([&] { QTest::mouseClick(mark, Qt::LeftButton); }, S("mnuMarkUnder"));
    EXPECT_EQ(Browser.Prompts.size(), 2u);
    EXPECT_EQ(Marks(Model()), S("X.X|X."));
    EXPECT_TRUE(Messages.Script.Texts().isEmpty());
}

TEST_F(MarkRulesWindow, ThePopupOffersTheSameRulesUnderMark) {
    SaveProfile(Settings("permanent"));
    OpenResults();
    ScriptedPattern pattern(S("A.TXT"));
    QStringList offered;
    PickFromPopupMarkMenu(Grid(), CellRect(6, 2), S("mnuUnmarkMatching"), &offered);
    EXPECT_EQ(offered.size(), 9);
    EXPECT_EQ(pattern.Prompts.size(), 1);
    EXPECT_EQ(Marks(Model()), S("...|.X"));

    // A cancelled pattern prompt leaves the marks.
    ScriptedPattern cancelled(std::nullopt);
    offered.clear();
    PickFromPopupMarkMenu(Grid(), CellRect(2, 2), S("mnuMarkMatching"), &offered);
    EXPECT_EQ(cancelled.Prompts.size(), 1);
    EXPECT_EQ(Marks(Model()), S("...|.X"));
    // The popup still carries out the commands as before.
    EXPECT_TRUE(Messages.Script.Texts().isEmpty());
}

TEST_F(MarkRulesWindow, ShiftSpaceMarksFromTheLastToggledRowAndKeepsACopyPerGroup) {
    SaveProfile(Settings("recycle"));
    OpenResults();
    ScriptedPattern all(S("*"));
    QStringList offered;
    PickFromPopupMarkMenu(Grid(), CellRect(2, 2), S("mnuUnmarkMatching"), &offered);
    ASSERT_EQ(Marks(Model()), S("...|.."));

    // Before any toggle, only the highlighted file is marked.
    SelectRow(3);
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(Marks(Model()), S(".X.|.."));

    QTest::keyClick(Grid(), Qt::Key_Up);
    QTest::keyClick(Grid(), Qt::Key_Space); // toggles row 2: the start of the range
    EXPECT_EQ(Marks(Model()), S("XX.|.."));
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(Grid(), Qt::Key_Down);
    ASSERT_EQ(Model().HighlightedRow(), 7);
    QTest::keyClick(Grid(), Qt::Key_Space, Qt::ShiftModifier);
    // Each group keeps one unmarked file: the one unmarked before, else the first.
    EXPECT_EQ(Marks(Model()), S("XX.|.X"));
    // No message: the status bar says what the marks are.
    EXPECT_TRUE(Messages.Script.Texts().isEmpty());
}

class MarkTotalsInTheStatusBar : public shell_testing::ShellTest {
protected:
    testing_support::TrashInTree m_trash{m_tree.Path(S("home"))};
};

TEST_F(MarkTotalsInTheStatusBar, FollowEveryMarkChangeBesideTheWindowsOwnTexts) {
    for (int i = 0; i < 3; ++i)
        m_tree.CreateFile(S("tree/%1/photo.jpg").arg(i), "same picture", 1700000000 + i);
    for (int i = 0; i < 2; ++i)
        m_tree.CreateFile(S("tree/%1/song.mp3").arg(i), "same song, longer", 1700000000 - i);
    ProfileSettings s = testing_support::ContentProfile({m_tree.Path(S("tree"))});
    ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + S("P.xml"), s), 1);

    frmMain* main = OpenMain();
    ASSERT_EQ(main->OpenProfile(S("P"), ProfileMode::Edit), 1);
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(main->MarkTotalsMessage(), QString());
    QTest::mouseClick(profile->findChild<QPushButton*>(S("cmdExecute")), Qt::LeftButton);
    ResultsModel& model = profile->Results();
    ASSERT_EQ(model.RowCount(), 7);
    EXPECT_EQ(main->MarkTotalsMessage(), S("3 files marked, 41 bytes to free"));
    // The window's own status texts keep their panel.
    EXPECT_FALSE(main->StatusMessage().contains(S("marked")));

    // A click on a mark.
    ResultsGrid* grid = profile->Duplicates()->Grid();
    const qint64 marked = model.IsMarked(3) ? 3 : 4;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(model.index(int(marked - 1), 1)).center());
    EXPECT_EQ(main->MarkTotalsMessage(), S("2 files marked, 29 bytes to free"));

    // A rule from the Mark button.
    ui_testing::PopupEntries(
        [&] { QTest::mouseClick(profile->findChild<QToolButton*>(S("cmdMark")), Qt::LeftButton); },
        S("mnuMarkKeepNewest"));
    EXPECT_EQ(main->MarkTotalsMessage(), S("3 files marked, 41 bytes to free"));

    // Gone with the profile window.
    profile->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main->MarkTotalsMessage(), QString());
}

} // namespace
