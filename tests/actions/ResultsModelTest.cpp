#include "TestSupport.h"

#include "actions/ResultsModel.h"
#include "app/PathCodec.h"

#include <tuple>

namespace {

using namespace Qt::StringLiterals;
using testing_support::ScriptedMessages;
using Click = ResultsModel::ClickOutcome;

// Two groups as the grouping pass hands them over: three files, then two.
void FillTwoGroups(ResultsModel& m) {
    for (const auto& [name, size, copies] : {std::tuple{"a.txt", 10, 3}, {"b.bin", 0, 2}}) {
        const QString file = QString::fromLatin1(name);
        const qint64 header = m.AddHeader(file);
        for (int i = 1; i <= copies; ++i)
            m.AddRow(
                i == 1,
                {file, u"/d%1/"_s.arg(i) + file, u"c"_s, u"m"_s, size, u"N"_s, u"CRC"_s, u"MD5"_s},
                {quint64(copies), quint64(i), qint64(size)});
        m.UpdateHeadTotal(header, size * copies);
        m.UpdateHeader(header, QString::number(copies));
    }
}

QString RowText(const ResultsModel& m, qint64 row) {
    QStringList cells;
    for (int c = 0; c < ResultsModel::ColumnCount; ++c)
        cells << m.Text(row, c);
    return cells.join(u'|');
}

// The row keeps the exact name for the actions and gives the view its readable form; the
// identity rides along unseen, through later edits of the row.
TEST(ResultsModel, SinkFillsRowsAsTheGridShowsThemAndKeepsExactPathsAndIdentities) {
    ResultsModel m;
    FillTwoGroups(m);
    ASSERT_EQ(m.RowCount(), 7);
    EXPECT_EQ(RowText(m, 1), u"-||a.txt   (3 copies)|a.txt   (3 copies)|30 bytes|||||"_s);
    EXPECT_EQ(RowText(m, 2), u"|[  ]|a.txt|/d1/a.txt|10 bytes|c|m|N|CRC|MD5"_s);
    EXPECT_EQ(RowText(m, 3), u"|[X]|a.txt|/d2/a.txt|10 bytes|c|m|N|CRC|MD5"_s);
    EXPECT_EQ(ResultsModel::GetGroupFileCount(m.Text(5, 2)), 2);
    EXPECT_EQ(ResultsModel::GetGroupFileCount(u"no count"_s), 0);

    const QString raw = PathCodec::Decode(QByteArray("/d/caf\xe9\nx.txt"));
    const QString lookAlike = PathCodec::Decode(QByteArray("/d/caf\xe8\nx.txt"));
    m.AddHeader(raw);
    m.AddRow(true, {raw, raw, {}, {}, 1}, {1, 2, 3});
    m.AddRow(false, {lookAlike, lookAlike, {}, {}, 1}, {1, 5, 6});
    EXPECT_EQ(m.Text(9, 3), raw);
    EXPECT_EQ(m.data(m.index(8, 3)).toString(), u"/d/caf\\xE9\\u000Ax.txt"_s);
    EXPECT_EQ(m.data(m.index(9, 3)).toString(), u"/d/caf\\xE8\\u000Ax.txt"_s);
    m.SetText(10, 1, ResultsModel::Unmarked);
    EXPECT_EQ(m.Identity(10), (FileIdentity{1, 5, 6}));
    EXPECT_EQ(m.Text(10, 3), lookAlike);
    EXPECT_FALSE(m.Identity(8).Known()); // a header stands for no file
}

TEST(ResultsModel, MarkingKeepsOneUnmarkedFilePerGroup) {
    ResultsModel m;
    FillTwoGroups(m);
    ScriptedMessages messages;
    // Group b.bin: first kept, second marked; marking the first is refused.
    EXPECT_EQ(m.Click(6, 1, messages), Click::RefusedLastCopy);
    EXPECT_EQ(m.Text(6, 1), ResultsModel::Unmarked);
    EXPECT_EQ(messages.Texts(),
              QStringList{
                  u"Cannot mark all files as duplicates. At least one file should be unchecked"_s});
    EXPECT_EQ(m.Click(7, 1, messages), Click::Unmarked);
    EXPECT_EQ(m.Click(6, 1, messages), Click::Marked);

    // Only the row's own group counts.
    EXPECT_FALSE(m.ValidateSelection(2));
    m.SetText(3, 1, ResultsModel::Unmarked);
    EXPECT_TRUE(m.ValidateSelection(2));

    // A removed file cannot be unmarked.
    m.SetFlag(4, ResultsModel::FlagStruck, true);
    EXPECT_EQ(m.Click(4, 1, messages), Click::RefusedDeleted);
    EXPECT_EQ(m.Text(4, 1), ResultsModel::Marked);
}

TEST(ResultsModel, CollapseHidesExactlyTheGroupsFileRows) {
    ResultsModel m;
    FillTwoGroups(m);
    ScriptedMessages messages;
    const auto hidden = [&m] {
        QString flags;
        for (qint64 r = 1; r <= m.RowCount(); ++r)
            flags += m.IsHidden(r) ? u'h' : u'.';
        return flags;
    };
    EXPECT_EQ(m.Click(1, 0, messages), Click::Toggled);
    EXPECT_EQ(m.Text(1, 0), u"+"_s);
    m.CollExpRows(5); // the last group collapses to the end of the rows
    EXPECT_EQ(hidden(), u".hhh.hh"_s);
    // Expanding stops at the next header.
    m.CollExpRows(1);
    EXPECT_EQ(m.Text(1, 0), u"-"_s);
    EXPECT_EQ(hidden(), u".....hh"_s);
}

} // namespace
