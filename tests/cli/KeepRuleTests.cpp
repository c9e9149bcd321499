// echofind-cli run --keep and the other marking rules: the rules decide which files of each
// group stay, the listing names the kept file first, and the removal takes the others.

#include "CliFixture.h"

using namespace testing_support;

namespace {

using Output = cli_testing::Result;

class KeepRule : public cli_testing::CliHome {
protected:
    void SetUp() override {
        CliHome::SetUp();
        // Two groups; the folders are named for the files' age.
        for (const auto& [rel, secs] : {std::pair{"data/old/a.txt", 1000000000},
                                        {"data/new/a.txt", 1700000000},
                                        {"data/mid/a.txt", 1500000000},
                                        {"data/new/b.bin", 1600000000},
                                        {"data/old/b.bin", 1100000000}}) {
            const QString path = QString::fromLatin1(rel);
            tree.CreateFile(path, path.endsWith(u".txt") ? "aaaa" : "bbbbbbb", secs);
        }
        ProfileSettings p = testing_support::ContentProfile({tree.Path(QStringLiteral("data"))});
        p.DeleteTo = QStringLiteral("recycle");
        SaveProfile(QStringLiteral("P"), p);
    }

    Output Run(const QStringList& args) {
        return Cli(QStringList{QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("-q")} +
                       args,
                   tree.Path(QStringLiteral("data")));
    }

    // The groups as printed: each a list of paths relative to the data folder.
    QList<QStringList> Groups(const QString& out) const {
        QList<QStringList> groups{{}};
        const QString prefix = tree.Path(QStringLiteral("data/"));
        for (const QString& line : out.split(u'\n')) {
            if (line.isEmpty()) {
                if (!groups.back().isEmpty())
                    groups.append(QStringList());
                continue;
            }
            groups.back() << QString(line).remove(prefix);
        }
        if (groups.back().isEmpty())
            groups.removeLast();
        std::sort(groups.begin(), groups.end(),
                  [](const QStringList& a, const QStringList& b) { return a.front() < b.front(); });
        return groups;
    }

