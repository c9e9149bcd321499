// The results grid as a person uses it: clicks and keys on a shown grid, what it draws,
// and how it reads on a dark desktop.

#include "UiTestSupport.h"

#include "ui/DuplicatesPane.h"
#include "ui/ResultsDelegate.h"
#include "ui/ResultsGrid.h"

#include "actions/ResultsModel.h"

#include <QAccessible>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using ui_testing::ScriptedMessagesScope;

namespace {

const QString LastCopy =
    u"Cannot mark all files as duplicates. At least one file should be unchecked"_s;
const QString Deleted = u"Cannot uncheck the selected file as it has already been deleted"_s;

// Rows: 1 header "pair.txt", 2 (unmarked) and 3 (marked) its files; 4 header "trio.txt",
// 5 (unmarked), 6 and 7 (marked) its files.
class Grid : public ::testing::Test {
protected:
    void SetUp() override {
        ResultsModel& m = pane.Model();
        m.SetRedraw(false);
        m.ClearRecs();
        AddGroup(u"pair.txt"_s, 2);
        AddGroup(u"trio.txt"_s, 3);
        m.SetRedraw(true);
        pane.resize(1000, 400);
        pane.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
        grid = pane.Grid();
    }

    void AddGroup(const QString& name, int files) {
        ResultsModel& m = pane.Model();
        const qint64 header = m.AddHeader(name);
        for (int f = 0; f < files; ++f)
            m.AddRow(f == 0,
                     {name, u"/data/%1/%2"_s.arg(f).arg(name), u"2026-01-01 10:00:00"_s,
                      u"2026-01-02 10:00:00"_s, 7, u"N"_s, u"0A1B2C3D"_s},
                     {});
        m.UpdateHeadTotal(header, 7 * files);
        m.UpdateHeader(header, QString::number(files));
    }

    QRect CellRect(qint64 row, int col) const {
        return grid->visualRect(grid->model()->index(int(row - 1), col));
    }
    void ClickCell(qint64 row, int col) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellRect(row, col).center());
    }
    void Key(Qt::Key key) { QTest::keyClick(grid, key); }
    QString Mark(qint64 row) const { return pane.Model().Text(row, 1); }
    QImage Cell(qint64 row, int col) const {
        return grid->viewport()->grab(CellRect(row, col)).toImage();
    }

    ScriptedMessagesScope messages;
    DuplicatesPane pane;
    ResultsGrid* grid = nullptr;
};

TEST_F(Grid, ClicksMarkAndUnmarkWithinTheLastCopyRule) {
    ClickCell(2, 1); // the only other unmarked copy of the pair
    EXPECT_EQ(Mark(2), ResultsModel::Unmarked);
    ClickCell(3, 1);
    EXPECT_EQ(Mark(3), ResultsModel::Unmarked);
    ClickCell(2, 1);
    EXPECT_EQ(Mark(2), ResultsModel::Marked);
    ClickCell(3, 1);
    EXPECT_EQ(Mark(3), ResultsModel::Unmarked);
    EXPECT_EQ(messages.Script.Texts(), QStringList({LastCopy, LastCopy}));
    EXPECT_EQ(messages.Script.ShownMessages.front().Kind, MessageService::Icon::Information);

    // Neither the header's mark column nor a file's first column does anything.
    ClickCell(4, 1);
    ClickCell(6, 0);
    EXPECT_EQ(pane.Model().Text(4, 1), u""_s);
    EXPECT_EQ(Mark(6), ResultsModel::Marked);
    EXPECT_EQ(messages.Script.ShownMessages.size(), 2u);
}

TEST_F(Grid, AFileAnActionRemovedKeepsItsMark) {
    pane.Model().SetFlag(3, ResultsModel::FlagStruck, true);
    ClickCell(3, 1);
    EXPECT_EQ(Mark(3), ResultsModel::Marked);
    EXPECT_EQ(messages.Script.Texts(), QStringList{Deleted});
}

