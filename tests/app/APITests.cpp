#include "TestSupport.h"

#include "app/modAPI.h"
#include "app/modCommon.h"

#include <QFile>

using namespace testing_support;

TEST(PathMatchSpec, Wildcards) {
    using modAPI::MyPathMatchSpec;
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("photo.JPG"), QStringLiteral("*.jpg")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("ÉTÉ.txt"), QStringLiteral("été.*")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("a.b.c"), QStringLiteral("*.c")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("noext"), QStringLiteral("*")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral(""), QStringLiteral("*")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("abcbd"), QStringLiteral("a*bd")))
        << "the star must be able to give back what it took";
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("file1.txt"), QStringLiteral("file?.txt")));
    EXPECT_FALSE(MyPathMatchSpec(QStringLiteral("file10.txt"), QStringLiteral("file?.txt")));
    EXPECT_FALSE(MyPathMatchSpec(QStringLiteral("file.txt"), QStringLiteral("file?.txt")));
    EXPECT_TRUE(MyPathMatchSpec(QStringLiteral("#1.txt"), QStringLiteral("#?.txt")));
    EXPECT_FALSE(MyPathMatchSpec(QStringLiteral("5.txt"), QStringLiteral("#.txt")))
        << "a number sign is an ordinary character";
    EXPECT_FALSE(MyPathMatchSpec(QStringLiteral("report.txt.bak"), QStringLiteral("*.txt")));
    EXPECT_FALSE(MyPathMatchSpec(QStringLiteral("a"), QStringLiteral("")));
    // Many stars against a long non-matching name must not take exponential time.
    EXPECT_FALSE(MyPathMatchSpec(QString(200, u'a'), QStringLiteral("*a*a*a*a*a*a*a*a*b")));
}

TEST(Wrappers, FailuresWriteTheSystemCallLine) {
    AppFolder app;
    const QString missing = app.Tree().Path(QStringLiteral("nothing-here.txt"));
    EXPECT_EQ(modAPI::MyDeleteFile(missing), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Error occured in modAPI.MyDeleteFile Error "
                                                   "number: 2 Desc: No such file or directory ") +
                                    missing + QStringLiteral(" at:")))
        << lines[0].toStdString();

    // A folder path blocked by a file.
    app.Tree().CreateFile(QStringLiteral("blocker"), "x");
    EXPECT_EQ(
        modAPI::MyMakeSureDirectoryPathExists(app.Tree().Path(QStringLiteral("blocker/sub/f.txt"))),
        3);
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        QStringLiteral("Error occured in modAPI.MyMakeSureDirectoryPathExists Error number: ")));
}

