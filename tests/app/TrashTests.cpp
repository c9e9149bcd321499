// The desktop trash on real folders: the home trash under XDG_DATA_HOME, a volume's own
// trash, and the trashes that cannot take a file, which must fail at once and leave it.

#include "FileSystems.h"
#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

class Trash : public ::testing::Test {
protected:
    const TempTree& tree() const { return app.Tree(); }
    QString HomeTrash(const QString& rel = {}) const {
        return tree().Path(u"xdg/data/Trash/"_s) + rel;
    }

    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QByteArray PathLine(const QString& infoFile) {
        for (const QByteArray& line : ReadFile(infoFile).split('\n'))
            if (line.startsWith("Path="))
                return line.mid(5);
        return {};
    }
    static unsigned Mode(const QString& path) {
        struct stat st;
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    bool LogHas(const QString& text) const { return app.AppLogLines().join(u'\n').contains(text); }

    AppFolder app;

private:
    TrashInTree m_trash{tree().Path(u"xdg"_s)};
};

} // namespace

TEST_F(Trash, HomeTrashIsMadePrivateAndRecordsWhereEachFileCameFrom) {
    // Two files of one name, and a name with a blank, a percent sign and a byte that is not
    // UTF-8: every one gets its own place and its exact original path.
    const QString first = tree().CreateFile(u"a/same.txt"_s, "first");
    const QString second = tree().CreateFile(u"b/same.txt"_s, "second");
    const QString odd = WriteFile(tree().Path(PathCodec::Decode("c/caf\xe9 100%.txt")), "odd");
    const QString oddName = PathCodec::Decode("caf\xe9 100%.txt");
    for (const auto& [file, name] : {std::pair{first, u"same.txt"_s},
                                     std::pair{second, u"same.2.txt"_s}, std::pair{odd, oddName}}) {
        QString placed;
        ASSERT_EQ(modAPI::MyMoveToTrash(file, &placed), 1);
        EXPECT_EQ(placed, HomeTrash(u"files/"_s + name));
        EXPECT_FALSE(QFile::exists(file));
    }
    EXPECT_EQ(ReadFile(HomeTrash(u"files/same.txt"_s)), "first");
    EXPECT_EQ(ReadFile(HomeTrash(u"files/same.2.txt"_s)), "second");
    EXPECT_EQ(ReadFile(HomeTrash(u"files/"_s + oddName)), "odd");
    EXPECT_EQ(PathLine(HomeTrash(u"info/same.txt.trashinfo"_s)), QFile::encodeName(first));
    EXPECT_EQ(PathLine(HomeTrash(u"info/same.2.txt.trashinfo"_s)), QFile::encodeName(second));
    EXPECT_EQ(PathLine(HomeTrash(u"info/"_s + oddName + u".trashinfo"_s)),
              QFile::encodeName(tree().Path(u"c"_s)) + "/caf%E9%20100%25.txt");
    const QByteArray info = ReadFile(HomeTrash(u"info/same.txt.trashinfo"_s));
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=")) << info.constData();
    EXPECT_TRUE(
        QDateTime::fromString(QString::fromLatin1(info.mid(info.indexOf("DeletionDate=") + 13, 19)),
                              u"yyyy-MM-ddTHH:mm:ss"_s)
            .isValid())
        << info.constData();
    // The data folder did not exist: the trash was made, private to its owner.
    for (const QString& folder : {QString(), u"files"_s, u"info"_s})
        EXPECT_EQ(Mode(HomeTrash(folder)), 0700u) << folder.toStdString();

    // Left by a program that crashed between its two steps: no info file, but the name is
    // taken in files/.
    tree().CreateFile(u"xdg/data/Trash/files/x.log"_s, "orphan");
    ASSERT_EQ(modAPI::MyMoveToTrash(tree().CreateFile(u"d/x.log"_s, "mine")), 1);
    EXPECT_EQ(ReadFile(HomeTrash(u"files/x.log"_s)), "orphan");
    EXPECT_EQ(ReadFile(HomeTrash(u"files/x.2.log"_s)), "mine");
    // And no ghost info file for it (Qt does not list the name that is not UTF-8).
    EXPECT_EQ(
        Entries(HomeTrash(u"info"_s)),
        (QStringList{u"same.2.txt.trashinfo"_s, u"same.txt.trashinfo"_s, u"x.2.log.trashinfo"_s}));
}

