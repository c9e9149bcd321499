#include "ActionsFixture.h"

#include "actions/MarkRules.h"

#include <QRegularExpression>

#include <vector>

namespace {

using namespace Qt::StringLiterals;
using actions_testing::Marks;
using MarkRules::Rule;
using enum MarkRules::Rule;

// Fills the model as a scan does (first file of a group unmarked), then applies the
// starting marks, which may be any the clicks and actions can leave, as Marks() prints
// them. Groups are written " | " between groups and a blank between files; a file is its
// path, then optionally "@" its modified time (1000), "#" its size (10) and "+" its state:
// "s" struck (removed), "r" red.
void Fill(ResultsModel& m, const char* groups, const char* marks = "", bool exactTimes = true) {
    static const QRegularExpression form(u"^([^@#+]+)(?:@(\\d+))?(?:#(\\d+))?(?:\\+([sr]+))?$"_s);
    m.ClearRecs();
    quint64 inode = 1;
    for (const QString& group : QString::fromUtf8(groups).split(u" | "_s)) {
        const QStringList files = group.split(u' ');
        const qint64 header = m.AddHeader(form.match(files[0]).captured(1).section(u'/', -1));
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QRegularExpressionMatch f = form.match(files[i]);
            ASSERT_TRUE(f.hasMatch()) << files[i].toStdString();
            const QString path = f.captured(1);
            const qint64 modified = f.captured(2).isEmpty() ? 1000 : f.captured(2).toLongLong();
            const qint64 size = f.captured(3).isEmpty() ? 10 : f.captured(3).toLongLong();
            m.AddRow(i == 0,
                     {path.section(u'/', -1), path, QString(), modLog::DateTextFromSecs(modified),
                      size, u"N"_s},
                     {1, inode++, 5, exactTimes ? modified : 0});
            for (const QChar state : f.captured(4))
                m.SetFlag(m.RowCount(),
                          state == u's' ? ResultsModel::FlagStruck : ResultsModel::FlagRed, true);
        }
        m.UpdateHeader(header, QString::number(files.size()));
    }
    const QString starting = QString::fromUtf8(marks).remove(u'|');
    for (qint64 row = 1, at = 0; row <= m.RowCount() && !starting.isEmpty(); ++row)
        if (!m.HasEmptyMark(row))
            m.SetMark(row, starting[at++] == u'X');
}

struct Case {
    const char* Name;
    const char* Groups;
    const char* Before; // empty: as the scan marks them
    MarkRules::Request Request;
    const char* After;
    qint64 Spared = 0;
};

MarkRules::Request Ask(Rule rule, const char* folder = "", QStringList prot = {}) {
    return {rule, QString::fromUtf8(folder), QString(), prot};
}
MarkRules::Request Pattern(Rule rule, const char* pattern, QStringList prot = {}) {
    return {rule, QString(), QString::fromUtf8(pattern), prot};
}

const QStringList Prot{u"/prot"_s};

// Marked files and their bytes, as "files/bytes".
QString Totals(const ResultsModel::MarkTotals& t) {
    return u"%1/%2"_s.arg(t.Files).arg(t.Bytes);
}

// Fills a model with each case's groups and marks, applies its rule and compares the marks.
void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ResultsModel m;
        Fill(m, c.Groups, c.Before);
        const MarkRules::Outcome out = MarkRules::Apply(m, c.Request);
        EXPECT_EQ(Marks(m), QString::fromUtf8(c.After));
        EXPECT_EQ(out.Spared, c.Spared);
    }
}

