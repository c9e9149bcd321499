// echofind-cli as a user runs it: the corpus groups in both content modes, exit codes,
// and a profile run that leaves its run log and catalogue entry.

#include "TestSupport.h"

#include "app/modXML.h"
#include "profiles/Catalogue.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

using namespace testing_support;

namespace {

const QString kCli = QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli");
const QString kTools = QStringLiteral(ECHOFIND_TOOLS_DIR "/");

struct Outcome {
    int Exit = -1;
    QByteArray Out;
    QString Err;
};

// The environment of every run: scans of named folders keep their hash cache under
// XDG_CACHE_HOME, which must not be the tester's own.
QProcessEnvironment TestEnvironment() {
    static QTemporaryDir cacheHome;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome.path());
    return env;
}

Outcome Execute(const QString& program, const QStringList& args,
                const QProcessEnvironment& env = TestEnvironment()) {
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
    QProcessEnvironment env = TestEnvironment();
    env.insert(QStringLiteral("ECHOFIND_HOME"), home);

    const Outcome run = Execute(kCli,
                                {QStringLiteral("scan"), QStringLiteral("--profile"),
                                 QStringLiteral("Mine"), QStringLiteral("-q")},
                                env);
    EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out.count('\n'), 2);
    const Outcome json =
        Execute(kCli,
                {QStringLiteral("scan"), QStringLiteral("--profile"), QStringLiteral("Mine"),
                 QStringLiteral("--json"), QStringLiteral("-q")},
                env);
    EXPECT_EQ(json.Exit, 0) << json.Err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(json.Out)[u"groups"][0][u"files"].toArray().size(), 2)
        << json.Out.toStdString();
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

