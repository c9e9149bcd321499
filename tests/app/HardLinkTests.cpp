#include "FileSystems.h"
#include "TestSupport.h"

#include "app/HeldFile.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

struct Inode {
    quint64 Device = 0;
    quint64 Number = 0;
    quint64 Links = 0;
    bool operator==(const Inode&) const = default;
};

Inode InodeOf(const QString& path) {
    struct stat st;
    if (::lstat(PathCodec::Encode(path).constData(), &st) != 0)
        return {};
    return {quint64(st.st_dev), quint64(st.st_ino), quint64(st.st_nlink)};
}

// Every name in the folder by its bytes, hidden ones included, so a left-over temporary
// shows; sorted.
QStringList NamesIn(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(PathCodec::Encode(folder).constData());
    if (!dir)
        return {u"(unreadable)"_s};
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names << PathCodec::Decode(name);
    }
    ::closedir(dir);
    names.sort();
    return names;
}

} // namespace

// Names that are not UTF-8 are linked by their bytes.
TEST(HardLink, ReplacesTheTargetByANameOfTheKeptFileOnce) {
    AppFolder app;
    const QString folder = app.Tree().CreateDir(u"raw"_s);
    const QString kept = PathCodec::Decode(PathCodec::Encode(folder) + "/k\xff.bin");
    const QString target = PathCodec::Decode(PathCodec::Encode(folder) + "/t\xfe\xe9.bin");
    for (const QString& path : {kept, target})
        WriteFile(path, "xy");
    const Inode keptBefore = InodeOf(kept);
    ASSERT_NE(InodeOf(target).Number, keptBefore.Number);
    bool already = true;
    ASSERT_EQ(modAPI::MyReplaceByHardLink(kept, target, &already), 1);
    EXPECT_FALSE(already);
    EXPECT_EQ(InodeOf(target).Number, keptBefore.Number);
    EXPECT_EQ(InodeOf(kept).Links, 2u);
    EXPECT_EQ(NamesIn(folder), (QStringList{kept.section(u'/', -1), target.section(u'/', -1)}));

    // Done once, it is done: a second call changes nothing and says so.
    ASSERT_EQ(modAPI::MyReplaceByHardLink(kept, target, &already), 1);
    EXPECT_TRUE(already);
    EXPECT_EQ(InodeOf(kept).Links, 2u);
    EXPECT_TRUE(app.AppLogLines().isEmpty());
}

// Each refusal leaves the target the very file it was, makes no copy or link instead and no
// temporary name, and writes the failed-system-call line with its reason. A hard link never
// crosses file systems.
TEST(HardLink, RefusalsLeaveTheTargetAsItWas) {
    AppFolder app;
    const TempTree& tree = app.Tree();
    const QString folder = tree.CreateDir(u"d"_s);
    const QString kept = tree.CreateFile(u"d/kept.txt"_s, "abc");
    const QString target = tree.CreateFile(u"d/target.txt"_s, "abc");
    const QString link = folder + u"/link.txt"_s;
    ASSERT_EQ(::symlink("kept.txt", PathCodec::Encode(link).constData()), 0);
    PrivateMount other;
    const QString away = other.Skip() ? QString() : WriteFile(other.Root() + u"/copy.txt"_s, "abc");
    const struct Case {
        const char* What;
        QString Kept, Target;
        int Error;
    } cases[] = {
        {"kept file gone", folder + u"/gone.txt"_s, target, ENOENT},
        {"kept is a symbolic link", link, target, ELOOP},
        {"target is a symbolic link", kept, link, ELOOP},
        {"target is a folder", kept, tree.CreateDir(u"d/sub"_s), EINVAL},
        {"target on another file system", kept, away, EXDEV},
    };
    for (const Case& c : cases) {
        if (c.Target.isEmpty())
            continue; // no other file system to be had here
        SCOPED_TRACE(c.What);
        const QString targetFolder = c.Target.section(u'/', 0, -2);
        const QStringList names = NamesIn(targetFolder);
        const Inode before = InodeOf(c.Target);
        EXPECT_EQ(modAPI::MyReplaceByHardLink(c.Kept, c.Target), 3);
        EXPECT_EQ(modAPI::LastAPIError, c.Error);
        EXPECT_EQ(InodeOf(c.Target), before);
        EXPECT_EQ(NamesIn(targetFolder), names);
        EXPECT_EQ(InodeOf(kept).Links, 1u);
        ASSERT_FALSE(app.AppLogLines().isEmpty());
        EXPECT_TRUE(app.AppLogLines().last().startsWith(
            u"Error occured in modAPI.MyReplaceByHardLink Error number: %1 Desc: %2 "_s.arg(c.Error)
                .arg(modAPI::SystemMessage(c.Error))));
    }
    EXPECT_EQ(tree.Read(u"d/target.txt"_s), "abc");
}

