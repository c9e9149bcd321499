// Names that are not UTF-8, from the scan to the actions and the report: "caf\xe9.txt" and
// "caf\xe8.txt" read alike once decoded, yet each must be shown, acted on and reported as
// itself.

#include "ActionsFixture.h"

#include "engine/FileList.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"

#include <unistd.h>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

class RawNames : public ActionsTest {
protected:
    // Writes the tree and scans it by name, size and content into the model: two groups of
    // two, of the same bytes.
    void Scan() {
        model.ClearRecs();
        root = QFile::encodeName(Tree().Root()) + "tree";
        for (const QByteArray& rel : {Acute1, Acute2, Grave1, Grave2})
            testing_support::WriteFile(PathCodec::Decode(root + rel), "same bytes");
        clsFindFile scan;
        scan.IncludeSubFolder = true;
        scan.MatchName = true;
        scan.MatchSize = true;
        scan.ContentMatch = true;
        scan.MatchType = u"md5"_s;
        FileList list;
        ASSERT_EQ(scan.ScanFolders({PathCodec::Decode(root)}, list), 1);
        ASSERT_EQ(GroupingPass(list, model), 2);
        ASSERT_EQ(model.RowCount(), 6);
    }
    bool Exists(const QByteArray& rel) const {
        return ::access((root + rel).constData(), F_OK) == 0;
    }
    // The header row of the group whose file name has the byte.
    qint64 HeaderOf(char byte) const {
        for (qint64 r = 1; r <= model.RowCount(); ++r) {
            if (model.IsGroupHeader(r) && PathCodec::Encode(model.Text(r, 2)).contains(byte))
                return r;
        }
        return 0;
    }

    static inline const QByteArray Acute1 = "/d1/caf\xe9.txt";
    static inline const QByteArray Acute2 = "/d2/caf\xe9.txt";
    static inline const QByteArray Grave1 = "/d1/caf\xe8.txt";
    static inline const QByteArray Grave2 = "/d2/caf\xe8.txt";
    QByteArray root;
    ResultsModel model;
};

TEST_F(RawNames, RowsAndSingleCopiesKeepTheExactBytesAndShowThemReadably) {
    ActionSettings settings;
    settings.CreateIn = Tree().Path(u"single"_s);
    WriteProfile(u"P"_s, settings);
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
    EXPECT_EQ(model.data(model.index(int(acute), 3)).toString(),
              PathCodec::Decode(root) + u"/d1/caf\\xE9.txt"_s);
    EXPECT_EQ(model.data(model.index(int(acute - 1), 2)).toString(),
              u"caf\\xE9.txt   (2 copies)"_s);

    ASSERT_EQ(Act(model, u"SingleCopy"_s), Outcome::Finished);
    EXPECT_EQ(Errors(), 0);
    const QByteArray copies = QFile::encodeName(settings.CreateIn) + "/P" + root;
    for (const QByteArray& kept : {Acute1, Grave1})
        EXPECT_EQ(::access((copies + kept).constData(), F_OK), 0) << (copies + kept).constData();
    for (const QByteArray& marked : {Acute2, Grave2})
        EXPECT_NE(::access((copies + marked).constData(), F_OK), 0);
}

// Every remove rule acts on the very file of the row: the marked "caf\xe9.txt" leaves its
// path, and its look-alike "caf\xe8.txt" stays.
TEST_F(RawNames, EachRemoveRuleActsOnExactlyTheMarkedFile) {
    const QString target = Tree().Path(u"target/"_s);
    for (const char* rule : {"recycle", "permanent", "move", "zip"}) {
        SCOPED_TRACE(rule);
        modLog::ResetRunStats();
        ActionSettings settings(QString::fromLatin1(rule), target);
        settings.ExportLocation = Tree().CreateDir(u"reports"_s);
        settings.ExportFormat = u"text"_s;
        WriteProfile(u"P"_s, settings);
        Scan();

        const qint64 acute = HeaderOf('\xe9');
        ASSERT_EQ(Act(model, u"DeleteGroup"_s, acute), Outcome::Finished);
        EXPECT_EQ(Errors(), 0) << ActionLines().join(u'\n').toStdString();
        EXPECT_FALSE(Exists(Acute2));
        EXPECT_TRUE(Exists(Acute1) && Exists(Grave1) && Exists(Grave2));
        EXPECT_TRUE(model.IsStruck(acute + 2));

        const QByteArray moved = QFile::encodeName(target) + root.mid(1) + Acute2;
        if (settings.DeleteTo == u"recycle") {
            EXPECT_EQ(::access((QFile::encodeName(TrashFiles()) + "caf\xe9.txt").constData(), F_OK),
                      0);
        } else if (settings.DeleteTo == u"move") {
            EXPECT_EQ(::access(moved.constData(), F_OK), 0) << moved.constData();
        } else if (settings.DeleteTo == u"zip") { // as stored, not as a reader would guess
            EXPECT_EQ(ZipEntries(target + u"P.zip"_s),
                      QStringList{PathCodec::Decode(root.mid(1) + Acute2)});
        }

        // The run log and the report show the name readably.
        EXPECT_TRUE(Holds(ReadFile(modCommon::LogPath + u"P.log"_s), "/d2/caf\\\\xE9.txt"));
        ASSERT_EQ(Act(model, u"Export"_s), Outcome::Finished);
        const QStringList report =
            QString::fromUtf8(Tree().Read(u"reports/P.txt"_s)).split(u"\r\n"_s);
        const QString shownRoot = PathCodec::Decode(root);
        const QStringList acuteLines = report.filter(shownRoot + u"/d2/caf\\xE9.txt "_s);
        ASSERT_EQ(acuteLines.size(), 1);
        EXPECT_TRUE(acuteLines[0].trimmed().endsWith(u"deleted"_s));
        EXPECT_EQ(report.filter(shownRoot + u"/d2/caf\\xE8.txt "_s).size(), 1);
    }
}

} // namespace
