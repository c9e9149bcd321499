// The results grid as a person uses it: clicks and keys on a shown grid, what it draws,
// and how it reads on a dark desktop.

#include "UiTestSupport.h"

#include "ui/ResultsDelegate.h"

using namespace Qt::StringLiterals;
using namespace ui_testing;

namespace {

const QString LastCopy =
    u"Cannot mark all files as duplicates. At least one file should be unchecked"_s;

// Rows: 1 header "pair.txt", 2 (unmarked) and 3 (marked) its files; 4 header "trio.txt",
// 5 (unmarked), 6 and 7 (marked) its files.
class Grid : public ::testing::Test {
protected:
    void SetUp() override {
        ResultsModel& m = pane.Model();
        m.SetRedraw(false);
        for (const auto& [name, files] : {std::pair{u"pair.txt"_s, 2}, {u"trio.txt"_s, 3}}) {
            const qint64 header = m.AddHeader(name);
            for (int f = 0; f < files; ++f)
                m.AddRow(f == 0,
                         {name, u"/data/%1/%2"_s.arg(f).arg(name), u"2026-01-01 10:00:00"_s,
                          u"2026-01-02 10:00:00"_s, 7, u"N"_s, u"0A1B2C3D"_s},
                         {});
            m.UpdateHeadTotal(header, 7 * files);
            m.UpdateHeader(header, QString::number(files));
        }
        m.SetRedraw(true);
        pane.resize(1000, 400);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        grid = pane.Grid();
    }

    QRect CellRect(qint64 row, int col) const {
        return grid->visualRect(grid->model()->index(int(row - 1), col));
    }
    void Click(qint64 row, int col) { ui_testing::ClickCell(grid, row, col); }
    // Presses the keys in turn and gives the highlighted row after each.
    std::vector<qint64> Keys(std::initializer_list<Qt::Key> keys) {
        std::vector<qint64> rows;
        for (Qt::Key key : keys) {
            QTest::keyClick(grid, key);
            rows.push_back(pane.Model().HighlightedRow());
        }
        return rows;
    }
    QString Mark(qint64 row) const { return pane.Model().Text(row, 1); }
    QImage Cell(qint64 row, int col) const {
        return grid->viewport()->grab(CellRect(row, col)).toImage();
    }

