// echofind-cli scan as a user runs it: the corpus groups in both content modes, exit codes,
// the outputs for any name, the hash cache, and a profile scan that leaves its run log and
// catalogue entry.

#include "CliFixture.h"

#include "profiles/Catalogue.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

using namespace cli_testing;
using Scan = CliHome;

TEST_F(Scan, FindsExactlyTheCorpusGroupsInBothContentModes) {
    const QString corpus = tree.Path(u"corpus"_s);
    const Result made =
        Tool("make-tree",
             QStringList{corpus} + Words("--files 2000 --seed 7 --with-links --odd-bytes --quiet"));
    ASSERT_EQ(made.Exit, 0) << made.Err.toStdString();
    for (const char* mode : {"crc", "md5"}) {
        const Result scan = Cli(0, Words("scan -r --hidden --readonly -q --content")
                                       << QString::fromLatin1(mode) << corpus);
        EXPECT_TRUE(Holds(scan.Err, u" groups, "_s));
        const QString report = tree.CreateFile(QString::fromLatin1(mode), scan.Bytes);
        const Result check = Tool(
            "check-groups", {corpus + u".manifest.json"_s, report, u"--hardlinks"_s, u"one"_s});
        EXPECT_EQ(check.Exit, 0) << mode << ": " << check.Out.toStdString();
    }
}

TEST_F(Scan, ExitStatusTellsUsageFromFailure) {
    const struct {
        const char* Args; // in the tree's folder
        int Exit;
        const char* Said;
    } cases[] = {
        {"", 2, ""},
        {"frobnicate", 2, ""},
        {"scan", 2, "no folder to scan"},
        {"scan --content sha1 .", 2, ""},
        {"scan --profile p .", 2, ""},
        {"scan --threads 0 .", 2, "--threads takes a number from 1 to 64"},
        {"scan --json -0 .", 2, "choose one"},
        {"scan . --cache", 2, "option --cache needs a value"},
        {"run", 2, ""},
        {"run P --cache", 2, ""},
        {"run P --shred", 2, ""},
        {"scan missing", 3, ""},
    };
    for (const auto& c : cases) {
        const Result r = Cli(Words(c.Args), tree.Root());
        EXPECT_EQ(r.Exit, c.Exit) << c.Args;
        EXPECT_TRUE(r.Err.contains(QLatin1String(c.Said))) << c.Args << ": " << r.Err.toStdString();
        EXPECT_TRUE(r.Out.isEmpty()) << c.Args;
    }

    // After "--" every argument is a folder, even one named like an option.
    tree.CreateCopies("same", {"dash/-r/x", "dash/-r/y"});
    EXPECT_TRUE(Holds(Cli(0, Words("scan -q -- -r"), tree.Path(u"dash"_s)).Out, u"-r/x\n"_s));

    // Groups separated by one empty line, kept file first; an unlistable folder is an error.
    tree.CreateCopies("1111", {"g/a/x", "g/b/y"});
    tree.CreateCopies("22", {"g/a/z", "g/b/w"});
    const Result found = Cli(0, Words("scan -r -q") << tree.Path(u"g"_s));
    EXPECT_EQ(found.Out, tree.Path(u"g/a/z\n"_s) + tree.Path(u"g/b/w\n\n"_s) +
                             tree.Path(u"g/a/x\n"_s) + tree.Path(u"g/b/y\n"_s));
    const Result partly = Cli(1, Words("scan -q") << tree.Path(u"g"_s) << tree.Path(u"gone"_s));
    EXPECT_TRUE(Holds(partly.Err, u"modAPI.MyFindFirstFile"_s));
}

TEST_F(Scan, AProfileScanWritesItsRunLogAndCatalogueEntry) {
    tree.CreateCopies("abc", {"data/one/same.txt", "data/two/same.txt"});
    SaveProfile(u"Mine"_s, ContentProfile({tree.Path(u"data"_s)}));
    const Result run = Cli(0, Words("scan --profile Mine -q"));
    EXPECT_EQ(run.Out.count(u'\n'), 2);
    const Result json = Cli(0, Words("scan --profile Mine --json -q"));
    EXPECT_EQ(QJsonDocument::fromJson(json.Bytes)[u"groups"][0][u"files"].toArray().size(), 2)
        << json.Out.toStdString();
    EXPECT_TRUE(RunLog(u"Mine"_s).contains("No of duplicate files found\\tab :  1\\par"));

    // A damaged document fails the run and marks its row "Error"; a name without a
    // document fails too but gets no row.
    tree.CreateFile(modCommon::ProfileFolder.mid(tree.Root().size()) + u"Broken.xml"_s,
                    "<echofind><profileoption>");
    for (const char* name : {"Broken", "Nowhere"})
        EXPECT_EQ(Cli(Words("scan --profile") << QString::fromLatin1(name)).Exit, 3) << name;
    std::vector<Catalogue::Entry> entries;
    ASSERT_EQ(Catalogue::ReadEntries(entries), 1);
    QStringList statuses;
    for (const Catalogue::Entry& e : entries)
        statuses << e.Name + u'=' + e.Status;
    statuses.sort();
    EXPECT_EQ(statuses, (QStringList{u"Broken=Error"_s, u"Mine=Success"_s}));
}