TEST(Cli, NullOutputCarriesAnyNameExactly) {
    TempTree t;
    const QByteArray root = QFile::encodeName(t.Root());
    const auto create = [&](const QByteArray& name, const QByteArray& bytes) {
        const int fd = ::open((root + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name.toStdString();
        EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    };
    create("two\nlines", "same");
    create("caf\xe9", "same");
    create("plain", "other");
    create("plain2", "other");
    for (const QString& option : {QStringLiteral("-0"), QStringLiteral("--null")}) {
        const Outcome found = Execute(kCli, {QStringLiteral("scan"), option, QStringLiteral("-q"),
                                             QString::fromLocal8Bit(root)});
        ASSERT_EQ(found.Exit, 0) << found.Err.toStdString();
        const QByteArray expected = root + QByteArray("caf\xe9", 4) + '\0' + root +
                                    QByteArray("two\nlines") + '\0' + '\0' + root + "plain" + '\0' +
                                    root + "plain2" + '\0';
        EXPECT_EQ(found.Out, expected) << found.Out.toStdString();
    }
    const Outcome help = Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--help")});
    EXPECT_TRUE(help.Out.contains("-0, --null")) << help.Out.toStdString();
    // QTemporaryDir would re-encode the odd name and fail to remove it.
    for (const char* name : {"two\nlines", "caf\xe9", "plain", "plain2"})
        EXPECT_EQ(::unlink((root + name).constData()), 0);
}

TEST(Cli, NamedRootsAreFollowedOrSaidToBeSkipped) {
    TempTree t;
    t.CreateFile(QStringLiteral("real/a"), "1111");
    t.CreateFile(QStringLiteral("real/b"), "1111");
    ASSERT_EQ(::symlink(QFile::encodeName(t.Path(QStringLiteral("real"))).constData(),
                        QFile::encodeName(t.Path(QStringLiteral("named"))).constData()),
              0);
    const Outcome linked = Execute(
        kCli, {QStringLiteral("scan"), QStringLiteral("-q"), t.Path(QStringLiteral("named"))});
    EXPECT_EQ(linked.Exit, 0) << linked.Err.toStdString();
    EXPECT_EQ(QString::fromUtf8(linked.Out),
              t.Path(QStringLiteral("named/a\n")) + t.Path(QStringLiteral("named/b\n")));

    // A kernel virtual file system is never read, and the user is told so.
    if (!QFileInfo(QStringLiteral("/proc/self/status")).exists())
        GTEST_SKIP() << "/proc is not mounted";
    const Outcome skipped =
        Execute(kCli, {QStringLiteral("scan"), QStringLiteral("-q"), QStringLiteral("/proc/self"),
                       t.Path(QStringLiteral("real"))});
    EXPECT_EQ(skipped.Exit, 1);
    EXPECT_TRUE(skipped.Err.contains(
        QStringLiteral("/proc/self/ -  not scanned: a kernel virtual file system")))
        << skipped.Err.toStdString();
    EXPECT_EQ(skipped.Out.count('\n'), 2);

    // The same from a saved profile: its run log and standard error both say it.
    const QString home = t.CreateDir(QStringLiteral("home"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ECHOFIND_BIN_DIR "/config.xml"),
                            home + QStringLiteral("/config.xml")));
    QProcessEnvironment env = TestEnvironment();
    env.insert(QStringLiteral("ECHOFIND_HOME"), home);
    qputenv("ECHOFIND_HOME", QFile::encodeName(home));
    ScriptedMessages messages;
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    qunsetenv("ECHOFIND_HOME");
    const QString profile = modCommon::ProfileFolder + QStringLiteral("Virtual.xml");
    ASSERT_EQ(modXML::InitXML(QStringLiteral("echofind"), profile), 1);
    const std::vector<modXML::XMLElementInfo> records{
        modXML::Element(QStringLiteral("profileoption"), QStringLiteral("echofind")),
        modXML::Element(QStringLiteral("folder"), QStringLiteral("profileoption"),
                        {{QStringLiteral("path"), QStringLiteral("/proc/self")}})};
    ASSERT_EQ(modXML::AddXML(1, records, profile), 1);
    const Outcome run = Execute(kCli,
                                {QStringLiteral("scan"), QStringLiteral("--profile"),
                                 QStringLiteral("Virtual"), QStringLiteral("-q")},
                                env);
    EXPECT_EQ(run.Exit, 1) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains(QStringLiteral("/proc/self/ -  not scanned")))
        << run.Err.toStdString();
    QFile log(modCommon::LogPath + QStringLiteral("Virtual.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("/proc/self/ -  not scanned"));
}

TEST(Cli, TheHashCacheIsWhereTheOptionsSayAndADamagedOneChangesNothing) {
    TempTree t;
    t.CreateFile(QStringLiteral("tree/a/x"), "same bytes");
    t.CreateFile(QStringLiteral("tree/b/x"), "same bytes");
    const QString tree = t.Path(QStringLiteral("tree"));
    QProcessEnvironment env = TestEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), t.Path(QStringLiteral("xdg")));
    const auto scan = [&](QStringList options) {
        options.prepend(QStringLiteral("scan"));
        options << QStringLiteral("-r") << QStringLiteral("-q") << tree;
        return Execute(kCli, options, env);
    };
    const QByteArray groups =
        (tree + QStringLiteral("/a/x\n") + tree + QStringLiteral("/b/x\n")).toUtf8();

    Outcome run = scan({QStringLiteral("--no-cache")});
    EXPECT_EQ(run.Out, groups);
    EXPECT_FALSE(QFileInfo::exists(t.Path(QStringLiteral("xdg"))));
    run = scan({});
    EXPECT_EQ(run.Out, groups);
    EXPECT_TRUE(QFileInfo::exists(t.Path(QStringLiteral("xdg/echofind/HashCache.sqlite"))));
    const QString named = t.Path(QStringLiteral("named.sqlite"));
    run = scan({QStringLiteral("--cache"), named});
    EXPECT_EQ(run.Out, groups);
    EXPECT_TRUE(QFileInfo::exists(named));

    const QString damaged = t.CreateFile(QStringLiteral("damaged.sqlite"), QByteArray(8192, 'z'));
    run = scan({QStringLiteral("--cache=") + damaged});
    EXPECT_EQ(run.Exit, 0);
    EXPECT_EQ(run.Out, groups);
    EXPECT_EQ(run.Err.count(QStringLiteral("Hash cache ")), 1) << run.Err.toStdString();
    EXPECT_EQ(Execute(kCli, {QStringLiteral("scan"), tree, QStringLiteral("--cache")}, env).Exit,
              2);
    EXPECT_EQ(
        Execute(kCli, {QStringLiteral("run"), QStringLiteral("P"), QStringLiteral("--cache")}).Exit,
        2);
}

