#include "TestSupport.h"

#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "app/PathCodec.h"

namespace {

using namespace Qt::StringLiterals;
using Sort = ResultsModel::GroupSort;

// Groups as the grouping pass hands them over: name, size of each file, and the folders
// of its copies.
struct Group {
    const char* Name;
    qint64 Size;
    QStringList Folders;
};

void Fill(ResultsModel& m, std::initializer_list<Group> groups) {
    for (const Group& g : groups) {
        const QString name = QString::fromUtf8(g.Name);
        const qint64 header = m.AddHeader(name);
        for (int i = 0; i < g.Folders.size(); ++i)
            m.AddRow(i == 0, {name, g.Folders[i] + u'/' + name, {}, {}, g.Size}, {1, 1, 1});
        m.UpdateHeadTotal(header, g.Size * g.Folders.size());
        m.UpdateHeader(header, QString::number(g.Folders.size()));
    }
}

// The files of the shown rows, as the view sees them: "name@folder" for file rows, the
// caption for headers.
QStringList Shown(const ResultsModel& m) {
    QStringList rows;
    for (int q = 0; q < m.rowCount(); ++q) {
        const qint64 row = m.GridRow(q);
        EXPECT_EQ(m.QtRow(row), q);
        rows << (m.IsGroupHeader(row) ? m.Text(row, 2) : m.Text(row, 1) + m.Text(row, 3));
    }
    return rows;
}

void FillThree(ResultsModel& m) {
    Fill(m, {{"song.mp3", 100, {u"/home/ann/Music"_s, u"/mnt/Backup/music"_s}},
             {"café.txt", 5, {u"/home/ann/docs"_s, u"/home/bob"_s, u"/tmp"_s}},
             {"big.iso", 700, {u"/srv/iso"_s, u"/home/ann/Downloads"_s}}});
}

} // namespace

// The filter keeps the groups with a path that holds the text (any case, any script, or a
// regular expression) whole; the view's rows map both ways to the grid's; marking rules
// pass over the groups left out while the marked totals still count them.
TEST(ReviewModel, FilterShowsWholeMatchingGroupsAndMarkingSkipsTheRest) {
    ResultsModel m;
    FillThree(m);
    EXPECT_EQ(m.GroupCount(), 3);
    ASSERT_TRUE(m.SetFilter(u"BACKUP"_s, false));
    EXPECT_EQ(m.ShownGroupCount(), 1);
    EXPECT_EQ(Shown(m), (QStringList{u"song.mp3   (2 copies)"_s, u"[  ]/home/ann/Music/song.mp3"_s,
                                     u"[X]/mnt/Backup/music/song.mp3"_s}));
    EXPECT_EQ(m.QtRow(5), -1) << "a row of a group left out is not in the view";
    EXPECT_EQ(m.data(m.index(1, 3)).toString(), u"/home/ann/Music/song.mp3"_s);

    EXPECT_TRUE(m.SetFilter(u"CAFÉ"_s, false));
    EXPECT_EQ(m.ShownGroupCount(), 1);
    EXPECT_TRUE(m.SetFilter(u"^/srv/.*\\.ISO$"_s, true));
    EXPECT_EQ(Shown(m).value(0), u"big.iso   (2 copies)"_s);
    EXPECT_FALSE(m.SetFilter(u"(unclosed"_s, true));
    EXPECT_EQ(m.ShownGroupCount(), 3) << "an invalid expression hides nothing";

    // Keep the newest of each shown group: the hidden groups' marks stay as they were.
    m.SetFilter(u"/home/ann"_s, false);
    EXPECT_EQ(m.ShownGroupCount(), 3);
    m.SetFilter(u"docs"_s, false);
    MarkRules::Request unmarkAll{MarkRules::Rule::UnmarkUnder, u"/"_s, {}, {}};
    MarkRules::Request markAll{MarkRules::Rule::MarkUnder, u"/tmp"_s, {}, {}};
    MarkRules::Apply(m, markAll);
    MarkRules::Apply(m, unmarkAll);
    m.SetFilter(QString(), false);
    EXPECT_EQ(m.rowCount(), int(m.RowCount()));
    EXPECT_EQ(m.Text(6, 1), u"[  ]"_s) << "the shown group's marks changed";
    EXPECT_EQ(m.Text(3, 1), u"[X]"_s) << "the hidden group's marks did not";
    m.SetFilter(u"docs"_s, false);
    EXPECT_EQ(m.HiddenMarks().Files, 2);
    EXPECT_EQ(m.HiddenMarks().Bytes, 800);
    EXPECT_EQ(m.Marks().Files, 2);
}