TEST(MarkRules, EachRuleMarksAsItSaysAroundRemovedAndProtectedFiles) {
    Check({
        {"newest", "/a/x@100 /b/x@300 /c/x@200", "", Ask(KeepNewest), "X.X"},
        {"oldest", "/a/x@300 /b/x@300 /c/x@100", "", Ask(KeepOldest), "XX."},
        {"newest tie: the first of the newest", "/a/x@100 /b/x@300 /c/x@300", "", Ask(KeepNewest),
         "X.X"},
        {"newest re-marks what clicks left", "/a/x@300 /b/x@100 /c/x@200", "..X", Ask(KeepNewest),
         ".XX"},
        {"shortest", "/aa/bb/x /a/x /cc/x", "", Ask(KeepShortestPath), "X.X"},
        {"longest", "/a/x /cc/x /aa/bb/x", "", Ask(KeepLongestPath), "XX."},
        // Six characters against five that take seven bytes: the reader's length counts.
        {"shortest counts characters", "/abc/x /\xc3\xa9\xc3\xa9/x", "", Ask(KeepShortestPath),
         "X."},
        {"longest tie: the first", "/ab/x /cd/x", "X.", Ask(KeepLongestPath), ".X"},
        {"first under a folder", "/a/x /keep/1/x /keep/2/x | /a/y /b/y", ".X.|X.",
         Ask(KeepFirstUnder, "/keep"), "X.X|X."},
        {"first under is exact about names", "/keepers/x /keep/x", "",
         Ask(KeepFirstUnder, "/keep/"), "X."},
        {"every group at once", "/a/x@1 /b/x@2 | /a/y@5 /b/y@4 | /a/z@7 /b/z@9", "",
         Ask(KeepNewest), "X.|.X|X."},

        {"mark under a folder", "/a/x /d/x /b/x", "..X", Ask(MarkUnder, "/d"), ".XX"},
        {"unmark under a folder", "/a/x /d/x /d/e/x", "", Ask(UnmarkUnder, "/d"), "..."},
        {"mark never takes the last copy", "/a/x /d/x", "", Ask(MarkUnder, "/a"), ".X", 1},
        {"all under the folder: the first stays", "/d/a/x /d/b/x /d/c/x", "...",
         Ask(MarkUnder, "/d"), ".XX", 1},
        {"all under the folder: the one unmarked before stays", "/d/a/x /d/b/x /d/c/x", "X.X",
         Ask(MarkUnder, "/d"), "X.X", 1},
        {"mark leaves groups without such files alone", "/a/x /b/x", "..", Ask(MarkUnder, "/d"),
         ".."},
        {"mark matching names, any case", "/a/p.JPG /b/p.JPG | /a/q.png /b/q.png", "..|..",
         Pattern(MarkMatching, " *.jpg "), ".X|..", 1},
        {"unmark matching names", "/a/x1 /b/x2 /c/y", "", Pattern(UnmarkMatching, "x?"), "..X"},
        {"an empty pattern names nothing", "/a/x /b/x", "..", Pattern(MarkMatching, "  "), ".."},

        // Removed files keep their mark and are never the kept copy.
        {"the newest was removed", "/a/x@900+s /b/x@500 /c/x@100", "XX.", Ask(KeepNewest), "X.X"},
        {"the oldest was removed", "/a/x@100+s /b/x@500 /c/x@300", "X.X", Ask(KeepOldest), "XX."},
        // A list read back may hold a removed file without a mark: it stays so, and is
        // not the copy that keeps the group.
        {"an unmarked removed file is no kept copy", "/d/x@1+s /d/y /e/x", ".X.",
         Ask(MarkUnder, "/e"), ".X.", 1},
        {"unmark passes removed files", "/d/x@1+s /d/y", "XX", Ask(UnmarkUnder, "/d"), "X."},
        {"a group all removed stays as it is", "/a/x@1+s /b/x@2+s", "XX", Ask(KeepNewest), "XX"},
        {"a red file is kept only when nothing else is left",
         "/a/x@900+r /b/x@100 | /a/y@900+r /b/y@100+s", ".X|XX", Ask(KeepNewest), "X.|.X"},

        // A file under a protected folder is the one kept.
        {"newest gives way to protected", "/a/x@900 /prot/x@100 /b/x@500", "",
         Ask(KeepNewest, "", Prot), "X.X"},
        {"shortest gives way to protected", "/a/x /prot/deep/x", "",
         Ask(KeepShortestPath, "", Prot), "X."},
        {"between two protected the rule decides", "/prot/1/x@100 /prot/2/x@900 /a/x@950", "",
         Ask(KeepNewest, "", Prot), "X.X"},
        {"a removed protected file is not kept", "/prot/x@900+s /a/x@100", "XX",
         Ask(KeepNewest, "", Prot), "X."},
        // The person named the folder to keep; a protected copy is never removed anyway.
        {"first under: the chosen folder before protected", "/prot/x /keep/x", "",
         Ask(KeepFirstUnder, "/keep", Prot), "X."},
        // Marking everything under a folder that holds the only other copy: the copy that
        // stays unmarked is the protected one, where the later removal would skip it.
        {"the last copy left is the protected one", "/d/a/x /d/prot/x", "..",
         Ask(MarkUnder, "/d", {u"/d/prot"_s}), "X.", 1},
        {"protected before the one unmarked earlier", "/d/x /prot/d/x", ".X",
         Pattern(MarkMatching, "x", Prot), "X.", 1},
    });
}