TEST_F(Grid, SpaceTogglesTheHighlightedFileUnderTheClickRules) {
    ClickCell(6, 2); // moves the highlight, marks nothing
    EXPECT_EQ(pane.Model().HighlightedRow(), 6);
    EXPECT_EQ(Mark(6), ResultsModel::Marked);
    Key(Qt::Key_Space);
    EXPECT_EQ(Mark(6), ResultsModel::Unmarked);
    Key(Qt::Key_Space);
    EXPECT_EQ(Mark(6), ResultsModel::Marked);
    Key(Qt::Key_Up);
    EXPECT_EQ(pane.Model().HighlightedRow(), 5);
    Key(Qt::Key_Space); // the group's last unmarked file
    EXPECT_EQ(Mark(5), ResultsModel::Unmarked);
    EXPECT_EQ(messages.Script.Texts(), QStringList{LastCopy});

    // On a group header Space does what a click on its glyph does.
    Key(Qt::Key_Up);
    Key(Qt::Key_Space);
    EXPECT_EQ(pane.Model().Text(4, 0), u"+"_s);
    EXPECT_TRUE(grid->isRowHidden(4));
    Key(Qt::Key_Space);
    EXPECT_FALSE(grid->isRowHidden(4));
    EXPECT_EQ(Mark(5), ResultsModel::Unmarked);
}

TEST_F(Grid, TheHeadersFirstColumnCollapsesAndExpandsItsGroup) {
    ClickCell(1, 0);
    EXPECT_EQ(pane.Model().Text(1, 0), u"+"_s);
    EXPECT_TRUE(grid->isRowHidden(1));
    EXPECT_TRUE(grid->isRowHidden(2));
    EXPECT_FALSE(grid->isRowHidden(3)) << "the next group's header stays";
    EXPECT_FALSE(grid->isRowHidden(4));
    // The next group's header now sits right under the collapsed one.
    EXPECT_EQ(CellRect(4, 0).top(), CellRect(1, 0).bottom() + 1);

    ClickCell(1, 0);
    EXPECT_EQ(pane.Model().Text(1, 0), u"-"_s);
    for (int r = 0; r < 7; ++r)
        EXPECT_FALSE(grid->isRowHidden(r)) << r;
    // Clicking elsewhere on a header row leaves the group as it is.
    ClickCell(4, 2);
    EXPECT_FALSE(grid->isRowHidden(4));
}

TEST_F(Grid, KeysMoveTheHighlightOverTheRowsPeopleSee) {
    ClickCell(1, 2);
    const ResultsModel& m = pane.Model();
    EXPECT_EQ(m.HighlightedRow(), 1);
    Key(Qt::Key_Down);
    EXPECT_EQ(m.HighlightedRow(), 2);
    EXPECT_EQ(m.PreviousHighlightedRow(), 1);
    EXPECT_EQ(m.CurrentRow(), 2) << "the highlight moves the current row";
    Key(Qt::Key_End);
    EXPECT_EQ(m.HighlightedRow(), 7);
    Key(Qt::Key_Home);
    EXPECT_EQ(m.HighlightedRow(), 1);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(m.HighlightedRow(), 7) << "the whole grid fits on one page";
    Key(Qt::Key_PageUp);
    EXPECT_EQ(m.HighlightedRow(), 1);

    ClickCell(4, 0); // collapse the trio
    Key(Qt::Key_End);
    EXPECT_EQ(m.HighlightedRow(), 4) << "End stops at the last row that is shown";
    Key(Qt::Key_Up);
    EXPECT_EQ(m.HighlightedRow(), 3);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(m.HighlightedRow(), 4) << "collapsed rows are skipped";
}

TEST_F(Grid, TheProgramsOwnMovesDoNotHighlight) {
    ResultsModel& m = pane.Model();
    m.SetCurrent(5, 1);
    pane.RowHighlight(u"Key"_s);
    EXPECT_EQ(m.HighlightedRow(), 5);
    EXPECT_EQ(grid->currentIndex().row(), 4);
    // A refill moves the current cell without touching the highlight bookkeeping.
    m.SetRedraw(false);
    m.ClearRecs();
    AddGroup(u"again.txt"_s, 2);
    m.SetRedraw(true);
    m.SetCurrent(1, 1);
    EXPECT_EQ(m.HighlightedRow(), 0);
}

TEST_F(Grid, ARightClickHighlightsItsRowBeforeTheMenuIsAskedFor) {
    QSignalSpy popup(grid, &ResultsGrid::ResultPopupRequested);
    ClickCell(2, 2);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, CellRect(6, 3).center());
    EXPECT_EQ(pane.Model().HighlightedRow(), 6);
    EXPECT_EQ(pane.Model().PreviousHighlightedRow(), 2);
    EXPECT_EQ(pane.Model().CurrentRow(), 6);
    EXPECT_EQ(grid->currentIndex().row(), 5);
    EXPECT_EQ(popup.count(), 1);
    EXPECT_EQ(Mark(6), ResultsModel::Marked) << "a right click never marks";

    ResultsModel& m = pane.Model();
    m.ClearRecs();
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, QPoint(20, 10));
    EXPECT_EQ(popup.count(), 1) << "nothing to act on in an empty grid";
    EXPECT_EQ(m.HighlightedRow(), 0);
}

