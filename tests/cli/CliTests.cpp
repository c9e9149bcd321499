// echofind-cli as a user runs it: the corpus groups in both content modes, exit codes,
// and a profile run that leaves its run log and catalogue entry.

#include "TestSupport.h"

#include "app/modXML.h"
#include "profiles/Catalogue.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

const QString kCli = QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli");
const QString kTools = QStringLiteral(ECHOFIND_TOOLS_DIR "/");

struct Outcome {
    int Exit = -1;
    QByteArray Out;
    QString Err;
};

Outcome Execute(const QString& program, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(300000)) << program.toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(Cli, FindsExactlyTheCorpusGroupsInBothContentModes) {
    TempTree t;
    const QString tree = t.Path(QStringLiteral("corpus"));
    const Outcome made = Execute(
        QStringLiteral("python3"),
        {kTools + QStringLiteral("make-tree"), tree, QStringLiteral("--files"),
         QStringLiteral("2000"), QStringLiteral("--seed"), QStringLiteral("7"),
         QStringLiteral("--with-links"), QStringLiteral("--odd-bytes"), QStringLiteral("--quiet")});
    ASSERT_EQ(made.Exit, 0) << made.Err.toStdString();
    for (const QString& mode : {QStringLiteral("crc"), QStringLiteral("md5")}) {
        const Outcome scan =
            Execute(kCli, {QStringLiteral("scan"), QStringLiteral("-r"), QStringLiteral("--hidden"),
                           QStringLiteral("--readonly"), QStringLiteral("--content"), mode,
                           QStringLiteral("-q"), tree});
        ASSERT_EQ(scan.Exit, 0) << scan.Err.toStdString();
        EXPECT_TRUE(scan.Err.contains(QStringLiteral(" groups, "))) << scan.Err.toStdString();
        const QString report = t.Path(mode + QStringLiteral(".txt"));
        QFile f(report);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(scan.Out);
        f.close();
        const Outcome check = Execute(QStringLiteral("python3"),
                                      {kTools + QStringLiteral("check-groups"),
                                       tree + QStringLiteral(".manifest.json"), report,
                                       QStringLiteral("--hardlinks"), QStringLiteral("one")});
        EXPECT_EQ(check.Exit, 0) << mode.toStdString() << ": " << check.Out.toStdString();
    }
}

TEST(Cli, ExitStatusTellsUsageFromFailure) {
    TempTree t;
    EXPECT_EQ(Execute(kCli, {}).Exit, 2);
    EXPECT_EQ(Execute(kCli, {QStringLiteral("frobnicate")}).Exit, 2);
    const Outcome noFolder = Execute(kCli, {QStringLiteral("scan")});
    EXPECT_EQ(noFolder.Exit, 2);
    EXPECT_TRUE(noFolder.Err.contains(QStringLiteral("no folder to scan")));
    EXPECT_EQ(Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--content"),
                             QStringLiteral("sha1"), t.Root()})
                  .Exit,
              2);
    EXPECT_EQ(Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--profile"),
                             QStringLiteral("p"), t.Root()})
                  .Exit,
              2);
    EXPECT_EQ(Execute(kCli, {QStringLiteral("scan"), t.Path(QStringLiteral("missing"))}).Exit, 3);

    // Groups separated by one empty line, kept file first; an unlistable folder is an error.
    t.CreateFile(QStringLiteral("a/x"), "1111");
    t.CreateFile(QStringLiteral("b/y"), "1111");
    t.CreateFile(QStringLiteral("a/z"), "22");
    t.CreateFile(QStringLiteral("b/w"), "22");
    const Outcome found = Execute(
        kCli, {QStringLiteral("scan"), QStringLiteral("-r"), QStringLiteral("-q"), t.Root()});
    EXPECT_EQ(found.Exit, 0);
    EXPECT_EQ(QString::fromUtf8(found.Out),
              t.Path(QStringLiteral("a/z\n")) + t.Path(QStringLiteral("b/w\n\n")) +
                  t.Path(QStringLiteral("a/x\n")) + t.Path(QStringLiteral("b/y\n")));
    const Outcome partly = Execute(kCli, {QStringLiteral("scan"), QStringLiteral("-q"), t.Root(),
                                          t.Path(QStringLiteral("gone"))});
    EXPECT_EQ(partly.Exit, 1);
    EXPECT_TRUE(partly.Err.contains(QStringLiteral("modAPI.MyFindFirstFile")))
        << partly.Err.toStdString();
}

