#include "TestSupport.h"

#include "actions/ResultsModel.h"

namespace {

using testing_support::ScriptedMessages;

// Two groups as the grouping pass hands them over: three files, then two.
void FillTwoGroups(ResultsModel& m) {
    const qint64 h1 = m.AddHeader(QStringLiteral("a.txt"));
    m.AddRow(true, QStringLiteral("a.txt"), QStringLiteral("/d1/a.txt"), QStringLiteral("c1"),
             QStringLiteral("m1"), 10, QStringLiteral("N"), QStringLiteral("v"),
             QStringLiteral("CRC"), QStringLiteral("MD5"));
    m.AddRow(false, QStringLiteral("a.txt"), QStringLiteral("/d2/a.txt"), {}, {}, 10, {}, {}, {},
             {});
    m.AddRow(false, QStringLiteral("a.txt"), QStringLiteral("/d3/a.txt"), {}, {}, 10, {}, {}, {},
             {});
    m.UpdateHeadTotal(h1, 30);
    m.UpdateHeader(h1, QStringLiteral("3"));
    const qint64 h2 = m.AddHeader(QStringLiteral("b.bin"));
    m.AddRow(true, QStringLiteral("b.bin"), QStringLiteral("/d1/b.bin"), {}, {}, 0, {}, {}, {}, {});
    m.AddRow(false, QStringLiteral("b.bin"), QStringLiteral("/d2/b.bin"), {}, {}, 0, {}, {}, {},
             {});
    m.UpdateHeadTotal(h2, 0);
    m.UpdateHeader(h2, QStringLiteral("2"));
}

TEST(ResultsModel, SinkFillsRowsAsTheGridShowsThem) {
    ResultsModel m;
    m.ClearRecs();
    FillTwoGroups(m);
    ASSERT_EQ(m.RowCount(), 7);
    EXPECT_EQ(m.rowCount(), 7);
    EXPECT_EQ(m.Text(0, 2), QStringLiteral("File Name"));
    EXPECT_EQ(m.Text(0, 8), QStringLiteral("CRC32"));

    const QStringList header = {QStringLiteral("-"),
                                QString(),
                                QStringLiteral("a.txt   (3 copies)"),
                                QStringLiteral("a.txt   (3 copies)"),
                                QStringLiteral("30 bytes"),
                                {},
                                {},
                                {},
                                {},
                                {}};
    for (int c = 0; c < ResultsModel::ColumnCount; ++c)
        EXPECT_EQ(m.Text(1, c), header[c]) << c;
    const QStringList first = {{},
                               QStringLiteral("[  ]"),
                               QStringLiteral("a.txt"),
                               QStringLiteral("/d1/a.txt"),
                               QStringLiteral("10 bytes"),
                               QStringLiteral("c1"),
                               QStringLiteral("m1"),
                               QStringLiteral("N"),
                               QStringLiteral("CRC"),
                               QStringLiteral("MD5")};
    for (int c = 0; c < ResultsModel::ColumnCount; ++c)
        EXPECT_EQ(m.Text(2, c), first[c]) << c;
    EXPECT_EQ(m.Text(3, 1), QStringLiteral("[X]"));
    EXPECT_EQ(m.Text(7, 4), QStringLiteral("0 bytes"));
    EXPECT_EQ(m.Text(5, 4), QStringLiteral("0 bytes")); // the empty group's total
    EXPECT_FALSE(m.Column0Centred());                   // the run ended with a file row

    // The copy count reads back from the caption; a second update appends a second count.
    EXPECT_EQ(ResultsModel::GetGroupFileCount(m.Text(1, 2)), 3);
    m.UpdateHeader(5, QStringLiteral("9"));
    EXPECT_EQ(m.Text(5, 3), QStringLiteral("b.bin   (2 copies)   (9 copies)"));
    EXPECT_EQ(ResultsModel::GetGroupFileCount(m.Text(5, 2)), 9);
    EXPECT_EQ(ResultsModel::GetGroupFileCount(QStringLiteral("no count")), 0);

    // Style roles without QtGui: struck and red only on columns 1 to 9.
    m.SetFlag(3, ResultsModel::FlagStruck, true);
    m.SetFlag(4, ResultsModel::FlagRed, true);
    EXPECT_FALSE(m.data(m.index(2, 0), ResultsModel::StruckRole).toBool());
    EXPECT_TRUE(m.data(m.index(2, 9), ResultsModel::StruckRole).toBool());
    EXPECT_EQ(m.data(m.index(3, 5), ResultsModel::TextColorRole).toUInt(), 0xFF0000u);
    EXPECT_EQ(m.data(m.index(0, 3), ResultsModel::TextColorRole).toUInt(), 0x4B4B91u);
    EXPECT_TRUE(m.data(m.index(0, 2), ResultsModel::BoldRole).toBool());
    EXPECT_TRUE(m.data(m.index(1, 1), ResultsModel::BoldRole).toBool());

    m.ClearRecs();
    EXPECT_EQ(m.RowCount(), 0);
    EXPECT_EQ(m.Text(1, 3), QString());
}

TEST(ResultsModel, MarkingKeepsOneUnmarkedFilePerGroup) {
    ResultsModel m;
    FillTwoGroups(m);
    ScriptedMessages messages;
    const QString refused = QStringLiteral(
        "Cannot mark all files as duplicates. At least one file should be unchecked");

    // Group b.bin: first kept, second marked; marking the first is refused.
    EXPECT_EQ(m.Click(6, 1, messages), ResultsModel::ClickOutcome::RefusedLastCopy);
    EXPECT_EQ(m.Text(6, 1), ResultsModel::Unmarked);
    EXPECT_EQ(messages.Texts(), QStringList{refused});
    // Unmark the second, mark the first: allowed; marking the second again: refused.
    EXPECT_EQ(m.Click(7, 1, messages), ResultsModel::ClickOutcome::Unmarked);
    EXPECT_EQ(m.Click(6, 1, messages), ResultsModel::ClickOutcome::Marked);
    EXPECT_EQ(m.Click(7, 1, messages), ResultsModel::ClickOutcome::RefusedLastCopy);
    EXPECT_EQ(m.Text(7, 1), ResultsModel::Unmarked);

    // The rule looks only at the row's own group: the first group's files do not count.
    EXPECT_FALSE(m.ValidateSelection(2));
    m.SetText(3, 1, ResultsModel::Unmarked);
    EXPECT_TRUE(m.ValidateSelection(2));

    // A removed file cannot be unmarked.
    m.SetFlag(4, ResultsModel::FlagStruck, true);
    messages.ShownMessages.clear();
    EXPECT_EQ(m.Click(4, 1, messages), ResultsModel::ClickOutcome::RefusedDeleted);
    EXPECT_EQ(m.Text(4, 1), ResultsModel::Marked);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral(
                  "Cannot uncheck the selected file as it has already been deleted")});

    // Column 1 of a header and column 0 of a file row do nothing.
    EXPECT_EQ(m.Click(1, 1, messages), ResultsModel::ClickOutcome::Nothing);
    EXPECT_EQ(m.Click(2, 0, messages), ResultsModel::ClickOutcome::Nothing);
    EXPECT_EQ(m.Text(2, 1), ResultsModel::Unmarked);
}

