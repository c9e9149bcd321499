// Protected folders at the moment of acting: whatever the removal method, a marked file
// under a protected folder is left where it is, with its own action-log line and no error,
// and every other marked file is acted on as before.

#include "ActionsFixture.h"

#include "actions/ActionRun.h"
#include "actions/ProtectedFolders.h"
#include "actions/cls7z.h"
#include "actions/clsCleanup.h"
#include "app/PathCodec.h"

#include <zip.h>

#include <unistd.h>

namespace {

using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

QStringList ZipEntries(const QString& archive) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return {QStringLiteral("(no archive)")};
    QStringList names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        names << QString::fromUtf8(zip_get_name(zip, zip_uint64_t(i), 0));
    zip_discard(zip);
    return names;
}

class ProtectedRun : public actions_testing::TwoGroupsTest {
protected:
    void WriteProfileWith(const QString& method, const QStringList& protectedFolders) {
        ProfileSettings s;
        s.DeleteTo = method;
        s.Folder = Tree().Path(QStringLiteral("target"));
        WriteProfile(QStringLiteral("P"), s);
        const QString path = modCommon::ProfileFolder + QStringLiteral("P.xml");
        modXML::Document doc;
        ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
        pugi::xml_node protect = doc.Root().append_child("protect");
        for (const QString& folder : protectedFolders)
            modXML::SetAttribute(protect.append_child("protectedfolder"), QStringLiteral("path"),
                                 folder);
        ASSERT_TRUE(modXML::Save(doc, path));
    }

    Outcome Execute(const QString& action, qint64 currentRow = 1, qint64 fileCount = 7,
                    const QStringList& extra = {}) {
        ActionRun run(model, nullptr, messages);
        run.Action = action;
        run.FileCount = fileCount;
        run.SetProtectedFolders(extra);
        model.SetCurrent(currentRow, 1);
        return run.Execute(QStringLiteral("P"));
    }

    static QString Kept(const QString& path) {
        return path + QStringLiteral(" - ") + ActionRun::ProtectedText;
    }
    QStringList KeptLines() const { return ActionLines().filter(ActionRun::ProtectedText); }
};

class EveryMethod : public ProtectedRun, public ::testing::WithParamInterface<const char*> {};

} // namespace

// Rows: 1 header, 2-4 a.txt in d1, d2, d3; 5 header, 6-7 b.txt in d1, d2. d2 is protected,
// so of the three marked files only d3/a.txt goes.
TEST_P(EveryMethod, LeavesProtectedFilesAndActsOnTheRest) {
    const QString method = QString::fromLatin1(GetParam());
    WriteProfileWith(method, {Tree().Path(QStringLiteral("d2"))});
    MakeGroups();
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);

    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_TRUE(QFile::exists(b[1]));
    EXPECT_FALSE(QFile::exists(a[2]));
    EXPECT_EQ(KeptLines(), (QStringList{Kept(a[1]), Kept(b[1])}));
    EXPECT_EQ(ActionLines().last(), QStringLiteral("finished"));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 1);
    // Kept on purpose is no failure: the protected rows are neither red nor struck.
    EXPECT_EQ(Flags(), QStringLiteral("...s..."));
    if (method == u"zip") {
        EXPECT_EQ(ZipEntries(Tree().Path(QStringLiteral("target/P.zip"))),
                  QStringList{cls7z::EntryName(a[2])});
    } else if (method == u"move") {
        EXPECT_TRUE(QFile::exists(
            clsCleanup::DestinationUnder(Tree().Path(QStringLiteral("target")), a[2])));
    } else if (method == u"recycle") {
        EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files), QStringList{QStringLiteral("a.txt")});
    }
}

INSTANTIATE_TEST_SUITE_P(Protected, EveryMethod,
                         ::testing::Values("permanent", "recycle", "move", "zip"));