TEST(Cli, ProfileRunWritesRunLogAndCatalogue) {
    TempTree t;
    const QString home = t.CreateDir(QStringLiteral("home"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ECHOFIND_BIN_DIR "/config.xml"),
                            home + QStringLiteral("/config.xml")));
    qputenv("ECHOFIND_HOME", QFile::encodeName(home));
    ScriptedMessages messages;
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    t.CreateFile(QStringLiteral("data/one/same.txt"), "abc");
    t.CreateFile(QStringLiteral("data/two/same.txt"), "abc");
    const QString profile = modCommon::ProfileFolder + QStringLiteral("Mine.xml");
    ASSERT_EQ(modXML::InitXML(QStringLiteral("echofind"), profile), 1);
    std::vector<modXML::XMLElementInfo> records{
        modXML::Element(QStringLiteral("profileoption"), QStringLiteral("echofind")),
        modXML::Element(QStringLiteral("folder"), QStringLiteral("profileoption"),
                        {{QStringLiteral("path"), t.Path(QStringLiteral("data"))}}),
        modXML::Element(QStringLiteral("subfolder"), QStringLiteral("profileoption"),
                        {{QStringLiteral("include"), QStringLiteral("True")}})};
    ASSERT_EQ(modXML::AddXML(2, records, profile), 1);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ECHOFIND_HOME"), home);

    const Outcome run = Execute(kCli,
                                {QStringLiteral("scan"), QStringLiteral("--profile"),
                                 QStringLiteral("Mine"), QStringLiteral("-q")},
                                env);
    EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out.count('\n'), 2);
    QFile log(modCommon::LogPath + QStringLiteral("Mine.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("No of duplicate files found\\tab :  1\\par"));

    // A damaged document fails the run and marks its row "Error"; a name without a
    // document fails too but gets no row.
    QFile broken(modCommon::ProfileFolder + QStringLiteral("Broken.xml"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<echofind><profileoption>");
    broken.close();
    for (const QString& name : {QStringLiteral("Broken"), QStringLiteral("Nowhere")})
        EXPECT_EQ(
            Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--profile"), name}, env).Exit,
            3);
    std::vector<Catalogue::Entry> entries;
    ASSERT_EQ(Catalogue::ReadEntries(entries), 1);
    QStringList statuses;
    for (const Catalogue::Entry& e : entries)
        statuses << e.Name + u'=' + e.Status;
    statuses.sort();
    EXPECT_EQ(statuses,
              QStringList({QStringLiteral("Broken=Error"), QStringLiteral("Mine=Success")}));
    qunsetenv("ECHOFIND_HOME");
}

// Two names that decode alike ("caf\xe9", "caf\xe8"), under a folder named in bytes too,
// are found from the folder as given and printed as the file system spells them, so the
// output can be fed back to other tools.
TEST(Cli, TakesAndPrintsNamesThatAreNotUtf8AsTheirOwnBytes) {
    TempTree t;
    const QByteArray root = QFile::encodeName(t.Root()) + "tr\xea";
    QList<QByteArray> paths;
    // Qt's own removal of the tree decodes names and cannot find these.
    const auto cleanup = qScopeGuard([&] {
        for (const QByteArray& path : paths)
            ::unlink(path.constData());
        for (const char* folder : {"/a", "/b", ""})
            ::rmdir((root + folder).constData());
    });
    for (const char* rel :
         {"/a/caf\xe8.txt", "/a/caf\xe9.txt", "/b/caf\xe8.txt", "/b/caf\xe9.txt"}) {
        paths << root + rel;
        ::mkdir(root.constData(), 0755);
        ::mkdir(paths.last().left(paths.last().lastIndexOf('/')).constData(), 0755);
        FILE* f = std::fopen(paths.last().constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("same", f);
        std::fclose(f);
    }
    // Through the shell: a process started by Qt gets its arguments re-encoded.
    const QByteArray command = QFile::encodeName(kCli) + " scan -r --name -q '" + root + "'";
    FILE* cli = ::popen(command.constData(), "r");
    ASSERT_NE(cli, nullptr);
    QByteArray out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, cli)) > 0;)
        out.append(buffer, qsizetype(n));
    EXPECT_EQ(::pclose(cli), 0);
    EXPECT_EQ(out, paths[0] + '\n' + paths[2] + "\n\n" + paths[1] + '\n' + paths[3] + '\n');
}
