// The system call wrappers: name patterns, and file operations that refuse rather than
// replace, compare every byte and log the failed call.

#include "TestSupport.h"

#include "app/modAPI.h"
#include "app/modCommon.h"

using namespace testing_support;
using namespace Qt::StringLiterals;

TEST(PathMatchSpec, Wildcards) {
    for (const auto& [name, pattern, match] : {
             std::tuple{u"photo.JPG"_s, "*.jpg", true},
             std::tuple{u"ÉTÉ.txt"_s, "été.*", true},
             std::tuple{u"a.b.c"_s, "*.c", true},
             std::tuple{u"noext"_s, "*", true},
             std::tuple{u""_s, "*", true},
             std::tuple{u"abcbd"_s, "a*bd", true}, // the star gives back what it took
             std::tuple{u"file1.txt"_s, "file?.txt", true},
             std::tuple{u"file10.txt"_s, "file?.txt", false},
             std::tuple{u"file.txt"_s, "file?.txt", false},
             std::tuple{u"#1.txt"_s, "#?.txt", true},
             std::tuple{u"5.txt"_s, "#.txt", false}, // a number sign is no wildcard
             std::tuple{u"report.txt.bak"_s, "*.txt", false},
             std::tuple{u"a"_s, "", false},
             // Many stars against a long name that does not match, in no exponential time.
             std::tuple{QString(200, u'a'), "*a*a*a*a*a*a*a*a*b", false},
         })
        EXPECT_EQ(modAPI::MyPathMatchSpec(name, QString::fromUtf8(pattern)), match)
            << name.toStdString() << " " << pattern;
}

TEST(Wrappers, FailuresWriteTheSystemCallLine) {
    AppFolder app;
    const QString missing = app.Tree().Path(u"nothing-here.txt"_s);
    EXPECT_EQ(modAPI::MyDeleteFile(missing), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(u"Error occured in modAPI.MyDeleteFile Error number: 2 Desc: "
                                    u"No such file or directory "_s +
                                    missing + u" at:"_s))
        << lines[0].toStdString();

    // A folder path blocked by a file.
    app.Tree().CreateFile(u"blocker"_s, "x");
    EXPECT_EQ(modAPI::MyMakeSureDirectoryPathExists(app.Tree().Path(u"blocker/sub/f.txt"_s)), 3);
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        u"Error occured in modAPI.MyMakeSureDirectoryPathExists Error number: "_s));

    // A path that is no mount point has no drive type.
    modAPI::DriveType type = modAPI::DriveType::Fixed;
    const QString notAMount = app.Tree().CreateDir(u"plain/"_s);
    EXPECT_EQ(modAPI::MyGetDriveType(notAMount, type), 3);
    EXPECT_EQ(type, modAPI::DriveType::NoRootDir);
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        u"Procedure: MyGetDriveType Number: 513 Desc: Unrecognised drive type "_s + notAMount +
        u" occured at:"_s));
    quint64 avail = 0, total = 0, free = 0;
    EXPECT_EQ(modAPI::MyGetDiskFreeSpaceEx(u"/"_s, avail, total, free), 1);
    EXPECT_GT(total, 0u);
    EXPECT_LE(avail, total);
}

TEST(Wrappers, CopyAndMoveReplaceOnlyWhenAskedAndStatDoesNotFollowLinks) {
    TempTree tree;
    const QString src = tree.CreateFile(u"src.txt"_s, "new content", 1600000000);
    const QString dst = tree.CreateFile(u"dst.txt"_s, "old");
    EXPECT_EQ(modAPI::MyCopyFile(src, dst, true), 3);
    EXPECT_EQ(tree.Read(u"dst.txt"_s), "old");
    EXPECT_EQ(modAPI::MyCopyFile(src, dst, false), 1);
    EXPECT_EQ(tree.Read(u"dst.txt"_s), "new content");
    modAPI::FileInfo info;
    ASSERT_EQ(modAPI::MyStat(dst, info), 1);
    EXPECT_EQ(info.ModifiedSecs, 1600000000) << "a copy keeps the source's time";
    EXPECT_EQ(info.Type, modAPI::EntryType::File);
    EXPECT_EQ(info.Size, 11);
    // A source that vanished leaves the target as it was and no temporary file behind.
    EXPECT_EQ(modAPI::MyCopyFile(tree.Path(u"gone.txt"_s), dst, false), 3);
    EXPECT_EQ(tree.Read(u"dst.txt"_s), "new content");
    EXPECT_EQ(QDir(tree.Root()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    EXPECT_EQ(modAPI::MyMoveFile(src, dst), 3);
    EXPECT_EQ(modAPI::LastAPIError, EEXIST);
    EXPECT_EQ(tree.Read(u"dst.txt"_s), "new content");
    EXPECT_EQ(modAPI::MyMoveFile(src, tree.Path(u"moved.txt"_s)), 1);
    EXPECT_FALSE(tree.Exists(u"src.txt"_s));
    EXPECT_EQ(tree.Read(u"moved.txt"_s), "new content");

    ASSERT_TRUE(QFile::link(dst, tree.Path(u"link.txt"_s)));
    ASSERT_EQ(modAPI::MyStat(tree.Path(u"link.txt"_s), info), 1);
    EXPECT_EQ(info.Type, modAPI::EntryType::Link);
}

TEST(Wrappers, CompareContentsByteForByte) {
    using modAPI::ContentMatch;
    TempTree tree;
    // Past one read chunk, and differing only in the last byte, so a compare that stops
    // after the first chunk or trusts equal sizes is caught.
    QByteArray big(600 * 1024, 'x');
    const QString a = tree.CreateFile(u"a.bin"_s, big);
    const QString same = tree.CreateFile(u"same.bin"_s, big);
    big[big.size() - 1] = 'y';
    const QString last = tree.CreateFile(u"last.bin"_s, big);
    const QString shorter = tree.CreateFile(u"short.bin"_s, big.left(1000));

    EXPECT_EQ(modAPI::CompareContents(a, same), ContentMatch::Same);
    EXPECT_EQ(modAPI::CompareContents(a, last), ContentMatch::Different);
    EXPECT_EQ(modAPI::CompareContents(a, shorter), ContentMatch::Different);
    EXPECT_EQ(modAPI::CompareContents(a, a), ContentMatch::Same);
    EXPECT_EQ(modAPI::CompareContents(a, tree.Path(u"gone"_s)), ContentMatch::Unreadable);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
    EXPECT_EQ(modAPI::CompareContents(a, tree.Root()), ContentMatch::Unreadable)
        << "a folder is never the same as a file";
}
