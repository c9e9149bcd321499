// Names that are not UTF-8, from the scan to the actions and the report: "caf\xe9.txt" and
// "caf\xe8.txt" read alike once decoded, yet each must be shown, acted on and reported as
// itself.

#include "ActionsFixture.h"

#include "actions/ActionRun.h"
#include "app/PathCodec.h"
#include "engine/FileList.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"

#include <cerrno>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

using actions_testing::ActionsTest;
using actions_testing::Contents;
using actions_testing::ProfileSettings;

// Removes a tree by its bytes: Qt's own removal decodes names and so cannot find these.
void RemoveTree(const QByteArray& path) {
    ::nftw(
        path.constData(),
        [](const char* entry, const struct stat*, int, struct FTW*) { return ::remove(entry); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

class RawNames : public ActionsTest {
protected:
    ~RawNames() override {
        for (const char* folder : {"tree", "target", "single"})
            RemoveTree(QFile::encodeName(Tree().Path(QString::fromLatin1(folder))));
    }

    void SetUp() override {
        ActionsTest::SetUp();
        root = QFile::encodeName(Tree().CreateDir(QStringLiteral("tree")));
        for (const char* folder : {"/d1", "/d2"})
            ASSERT_TRUE(::mkdir((root + folder).constData(), 0755) == 0 || errno == EEXIST);
        for (const QByteArray& rel : {Acute1, Acute2, Grave1, Grave2})
            Write(root + rel, "same bytes");
    }

    static void Write(const QByteArray& path, const QByteArray& bytes) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }
    bool Exists(const QByteArray& rel) const {
        struct stat st;
        return ::lstat((root + rel).constData(), &st) == 0;
    }

    // Scans the tree by name, size and content into the model: two groups of two.
    void Scan() {
        clsFindFile scan;
        scan.IncludeSubFolder = true;
        scan.MatchName = true;
        scan.MatchSize = true;
        scan.ContentMatch = true;
        scan.MatchType = QStringLiteral("md5");
        FileList list;
        ASSERT_EQ(scan.ScanFolders({PathCodec::Decode(root)}, list), 1);
        ASSERT_EQ(GroupingPass(list, model), 2);
        ASSERT_EQ(model.RowCount(), 6);
    }
    // The header row of the group whose file name has the byte.
    qint64 HeaderOf(char byte) const {
        for (qint64 r = 1; r <= model.RowCount(); ++r) {
            if (model.IsGroupHeader(r) && PathCodec::Encode(model.Text(r, 2)).contains(byte))
                return r;
        }
        return 0;
    }

    ActionRun::Outcome Run(const QString& action, qint64 current, qint64 count) {
        ActionRun run(model, nullptr, messages);
        run.Action = action;
        run.FileCount = count;
        model.SetCurrent(current, 1);
        return run.Execute(QStringLiteral("P"));
    }

    static inline const QByteArray Acute1 = "/d1/caf\xe9.txt";
    static inline const QByteArray Acute2 = "/d2/caf\xe9.txt";
    static inline const QByteArray Grave1 = "/d1/caf\xe8.txt";
    static inline const QByteArray Grave2 = "/d2/caf\xe8.txt";
    QByteArray root;
    ResultsModel model;
};

TEST_F(RawNames, RowsKeepTheExactBytesAndShowThemReadably) {
    Scan();
    QSet<QByteArray> paths;
    for (qint64 r = 1; r <= model.RowCount(); ++r) {
        if (!model.IsGroupHeader(r))
            paths << PathCodec::Encode(model.Text(r, 3));
    }
    EXPECT_EQ(paths,
              (QSet<QByteArray>{root + Acute1, root + Acute2, root + Grave1, root + Grave2}));

    const qint64 acute = HeaderOf('\xe9');
    ASSERT_GT(acute, 0);
    const QModelIndex shownPath = model.index(int(acute + 1 - 1), 3);
    EXPECT_EQ(model.data(shownPath).toString(),
              PathCodec::Decode(root) + QStringLiteral("/d1/caf\\xE9.txt"));
    EXPECT_EQ(model.data(model.index(int(acute - 1), 2)).toString(),
              QStringLiteral("caf\\xE9.txt   (2 copies)"));
}

// Every remove rule acts on the very file of the row: the marked "caf\xe9.txt" leaves its
// path, and its look-alike "caf\xe8.txt" stays.
TEST_F(RawNames, EachRemoveRuleActsOnExactlyTheMarkedFile) {
    const QString target = Tree().Path(QStringLiteral("target/"));
    for (const char* rule : {"recycle", "permanent", "move", "zip"}) {
        SCOPED_TRACE(rule);
        TearDown();
        model.ClearRecs();
        modLog::ResetRunStats();
        SetUp();
        ProfileSettings settings;
        settings.DeleteTo = QString::fromLatin1(rule);
        settings.Folder = target;
        settings.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
        settings.ExportFormat = QStringLiteral("text");
        WriteProfile(QStringLiteral("P"), settings);
        Scan();

        const qint64 acute = HeaderOf('\xe9');
        ASSERT_EQ(Run(QStringLiteral("DeleteGroup"), acute, 2), ActionRun::Outcome::Finished);
        EXPECT_EQ(modLog::RunStats.ErrorCount, 0) << ActionLines().join(u'\n').toStdString();
        EXPECT_FALSE(Exists(Acute2));
        EXPECT_TRUE(Exists(Acute1));
        EXPECT_TRUE(Exists(Grave1));
        EXPECT_TRUE(Exists(Grave2));
        EXPECT_TRUE(model.IsStruck(acute + 2));

        const QByteArray moved = QFile::encodeName(target) + root.mid(1) + Acute2;
        if (settings.DeleteTo == u"recycle") {
            const QByteArray trashed =
                QFile::encodeName(Tree().Path(QStringLiteral("home/data/Trash/files/"))) +
                "caf\xe9.txt";
            struct stat st;
            EXPECT_EQ(::lstat(trashed.constData(), &st), 0) << trashed.constData();
        } else if (settings.DeleteTo == u"move") {
            struct stat st;
            EXPECT_EQ(::lstat(moved.constData(), &st), 0) << moved.constData();
        } else if (settings.DeleteTo == u"zip") {
            int err = 0;
            zip_t* zip = zip_open(QFile::encodeName(target + QStringLiteral("P.zip")).constData(),
                                  ZIP_RDONLY, &err);
            ASSERT_NE(zip, nullptr);
            QList<QByteArray> names; // as stored, not as a reader would guess their encoding
            for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
                names << QByteArray(zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW));
            EXPECT_EQ(names, QList<QByteArray>{root.mid(1) + Acute2});
            zip_discard(zip);
        }

        // The run log and the report show the name readably.
        const QByteArray runLog = Contents(modCommon::LogPath + QStringLiteral("P.log"));
        EXPECT_TRUE(runLog.contains("/d2/caf\\\\xE9.txt")) << runLog.constData();
        ASSERT_EQ(Run(QStringLiteral("Export"), 1, model.RowCount()), ActionRun::Outcome::Finished);
        const QStringList report = QString::fromUtf8(Tree().Read(QStringLiteral("reports/P.txt")))
                                       .split(QStringLiteral("\r\n"));
        const QString shownRoot = PathCodec::Decode(root);
        EXPECT_EQ(report.filter(shownRoot + QStringLiteral("/d2/caf\\xE9.txt ")).size(), 1);
        EXPECT_TRUE(report.filter(shownRoot + QStringLiteral("/d2/caf\\xE9.txt "))
                        .value(0)
                        .trimmed()
                        .endsWith(QStringLiteral("deleted")));
        EXPECT_EQ(report.filter(shownRoot + QStringLiteral("/d2/caf\\xE8.txt ")).size(), 1);
    }
}

TEST_F(RawNames, SingleCopiesKeepTheExactNames) {
    ProfileSettings settings;
    settings.CreateIn = Tree().Path(QStringLiteral("single"));
    WriteProfile(QStringLiteral("P"), settings);
    Scan();
    ASSERT_EQ(Run(QStringLiteral("SingleCopy"), 1, model.RowCount()), ActionRun::Outcome::Finished);
    EXPECT_EQ(modLog::RunStats.ErrorCount, 0);
    const QByteArray copies = QFile::encodeName(settings.CreateIn) + "/P" + root;
    struct stat st;
    for (const QByteArray& kept : {Acute1, Grave1})
        EXPECT_EQ(::lstat((copies + kept).constData(), &st), 0) << (copies + kept).constData();
    for (const QByteArray& marked : {Acute2, Grave2})
        EXPECT_NE(::lstat((copies + marked).constData(), &st), 0);
}

} // namespace
