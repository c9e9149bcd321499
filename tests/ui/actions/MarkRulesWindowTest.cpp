// Marking rules in the window as a person uses them: the Mark button's menu, the same rules
// from the grid's popup, each asking for the folder or pattern it needs (a cancelled prompt
// changes nothing), and Shift+Space over a range. The totals in the status bar follow
// them in the first session's test.

#include "ActionsWindowFixture.h"

#include "ui/MarkMenu.h"

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

// Right-clicks the row and picks the entry from the popup's Mark submenu with the keys;
// gives what the submenu offered.
QStringList PickUnderMark(ResultsGrid* grid, qint64 row, const QString& entry) {
    PopupAnswer popup(S("mnuPopupMark")), mark(entry, S("mnuPopupMarkRules"));
    ClickCell(grid, row, 2, Qt::RightButton);
    EXPECT_TRUE(mark.Seen.contains(entry))
        << "the Mark submenu did not offer " << qPrintable(entry);
    return mark.Seen;
}

using MarkRulesWindow = ActionsWindowTest;

// The same rules behind the Mark button and under the popup's Mark, each asking for the
// folder or pattern it needs; a cancelled prompt changes nothing.
TEST_F(MarkRulesWindow, TheButtonAndThePopupOfferTheRulesAndShiftSpaceMarksARange) {
    SaveProfile(Settings("recycle"));
    OpenResults(false);
    QToolButton* mark = Button("cmdMark");
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
    EXPECT_EQ(offered.size(), 9);
    ASSERT_EQ(Browser.Prompts.size(), 1u);
    EXPECT_EQ(Browser.Prompts[0].first, S("Select the folder whose files to keep"));
    EXPECT_EQ(Browser.Prompts[0].second, Folders.Path(S("tree")));
    EXPECT_EQ(Marks(Model()), S("X.X|X."));
    PopupEntries([&] { QTest::mouseClick(mark, Qt::LeftButton); }, S("mnuMarkUnder"));
    EXPECT_EQ(Browser.Prompts.size(), 2u);
    EXPECT_EQ(Marks(Model()), S("X.X|X."));

    ScriptedPattern pattern(S("A.TXT"));
    EXPECT_EQ(PickUnderMark(Grid(), 6, S("mnuUnmarkMatching")), offered);
    EXPECT_EQ(pattern.Prompts.size(), 1);
    EXPECT_EQ(Marks(Model()), S("...|X."));
    ScriptedPattern cancelled(std::nullopt);
    PickUnderMark(Grid(), 2, S("mnuMarkMatching"));
    EXPECT_EQ(cancelled.Prompts.size(), 1);
    EXPECT_EQ(Marks(Model()), S("...|X."));

    // Shift+Space marks from the last row Space toggled to the highlighted one.
    ScriptedPattern everything(S("*"));
    PickUnderMark(Grid(), 2, S("mnuUnmarkMatching"));
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
    EXPECT_TRUE(Said().isEmpty());
}

} // namespace