// The path of a file of the JSON output: its text, or its bytes when given as an array.
QByteArray JsonPath(const QJsonValue& path) {
    if (path.isString())
        return path.toString().toUtf8();
    QByteArray bytes;
    for (const QJsonValue& b : path.toArray()) {
        EXPECT_TRUE(b.isDouble() && b.toInt() >= 0 && b.toInt() <= 255);
        bytes.append(char(b.toInt()));
    }
    return bytes;
}

TEST(Cli, JsonOutputIsOneDocumentThatGivesBackEveryPathAndTheScansValues) {
    TempTree t;
    const QByteArray root = QFile::encodeName(t.Root());
    const auto create = [&](const QByteArray& name, const QByteArray& bytes, qint64 mtime) {
        const int fd = ::open((root + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << name.toStdString();
        EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, (root + name).constData(), times, 0), 0);
    };
    // Names JSON must escape, names that are not UTF-8, and one that is plain.
    const QList<QByteArray> same = {"caf\xe9", "caf\xe8", "q\"uote\\back", "new\nline", "plain"};
    for (const QByteArray& name : same)
        create(name, "same bytes", 1600000000);
    create("other1", "other", 1500000000);
    create("other2", "other", 1500000001);
    create("alone", "alone", 1500000000);
    const auto cleanup = qScopeGuard([&] {
        for (const QByteArray& name : same + QList<QByteArray>{"other1", "other2", "alone"})
            ::unlink((root + name).constData());
    });

    for (const QString& mode : {QStringLiteral("crc"), QStringLiteral("md5")}) {
        SCOPED_TRACE(mode.toStdString());
        const Outcome found =
            Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("-q"),
                           QStringLiteral("--size"), QStringLiteral("--content"), mode,
                           QString::fromLocal8Bit(root)});
        ASSERT_EQ(found.Exit, 0) << found.Err.toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(found.Out, &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << found.Out.toStdString();
        const QJsonObject top = doc.object();
        const QString signature = mode == u"crc" ? QStringLiteral("crc32") : QStringLiteral("md5");
        EXPECT_EQ(top[u"criteria"].toArray(), QJsonArray({QStringLiteral("size"), signature}));
        const QJsonArray groups = top[u"groups"].toArray();
        ASSERT_EQ(groups.size(), 2);
        QList<QByteArray> paths;
        for (const QJsonValue& g : groups) {
            const QJsonObject key = g[u"key"].toObject();
            for (const QJsonValue& f : g[u"files"].toArray()) {
                paths << JsonPath(f[u"path"]);
                EXPECT_EQ(f[u"size"], key[u"size"]);
                EXPECT_EQ(f[signature], key[signature]);
                EXPECT_TRUE(f[u"created"].isDouble());
            }
        }
        QList<QByteArray> expected;
        for (const QByteArray& name : same + QList<QByteArray>{"other1", "other2"})
            expected << root + name;
        std::sort(expected.begin(), expected.end());
        QList<QByteArray> sorted = paths;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, expected);

        // The group of "same bytes": size, times in seconds since the epoch, the signature.
        const QJsonObject bigger =
            groups[0][u"key"][u"size"].toInt() == 10 ? groups[0].toObject() : groups[1].toObject();
        EXPECT_EQ(bigger[u"key"][u"size"].toInt(), 10);
        const QJsonObject file = bigger[u"files"][0].toObject();
        EXPECT_EQ(file[u"modified"].toInteger(), 1600000000);
        if (mode == u"md5")
            EXPECT_EQ(file[u"md5"].toString(),
                      QString::fromLatin1(
                          QCryptographicHash::hash("same bytes", QCryptographicHash::Md5).toHex()));
        else
            EXPECT_TRUE(file[u"crc32"].toDouble() >= 0 && file[u"crc32"].toDouble() < 4294967296.0);
        EXPECT_EQ(top[u"summary"][u"groups"].toInt(), 2);
        EXPECT_EQ(top[u"summary"][u"duplicate_files"].toInt(), 5);
        EXPECT_EQ(top[u"summary"][u"bytes_to_free"].toInt(), 4 * 10 + 5);
    }

    // Nothing found is still one document; the JSON and NUL outputs exclude each other.
    const Outcome none =
        Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("-q"),
                       QStringLiteral("--name"), QStringLiteral("--include"),
                       QStringLiteral("alone"), QString::fromLocal8Bit(root)});
    ASSERT_EQ(none.Exit, 0) << none.Err.toStdString();
    const QJsonObject empty = QJsonDocument::fromJson(none.Out).object();
    EXPECT_EQ(empty[u"criteria"].toArray(), QJsonArray({QStringLiteral("name")}));
    EXPECT_TRUE(empty[u"groups"].isArray() && empty[u"groups"].toArray().isEmpty());
    EXPECT_EQ(empty[u"summary"][u"groups"].toInt(), 0);
    const Outcome both = Execute(kCli, {QStringLiteral("scan"), QStringLiteral("--json"),
                                        QStringLiteral("-0"), QString::fromLocal8Bit(root)});
    EXPECT_EQ(both.Exit, 2);
    EXPECT_TRUE(both.Out.isEmpty());
}