// Drawing follows the model: strike-through, red and the caption colour change pixels.
TEST_F(Grid, TheDelegateDrawsStrikeRedAndCaptionsFromTheModel) {
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

    const QImage plain = Cell(3, 2);
    EXPECT_FALSE(hasPixel(plain, reddish));
    m.SetFlag(3, ResultsModel::FlagStruck, true);
    QCoreApplication::processEvents();
    const QImage struck = Cell(3, 2);
    EXPECT_NE(struck, plain) << "strike-through drawn";
    m.SetFlag(3, ResultsModel::FlagRed, true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(hasPixel(Cell(3, 2), reddish));
    EXPECT_FALSE(hasPixel(Cell(2, 2), reddish));
    EXPECT_TRUE(hasPixel(Cell(1, 2), captionBlue)) << "header caption in blue-grey";
    EXPECT_FALSE(hasPixel(Cell(2, 2), captionBlue));
}

TEST_F(Grid, AHeaderRowDrawsEqualNeighboursAsOneCell) {
    const QAbstractItemModel* model = grid->model();
    EXPECT_EQ(ResultsDelegate::MergedRun(model->index(0, 2)), std::make_pair(2, 3));
    EXPECT_EQ(ResultsDelegate::MergedRun(model->index(0, 3)), std::make_pair(2, 3));
    EXPECT_EQ(ResultsDelegate::MergedRun(model->index(0, 7)), std::make_pair(5, 9));
    EXPECT_EQ(ResultsDelegate::MergedRun(model->index(0, 4)), std::make_pair(4, 4));
    EXPECT_EQ(ResultsDelegate::MergedRun(model->index(1, 2)), std::make_pair(2, 2))
        << "file rows never merge, even where two cells match";

    // No line between the merged cells of the header; a line between a file's cells.
    const QImage shot = grid->viewport()->grab().toImage();
    const int boundary = CellRect(1, 3).left() - 1;
    const QColor headerEdge = shot.pixelColor(boundary, CellRect(1, 3).top() + 2);
    const QColor fileEdge = shot.pixelColor(boundary, CellRect(2, 3).top() + 2);
    EXPECT_EQ(headerEdge, shot.pixelColor(boundary - 6, CellRect(1, 3).top() + 2));
    EXPECT_NE(fileEdge, shot.pixelColor(boundary - 6, CellRect(2, 3).top() + 2));
}

TEST(GridColours, ADarkPaletteKeepsEveryCellReadable) {
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
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    ASSERT_TRUE(ResultsDelegate::IsDark(dark));
    for (int row = 1; row <= m.RowCount(); ++row) {
        for (int col = 0; col < ResultsModel::ColumnCount; ++col) {
            const auto c = ResultsDelegate::CellColours(dark, m.index(row - 1, col));
            EXPECT_GE(ResultsDelegate::Contrast(c.Text, c.Back), 4.5) << row << "," << col;
            if (row != 5) {
                EXPECT_EQ(c.Back, dark.color(QPalette::Base)) << "no white rows on dark";
            }
        }
    }
    const auto highlighted = ResultsDelegate::CellColours(dark, m.index(4, 2));
    EXPECT_GT(ResultsDelegate::Contrast(highlighted.Back, dark.color(QPalette::Base)), 1.1)
        << "the highlighted row still stands out";
    const auto red = ResultsDelegate::CellColours(dark, m.index(2, 2));
    EXPECT_GT(red.Text.red(), 2 * red.Text.green()) << "red stays red";
    for (int col = 0; col < ResultsModel::ColumnCount; ++col) {
        const auto h = ResultsDelegate::HeaderColours(dark, &m, col);
        EXPECT_GE(ResultsDelegate::Contrast(h.Text, h.Back), 4.5) << col;
    }
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
    QAccessibleInterface* path = cells->cellAt(1, 3);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->text(QAccessible::Name), u"/data/0/pair.txt"_s);
    EXPECT_EQ(cells->cellAt(2, 1)->text(QAccessible::Name), ResultsModel::Marked);
}

} // namespace