// For an ordinary user the folder's permissions are the obstacle: a folder nobody may write
// stops the link, a sticky folder lets the link be made but not renamed over someone else's
// file. Either way the target stays, and the link made on the way is taken back.
TEST(HardLink, APermissionRefusedOnTheWayTakesBackWhatWasDone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to another user";
    TempTree tree;
    ::chmod(PathCodec::Encode(tree.Root()).constData(), 0755);
    const uid_t user = UnusedId();
    const struct Case {
        const char* What;
        QString Folder;
        unsigned Mode;
        int Error;
    } cases[] = {
        {"folder nobody may write", u"locked"_s, 0555, EACCES},
        {"sticky folder, someone else's target", u"sticky"_s, 01777, EPERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const QString kept = tree.CreateFile(c.Folder + u"/kept"_s, "same");
        const QString target = tree.CreateFile(c.Folder + u"/target"_s, "same");
        // The kept file is the user's, so only the folder stands in the way (the kernel
        // refuses links to other people's files on its own); the target stays root's.
        ASSERT_EQ(::chown(PathCodec::Encode(kept).constData(), user, user), 0);
        tree.SetMode(c.Folder, c.Mode);
        const Inode before = InodeOf(target);
        const int code = RunAsOtherUser([&] {
            if (modAPI::MyReplaceByHardLink(kept, target) != 3)
                return 1;
            return modAPI::LastAPIError == c.Error ? 0 : 2;
        });
        EXPECT_EQ(code, 0) << "1: reported as done; 2: another error";
        EXPECT_EQ(InodeOf(target), before);
        EXPECT_EQ(InodeOf(kept).Links, 1u);
        EXPECT_EQ(NamesIn(tree.Path(c.Folder)), (QStringList{u"kept"_s, u"target"_s}));
        tree.SetMode(c.Folder, 0755); // so the tree can be cleaned up
    }
}

// The kept file was written after the two were compared: the copy is not given up for bytes
// nobody compared, and keeps its place and its own inode.
TEST(HardLink, AKeptFileChangedSinceTheComparisonLeavesTheCopyInPlace) {
    AppFolder app;
    const TempTree& tree = app.Tree();
    const QString kept = tree.CreateFile(u"d/kept.txt"_s, "abc");
    const QString target = tree.CreateFile(u"d/target.txt"_s, "abc");
    const Inode before = InodeOf(target);
    modAPI::HeldFile k;
    modAPI::HeldFile t;
    ASSERT_EQ(k.Open(kept), 0);
    ASSERT_EQ(t.Open(target), 0);
    modAPI::FileInfo compared = k.Info();
    compared.ModifiedNs -= 1;
    EXPECT_EQ(modAPI::MyLinkHeld(k, t, compared), 3);
    EXPECT_EQ(modAPI::LastAPIError, ECANCELED);
    EXPECT_EQ(InodeOf(target), before);
    EXPECT_EQ(NamesIn(tree.Path(u"d"_s)), (QStringList{u"kept.txt"_s, u"target.txt"_s}));
}
