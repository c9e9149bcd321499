// Protected folders at the moment of acting: whatever the removal method, a marked file
// under a protected folder is left where it is, with its own action-log line and no error,
// and every other marked file is acted on as before.

#include "ActionsFixture.h"

#include "actions/ProtectedFolders.h"
#include "actions/cls7z.h"
#include "actions/clsCleanup.h"

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

class ProtectedRun : public TwoGroupsTest {
protected:
    void Use(const QString& method, const QStringList& protectedFolders) {
        ActionSettings s(method, Tree().Path(u"target"_s));
        s.Protected = protectedFolders;
        Start(s);
    }
    static QString Kept(const QString& path) { return Said(path, ActionRun::ProtectedText); }
    QStringList KeptLines() const { return ActionLines().filter(ActionRun::ProtectedText); }
};

class EveryMethod : public ProtectedRun, public ::testing::WithParamInterface<const char*> {};

// Rows: 1 header, 2-4 a.txt in d1, d2, d3; 5 header, 6-7 b.txt in d1, d2. d2 is protected,
// so of the three marked files only d3/a.txt goes.
TEST_P(EveryMethod, LeavesProtectedFilesAndActsOnTheRest) {
    const QString method = QString::fromLatin1(GetParam());
    Use(method, {Tree().Path(u"d2"_s)});
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);

    EXPECT_TRUE(QFile::exists(a[1]) && QFile::exists(b[1]));
    EXPECT_FALSE(QFile::exists(a[2]));
    EXPECT_EQ(KeptLines(), (QStringList{Kept(a[1]), Kept(b[1])}));
    EXPECT_EQ(ActionLines().last(), u"finished"_s);
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 1);
    // Kept on purpose is no failure: the protected rows are neither red nor struck.
    EXPECT_EQ(Flags(), u"...s..."_s);
    if (method == u"zip") {
        EXPECT_EQ(ZipEntries(Tree().Path(u"target/P.zip"_s)), QStringList{cls7z::EntryName(a[2])});
    } else if (method == u"move") {
        EXPECT_TRUE(QFile::exists(clsCleanup::DestinationUnder(Tree().Path(u"target"_s), a[2])));
    } else if (method == u"recycle") {
        EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files), QStringList{u"a.txt"_s});
    }
}

INSTANTIATE_TEST_SUITE_P(Protected, EveryMethod,
                         ::testing::Values("permanent", "recycle", "move", "zip"));

// The caller's folders (the window's unsaved list, --protect) count on top of the profile's,
// a folder named through a link protects where it leads, and only whole folder names count.
TEST_F(ProtectedRun, TheCallersFoldersAddToTheProfilesAndLinksAreSeenThrough) {
    Use(u"permanent"_s, {Tree().Path(u"d1"_s)});
    const QString link = Tree().Path(u"link-to-d3"_s);
    ASSERT_TRUE(QFile::link(Tree().Path(u"d3"_s), link));
    // "d" is no folder of these files: d1, d2 and d3 merely start with its name.
    const auto protect = [&](ActionRun& r) { r.SetProtectedFolders({link, Tree().Path(u"d"_s)}); };
    // The person put the cursor on the protected d3/a.txt and asked to delete it.
    ASSERT_EQ(Act(u"Delete"_s, 4, 0, protect), Outcome::Finished);
    EXPECT_EQ(ActionLines(), (QStringList{Kept(a[2]), u"finished"_s}));
    EXPECT_TRUE(messages.Texts().isEmpty());
    ASSERT_EQ(Act(u"DeleteAll"_s, 1, 0, protect), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(a[2])) << "protected through the link";
    EXPECT_FALSE(QFile::exists(a[1]) || QFile::exists(b[1]));
    EXPECT_EQ(KeptLines(), (QStringList{Kept(a[2]), Kept(a[2])}));
    EXPECT_EQ(Flags(), u"..s...s"_s);
    EXPECT_EQ(Errors(), 0);
}

TEST(ProtectedFolders, CoverWholeFolderNamesExactly) {
    testing_support::TempTree t;
    const QString raw = PathCodec::Decode(QByteArray("caf\xe9"));
    t.CreateDir(raw + u"/inner"_s);
    t.CreateDir(u"plain"_s);
    const ProtectedFolders p({t.Path(raw), u"  "_s, QString(), t.Path(u"plain/"_s)});
    EXPECT_FALSE(p.IsEmpty());
    const struct {
        QString Path;
        bool Covered;
    } cases[] = {
        {t.Path(raw + u"/inner/x.jpg"_s), true},
        {t.Path(raw + u"/x.jpg"_s), true},
        {t.Path(raw + u"2/x.jpg"_s), false},
        {t.Path(u"cafe/x.jpg"_s), false},
        {t.Path(u"plain/x"_s), true},
        {t.Path(u"plainer/x"_s), false},
        {t.Path(u"./plain/x"_s), true}, // the same folder, spelt another way
        {u"relative/plain/x"_s, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.Covers(c.Path), c.Covered) << PathCodec::Display(c.Path).toStdString();
    EXPECT_TRUE(ProtectedFolders({u" "_s}).IsEmpty());
    EXPECT_FALSE(ProtectedFolders().Covers(t.Path(u"plain/x"_s)));
}

} // namespace
