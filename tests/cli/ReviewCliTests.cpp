// The review options of echofind-cli scan: a profile's ignore list and --sort.

#include "CliFixture.h"

#include "profiles/IgnoreList.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using namespace cli_testing;
using Review = CliHome;

// The first path of each printed group, in the order printed.
QStringList FirstPaths(const QString& out) {
    QStringList firsts;
    for (const QString& group : out.split(u"\n\n"_s, Qt::SkipEmptyParts))
        firsts << group.section(u'\n', 0, 0).section(u'/', -1);
    return firsts;
}

// A group whose every file the list holds (by path and size) is left out of the output and
// the run log's count, and --no-ignore brings it back; a group with one file off the list,
// or a listed file that changed size, stays.
TEST_F(Review, TheIgnoreListLeavesOutWhollyListedGroups) {
    tree.CreateCopies("aaaa", {"d/1/a.txt", "d/2/a.txt"});
    tree.CreateCopies("bbbbbbbb", {"d/1/b.txt", "d/2/b.txt", "d/3/b.txt"});
    tree.CreateCopies("cc", {"d/1/c.txt", "d/2/c.txt"});
    SaveProfile(u"Mine"_s, ContentProfile({tree.Path(u"d"_s)}));
    IgnoreList list;
    list.Add({tree.Path(u"d/1/a.txt"_s), 4});
    list.Add({tree.Path(u"d/2/a.txt"_s), 4});
    list.Add({tree.Path(u"d/1/b.txt"_s), 8}); // two of b's three files
    list.Add({tree.Path(u"d/2/b.txt"_s), 8});
    list.Add({tree.Path(u"d/1/c.txt"_s), 2});
    list.Add({tree.Path(u"d/2/c.txt"_s), 3}); // not the size c has now
    ASSERT_EQ(list.Save(IgnoreList::FileBeside(modCommon::ProfileFolder + u"Mine.xml"_s)), 1);

    const Result shown = Cli(0, Words("scan --profile Mine -q --sort name"));
    EXPECT_EQ(FirstPaths(shown.Out), (QStringList{u"b.txt"_s, u"c.txt"_s}));
    EXPECT_TRUE(Holds(shown.Err, u"2 groups"_s));
    EXPECT_TRUE(RunLog(u"Mine"_s).contains("No of duplicate files found\\tab :  2\\par"));
    const Result all = Cli(0, Words("scan --profile Mine -q --no-ignore"));
    EXPECT_EQ(FirstPaths(all.Out).size(), 3);
}

// --sort orders the printed groups in every output: largest total, most copies, or name.
TEST_F(Review, SortOrdersThePrintedGroups) {
    tree.CreateCopies("mmmmmmmmmmmm", {"d/1/m.bin", "d/2/m.bin"});         // 24 bytes, 2 copies
    tree.CreateCopies("zz", {"d/1/z.bin", "d/2/z.bin", "d/3/z.bin"});      // 6 bytes, 3 copies
    tree.CreateCopies("aaaaaaaaaaaaaaaaaaaa", {"d/1/A.bin", "d/2/A.bin"}); // 40 bytes, 2
    const QString d = tree.Path(u"d"_s);
    const auto order = [&](const char* sort) {
        return FirstPaths(Cli(0, Words("scan -r -q --sort") << QString::fromLatin1(sort) << d).Out);
    };
    EXPECT_EQ(order("size"), (QStringList{u"A.bin"_s, u"m.bin"_s, u"z.bin"_s}));
    EXPECT_EQ(order("count").value(0), u"z.bin"_s);
    EXPECT_EQ(order("name"), (QStringList{u"A.bin"_s, u"m.bin"_s, u"z.bin"_s}));
    const Result json = Cli(0, Words("scan -r -q --json --sort count") << d);
    EXPECT_EQ(QJsonDocument::fromJson(json.Bytes)[u"groups"][0][u"files"].toArray().size(), 3);
    const Result nul = Cli(0, Words("scan -r -q -0 --sort size") << d);
    EXPECT_TRUE(nul.Bytes.startsWith((d + u"/1/A.bin"_s).toUtf8() + '\0'));
    EXPECT_EQ(Cli(Words("scan --sort biggest") << d).Exit, 2);
}

} // namespace
