// Moves and copies onto a FAT file system, which has neither hard links nor a no-replace
// rename: what USB sticks and many network shares give people.

#include "FileSystems.h"
#include "TestSupport.h"

#include "app/modAPI.h"

#include <QDir>
#include <QFile>

using namespace testing_support;

namespace {

class Fat : public ::testing::Test {
protected:
    void SetUp() override {
        if (fat.Skip())
            GTEST_SKIP() << fat.Skip();
        ASSERT_TRUE(fat.Mounted());
    }

    QString OnFat(const QString& rel) const { return fat.Root() + u'/' + rel; }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    // Whatever is in the folder, temporary files and claims included.
    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    AppFolder app;
    FatVolume fat;
};

} // namespace

TEST_F(Fat, MovesOntoTheStickNeverReplaceAndLeaveNothingBehind) {
    const TempTree& tree = app.Tree();
    const QString a = tree.CreateFile(QStringLiteral("src/a.txt"), "aaa", 1600000000);
    const QString b = tree.CreateFile(QStringLiteral("src/b.txt"), "bbb");
    ASSERT_EQ(modAPI::MyMakeSureDirectoryPathExists(OnFat(QStringLiteral("keep/deep/a.txt"))), 1);

    // Across file systems: copied, then the source removed.
    ASSERT_EQ(modAPI::MyMoveFile(a, OnFat(QStringLiteral("keep/deep/a.txt"))), 1)
        << modAPI::LastAPIError;
    EXPECT_FALSE(tree.Exists(QStringLiteral("src/a.txt")));
    EXPECT_EQ(Read(OnFat(QStringLiteral("keep/deep/a.txt"))), QByteArray("aaa"));
    modAPI::FileInfo info;
    ASSERT_EQ(modAPI::MyStat(OnFat(QStringLiteral("keep/deep/a.txt")), info), 1);
    EXPECT_EQ(info.ModifiedSecs, 1600000000);

    // An occupied name stays as it is, and so does the source.
    EXPECT_EQ(modAPI::MyMoveFile(b, OnFat(QStringLiteral("keep/deep/a.txt"))), 3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(Read(OnFat(QStringLiteral("keep/deep/a.txt"))), QByteArray("aaa"));
    EXPECT_EQ(tree.Read(QStringLiteral("src/b.txt")), QByteArray("bbb"));
    EXPECT_EQ(Entries(OnFat(QStringLiteral("keep/deep"))), QStringList{QStringLiteral("a.txt")});

    // Within the stick: a rename that claims the name first.
    ASSERT_EQ(modAPI::MyMoveFile(OnFat(QStringLiteral("keep/deep/a.txt")),
                                 OnFat(QStringLiteral("keep/a2.txt"))),
              1)
        << modAPI::LastAPIError;
    EXPECT_EQ(Read(OnFat(QStringLiteral("keep/a2.txt"))), QByteArray("aaa"));
    EXPECT_TRUE(Entries(OnFat(QStringLiteral("keep/deep"))).isEmpty());
    ASSERT_EQ(modAPI::MyMoveFile(b, OnFat(QStringLiteral("keep/b.txt"))), 1);
    EXPECT_EQ(modAPI::MyMoveFile(OnFat(QStringLiteral("keep/b.txt")),
                                 OnFat(QStringLiteral("keep/a2.txt"))),
              3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(Read(OnFat(QStringLiteral("keep/a2.txt"))), QByteArray("aaa"));
    EXPECT_EQ(Read(OnFat(QStringLiteral("keep/b.txt"))), QByteArray("bbb"));
}

TEST_F(Fat, CopiesOntoTheStickReplaceOnlyWhenAsked) {
    const TempTree& tree = app.Tree();
    const QString src = tree.CreateFile(QStringLiteral("s.bin"), QByteArray(300000, 'x'));
    const QString target = OnFat(QStringLiteral("s.bin"));
    ASSERT_EQ(modAPI::MyCopyFile(src, target, true), 1) << modAPI::LastAPIError;
    EXPECT_EQ(Read(target), QByteArray(300000, 'x'));

    tree.CreateFile(QStringLiteral("s.bin"), "changed");
    EXPECT_EQ(modAPI::MyCopyFile(src, target, true), 3);
    EXPECT_EQ(Read(target).size(), 300000);
    ASSERT_EQ(modAPI::MyCopyFile(src, target, false), 1);
    EXPECT_EQ(Read(target), QByteArray("changed"));
    EXPECT_EQ(Entries(fat.Root()), QStringList{QStringLiteral("s.bin")});
}

TEST_F(Fat, TrashOnTheStickIsTheVolumesOwn) {
    const QString file = OnFat(QStringLiteral("photos/p.jpg"));
    ASSERT_EQ(modAPI::MyMakeSureDirectoryPathExists(file), 1);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("picture");
    }
    QString placed;
    int rc = 0;
    {
        EnvVar data("XDG_DATA_HOME", app.Tree().Path(QStringLiteral("data")));
        rc = modAPI::MyMoveToTrash(file, &placed);
    }
    ASSERT_EQ(rc, 1) << modAPI::LastAPIError;
    const QString trash = OnFat(QStringLiteral(".Trash-") + QString::number(::geteuid()));
    EXPECT_EQ(placed, trash + QStringLiteral("/files/p.jpg"));
    EXPECT_EQ(Read(placed), QByteArray("picture"));
    EXPECT_TRUE(
        Read(trash + QStringLiteral("/info/p.jpg.trashinfo")).contains("\nPath=photos/p.jpg\n"));
    EXPECT_TRUE(Entries(OnFat(QStringLiteral("photos"))).isEmpty());
}