// Two names that decode alike ("caf\xe9", "caf\xe8"), under a folder named in bytes too,
// are found from the folder as given and printed as the file system spells them, so the
// output can be fed back to other tools.
TEST_F(Scan, TakesAndPrintsNamesThatAreNotUtf8AsTheirOwnBytes) {
    const QByteArray root = QFile::encodeName(tree.Root()) + "tr\xea";
    QList<QByteArray> paths;
    for (const char* folder : {"", "/a", "/b"})
        ::mkdir((root + folder).constData(), 0755);
    for (const char* rel : {"/a/caf\xe8.txt", "/a/caf\xe9.txt", "/b/caf\xe8.txt", "/b/caf\xe9.txt"})
        WriteRaw(paths.emplace_back(root + rel), "same");
    // Through the shell: a process started by Qt gets its arguments re-encoded.
    const Result r = Sh("exec \"$0\" scan -r --name -q \"$1$(printf 'tr\\352')\"", {tree.Root()});
    EXPECT_EQ(r.Exit, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Bytes, paths[0] + '\n' + paths[2] + "\n\n" + paths[1] + '\n' + paths[3] + '\n');
}

TEST_F(Scan, NullOutputCarriesAnyNameExactly) {
    const QByteArray root = QFile::encodeName(tree.Root());
    for (const char* name : {"two\nlines", "caf\xe9"})
        WriteRaw(root + name, "same");
    for (const char* name : {"plain", "plain2"})
        WriteRaw(root + name, "other");
    for (const char* option : {"-0", "--null"}) {
        const Result found = Cli(0, Words("scan -q") << QString::fromLatin1(option) << tree.Root());
        EXPECT_EQ(found.Bytes, root + "caf\xe9" + '\0' + root + "two\nlines" + '\0' + '\0' + root +
                                   "plain" + '\0' + root + "plain2" + '\0')
            << found.Out.toStdString();
    }
    EXPECT_TRUE(Cli(Words("scan --help")).Out.contains(u"-0, --null"_s));
}

TEST_F(Scan, NamedRootsAreFollowedOrSaidToBeSkipped) {
    tree.CreateCopies("1111", {"real/a", "real/b"});
    ASSERT_TRUE(QFile::link(tree.Path(u"real"_s), tree.Path(u"named"_s)));
    const Result linked = Cli(0, Words("scan -q") << tree.Path(u"named"_s));
    EXPECT_EQ(linked.Out, tree.Path(u"named/a\n"_s) + tree.Path(u"named/b\n"_s));

    // A kernel virtual file system is never read, and the user is told so.
    if (!QFileInfo(u"/proc/self/status"_s).exists())
        GTEST_SKIP() << "/proc is not mounted";
    const Result skipped = Cli(1, Words("scan -q /proc/self") << tree.Path(u"real"_s));
    EXPECT_TRUE(Holds(skipped.Err, u"/proc/self/ -  not scanned: a kernel virtual file system"_s));
    EXPECT_EQ(skipped.Out.count(u'\n'), 2);

    // The same from a saved profile: its run log and standard error both say it.
    SaveProfile(u"Virtual"_s, ContentProfile({u"/proc/self"_s}));
    const Result run = Cli(1, Words("scan --profile Virtual -q"));
    EXPECT_TRUE(Holds(run.Err, u"/proc/self/ -  not scanned"_s));
    EXPECT_TRUE(RunLog(u"Virtual"_s).contains("/proc/self/ -  not scanned"));
}

TEST_F(Scan, TheHashCacheIsWhereTheOptionsSayAndADamagedOneChangesNothing) {
    tree.CreateCopies("same bytes", {"tree/a/x", "tree/b/x"});
    const QString folder = tree.Path(u"tree"_s);
    const QString groups = folder + u"/a/x\n"_s + folder + u"/b/x\n"_s;
    EXPECT_EQ(Cli(Words("scan -r -q --no-cache") << folder).Out, groups);
    EXPECT_FALSE(tree.Exists(u"cache"_s));
    EXPECT_EQ(Cli(Words("scan -r -q") << folder).Out, groups);
    EXPECT_TRUE(tree.Exists(u"cache/echofind/HashCache.sqlite"_s));
    EXPECT_EQ(Cli(Words("scan -r -q --cache") << tree.Path(u"named.sqlite"_s) << folder).Out,
              groups);
    EXPECT_TRUE(tree.Exists(u"named.sqlite"_s));

    // Standard error as given (a file here) keeps the application-log line and the summary.
    const QString damaged = tree.CreateFile(u"damaged.sqlite"_s, QByteArray(8192, 'z'));
    const Result r = Sh("exec \"$0\" scan -r -q --cache=\"$1\" \"$2\" 2>\"$3\"",
                        {damaged, folder, tree.Path(u"err.txt"_s)});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Out, groups);
    const QByteArray err = tree.Read(u"err.txt"_s);
    EXPECT_EQ(err.count("Hash cache "), 1) << err.toStdString();
    EXPECT_TRUE(Holds(err, "1 groups, 1 duplicate files"));
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

