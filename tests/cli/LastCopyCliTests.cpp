// echofind-cli run where two runs meet, records cannot be written, a profile holds what
// this version cannot act on, or the groups come from a saved report: never the last copy.

#include "CliFixture.h"
#include "FileSystems.h"

#include "app/modXML.h"

#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace testing_support;

namespace {

using namespace cli_testing;

class LastCopyCli : public CliHome {
protected:
    // n groups of two equal files, one under a/ and one under b/, distinct between groups.
    void MakePairs(int n) {
        for (int i = 0; i < n; ++i) {
            const QByteArray bytes = QByteArray::number(i).repeated(16);
            tree.CreateFile(QStringLiteral("t/a/%1").arg(i), bytes);
            tree.CreateFile(QStringLiteral("t/b/%1").arg(i), bytes);
        }
    }
    ProfileSettings Pairs(const QString& deleteTo = QStringLiteral("permanent")) const {
        ProfileSettings p = ContentProfile({tree.Path(QStringLiteral("t"))});
        p.DeleteTo = deleteTo;
        return p;
    }
    int Survivors(int n) const {
        int groupsKept = 0;
        for (int i = 0; i < n; ++i)
            groupsKept += tree.Exists(QStringLiteral("t/a/%1").arg(i)) ||
                                  tree.Exists(QStringLiteral("t/b/%1").arg(i))
                              ? 1
                              : 0;
        return groupsKept;
    }
    QStringList KeepUnder(const char* side) const {
        return {QStringLiteral("run"),
                QStringLiteral("P"),
                QStringLiteral("--keep"),
                QStringLiteral("first-under:") + tree.Path(QStringLiteral("t/")) +
                    QLatin1String(side),
                QStringLiteral("--remove"),
                QStringLiteral("-q")};
    }
};

// Opposite keep rules started together, by one application folder and by two: the first
// are one after the other by the action lock, the second meet on the files' own locks.
TEST_F(LastCopyCli, TwoRunsAtOnceWithOppositeKeepRulesLeaveEveryGroupACopy) {
    constexpr int Pairs_ = 300;
    SaveProfile(QStringLiteral("P"), Pairs());
    QProcessEnvironment other = env;
    const QString home2 = tree.CreateDir(QStringLiteral("app2"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ECHOFIND_BIN_DIR "/config.xml"),
                            home2 + QStringLiteral("/config.xml")));
    QString user;
    ASSERT_EQ(modAPI::MyGetUserName(user), 1);
    QDir().mkpath(home2 + u'/' + user + QStringLiteral("/Profile"));
    ASSERT_EQ(
        ProfileDocument::Save(home2 + u'/' + user + QStringLiteral("/Profile/P.xml"), Pairs()), 1);
    other.insert(QStringLiteral("ECHOFIND_HOME"), home2);

    for (int round = 0; round < 8; ++round) {
        const bool shared = round % 2 == 0;
        SCOPED_TRACE(shared ? "one application folder" : "two application folders");
        QDir(tree.Path(QStringLiteral("t"))).removeRecursively();
        MakePairs(Pairs_);
        QProcess first, second;
        first.setProcessEnvironment(env);
        second.setProcessEnvironment(shared ? env : other);
        first.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli"), KeepUnder("b"));
        second.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli"), KeepUnder("a"));
        ASSERT_TRUE(first.waitForFinished(120000) && second.waitForFinished(120000));
        EXPECT_EQ(Survivors(Pairs_), Pairs_);
        for (QProcess* p : {&first, &second}) {
            const int exit = p->exitCode();
            // Busy (4) only where both share the lock; a file the other run held is a
            // skipped file (1).
            EXPECT_TRUE(exit == 0 || exit == 1 || (shared && exit == 4))
                << exit << p->readAllStandardError().toStdString();
        }
    }
}

TEST_F(LastCopyCli, ASecondRunGivesUpOrWaitsForTheActionLock) {
    MakePairs(3);
    SaveProfile(QStringLiteral("P"), Pairs());
    const int held = ::open(QFile::encodeName(home + QStringLiteral("/actions.lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const Result refused = Cli(KeepUnder("a"));
    EXPECT_EQ(refused.Exit, 4);
    EXPECT_TRUE(refused.Err.contains(QStringLiteral("another action run is in progress")))
        << refused.Err.toStdString();
    EXPECT_EQ(Survivors(3), 3);
    EXPECT_TRUE(tree.Exists(QStringLiteral("t/b/0")));

    QProcess waiting;
    waiting.setProcessEnvironment(env);
    waiting.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli"),
                  KeepUnder("a") << QStringLiteral("--wait"));
    ASSERT_TRUE(waiting.waitForStarted());
    EXPECT_FALSE(waiting.waitForFinished(700)) << "did not wait";
    ::close(held);
    ASSERT_TRUE(waiting.waitForFinished(60000));
    EXPECT_EQ(waiting.exitCode(), 0) << waiting.readAllStandardError().toStdString();
    EXPECT_FALSE(tree.Exists(QStringLiteral("t/b/0")));
    EXPECT_EQ(Survivors(3), 3);
}

// What this version cannot act on soundly is refused before anything is touched.
TEST_F(LastCopyCli, RelativeFoldersAndUnknownRulesAreRefused) {
    MakePairs(2);
    ProfileSettings relative = Pairs();
    relative.Folders = {QStringLiteral("t")};
    SaveProfile(QStringLiteral("Rel"), relative);
    const Result rel = Cli(
        {QStringLiteral("run"), QStringLiteral("Rel"), QStringLiteral("--remove")}, tree.Root());
    EXPECT_EQ(rel.Exit, 3);
    EXPECT_TRUE(rel.Err.contains(QStringLiteral("the folder \"t\" is not a full path")))
        << rel.Err.toStdString();

    SaveProfile(QStringLiteral("Later"), Pairs(QStringLiteral("shred")));
    const Result later =
        Cli({QStringLiteral("run"), QStringLiteral("Later"), QStringLiteral("--remove")});
    EXPECT_EQ(later.Exit, 3);
    EXPECT_TRUE(later.Err.contains(QStringLiteral("remove rule \"shred\" is not one this version")))
        << later.Err.toStdString();
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("t/b"))).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(QFileInfo::exists(tree.Path(QStringLiteral("xdg/Trash/files"))));
}