    ScriptedMessagesScope messages;
    DuplicatesPane pane;
    ResultsGrid* grid = nullptr;
};

TEST_F(Grid, ClicksMarkAndUnmarkWithinTheLastCopyRule) {
    const QString marked = ResultsModel::Marked, unmarked = ResultsModel::Unmarked;
    // Row 2 is the only other unmarked copy of the pair, so the first click is refused.
    const std::pair<qint64, QString> clicks[] = {
        {2, unmarked}, {3, unmarked}, {2, marked}, {3, unmarked}};
    for (const auto& [row, after] : clicks) {
        Click(row, 1);
        EXPECT_EQ(Mark(row), after) << row;
    }
    EXPECT_EQ(messages.Script.Texts(), QStringList({LastCopy, LastCopy}));
    EXPECT_EQ(messages.Script.ShownMessages.front().Kind, MessageService::Icon::Information);

    // Neither the header's mark column nor a file's first column does anything.
    Click(4, 1);
    Click(6, 0);
    EXPECT_EQ(pane.Model().Text(4, 1), u""_s);
    EXPECT_EQ(Mark(6), marked);
    EXPECT_EQ(messages.Script.ShownMessages.size(), 2u);

    // A file an action removed keeps its mark.
    pane.Model().SetFlag(6, ResultsModel::FlagStruck, true);
    Click(6, 1);
    EXPECT_EQ(Mark(6), marked);
    EXPECT_EQ(messages.Script.Texts().last(),
              u"Cannot uncheck the selected file as it has already been deleted"_s);
}

TEST_F(Grid, SpaceTogglesTheHighlightedFileAsAClickWould) {
    Click(6, 2); // moves the highlight, marks nothing
    EXPECT_EQ(pane.Model().HighlightedRow(), 6);
    EXPECT_EQ(Mark(6), ResultsModel::Marked);
    Keys({Qt::Key_Space});
    EXPECT_EQ(Mark(6), ResultsModel::Unmarked);
    Keys({Qt::Key_Space});
    EXPECT_EQ(Mark(6), ResultsModel::Marked);
    EXPECT_EQ(Keys({Qt::Key_Up, Qt::Key_Space}), (std::vector<qint64>{5, 5}));
    EXPECT_EQ(Mark(5), ResultsModel::Unmarked) << "the group's last unmarked file";
    EXPECT_EQ(messages.Script.Texts(), QStringList{LastCopy});
}

// A click on a header's glyph, or Space on a highlighted header, collapses or expands its
// group; a click elsewhere on the header does not.
TEST_F(Grid, TheHeadersGlyphAndSpaceCollapseAndExpandItsGroup) {
    Click(1, 0);
    EXPECT_EQ(pane.Model().Text(1, 0), u"+"_s);
    EXPECT_TRUE(grid->isRowHidden(1));
    EXPECT_TRUE(grid->isRowHidden(2));
    EXPECT_FALSE(grid->isRowHidden(3)) << "the next group's header stays";
    EXPECT_FALSE(grid->isRowHidden(4));
    // The next group's header now sits right under the collapsed one.
    EXPECT_EQ(CellRect(4, 0).top(), CellRect(1, 0).bottom() + 1);

    Keys({Qt::Key_Space});
    EXPECT_EQ(pane.Model().Text(1, 0), u"-"_s);
    for (int r = 0; r < 7; ++r)
        EXPECT_FALSE(grid->isRowHidden(r)) << r;
    Click(4, 2);
    EXPECT_FALSE(grid->isRowHidden(4));
    Keys({Qt::Key_Space});
    EXPECT_TRUE(grid->isRowHidden(4));
    EXPECT_EQ(pane.Model().Text(4, 0), u"+"_s);
    EXPECT_EQ(Mark(5), ResultsModel::Unmarked);
    // On a header Right and "+" unfold, Left and "-" fold, each only one way.
    for (const auto& [key, shown] : {std::pair{Qt::Key_Left, u"+"_s},
                                     {Qt::Key_Right, u"-"_s},
                                     {Qt::Key_Plus, u"-"_s},
                                     {Qt::Key_Minus, u"+"_s}}) {
        Keys({key});
        EXPECT_EQ(pane.Model().Text(4, 0), shown) << key;
        EXPECT_EQ(grid->isRowHidden(4), shown == u"+") << key;
    }
}

TEST_F(Grid, KeysMoveTheHighlightOverTheRowsPeopleSee) {
    Click(1, 2);
    const ResultsModel& m = pane.Model();
    EXPECT_EQ(m.HighlightedRow(), 1);
    EXPECT_EQ(Keys({Qt::Key_Down}), std::vector<qint64>{2});
    EXPECT_EQ(m.PreviousHighlightedRow(), 1);
    EXPECT_EQ(m.CurrentRow(), 2) << "the highlight moves the current row";
    // The whole grid fits on one page.
    EXPECT_EQ(Keys({Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown, Qt::Key_PageUp}),
              (std::vector<qint64>{7, 1, 7, 1}));

    // End stops at the last row that is shown; collapsed rows are skipped.
    Click(4, 0);
    EXPECT_EQ(Keys({Qt::Key_End, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}),
              (std::vector<qint64>{4, 3, 4, 4}));
}

TEST_F(Grid, ARightClickHighlightsItsRowBeforeTheMenuIsAskedFor) {
    QSignalSpy popup(grid, &ResultsGrid::ResultPopupRequested);
    Click(2, 2);
    ui_testing::ClickCell(grid, 6, 3, Qt::RightButton);
    EXPECT_EQ(pane.Model().HighlightedRow(), 6);
    EXPECT_EQ(pane.Model().PreviousHighlightedRow(), 2);
    EXPECT_EQ(pane.Model().CurrentRow(), 6);
    EXPECT_EQ(grid->currentIndex().row(), 5);
    EXPECT_EQ(popup.count(), 1);
    EXPECT_EQ(Mark(6), ResultsModel::Marked) << "a right click never marks";

    pane.Model().ClearRecs();
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, QPoint(20, 10));
    EXPECT_EQ(popup.count(), 1) << "nothing to act on in an empty grid";
    EXPECT_EQ(pane.Model().HighlightedRow(), 0);
}