TEST_F(Trash, AnUnwritableTrashFailsAtOnceAndLeavesTheFile) {
    // Made by root, so an ordinary user can read the trash but not write into it.
    QDir().mkpath(HomeTrash(u"files"_s));
    QDir().mkpath(HomeTrash(u"info"_s));
    for (const QString& rel : {QString(), u"xdg"_s, u"xdg/data"_s, u"xdg/data/Trash"_s,
                               u"xdg/data/Trash/files"_s, u"xdg/data/Trash/info"_s})
        ::chmod(QFile::encodeName(tree().Path(rel)).constData(), 0755);
    const QString file = tree().CreateFile(u"mine/f.txt"_s, "keep me");
    tree().SetMode(u"mine"_s, 0777);
    tree().SetMode(u"mine/f.txt"_s, 0666);
    // The child writes its log line into the test's application log.
    QFile(modCommon::AppLogFile).open(QIODevice::WriteOnly);
    ::chmod(QFile::encodeName(modCommon::AppLogFile).constData(), 0666);
    ::chmod(QFile::encodeName(modCommon::AppPath + u"Log"_s).constData(), 0777);

    const int outcome = RunAsOtherUser([&] {
        if (modAPI::MyMoveToTrash(file) != 3)
            return 1;
        return modAPI::LastAPIError == EACCES ? 0 : 2;
    });
    EXPECT_EQ(outcome, 0) << "-1: the trash call did not end; 1: it reported success";
    EXPECT_EQ(tree().Read(u"mine/f.txt"_s), "keep me");
    EXPECT_TRUE(Entries(HomeTrash(u"info"_s)).isEmpty());
    EXPECT_TRUE(LogHas(
        u"Error occured in modAPI.MyMoveToTrash Error number: 13 Desc: Permission denied "_s +
        file))
        << app.AppLogLines().join(u'\n').toStdString();
}

