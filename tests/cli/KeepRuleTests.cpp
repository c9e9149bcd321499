// echofind-cli run --keep and the other marking rules: the rules decide which files of each
// group stay, the listing names the kept file first, and the removal takes the others.

#include "CliFixture.h"

namespace {

using namespace cli_testing;

class KeepRule : public CliHome {
protected:
    void SetUp() override {
        CliHome::SetUp();
        // Two groups; the folders are named for the files' age.
        for (const auto& [rel, secs] :
             {std::pair{"old/a.txt", 1000000000}, std::pair{"new/a.txt", 1700000000},
              std::pair{"mid/a.txt", 1500000000}, std::pair{"new/b.bin", 1600000000},
              std::pair{"old/b.bin", 1100000000}})
            tree.CreateFile(u"data/"_s + QLatin1String(rel),
                            QByteArrayView(rel).endsWith(".txt") ? "aaaa" : "bbbbbbb", secs);
        ProfileSettings p = ContentProfile({tree.Path(u"data"_s)});
        p.DeleteTo = u"recycle"_s;
        SaveProfile(u"P"_s, p);
    }

    // A run of P in the data folder with the rules given in words, and its exit status.
    Result Run(const char* rules, int exit = 0) {
        return Cli(exit, Words("run P -q") + Words(rules), tree.Path(u"data"_s));
    }

    // The groups as printed, by the first file of each: paths relative to the data folder.
    QList<QStringList> Groups(const QString& out) const {
        QList<QStringList> groups;
        for (const QString& group : out.split(u"\n\n"_s, Qt::SkipEmptyParts))
            groups << QString(group).remove(tree.Path(u"data/"_s)).split(u'\n', Qt::SkipEmptyParts);
        std::sort(groups.begin(), groups.end());
        return groups;
    }

    // The files still there, of all five.
    QStringList Files() const {
        QStringList present;
        for (const char* rel : {"old/a.txt", "new/a.txt", "mid/a.txt", "new/b.bin", "old/b.bin"})
            if (tree.Exists(u"data/"_s + QLatin1String(rel)))
                present << QLatin1String(rel);
        return present;
    }
};

TEST_F(KeepRule, TheRuleChoosesTheKeptFileThatTheListingNamesFirstAndTheRemovalSpares) {
    const Result listed = Run("--keep oldest");
    const QList<QStringList> oldest = Groups(listed.Out);
    ASSERT_EQ(oldest.size(), 2) << listed.Out.toStdString();
    EXPECT_EQ(oldest[0].front(), u"old/a.txt"_s);
    EXPECT_EQ(oldest[0].size(), 3);
    EXPECT_EQ(oldest[1].front(), u"old/b.bin"_s);
    EXPECT_TRUE(Holds(listed.Err, u"3 files marked, 15 bytes to free"_s));
    EXPECT_EQ(Files().size(), 5); // without --remove nothing goes

    const Result removed = Run("--keep=newest --remove");
    const QList<QStringList> newest = Groups(removed.Out);
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest[0].front(), u"new/a.txt"_s);
    EXPECT_EQ(newest[1].front(), u"new/b.bin"_s);
    EXPECT_TRUE(Holds(removed.Err, u"remove: 3 files acted on, 3 removed"_s));
    EXPECT_EQ(Files(), (QStringList{u"new/a.txt"_s, u"new/b.bin"_s}));
    EXPECT_TRUE(RunLog(u"P"_s).contains("keep newest: ")); // the counts reach the run log too
}

TEST_F(KeepRule, FirstUnderTakesAFolderRelativeToTheWorkingFolder) {
    const Result out = Run("--keep first-under:mid/ --remove");
    // The group with a file under mid keeps it; the other keeps the scan's first file.
    EXPECT_EQ(Files().filter(u"a.txt"_s), QStringList{u"mid/a.txt"_s});
    EXPECT_EQ(Files().filter(u"b.bin"_s).size(), 1);
    EXPECT_TRUE(Holds(out.Err, u"keep first-under:mid/: "_s));

    // A folder with no file of any group changes nothing, and its name is said as given.
    const Result none = Run("--keep=first-under:x%1");
    EXPECT_TRUE(Holds(none.Err, u"keep first-under:x%1: 0 groups re-marked"_s));
}

TEST_F(KeepRule, BadRulesAreRefusedAndTheRestActInTheOrderGiven) {
    // An unknown rule, a folder that is not there, or no pattern, is bad usage.
    const struct {
        const char* Rules;
        const char* Named;
    } cases[] = {
        {"--keep biggest --remove", "--keep"},
        {"--keep=first-under: --remove", "--keep"},
        {"--remove --keep", "--keep"},
        {"--mark-under nowhere --remove", "-under"},
        {"--remove --unmark-under=/no/such", "-under"},
        {"--mark-under new/b.bin --remove", "-under"},
        {"--mark-name= --remove", "-name"},
        {"--remove --unmark-name", "-name"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Holds(Run(c.Rules, 2).Err, QLatin1String(c.Named)));
    EXPECT_EQ(Files().size(), 5);

    // The later rule has the last word; the groups are listed once, after all the rules.
    const Result markFirst = Run("--mark-under old --unmark-name=*");
    EXPECT_TRUE(Holds(markFirst.Err, u"unmark-name *: "_s));
    EXPECT_TRUE(Holds(markFirst.Err, u"0 files marked, 0 bytes to free"_s));
    const Result unmarkFirst = Run("--unmark-name=* --mark-under old");
    EXPECT_TRUE(
        Holds(unmarkFirst.Err, u"mark-under old: 2 groups re-marked, 2 files marked, 11 bytes"_s));
    EXPECT_EQ(Groups(unmarkFirst.Out).size(), 2) << unmarkFirst.Out.toStdString();
    const QByteArray logged = RunLog(u"P"_s);
    EXPECT_TRUE(logged.contains("unmark-name *: ") && logged.contains("mark-under old: "));
    EXPECT_EQ(Files().size(), 5);

    // A protected folder spelt with ./ still protects.
    const Result out = Run("--unmark-under=. --mark-under new --protect ./new/ --remove");
    EXPECT_TRUE(Holds(out.Err, u"2 kept in protected folders"_s));
    EXPECT_EQ(Files().size(), 5);
}

} // namespace