TEST(MarkRules, AgeComesFromTheScanAndFromTheShownTimeOtherwise) {
    // Where the clocks went back, the later file can show the earlier time; the times the
    // scan carried still order them. Without them the shown time decides.
    ResultsModel m;
    m.AddHeader(u"x"_s);
    m.AddRow(true, {u"x"_s, u"/a/x"_s, QString(), u"2026-10-25 02:30:00"_s, 1}, {1, 1, 1, 1000});
    m.AddRow(false, {u"x"_s, u"/b/x"_s, QString(), u"2026-10-25 02:10:00"_s, 1}, {1, 2, 1, 4000});
    MarkRules::Apply(m, Ask(KeepNewest));
    EXPECT_EQ(Marks(m), u"X."_s);

    Fill(m, "/a/x@1800000000 /b/x@1700000000 /c/x@1750000000", "", false);
    MarkRules::Apply(m, Ask(KeepOldest));
    EXPECT_EQ(Marks(m), u"X.X"_s);
    MarkRules::Apply(m, Ask(KeepNewest));
    EXPECT_EQ(Marks(m), u".XX"_s);
}

TEST(MarkRules, RangeMarkingKeepsACopyPerGroupAndPassesCollapsedRows) {
    ResultsModel m;
    // Rows: 1 header, 2-4 files; 5 header, 6-7 files; 8 header, 9-10 files.
    Fill(m, "/a/x /b/x /c/x | /a/y /b/y | /a/z /b/z", "...|..|..");
    m.CollExpRows(8);
    // From the middle of the first group to the end, backwards.
    MarkRules::Outcome out = MarkRules::MarkRange(m, 10, 3, {});
    EXPECT_EQ(Marks(m), u".XX|.X|.."_s);
    EXPECT_EQ(out.Spared, 1); // the second group lay wholly in the range
    EXPECT_EQ(out.Changed, 3);

    m.CollExpRows(8);
    out = MarkRules::MarkRange(m, 9, 9, {});
    EXPECT_EQ(Marks(m), u".XX|.X|X."_s);
    out = MarkRules::MarkRange(m, 0, 100, {});
    EXPECT_EQ(Marks(m), u".XX|.X|X."_s);
    EXPECT_EQ(out.Changed, 0);
}