    bool Exists(const char* rel) const {
        return QFileInfo::exists(tree.Path(QStringLiteral("data/") + QLatin1String(rel)));
    }
};

TEST_F(KeepRule, TheRuleChoosesTheKeptFileThatTheListingNamesFirstAndTheRemovalSpares) {
    const Output listed = Run({QStringLiteral("--keep"), QStringLiteral("oldest")});
    ASSERT_EQ(listed.Exit, 0) << listed.Err.toStdString();
    const QList<QStringList> oldest = Groups(listed.Out);
    ASSERT_EQ(oldest.size(), 2) << listed.Out.toStdString();
    EXPECT_EQ(oldest[0].front(), QStringLiteral("old/a.txt"));
    EXPECT_EQ(oldest[0].size(), 3);
    EXPECT_EQ(oldest[1].front(), QStringLiteral("old/b.bin"));
    EXPECT_TRUE(listed.Err.contains(QStringLiteral("3 files marked, 15 bytes to free")))
        << listed.Err.toStdString();
    // Without --remove nothing goes.
    EXPECT_TRUE(Exists("new/a.txt") && Exists("mid/a.txt") && Exists("new/b.bin"));

    const Output removed = Run({QStringLiteral("--keep=newest"), QStringLiteral("--remove")});
    ASSERT_EQ(removed.Exit, 0) << removed.Err.toStdString();
    const QList<QStringList> newest = Groups(removed.Out);
    ASSERT_EQ(newest.size(), 2);
    EXPECT_EQ(newest[0].front(), QStringLiteral("new/a.txt"));
    EXPECT_EQ(newest[1].front(), QStringLiteral("new/b.bin"));
    EXPECT_TRUE(removed.Err.contains(QStringLiteral("remove: 3 files acted on, 3 removed")))
        << removed.Err.toStdString();
    EXPECT_TRUE(Exists("new/a.txt") && Exists("new/b.bin"));
    EXPECT_FALSE(Exists("old/a.txt") || Exists("mid/a.txt") || Exists("old/b.bin"));

    // The counts reach the run log too.
    QFile log(modCommon::LogPath + QStringLiteral("P.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("keep newest: "));
}

TEST_F(KeepRule, FirstUnderTakesAFolderRelativeToTheWorkingFolder) {
    const Output out = Run(
        {QStringLiteral("--keep"), QStringLiteral("first-under:mid/"), QStringLiteral("--remove")});
    ASSERT_EQ(out.Exit, 0) << out.Err.toStdString();
    // The group with a file under mid keeps it; the other keeps the scan's first file.
    EXPECT_TRUE(Exists("mid/a.txt"));
    EXPECT_FALSE(Exists("old/a.txt") || Exists("new/a.txt"));
    EXPECT_NE(Exists("new/b.bin"), Exists("old/b.bin"));
    EXPECT_TRUE(out.Err.contains(QStringLiteral("keep first-under:mid/: ")))
        << out.Err.toStdString();

    // A folder with no file of any group changes nothing, and its name is said as given.
    const Output none = Run({QStringLiteral("--keep=first-under:x%1")});
    ASSERT_EQ(none.Exit, 0) << none.Err.toStdString();
    EXPECT_TRUE(none.Err.contains(QStringLiteral("keep first-under:x%1: 0 groups re-marked")))
        << none.Err.toStdString();
}

TEST_F(KeepRule, BadRulesAreRefusedAndTheRestActInTheOrderGiven) {
    const auto files = [this] {
        QStringList present;
        for (const char* rel : {"old/a.txt", "new/a.txt", "mid/a.txt", "new/b.bin", "old/b.bin"})
            if (Exists(rel))
                present << QLatin1String(rel);
        return present;
    };
    const QStringList all = files();
    {
        SCOPED_TRACE("an unknown rule, a folder that is not there, or no pattern, is bad usage");
        const struct {
            QStringList Args;
            const char* Named;
        } cases[] = {
            {{QStringLiteral("--keep"), QStringLiteral("biggest"), QStringLiteral("--remove")},
             "--keep"},
            {{QStringLiteral("--keep=first-under:"), QStringLiteral("--remove")}, "--keep"},
            {{QStringLiteral("--remove"), QStringLiteral("--keep")}, "--keep"},
            {{QStringLiteral("--mark-under"), QStringLiteral("nowhere"),
              QStringLiteral("--remove")},
             "-under"},
            {{QStringLiteral("--remove"), QStringLiteral("--unmark-under=/no/such")}, "-under"},
            {{QStringLiteral("--mark-under"), QStringLiteral("new/b.bin"),
              QStringLiteral("--remove")},
             "-under"},
            {{QStringLiteral("--mark-name="), QStringLiteral("--remove")}, "-name"},
            {{QStringLiteral("--remove"), QStringLiteral("--unmark-name")}, "-name"},
        };
        for (const auto& c : cases) {
            const Output out = Run(c.Args);
            EXPECT_EQ(out.Exit, 2) << c.Args.join(u' ').toStdString();
            EXPECT_TRUE(out.Err.contains(QLatin1String(c.Named))) << out.Err.toStdString();
        }
        EXPECT_EQ(files(), all);
    }
    {
        SCOPED_TRACE("the later rule has the last word");
        const Output markFirst = Run({QStringLiteral("--mark-under"), QStringLiteral("old"),
                                      QStringLiteral("--unmark-name=*")});
        ASSERT_EQ(markFirst.Exit, 0) << markFirst.Err.toStdString();
        EXPECT_TRUE(markFirst.Err.contains(QStringLiteral("unmark-name *: ")) &&
                    markFirst.Err.contains(QStringLiteral("0 files marked, 0 bytes to free")))
            << markFirst.Err.toStdString();
        const Output unmarkFirst = Run({QStringLiteral("--unmark-name=*"),
                                        QStringLiteral("--mark-under"), QStringLiteral("old")});
        ASSERT_EQ(unmarkFirst.Exit, 0) << unmarkFirst.Err.toStdString();
        EXPECT_TRUE(unmarkFirst.Err.contains(
            QStringLiteral("mark-under old: 2 groups re-marked, 2 files marked, 11 bytes")))
            << unmarkFirst.Err.toStdString();
        // The groups are listed once, after all the rules.
        EXPECT_EQ(Groups(unmarkFirst.Out).size(), 2) << unmarkFirst.Out.toStdString();
        QFile log(modCommon::LogPath + QStringLiteral("P.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QByteArray logged = log.readAll();
        EXPECT_TRUE(logged.contains("unmark-name *: ") && logged.contains("mark-under old: "));
        EXPECT_EQ(files(), all);
    }
    {
        SCOPED_TRACE("a protected folder spelt with ./ still protects");
        const Output out = Run({QStringLiteral("--unmark-under=."), QStringLiteral("--mark-under"),
                                QStringLiteral("new"), QStringLiteral("--protect"),
                                QStringLiteral("./new/"), QStringLiteral("--remove")});
        ASSERT_EQ(out.Exit, 0) << out.Err.toStdString();
        EXPECT_TRUE(out.Err.contains(QStringLiteral("2 kept in protected folders")))
            << out.Err.toStdString();
        EXPECT_EQ(files(), all);
    }
}

} // namespace