TEST(ResultsModel, CollapseHidesExactlyTheGroupsFileRows) {
    ResultsModel m;
    FillTwoGroups(m);
    ScriptedMessages messages;
    EXPECT_EQ(m.Click(1, 0, messages), ResultsModel::ClickOutcome::Toggled);
    EXPECT_EQ(m.Text(1, 0), QStringLiteral("+"));
    EXPECT_EQ(m.data(m.index(0, 0), ResultsModel::FontSizeRole).toInt(), 10);
    for (qint64 r = 2; r <= 4; ++r)
        EXPECT_TRUE(m.IsHidden(r)) << r;
    EXPECT_FALSE(m.IsHidden(5));
    EXPECT_FALSE(m.IsHidden(6));

    // The last group collapses to the end of the rows.
    m.CollExpRows(5);
    EXPECT_TRUE(m.IsHidden(6));
    EXPECT_TRUE(m.IsHidden(7));

    // Expanding the first group stops at the first visible row (the next header).
    m.CollExpRows(1);
    EXPECT_EQ(m.Text(1, 0), QStringLiteral("-"));
    for (qint64 r = 2; r <= 4; ++r)
        EXPECT_FALSE(m.IsHidden(r)) << r;
    EXPECT_TRUE(m.IsHidden(6));
    EXPECT_EQ(m.CurrentRow(), 1);
    EXPECT_EQ(m.CurrentCol(), 0);
}

TEST(ResultsModel, HighlightMovesOnlyOnAnotherRow) {
    ResultsModel m;
    FillTwoGroups(m);
    EXPECT_TRUE(m.RowHighlight(3, 2));
    EXPECT_FALSE(m.RowHighlight(3, 5));
    EXPECT_EQ(m.HighlightedCol(), 2);
    EXPECT_TRUE(m.RowHighlight(6, 1));
    EXPECT_EQ(m.PreviousHighlightedRow(), 3);
    EXPECT_EQ(m.CurrentRow(), 6);
    EXPECT_TRUE(m.data(m.index(5, 4), ResultsModel::HighlightedRole).toBool());
    EXPECT_FALSE(m.data(m.index(2, 4), ResultsModel::HighlightedRole).toBool());
}

TEST(ResultsModel, HoldsHalfAMillionRows) {
    ResultsModel m;
    m.SetRedraw(false);
    const qint64 groups = 125000;
    for (qint64 g = 0; g < groups; ++g) {
        const QString name = QStringLiteral("file-%1.dat").arg(g);
        const qint64 h = m.AddHeader(name);
        for (int f = 0; f < 3; ++f)
            m.AddRow(f == 0, name, QStringLiteral("/data/folder-%1/%2").arg(f).arg(name),
                     QStringLiteral("2024-01-02 03:04:05"), QStringLiteral("2024-01-02 03:04:05"),
                     4096, QStringLiteral("N"), {}, QStringLiteral("DEADBEEF"),
                     QStringLiteral("0123456789abcdef0123456789abcdef"));
        m.UpdateHeadTotal(h, 3 * 4096);
        m.UpdateHeader(h, QStringLiteral("3"));
    }
    EXPECT_EQ(m.rowCount(), 0); // views wait for redraw
    m.SetRedraw(true);
    ASSERT_EQ(m.RowCount(), groups * 4);
    EXPECT_EQ(m.rowCount(), int(groups * 4));
    const qint64 last = m.RowCount();
    EXPECT_EQ(m.Text(last, 3), QStringLiteral("/data/folder-2/file-124999.dat"));
    EXPECT_EQ(m.Text(last - 3, 2), QStringLiteral("file-124999.dat   (3 copies)"));
    EXPECT_EQ(m.GroupHeaderOf(last), last - 3);
}

} // namespace