TEST_F(Trash, ATrashThatCannotBeMadeIsAFailureNeverADeletion) {
    // A file where the trash should be: even root cannot make a folder there.
    tree().CreateFile(u"xdg/data/Trash"_s, "not a folder");
    const QString file = tree().CreateFile(u"d/f.txt"_s, "keep me");
    EXPECT_EQ(modAPI::MyMoveToTrash(file), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOTDIR);
    EXPECT_EQ(tree().Read(u"d/f.txt"_s), "keep me");
    EXPECT_TRUE(LogHas(u"Error occured in modAPI.MyMoveToTrash Error number: 20 "_s));

    // A vanished file is a failure too, with its own reason.
    EXPECT_EQ(modAPI::MyMoveToTrash(tree().Path(u"d/gone.txt"_s)), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
}

TEST_F(Trash, AFileOnAnotherFileSystemGoesToThatVolumesTrash) {
    PrivateMount volume;
    const QString uid = QString::number(::geteuid());
    // No shared trash on the volume: the user's own .Trash-uid, made on demand, with the
    // path recorded relative to the volume's top.
    const auto toOwnTrash = [&](const QString& top, const QString& rel, const QString& name) {
        const QString file = WriteFile(top + u'/' + rel + u'/' + name, {});
        QString placed;
        ASSERT_EQ(modAPI::MyMoveToTrash(file, &placed), 1);
        const QString own = top + u"/.Trash-"_s + uid;
        EXPECT_EQ(placed, own + u"/files/"_s + name);
        EXPECT_EQ(PathLine(own + u"/info/"_s + name + u".trashinfo"_s),
                  (rel + u'/' + name).toUtf8());
        EXPECT_EQ(Mode(own), 0700u);
        EXPECT_FALSE(QFile::exists(file));
        EXPECT_FALSE(QFile::exists(HomeTrash(u"files/"_s + name)));
    };
    if (volume.Skip()) {
        // Shared memory is the other file system that every machine has; only this test's
        // own entries are touched there.
        if (DeviceOf(u"/dev/shm"_s) == 0 || DeviceOf(u"/dev/shm"_s) == DeviceOf(tree().Root()))
            GTEST_SKIP() << volume.Skip() << ", and /dev/shm is no other file system";
        QTemporaryDir mine(u"/dev/shm/echofind-test-XXXXXX"_s);
        ASSERT_TRUE(mine.isValid());
        const QString rel = mine.path().mid(9) + u"/dir"_s;
        const QString name = rel.section(u'/', 0, 0) + u".txt"_s;
        toOwnTrash(u"/dev/shm"_s, rel, name);
        const QString own = u"/dev/shm/.Trash-"_s + uid;
        QFile::remove(own + u"/files/"_s + name);
        QFile::remove(own + u"/info/"_s + name + u".trashinfo"_s);
        for (const QString& folder : {own + u"/files"_s, own + u"/info"_s, own})
            QDir().rmdir(folder); // only when empty, so nobody else's trash goes
        GTEST_SKIP() << volume.Skip() << ": the shared and linked trash folders were not tried";
    }
    const QString top = volume.Root();
    const QString own = top + u"/.Trash-"_s + uid;
    toOwnTrash(top, u"dir"_s, u"v.txt"_s);
    const auto make = [&](const QString& name) { return WriteFile(top + u"/dir/"_s + name, {}); };
    QString placed;

    // A shared .Trash counts only as a real folder with the sticky bit.
    const QString shared = top + u"/.Trash"_s;
    ASSERT_TRUE(QDir().mkdir(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    ASSERT_EQ(modAPI::MyMoveToTrash(make(u"w.txt"_s), &placed), 1);
    EXPECT_EQ(placed, own + u"/files/w.txt"_s);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ASSERT_EQ(modAPI::MyMoveToTrash(make(u"x.txt"_s), &placed), 1);
    EXPECT_EQ(placed, shared + u'/' + uid + u"/files/x.txt"_s);
    EXPECT_EQ(PathLine(shared + u'/' + uid + u"/info/x.txt.trashinfo"_s), "dir/x.txt");

    // A link is never taken for a trash folder: it could lead anywhere.
    QDir(shared).removeRecursively();
    QDir(own).removeRecursively();
    QDir().mkpath(top + u"/elsewhere"_s);
    ASSERT_TRUE(QFile::link(top + u"/elsewhere"_s, own));
    const QString y = make(u"y.txt"_s);
    EXPECT_EQ(modAPI::MyMoveToTrash(y), 3);
    EXPECT_TRUE(QFile::exists(y));
    EXPECT_TRUE(Entries(top + u"/elsewhere"_s).isEmpty());
}

TEST_F(Trash, ACrossMountRenameFailsCleanly) {
    // A bind mount is the same device as the home trash, yet the kernel will not rename
    // across it: the attempt must end as a failure with nothing left behind.
    PrivateMount bound(tree().CreateDir(u"real"_s));
    if (bound.Skip())
        GTEST_SKIP() << bound.Skip();
    EXPECT_EQ(modAPI::MyMoveToTrash(WriteFile(bound.Root() + u"/b.txt"_s, "bound")), 3);
    EXPECT_EQ(modAPI::LastAPIError, EXDEV);
    EXPECT_EQ(tree().Read(u"real/b.txt"_s), "bound");
    EXPECT_TRUE(Entries(HomeTrash(u"info"_s)).isEmpty());
    EXPECT_TRUE(Entries(HomeTrash(u"files"_s)).isEmpty());

    // A file mounted over another file's name (on another device): no trash is made for it
    // in a folder of the wrong file system, and both files stay.
    PrivateMount volume;
    if (volume.Skip())
        return;
    const QString other = WriteFile(volume.Root() + u"/other.txt"_s, "other");
    const QString over = tree().CreateFile(u"here/over.txt"_s, "hidden");
    ASSERT_EQ(::mount(QFile::encodeName(other).constData(), QFile::encodeName(over).constData(),
                      nullptr, MS_BIND, nullptr),
              0);
    EXPECT_EQ(modAPI::MyMoveToTrash(over), 3);
    EXPECT_EQ(modAPI::LastAPIError, EXDEV);
    EXPECT_EQ(tree().Read(u"here/over.txt"_s), "other");
    EXPECT_EQ(Entries(tree().Path(u"here"_s)), QStringList{u"over.txt"_s});
    ::umount2(QFile::encodeName(over).constData(), MNT_DETACH);
    EXPECT_EQ(tree().Read(u"here/over.txt"_s), "hidden");
}