// --across keeps the groups that span two of the named folders, a file counting for the
// deepest named folder that holds it.
TEST(Cli, AcrossKeepsOnlyGroupsThatSpanTheNamedFolders) {
    TempTree t;
    t.CreateFile(QStringLiteral("camera/a.jpg"), "shot one");
    t.CreateFile(QStringLiteral("archive/a.jpg"), "shot one");
    t.CreateFile(QStringLiteral("camera/b1.jpg"), "burst");
    t.CreateFile(QStringLiteral("camera/b2.jpg"), "burst");
    t.CreateFile(QStringLiteral("archive/2020/c.jpg"), "nested");
    t.CreateFile(QStringLiteral("archive/c.jpg"), "nested");
    const QStringList common{QStringLiteral("scan"), QStringLiteral("-r"), QStringLiteral("-q"),
                             t.Path(QStringLiteral("camera")), t.Path(QStringLiteral("archive"))};
    const Outcome all = Execute(kCli, common);
    EXPECT_EQ(all.Exit, 0);
    EXPECT_EQ(all.Out.count("\n\n"), 2) << "three groups without --across";

    const Outcome across = Execute(kCli, common + QStringList{QStringLiteral("--across")});
    EXPECT_EQ(across.Exit, 0) << across.Err.toStdString();
    EXPECT_EQ(QString::fromUtf8(across.Out),
              t.Path(QStringLiteral("archive/a.jpg\n")) + t.Path(QStringLiteral("camera/a.jpg\n")));
    EXPECT_TRUE(across.Err.contains(QStringLiteral(" 1 groups, 1 duplicate files")))
        << across.Err.toStdString();

    // With archive/2020 named too, its copy of c.jpg counts for it, not for archive.
    const Outcome nested =
        Execute(kCli, common + QStringList{t.Path(QStringLiteral("archive/2020")),
                                           QStringLiteral("--across")});
    EXPECT_EQ(nested.Out.count("\n\n"), 1) << nested.Out.toStdString();
    EXPECT_TRUE(
        nested.Out.contains(QFile::encodeName(t.Path(QStringLiteral("archive/2020/c.jpg")))));
}