TEST(MarkRules, TotalsFollowEveryChangeAndViewsHearOnce) {
    ResultsModel m;
    Fill(m, "/a/x@1#1000 /b/x@2#1000 /c/x@3#1000 | /a/y@1#7 /b/y@2#5");
    EXPECT_EQ(Totals(m.Marks()), u"3/2005"_s);

    int marksChanged = 0, dataChanged = 0;
    QObject::connect(&m, &ResultsModel::MarksChanged, [&] { ++marksChanged; });
    QObject::connect(&m, &QAbstractItemModel::dataChanged, [&] { ++dataChanged; });
    // Name-only groups differ in size: keeping the newest frees another amount.
    const MarkRules::Outcome out = MarkRules::Apply(m, Ask(KeepNewest));
    EXPECT_EQ(Marks(m), u"XX.|X."_s);
    EXPECT_EQ(std::tuple(out.Groups, out.Changed, Totals(out.Marked)),
              std::tuple(2, 4, u"3/2007"_s));
    EXPECT_EQ(std::pair(marksChanged, dataChanged), std::pair(1, 1));

    // A file an action removed frees nothing more; a click counts at once.
    m.SetFlag(2, ResultsModel::FlagStruck, true);
    EXPECT_EQ(m.Marks().Bytes, 1007);
    testing_support::ScriptedMessages messages;
    m.Click(6, 1, messages);
    EXPECT_EQ(Totals(m.Marks()), u"1/1000"_s);
    EXPECT_EQ(marksChanged, 3);

    // A rule that changes nothing says nothing.
    MarkRules::Apply(m, Ask(KeepNewest));
    MarkRules::Apply(m, Ask(KeepNewest));
    EXPECT_EQ(dataChanged, 4); // the flag, the click and the first re-marking
    m.ClearRecs();
    EXPECT_EQ(Totals(m.Marks()), u"0/0"_s);
}

TEST(MarkRules, TotalsReadAsPeopleCountThem) {
    const struct {
        qint64 Files, Bytes;
        const char* Text;
    } cases[] = {
        {0, 0, "0 files marked, 0 bytes to free"},
        {1, 1, "1 file marked, 1 byte to free"},
        {2, 999, "2 files marked, 999 bytes to free"},
        {2, 1000, "2 files marked, 1.0 kB to free"},
        {12, 3412345, "12 files marked, 3.4 MB to free"},
        {3, 999999, "3 files marked, 1.0 MB to free"},
        {3, 5000000000000, "3 files marked, 5.0 TB to free"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarkRules::TotalsText({c.Files, c.Bytes}), QString::fromUtf8(c.Text));
}

TEST(MarkRules, KeepRulesByTheirCommandLineNames) {
    const QString here = modCommon::QualifyPath(modAPI::CurrentFolder());
    const struct {
        const char* Text;
        bool Ok;
        Rule What;
        QString Folder;
    } cases[] = {
        {"newest", true, KeepNewest, {}},
        {"oldest", true, KeepOldest, {}},
        {"shortest", true, KeepShortestPath, {}},
        {"longest", true, KeepLongestPath, {}},
        {"first-under:/media/card/", true, KeepFirstUnder, u"/media/card"_s},
        {"first-under:/", true, KeepFirstUnder, u"/"_s},
        {"first-under:pics ", true, KeepFirstUnder, here + u"pics "_s},
        // Written as the listing writes paths, or the folder would match no file.
        {"first-under:./pics/../docs//a/.", true, KeepFirstUnder, here + u"docs/a"_s},
        {"first-under:/media/../../card", true, KeepFirstUnder, u"/card"_s},
        {"first-under:/media/..", true, KeepFirstUnder, u"/"_s},
        {"first-under:", false, KeepNewest, {}},
        {"Newest", false, KeepNewest, {}},
        {"first", false, KeepNewest, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        MarkRules::Request r;
        QString error;
        EXPECT_EQ(MarkRules::ParseKeep(QString::fromUtf8(c.Text), r, error), c.Ok);
        EXPECT_EQ(error.isEmpty(), c.Ok);
        if (c.Ok) {
            EXPECT_EQ(r.What, c.What);
            EXPECT_EQ(r.Folder, c.Folder);
        }
    }
}

} // namespace