// Sorting moves whole groups and keeps each group's files in their order; equal keys keep
// the scan's order; "original" puts everything back; the filter and the highlighted file
// go along.
TEST(ReviewModel, SortingMovesWholeGroupsAndOriginalOrderComesBack) {
    ResultsModel m;
    FillThree(m);
    const auto headers = [&m] {
        QStringList names;
        for (qint64 row = 1; row <= m.RowCount(); ++row)
            if (m.IsGroupHeader(row))
                names << m.Text(row, 2).section(u' ', 0, 0);
        return names;
    };
    m.RowHighlight(9, 3); // /srv/iso/big.iso
    m.SortGroups(Sort::Size, true);
    EXPECT_EQ(headers(), (QStringList{u"big.iso"_s, u"song.mp3"_s, u"café.txt"_s}));
    EXPECT_EQ(m.Text(m.HighlightedRow(), 3), u"/srv/iso/big.iso"_s);
    EXPECT_EQ(m.Text(2, 1) + m.Text(3, 1), u"[  ][X]"_s);
    m.SortGroups(Sort::Count, true);
    EXPECT_EQ(headers().value(0), u"café.txt"_s);
    m.SortGroups(Sort::Name, false);
    EXPECT_EQ(headers(), (QStringList{u"big.iso"_s, u"café.txt"_s, u"song.mp3"_s}));
    m.SortGroups(Sort::KeptPath, false);
    EXPECT_EQ(headers(), (QStringList{u"café.txt"_s, u"song.mp3"_s, u"big.iso"_s}));
    m.SetFilter(u"home/bob"_s, false);
    m.SortGroups(Sort::Original, false);
    EXPECT_EQ(headers(), (QStringList{u"song.mp3"_s, u"café.txt"_s, u"big.iso"_s}));
    EXPECT_EQ(m.ShownGroupCount(), 1);
    EXPECT_EQ(m.Text(m.GridRow(1), 3), u"/home/ann/docs/café.txt"_s);
}

// Taken out of the list, a file leaves its group's caption and total right; a group with one
// file left goes whole, as does a header's; the marked totals follow.
TEST(ReviewModel, RemovingFromTheListKeepsGroupsTrue) {
    ResultsModel m;
    FillThree(m);
    ASSERT_EQ(m.Marks().Files, 4);
    m.RemoveFromList({7}); // /tmp/café.txt, marked
    EXPECT_EQ(m.Text(4, 2), u"café.txt   (2 copies)"_s);
    EXPECT_EQ(m.Text(4, 4), u"10 bytes"_s);
    EXPECT_EQ(m.Marks().Files, 3);
    m.RemoveFromList({2}); // the kept song: its copy is no duplicate of anything left
    EXPECT_EQ(m.GroupCount(), 2);
    EXPECT_EQ(m.Text(1, 2), u"café.txt   (2 copies)"_s);
    m.RemoveFromList({4});
    EXPECT_EQ(m.GroupCount(), 1);
    EXPECT_EQ(m.RowCount(), 3);
    EXPECT_EQ(m.Marks().Files, 1);
    EXPECT_EQ(m.Marks().Bytes, 5);
}

// The chosen file moves to the front of its group unmarked and every other copy is marked;
// a file an action already removed cannot become the kept one.
TEST(ReviewModel, MakeKeptMovesTheFileFirstAndMarksTheOthers) {
    ResultsModel m;
    FillThree(m);
    ASSERT_TRUE(m.MakeKept(7));
    EXPECT_EQ(m.Text(5, 1) + m.Text(5, 3), u"[  ]/tmp/café.txt"_s);
    EXPECT_EQ(m.Text(6, 1) + m.Text(6, 3), u"[X]/home/ann/docs/café.txt"_s);
    EXPECT_EQ(m.Text(7, 1) + m.Text(7, 3), u"[X]/home/bob/café.txt"_s);
    EXPECT_EQ(m.Marks().Files, 4);
    m.SetFlag(3, ResultsModel::FlagStruck, true);
    EXPECT_FALSE(m.MakeKept(3));
    EXPECT_FALSE(m.MakeKept(1)) << "a header is no file";
}