TEST(Wrappers, CopyReplacesAtomicallyOrRefuses) {
    AppFolder app;
    const TempTree& tree = app.Tree();
    const QString src = tree.CreateFile(QStringLiteral("src.txt"), "new content", 1600000000);
    const QString dst = tree.CreateFile(QStringLiteral("dst.txt"), "old");

    EXPECT_EQ(modAPI::MyCopyFile(src, dst, true), 3);
    EXPECT_EQ(tree.Read(QStringLiteral("dst.txt")), QByteArray("old"));

    EXPECT_EQ(modAPI::MyCopyFile(src, dst, false), 1);
    EXPECT_EQ(tree.Read(QStringLiteral("dst.txt")), QByteArray("new content"));
    modAPI::FileInfo info;
    ASSERT_EQ(modAPI::MyStat(dst, info), 1);
    EXPECT_EQ(info.ModifiedSecs, 1600000000) << "a copy keeps the source's time";

    // A source that vanished leaves the target as it was and no temporary file behind.
    EXPECT_EQ(modAPI::MyCopyFile(tree.Path(QStringLiteral("gone.txt")), dst, false), 3);
    EXPECT_EQ(tree.Read(QStringLiteral("dst.txt")), QByteArray("new content"));
    EXPECT_EQ(QDir(tree.Root()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(Wrappers, MoveNeverReplacesAnExistingFile) {
    TempTree tree;
    const QString a = tree.CreateFile(QStringLiteral("a.txt"), "a");
    const QString b = tree.CreateFile(QStringLiteral("b.txt"), "b");
    EXPECT_EQ(modAPI::MyMoveFile(a, b), 3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(tree.Read(QStringLiteral("b.txt")), QByteArray("b"));
    EXPECT_EQ(modAPI::MyMoveFile(a, tree.Path(QStringLiteral("c.txt"))), 1);
    EXPECT_FALSE(tree.Exists(QStringLiteral("a.txt")));
    EXPECT_EQ(tree.Read(QStringLiteral("c.txt")), QByteArray("a"));
}

TEST(Wrappers, CompareContentsByteForByte) {
    using modAPI::ContentMatch;
    TempTree tree;
    // Past one read chunk, and differing only in the last byte, so a compare that stops
    // after the first chunk or trusts equal sizes is caught.
    QByteArray big(600 * 1024, 'x');
    const QString a = tree.CreateFile(QStringLiteral("a.bin"), big);
    const QString same = tree.CreateFile(QStringLiteral("same.bin"), big);
    big[big.size() - 1] = 'y';
    const QString last = tree.CreateFile(QStringLiteral("last.bin"), big);
    const QString shorter = tree.CreateFile(QStringLiteral("short.bin"), big.left(1000));

    EXPECT_EQ(modAPI::CompareContents(a, same), ContentMatch::Same);
    EXPECT_EQ(modAPI::CompareContents(a, last), ContentMatch::Different);
    EXPECT_EQ(modAPI::CompareContents(a, shorter), ContentMatch::Different);
    EXPECT_EQ(modAPI::CompareContents(a, a), ContentMatch::Same);
    EXPECT_EQ(modAPI::CompareContents(a, tree.Path(QStringLiteral("gone"))),
              ContentMatch::Unreadable);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
    EXPECT_EQ(modAPI::CompareContents(a, tree.Root()), ContentMatch::Unreadable)
        << "a folder is never the same as a file";
}

TEST(Attributes, LettersFollowTheEntry) {
    using namespace modAPI;
    EXPECT_EQ(AttributesFor(QStringLiteral("a.txt"), EntryType::File, 0644, false),
              quint32(AttrNormal));
    EXPECT_EQ(AttributesFor(QStringLiteral("a.txt"), EntryType::File, 0444, false),
              quint32(AttrReadOnly));
    EXPECT_EQ(AttributesFor(QStringLiteral(".a"), EntryType::File, 0444, false),
              quint32(AttrHidden | AttrReadOnly));
    // Special files and virtual mounts are hidden and system, so no setting can take them.
    const quint32 fifo = AttributesFor(QStringLiteral("pipe"), EntryType::Special, 0644, false);
    EXPECT_TRUE((fifo & AttrHidden) && (fifo & AttrSystem));
    const quint32 proc = AttributesFor(QStringLiteral("proc"), EntryType::Directory, 0555, true);
    EXPECT_TRUE((proc & AttrHidden) && (proc & AttrSystem) && (proc & AttrDirectory));
}

TEST(Wrappers, DriveTypeOfAPathThatIsNoMountPoint) {
    AppFolder app;
    modAPI::DriveType type = modAPI::DriveType::Fixed;
    const QString notAMount = app.Tree().CreateDir(QStringLiteral("plain/"));
    EXPECT_EQ(modAPI::MyGetDriveType(notAMount, type), 3);
    EXPECT_EQ(type, modAPI::DriveType::NoRootDir);
    ASSERT_FALSE(app.AppLogLines().isEmpty());
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        QStringLiteral("Procedure: MyGetDriveType Number: 513 Desc: Unrecognised drive type ") +
        notAMount + QStringLiteral(" occured at:")));

    quint64 avail = 0, total = 0, free = 0;
    EXPECT_EQ(modAPI::MyGetDiskFreeSpaceEx(QStringLiteral("/"), avail, total, free), 1);
    EXPECT_GT(total, 0u);
    EXPECT_LE(avail, total);
}

TEST(Wrappers, StatDoesNotFollowLinks) {
    TempTree tree;
    const QString target = tree.CreateFile(QStringLiteral("t.txt"), "12345");
    const QString link = tree.Path(QStringLiteral("l.txt"));
    ASSERT_TRUE(QFile::link(target, link));
    modAPI::FileInfo info;
    ASSERT_EQ(modAPI::MyStat(link, info), 1);
    EXPECT_EQ(info.Type, modAPI::EntryType::Link);
    ASSERT_EQ(modAPI::MyStat(target, info), 1);
    EXPECT_EQ(info.Type, modAPI::EntryType::File);
    EXPECT_EQ(info.Size, 5);
}