// The application folder on a full disk: not one file goes without its record.
TEST_F(LastCopyCli, AFullDiskForTheRecordsRemovesNothing) {
    SmallDisk disk(modCommon::LogPath, "16k");
    if (disk.Skip())
        GTEST_SKIP() << disk.Skip();
    MakePairs(10);
    SaveProfile(QStringLiteral("P"), Pairs());
    QFile filler(modCommon::LogPath + QStringLiteral("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {
    }
    filler.close();
    const Result run = Cli({QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("--remove"),
                            QStringLiteral("-q")});
    EXPECT_EQ(run.Exit, 3) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("No space left on device")))
        << run.Err.toStdString();
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("t/b"))).entryList(QDir::Files).size(), 10);
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("t/a"))).entryList(QDir::Files).size(), 10);
}

// Review now, act later: a saved report comes back with its marks; a row edited to name a
// file outside the profile's folders is left alone.
TEST_F(LastCopyCli, ASavedReportIsActedOnUnderTheSameChecks) {
    MakePairs(3);
    tree.CreateFile(QStringLiteral("outside/0"), QByteArray::number(0).repeated(16));
    ProfileSettings p = Pairs();
    p.DoExport = true;
    p.ExportLocation = tree.CreateDir(QStringLiteral("reports"));
    p.ExportFormat = QStringLiteral("xml");
    SaveProfile(QStringLiteral("P"), p);
    ASSERT_EQ(Cli({QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("--export"),
                   QStringLiteral("-q")})
                  .Exit,
              0);
    const QString report = tree.Path(QStringLiteral("reports/P.xml"));
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(report, doc), 1);
    const auto files = modXML::SelectAll(doc.Dom(), QStringLiteral("//filedetails/file"));
    ASSERT_EQ(files.size(), 6u);
    // The marked file of the first group now names the file outside.
    pugi::xml_node edited = files[1];
    const QString was = modXML::AttributeText(edited, QStringLiteral("location"));
    modXML::SetAttribute(edited, QStringLiteral("location"),
                         tree.Path(QStringLiteral("outside/0")));
    ASSERT_TRUE(modXML::Save(doc, report));

    const Result run =
        Cli({QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("--from-report"), report,
             QStringLiteral("--remove"), QStringLiteral("-q")});
    EXPECT_EQ(run.Exit, 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.contains(tree.Path(QStringLiteral("outside/0")))) << run.Out.toStdString();
    EXPECT_TRUE(tree.Exists(QStringLiteral("outside/0")));
    EXPECT_TRUE(QFileInfo::exists(was));
    EXPECT_EQ(Survivors(3), 3);
    EXPECT_EQ(QDir(tree.Path(QStringLiteral("t/a"))).entryList(QDir::Files).size() +
                  QDir(tree.Path(QStringLiteral("t/b"))).entryList(QDir::Files).size(),
              4);
    const Result missing =
        Cli({QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("--from-report"),
             tree.Path(QStringLiteral("reports/none.xml"))});
    EXPECT_EQ(missing.Exit, 3);
}

// Standard error as given (a file here): application-log lines and the summary both stay.
TEST_F(LastCopyCli, ScanWritesToTheStandardErrorItWasGiven) {
    MakePairs(2);
    tree.CreateFile(QStringLiteral("not-a-cache"), "plain text, not SQLite");
    const QString err = tree.Path(QStringLiteral("err.txt"));
    const Result r =
        Launch(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"),
                QStringLiteral("exec \"$0\" scan -q -r --cache \"$1\" \"$2\" 2>\"$3\" >/dev/null"),
                QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli"),
                tree.Path(QStringLiteral("not-a-cache")), tree.Path(QStringLiteral("t")), err},
               env);
    EXPECT_EQ(r.Exit, 0);
    const QByteArray written = tree.Read(QStringLiteral("err.txt"));
    EXPECT_TRUE(written.contains("Hash cache ")) << written.toStdString();
    EXPECT_TRUE(written.contains("2 groups, 2 duplicate files")) << written.toStdString();
}

} // namespace
