// echofind-cli scan --folders, and a profile that asks for duplicate folders: the groups of
// folders in each output, with any name, and what the summary counts.

#include "CliFixture.h"

#include "app/modCommon.h"
#include "profiles/IgnoreList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using namespace cli_testing;

class FolderScan : public CliHome {
protected:
    // Two copies of a folder with a nested folder, a third copy under a name that is not
    // UTF-8 and holds a newline, and a smaller pair elsewhere.
    void SetUp() override {
        CliHome::SetUp();
        root = QFile::encodeName(tree.Path(u"data"_s));
        for (const QByteArray& top :
             {QByteArray("/one"), QByteArray("/two"), QByteArray("/thr\xe9\ne")}) {
            WriteRaw(root + top + "/a.txt", "alpha");
            WriteRaw(root + top + "/inner/b.txt", "bravo!");
        }
        WriteRaw(root + "/small/x/c", "c");
        WriteRaw(root + "/small/y/c", "c");
        WriteRaw(root + "/small/own", "unique");
    }
    QByteArray root;
};

TEST_F(FolderScan, PlainAndNulOutputListTheTopmostFoldersLargestGroupFirst) {
    const QStringList args = Words("scan --folders -r -q") << PathCodec::Decode(root);
    const Result plain = Cli(0, args);
    EXPECT_EQ(plain.Bytes, root + "/one\n" + root + "/thr\xe9\ne\n" + root + "/two\n\n" + root +
                               "/small/x\n" + root + "/small/y\n");
    EXPECT_TRUE(Holds(plain.Err, u" 2 folder groups, 3 duplicate folders, 23 bytes to free"_s))
        << plain.Err.toStdString();

    const Result nul = Cli(0, args + Words("-0"));
    EXPECT_EQ(nul.Bytes, root + "/one" + '\0' + root + "/thr\xe9\ne" + '\0' + root + "/two" + '\0' +
                             '\0' + root + "/small/x" + '\0' + root + "/small/y" + '\0');

    EXPECT_TRUE(Cli(0, Words("scan --help")).Out.contains(u"--folders"_s));
}

TEST_F(FolderScan, JsonOutputGivesEachFolderWithItsSizeAndFileCount) {
    const Result found =
        Cli(0, Words("scan --folders --json -r -q --content md5") << PathCodec::Decode(root));
    QJsonParseError error;
    const QJsonObject top = QJsonDocument::fromJson(found.Bytes, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << found.Out.toStdString();
    EXPECT_EQ(top[u"criteria"].toArray(), QJsonArray({u"size"_s, u"md5"_s}));
    const QJsonArray groups = top[u"folder_groups"].toArray();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0][u"size"].toInt(), 11);
    EXPECT_EQ(groups[0][u"files"].toInt(), 2);
    const QJsonArray folders = groups[0][u"folders"].toArray();
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders[0][u"path"].toString().toUtf8(), root + "/one");
    EXPECT_EQ(folders[0][u"size"].toInt(), 11);
    EXPECT_EQ(folders[0][u"files"].toInt(), 2);
    // A name that is not UTF-8 is the array of its bytes.
    QByteArray bytes;
    for (const QJsonValue& b : folders[1][u"path"].toArray())
        bytes.append(char(b.toInt()));
    EXPECT_EQ(bytes, root + "/thr\xe9\ne");
    EXPECT_EQ(groups[1][u"folders"][1][u"path"].toString().toUtf8(), root + "/small/y");
    EXPECT_EQ(top[u"summary"][u"groups"].toInt(), 2);
    EXPECT_EQ(top[u"summary"][u"duplicate_folders"].toInt(), 3);
    EXPECT_EQ(top[u"summary"][u"bytes_to_free"].toInt(), 23);

    // Nothing found is still one document.
    const Result none = Cli(0, Words("scan --folders --json -q") << tree.Path(u"data/small/x"_s));
    const QJsonObject empty = QJsonDocument::fromJson(none.Bytes).object();
    EXPECT_TRUE(empty[u"folder_groups"].isArray() && empty[u"folder_groups"].toArray().isEmpty());
}

TEST_F(FolderScan, AProfileThatAsksForFoldersPrintsFolderGroups) {
    ProfileSettings p = ContentProfile({PathCodec::Decode(root + "/small")});
    SaveProfile(u"files"_s, p);
    p.FindFolders = true;
    SaveProfile(u"folders"_s, p);

    const Result files = Cli(0, Words("scan -q --profile files"));
    EXPECT_EQ(files.Bytes, root + "/small/x/c\n" + root + "/small/y/c\n");
    const Result folders = Cli(0, Words("scan -q --profile folders"));
    EXPECT_EQ(folders.Bytes, root + "/small/x\n" + root + "/small/y\n");
    EXPECT_TRUE(Holds(folders.Err, u" 1 folder groups, 1 duplicate folders"_s));
    // The option on the command line does it for a profile that does not ask.
    EXPECT_EQ(Cli(0, Words("scan -q --folders --profile files")).Bytes, folders.Bytes);
}

// 'run' on a profile that asks for folders acts on them: every file of each folder that is
// not the kept one goes, checked as any marked file is, and the emptied folders after them.
// Folders ignored by path and total size are neither printed nor touched.
TEST_F(FolderScan, RunRemovesTheFoldersThatAreNotKeptAndLeavesIgnoredOnes) {
    ProfileSettings p = ContentProfile({PathCodec::Decode(root)});
    p.FindFolders = true;
    p.DeleteTo = u"permanent"_s;
    SaveProfile(u"folders"_s, p);
    IgnoreList ignored;
    ignored.Add({PathCodec::Decode(root + "/small/x"), 1});
    ignored.Add({PathCodec::Decode(root + "/small/y"), 1});
    ASSERT_EQ(ignored.Save(IgnoreList::FileBeside(modCommon::ProfileFolder + u"folders.xml"_s)), 1);

    const Result run = Cli(0, Words("run folders --remove"));
    // The folder group as 'scan' prints it, the name with a line break taking two lines.
    EXPECT_EQ(run.Bytes.count('\n'), 4) << run.Bytes.toStdString();
    const auto there = [&](const QByteArray& rel) {
        return QFileInfo::exists(QFile::decodeName(root + rel));
    };
    EXPECT_TRUE(there("/one/a.txt") && there("/one/inner/b.txt")) << "the first folder is kept";
    EXPECT_FALSE(there("/two") || there("/thr\xe9\ne"));
    EXPECT_TRUE(there("/small/x/c") && there("/small/y/c"));
    EXPECT_TRUE(Holds(run.Err, u"remove: 4 files acted on, 4 removed, 0 flagged, 0 errors"_s))
        << run.Err.toStdString();
}

} // namespace
