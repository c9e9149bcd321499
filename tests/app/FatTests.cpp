// Moves and copies onto a FAT file system, which has neither hard links nor a no-replace
// rename: what USB sticks and many network shares give people.

#include "FileSystems.h"
#include "TestSupport.h"

#include "app/modAPI.h"

#include <QDirIterator>
#include <QFile>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

class Fat : public ::testing::Test {
protected:
    void SetUp() override {
        if (fat.Skip())
            GTEST_SKIP() << fat.Skip();
        ASSERT_TRUE(fat.Mounted());
    }

    QString OnFat(const QString& rel) const { return fat.Root() + u'/' + rel; }
    // Every file on the stick, temporary files and claims included, as "path=bytes".
    QString Files() const {
        QStringList files;
        QDirIterator it(fat.Root(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files << path.mid(fat.Root().size() + 1) + u'=' + QString::fromLatin1(ReadFile(path));
        }
        files.sort();
        return files.join(u' ');
    }

    AppFolder app;
    FatVolume fat;
};

} // namespace

TEST_F(Fat, MovesOntoTheStickNeverReplaceAndLeaveNothingBehind) {
    const TempTree& tree = app.Tree();
    const QString a = tree.CreateFile(u"src/a.txt"_s, "aaa", 1600000000);
    const QString b = tree.CreateFile(u"src/b.txt"_s, "bbb");
    const QString deep = OnFat(u"keep/deep/a.txt"_s);
    ASSERT_EQ(modAPI::MyMakeSureDirectoryPathExists(deep), 1);

    // Across file systems: copied, then the source removed.
    ASSERT_EQ(modAPI::MyMoveFile(a, deep), 1) << modAPI::LastAPIError;
    EXPECT_FALSE(tree.Exists(u"src/a.txt"_s));
    modAPI::FileInfo info;
    ASSERT_EQ(modAPI::MyStat(deep, info), 1);
    EXPECT_EQ(info.ModifiedSecs, 1600000000);
    // An occupied name stays as it is, and so does the source.
    EXPECT_EQ(modAPI::MyMoveFile(b, deep), 3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(tree.Read(u"src/b.txt"_s), "bbb");
    EXPECT_EQ(Files(), u"keep/deep/a.txt=aaa"_s);

    // Within the stick: a rename that claims the name first.
    ASSERT_EQ(modAPI::MyMoveFile(deep, OnFat(u"keep/a2.txt"_s)), 1) << modAPI::LastAPIError;
    ASSERT_EQ(modAPI::MyMoveFile(b, OnFat(u"keep/b.txt"_s)), 1);
    EXPECT_EQ(modAPI::MyMoveFile(OnFat(u"keep/b.txt"_s), OnFat(u"keep/a2.txt"_s)), 3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(Files(), u"keep/a2.txt=aaa keep/b.txt=bbb"_s);
}

TEST_F(Fat, CopiesOntoTheStickReplaceOnlyWhenAsked) {
    const TempTree& tree = app.Tree();
    const QByteArray big(300000, 'x');
    const QString src = tree.CreateFile(u"s.bin"_s, big);
    const QString target = OnFat(u"s.bin"_s);
    ASSERT_EQ(modAPI::MyCopyFile(src, target, true), 1) << modAPI::LastAPIError;
    EXPECT_EQ(ReadFile(target), big);
    tree.CreateFile(u"s.bin"_s, "changed");
    EXPECT_EQ(modAPI::MyCopyFile(src, target, true), 3);
    EXPECT_EQ(ReadFile(target), big);
    ASSERT_EQ(modAPI::MyCopyFile(src, target, false), 1);
    EXPECT_EQ(Files(), u"s.bin=changed"_s);
}

TEST_F(Fat, TrashOnTheStickIsTheVolumesOwn) {
    const QString file = OnFat(u"photos/p.jpg"_s);
    ASSERT_EQ(modAPI::MyMakeSureDirectoryPathExists(file), 1);
    WriteFile(file, "picture");
    QString placed;
    int rc = 0;
    {
        EnvVar data("XDG_DATA_HOME", app.Tree().Path(u"data"_s));
        rc = modAPI::MyMoveToTrash(file, &placed);
    }
    ASSERT_EQ(rc, 1) << modAPI::LastAPIError;
    const QString trash = OnFat(u".Trash-"_s + QString::number(::geteuid()));
    EXPECT_EQ(placed, trash + u"/files/p.jpg"_s);
    EXPECT_EQ(ReadFile(placed), "picture");
    EXPECT_TRUE(ReadFile(trash + u"/info/p.jpg.trashinfo"_s).contains("\nPath=photos/p.jpg\n"));
    EXPECT_FALSE(QFile::exists(file));
}