TEST_F(Scan, JsonOutputIsOneDocumentThatGivesBackEveryPathAndTheScansValues) {
    const QByteArray root = QFile::encodeName(tree.Root());
    // Names JSON must escape, names that are not UTF-8, and one that is plain.
    const QList<QByteArray> same = {"caf\xe9", "caf\xe8", "q\"uote\\back", "new\nline", "plain"};
    QList<QByteArray> expected;
    for (const QByteArray& name : same)
        WriteRaw(expected.emplace_back(root + name), "same bytes", 1600000000);
    WriteRaw(expected.emplace_back(root + "other1"), "other", 1500000000);
    WriteRaw(expected.emplace_back(root + "other2"), "other", 1500000001);
    WriteRaw(root + "alone", "alone", 1500000000);
    std::sort(expected.begin(), expected.end());

    for (const char* mode : {"crc", "md5"}) {
        SCOPED_TRACE(mode);
        const Result found = Cli(0, Words("scan --json -q --size --content")
                                        << QString::fromLatin1(mode) << tree.Root());
        QJsonParseError error;
        const QJsonObject top = QJsonDocument::fromJson(found.Bytes, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << found.Out.toStdString();
        const QString signature = mode == std::string_view("crc") ? u"crc32"_s : u"md5"_s;
        EXPECT_EQ(top[u"criteria"].toArray(), QJsonArray({u"size"_s, signature}));
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
        std::sort(paths.begin(), paths.end());
        EXPECT_EQ(paths, expected);

        // The group of "same bytes": size, times in seconds since the epoch, the signature.
        const QJsonObject file =
            groups[groups[0][u"key"][u"size"].toInt() == 10 ? 0 : 1][u"files"][0].toObject();
        EXPECT_EQ(file[u"size"].toInt(), 10);
        EXPECT_EQ(file[u"modified"].toInteger(), 1600000000);
        if (signature == u"md5") {
            EXPECT_EQ(file[u"md5"].toString(),
                      QString::fromLatin1(
                          QCryptographicHash::hash("same bytes", QCryptographicHash::Md5).toHex()));
        } else {
            EXPECT_TRUE(file[u"crc32"].toDouble() >= 0 && file[u"crc32"].toDouble() < 4294967296.0);
        }
        EXPECT_EQ(top[u"summary"][u"groups"].toInt(), 2);
        EXPECT_EQ(top[u"summary"][u"duplicate_files"].toInt(), 5);
        EXPECT_EQ(top[u"summary"][u"bytes_to_free"].toInt(), 4 * 10 + 5);
    }

    // Nothing found is still one document.
    const Result none = Cli(0, Words("scan --json -q --name --include alone") << tree.Root());
    const QJsonObject empty = QJsonDocument::fromJson(none.Bytes).object();
    EXPECT_EQ(empty[u"criteria"].toArray(), QJsonArray({u"name"_s}));
    EXPECT_TRUE(empty[u"groups"].isArray() && empty[u"groups"].toArray().isEmpty());
    EXPECT_EQ(empty[u"summary"][u"groups"].toInt(), 0);
}

// --across keeps the groups that span two of the named folders, a file counting for the
// deepest named folder that holds it.
TEST_F(Scan, AcrossKeepsOnlyGroupsThatSpanTheNamedFolders) {
    tree.CreateCopies("shot one", {"camera/a.jpg", "archive/a.jpg"});
    tree.CreateCopies("burst", {"camera/b1.jpg", "camera/b2.jpg"});
    tree.CreateCopies("nested", {"archive/2020/c.jpg", "archive/c.jpg"});
    const QStringList common = Words("scan -r -q")
                               << tree.Path(u"camera"_s) << tree.Path(u"archive"_s);
    EXPECT_EQ(Cli(common).Out.count(u"\n\n"_s), 2) << "three groups without --across";

    const Result across = Cli(0, common + Words("--across"));
    EXPECT_EQ(across.Out, tree.Path(u"archive/a.jpg\n"_s) + tree.Path(u"camera/a.jpg\n"_s));
    EXPECT_TRUE(Holds(across.Err, u" 1 groups, 1 duplicate files"_s));

    // With archive/2020 named too, its copy of c.jpg counts for it, not for archive.
    const Result nested = Cli(common + QStringList{tree.Path(u"archive/2020"_s), u"--across"_s});
    EXPECT_EQ(nested.Out.count(u"\n\n"_s), 1) << nested.Out.toStdString();
    EXPECT_TRUE(nested.Out.contains(tree.Path(u"archive/2020/c.jpg"_s)));
}

} // namespace