TEST_F(ProtectedRun, ASingleDeleteAndAGroupDeleteRespectItToo) {
    WriteProfileWith(QStringLiteral("permanent"), {Tree().Path(QStringLiteral("d2/"))});
    MakeGroups();
    // The person put the cursor on the protected d2/a.txt and asked to delete it.
    ASSERT_EQ(Execute(QStringLiteral("Delete"), 3, 1), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[1]));
    EXPECT_EQ(ActionLines(), (QStringList{Kept(a[1]), QStringLiteral("finished")}));
    EXPECT_TRUE(messages.Texts().isEmpty());
    ASSERT_EQ(Execute(QStringLiteral("DeleteGroup"), 5, 2), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(b[1]));
    EXPECT_EQ(KeptLines(), (QStringList{Kept(a[1]), Kept(b[1])}));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(Flags(), QStringLiteral("......."));
}

// The caller's folders (the window's unsaved list, --protect) count on top of the profile's,
// a folder named through a link protects where it leads, and only whole folder names count.
TEST_F(ProtectedRun, TheCallersFoldersAddToTheProfilesAndLinksAreSeenThrough) {
    WriteProfileWith(QStringLiteral("permanent"), {Tree().Path(QStringLiteral("d1"))});
    MakeGroups();
    const QString link = Tree().Path(QStringLiteral("link-to-d3"));
    ASSERT_EQ(::symlink(QFile::encodeName(Tree().Path(QStringLiteral("d3"))).constData(),
                        QFile::encodeName(link).constData()),
              0);
    // "d" is no folder of these files: d1, d2 and d3 merely start with its name.
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll"), 1, 7, {link, Tree().Path(QStringLiteral("d"))}),
              Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[2])) << "protected through the link";
    EXPECT_FALSE(QFile::exists(a[1]));
    EXPECT_FALSE(QFile::exists(b[1]));
    EXPECT_EQ(KeptLines(), QStringList{Kept(a[2])});
    EXPECT_EQ(Errors(), 0);
}

TEST(ProtectedFolders, CoverWholeFolderNamesExactly) {
    testing_support::TempTree t;
    const QString raw = PathCodec::Decode(QByteArray("caf\xe9"));
    t.CreateDir(raw + QStringLiteral("/inner"));
    t.CreateDir(QStringLiteral("plain"));
    const ProtectedFolders p(
        {t.Path(raw), QStringLiteral("  "), QString(), t.Path(QStringLiteral("plain/"))});
    EXPECT_FALSE(p.IsEmpty());
    const struct {
        QString Path;
        bool Covered;
    } cases[] = {
        {t.Path(raw + QStringLiteral("/inner/x.jpg")), true},
        {t.Path(raw + QStringLiteral("/x.jpg")), true},
        {t.Path(raw + QStringLiteral("2/x.jpg")), false},
        {t.Path(QStringLiteral("cafe/x.jpg")), false},
        {t.Path(QStringLiteral("plain/x")), true},
        {t.Path(QStringLiteral("plainer/x")), false},
        {t.Path(QStringLiteral("./plain/x")), true}, // the same folder, spelt another way
        {QStringLiteral("relative/plain/x"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.Covers(c.Path), c.Covered) << PathCodec::Display(c.Path).toStdString();
    EXPECT_TRUE(ProtectedFolders({QStringLiteral(" ")}).IsEmpty());
    EXPECT_FALSE(ProtectedFolders().Covers(t.Path(QStringLiteral("plain/x"))));
}

// Nothing at a move's destination is replaced, a protected file there no more than any other.
TEST_F(ProtectedRun, AMoveLeavesAProtectedFileAtItsDestinationAlone) {
    const QString target = Tree().Path(QStringLiteral("target"));
    WriteProfileWith(QStringLiteral("move"), {target});
    MakeGroups();
    const QString occupied = clsCleanup::DestinationUnder(target, a[1]);
    Tree().CreateFile(occupied.mid(Tree().Root().size()), "kept in the archive");
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(actions_testing::Contents(occupied), QByteArray("kept in the archive"));
    EXPECT_FALSE(QFile::exists(a[1]));
    EXPECT_TRUE(QFile::exists(occupied.chopped(4) + QStringLiteral(" (2).txt")));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(Flags(), QStringLiteral("..ss..s"));
}