// Drawing follows the model: strike-through, red and the caption colour change pixels, and
// a header draws its equal neighbours as one cell.
TEST_F(Grid, TheDelegateDrawsWhatTheModelSays) {
    ResultsModel& m = pane.Model();
    const auto hasPixel = [](const QImage& img, auto test) {
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (test(img.pixelColor(x, y)))
                    return true;
        return false;
    };
    const auto reddish = [](const QColor& c) {
        return c.red() > 200 && c.green() < 90 && c.blue() < 90;
    };
    const auto captionBlue = [](const QColor& c) {
        return c.blue() > c.red() + 40 && c.blue() > c.green() + 40;
    };

    // No line between the merged cells of the header; a line between a file's cells.
    const QImage shot = grid->viewport()->grab().toImage();
    const int boundary = CellRect(1, 3).left() - 1;
    const auto edge = [&](qint64 row, int dx) {
        return shot.pixelColor(boundary - dx, CellRect(row, 3).top() + 2);
    };
    EXPECT_EQ(edge(1, 0), edge(1, 6));
    EXPECT_NE(edge(2, 0), edge(2, 6));

    const QImage plain = Cell(3, 2);
    EXPECT_FALSE(hasPixel(plain, reddish));
    m.SetFlag(3, ResultsModel::FlagStruck, true);
    QCoreApplication::processEvents();
    EXPECT_NE(Cell(3, 2), plain) << "strike-through drawn";
    m.SetFlag(3, ResultsModel::FlagRed, true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(hasPixel(Cell(3, 2), reddish));
    EXPECT_FALSE(hasPixel(Cell(2, 2), reddish));
    EXPECT_TRUE(hasPixel(Cell(1, 2), captionBlue)) << "header caption in blue-grey";
    EXPECT_FALSE(hasPixel(Cell(2, 2), captionBlue));
}

// In a light and a dark palette alike: the highlighted row stands out from the others at
// 3:1, coloured text keeps its hue at 3:1 at least, and every other text reads as body text.
TEST(GridColours, EveryPaletteKeepsTheHighlightAndEveryCellReadable) {
    ResultsModel m;
    m.AddHeader(u"a"_s);
    for (int f = 0; f < 4; ++f)
        m.AddRow(f == 0, {u"a"_s, u"/a%1"_s.arg(f), {}, {}, 1, u"N"_s}, {});
    m.UpdateHeadTotal(1, 4);
    m.UpdateHeader(1, u"4"_s);
    m.SetFlag(3, ResultsModel::FlagRed, true);
    m.SetFlag(4, ResultsModel::FlagStruck, true);
    m.SetFlag(5, ResultsModel::FlagRed, true);
    m.RowHighlight(5, 1);

    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Button, QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x3a, 0x4a)); // too close to the base
    dark.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    light.setColor(QPalette::Button, QColor(0xef, 0xef, 0xef));
    light.setColor(QPalette::ButtonText, Qt::black);
    light.setColor(QPalette::Highlight, QColor(0xcc, 0xe4, 0xf7)); // pale, as some themes have
    light.setColor(QPalette::HighlightedText, Qt::black);
    ASSERT_TRUE(ResultsDelegate::IsDark(dark));
    ASSERT_FALSE(ResultsDelegate::IsDark(light));
    for (const QPalette& p : {light, dark}) {
        SCOPED_TRACE(ResultsDelegate::IsDark(p) ? "dark" : "light");
        const QColor rows = ResultsDelegate::CellColours(p, m.index(1, 2)).Back;
        for (int row = 1; row <= m.RowCount(); ++row) {
            for (int col = 0; col < ResultsModel::ColumnCount; ++col) {
                const auto c = ResultsDelegate::CellColours(p, m.index(row - 1, col));
                EXPECT_GE(ResultsDelegate::Contrast(c.Text, c.Back), 3.0) << row << "," << col;
                if (row == 5)
                    EXPECT_GE(ResultsDelegate::Contrast(c.Back, rows), 3.0) << col;
                else
                    EXPECT_EQ(c.Back, rows) << row << "," << col;
            }
        }
        EXPECT_GE(
            ResultsDelegate::Contrast(ResultsDelegate::CellColours(p, m.index(1, 2)).Text, rows),
            4.5);
        const auto red = ResultsDelegate::CellColours(p, m.index(2, 2));
        EXPECT_GT(red.Text.red(), 2 * red.Text.green()) << "red stays red";
        for (int col = 0; col < ResultsModel::ColumnCount; ++col) {
            const auto h = ResultsDelegate::HeaderColours(p, &m, col);
            EXPECT_GE(ResultsDelegate::Contrast(h.Text, h.Back), 3.0) << col;
        }
    }
    // The path is all there for a hover, where the cell shows its middle elided.
    EXPECT_EQ(m.data(m.index(2, 3), Qt::ToolTipRole).toString(), u"/a1"_s);
    EXPECT_FALSE(m.data(m.index(0, 3), Qt::ToolTipRole).isValid());
}

TEST_F(Grid, CellsCanBeFoundByAssistiveTechnology) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    EXPECT_EQ(table->text(QAccessible::Name), u"Duplicates List"_s);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 7);
    EXPECT_EQ(cells->columnCount(), ResultsModel::ColumnCount);
    EXPECT_EQ(cells->columnDescription(3), u"Path"_s);
    EXPECT_EQ(cells->cellAt(1, 3)->text(QAccessible::Name), u"/data/0/pair.txt"_s);
    EXPECT_EQ(cells->cellAt(2, 1)->text(QAccessible::Name), ResultsModel::Marked);
    EXPECT_TRUE(cells->cellAt(2, 1)->state().checked);
    EXPECT_FALSE(cells->cellAt(1, 1)->state().checked);
}

} // namespace
