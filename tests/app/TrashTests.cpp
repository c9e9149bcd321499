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

namespace {

class Trash : public ::testing::Test {
protected:
    const TempTree& tree() const { return app.Tree(); }
    QString DataHome() const { return tree().Path(QStringLiteral("xdg/data")); }
    QString HomeTrash() const { return DataHome() + QStringLiteral("/Trash/"); }

    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // By the exact bytes of the name, which Qt's file classes would re-encode.
    static QByteArray ReadRaw(const QByteArray& path) {
        QByteArray data;
        if (FILE* f = std::fopen(path.constData(), "rb")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                data.append(buffer, qsizetype(n));
            std::fclose(f);
        }
        return data;
    }
    static QByteArray PathLine(const QString& infoFile) {
        for (const QByteArray& line : ReadRaw(PathCodec::Encode(infoFile)).split('\n'))
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
    EnvVar m_home{"HOME", tree().Path(QStringLiteral("home"))};
    EnvVar m_data{"XDG_DATA_HOME", DataHome()};
};

} // namespace

TEST_F(Trash, HomeTrashIsMadePrivateAndRecordsWhereEachFileCameFrom) {
    // Two files of one name, and a name with a blank, a percent sign and a byte that is not
    // UTF-8: every one gets its own place and its exact original path.
    const QString first = tree().CreateFile(QStringLiteral("a/same.txt"), "first");
    const QString second = tree().CreateFile(QStringLiteral("b/same.txt"), "second");
    const QByteArray oddBytes =
        QFile::encodeName(tree().CreateDir(QStringLiteral("c"))) + "/caf\xe9 100%.txt";
    {
        // Qt would re-encode the name: write it by its raw bytes.
        FILE* raw = std::fopen(oddBytes.constData(), "w");
        ASSERT_NE(raw, nullptr);
        std::fputs("odd", raw);
        std::fclose(raw);
    }
    const QString odd = PathCodec::Decode(oddBytes);

    QString placed;
    ASSERT_EQ(modAPI::MyMoveToTrash(first, &placed), 1);
    EXPECT_EQ(placed, HomeTrash() + QStringLiteral("files/same.txt"));
    ASSERT_EQ(modAPI::MyMoveToTrash(second, &placed), 1);
    EXPECT_EQ(placed, HomeTrash() + QStringLiteral("files/same.2.txt"));
    ASSERT_EQ(modAPI::MyMoveToTrash(odd, &placed), 1);

    EXPECT_FALSE(tree().Exists(QStringLiteral("a/same.txt")));
    EXPECT_FALSE(tree().Exists(QStringLiteral("b/same.txt")));
    EXPECT_EQ(Read(HomeTrash() + QStringLiteral("files/same.txt")), QByteArray("first"));
    EXPECT_EQ(Read(HomeTrash() + QStringLiteral("files/same.2.txt")), QByteArray("second"));
    EXPECT_EQ(PathLine(HomeTrash() + QStringLiteral("info/same.txt.trashinfo")),
              QFile::encodeName(first));
    EXPECT_EQ(PathLine(HomeTrash() + QStringLiteral("info/same.2.txt.trashinfo")),
              QFile::encodeName(second));
    EXPECT_EQ(PathLine(PathCodec::Decode(QFile::encodeName(HomeTrash()) +
                                         "info/caf\xe9 100%.txt.trashinfo")),
              QFile::encodeName(tree().Path(QStringLiteral("c"))) + "/caf%E9%20100%25.txt");
    const QByteArray info = Read(HomeTrash() + QStringLiteral("info/same.txt.trashinfo"));
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=")) << info.constData();
    EXPECT_TRUE(
        QDateTime::fromString(QString::fromLatin1(info.mid(info.indexOf("DeletionDate=") + 13, 19)),
                              QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
            .isValid())
        << info.constData();

    // The data folder did not exist: the trash was made, private to its owner.
    for (const char* folder : {"", "files", "info"})
        EXPECT_EQ(Mode(HomeTrash() + QString::fromLatin1(folder)), 0700u) << folder;
    EXPECT_EQ(ReadRaw(PathCodec::Encode(placed)), QByteArray("odd"));
    EXPECT_EQ(placed, PathCodec::Decode(QFile::encodeName(HomeTrash()) + "files/caf\xe9 100%.txt"));
    // Qt cannot remove a name it cannot spell.
    ::unlink(PathCodec::Encode(placed).constData());
    ::unlink((QFile::encodeName(HomeTrash()) + "info/caf\xe9 100%.txt.trashinfo").constData());
    EXPECT_EQ(Entries(HomeTrash() + QStringLiteral("files")).size(), 2);
    EXPECT_EQ(Entries(HomeTrash() + QStringLiteral("info")).size(), 2);
}

TEST_F(Trash, AnOrphanInFilesIsPassedOverWithoutAGhostInfoFile) {
    QDir().mkpath(HomeTrash() + QStringLiteral("files"));
    QDir().mkpath(HomeTrash() + QStringLiteral("info"));
    // Left by a program that crashed between its two steps: no info file, but the name
    // is taken in files/.
    tree().CreateFile(QStringLiteral("xdg/data/Trash/files/x.log"), "orphan");
    const QString file = tree().CreateFile(QStringLiteral("d/x.log"), "mine");
    ASSERT_EQ(modAPI::MyMoveToTrash(file), 1);
    EXPECT_EQ(Read(HomeTrash() + QStringLiteral("files/x.log")), QByteArray("orphan"));
    EXPECT_EQ(Read(HomeTrash() + QStringLiteral("files/x.2.log")), QByteArray("mine"));
    EXPECT_EQ(Entries(HomeTrash() + QStringLiteral("info")),
              QStringList{QStringLiteral("x.2.log.trashinfo")});
}

TEST_F(Trash, AnUnwritableTrashFailsAtOnceAndLeavesTheFile) {
    // Made by root, so an ordinary user can read the trash but not write into it.
    QDir().mkpath(HomeTrash() + QStringLiteral("files"));
    QDir().mkpath(HomeTrash() + QStringLiteral("info"));
    for (const QString& rel :
         {QString(), QStringLiteral("xdg"), QStringLiteral("xdg/data"),
          QStringLiteral("xdg/data/Trash"), QStringLiteral("xdg/data/Trash/files"),
          QStringLiteral("xdg/data/Trash/info")})
        ::chmod(QFile::encodeName(tree().Path(rel)).constData(), 0755);
    const QString file = tree().CreateFile(QStringLiteral("mine/f.txt"), "keep me");
    tree().SetMode(QStringLiteral("mine"), 0777);
    tree().SetMode(QStringLiteral("mine/f.txt"), 0666);
    // The child writes its log line into the test's application log.
    QFile(modCommon::AppLogFile).open(QIODevice::WriteOnly);
    ::chmod(QFile::encodeName(modCommon::AppLogFile).constData(), 0666);
    ::chmod(QFile::encodeName(modCommon::AppPath + QStringLiteral("Log")).constData(), 0777);

    const int outcome = RunAsOtherUser([&] {
        if (modAPI::MyMoveToTrash(file) != 3)
            return 1;
        return modAPI::LastAPIError == EACCES ? 0 : 2;
    });
    EXPECT_EQ(outcome, 0) << "-1: the trash call did not end; 1: it reported success";
    EXPECT_EQ(tree().Read(QStringLiteral("mine/f.txt")), QByteArray("keep me"));
    EXPECT_TRUE(Entries(HomeTrash() + QStringLiteral("info")).isEmpty());
    EXPECT_TRUE(LogHas(QStringLiteral("Error occured in modAPI.MyMoveToTrash Error number: 13 "
                                      "Desc: Permission denied ") +
                       file))
        << app.AppLogLines().join(u'\n').toStdString();
}

TEST_F(Trash, ATrashThatCannotBeMadeIsAFailureNeverADeletion) {
    // A file where the trash should be: even root cannot make a folder there.
    tree().CreateFile(QStringLiteral("xdg/data/Trash"), "not a folder");
    const QString file = tree().CreateFile(QStringLiteral("d/f.txt"), "keep me");
    EXPECT_EQ(modAPI::MyMoveToTrash(file), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOTDIR);
    EXPECT_EQ(tree().Read(QStringLiteral("d/f.txt")), QByteArray("keep me"));
    EXPECT_TRUE(LogHas(QStringLiteral("Error occured in modAPI.MyMoveToTrash Error number: 20 ")));

    // A vanished file is a failure too, with its own reason.
    EXPECT_EQ(modAPI::MyMoveToTrash(tree().Path(QStringLiteral("d/gone.txt"))), 3);
    EXPECT_EQ(modAPI::LastAPIError, ENOENT);
}

TEST_F(Trash, AFileOnAnotherFileSystemGoesToThatVolumesTrash) {
    PrivateMount volume;
    const QString uid = QString::number(::geteuid());
    // No shared trash on the volume: the user's own .Trash-uid, made on demand, with the
    // path recorded relative to the volume's top.
    const auto toOwnTrash = [&](const QString& top, const QString& rel, const QString& name) {
        QDir().mkpath(top + u'/' + rel);
        const QString file = top + u'/' + rel + u'/' + name;
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        QString placed;
        ASSERT_EQ(modAPI::MyMoveToTrash(file, &placed), 1);
        const QString own = top + QStringLiteral("/.Trash-") + uid;
        EXPECT_EQ(placed, own + QStringLiteral("/files/") + name);
        EXPECT_EQ(PathLine(own + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")),
                  (rel + u'/' + name).toUtf8());
        EXPECT_EQ(Mode(own), 0700u);
        EXPECT_FALSE(QFile::exists(file));
        EXPECT_FALSE(QFile::exists(HomeTrash() + QStringLiteral("files/") + name));
    };
    if (volume.Skip()) {
        // Shared memory is the other file system that every machine has; only this test's
        // own entries are touched there.
        if (DeviceOf(QStringLiteral("/dev/shm")) == 0 ||
            DeviceOf(QStringLiteral("/dev/shm")) == DeviceOf(tree().Root()))
            GTEST_SKIP() << volume.Skip() << ", and /dev/shm is no other file system";
        QTemporaryDir mine(QStringLiteral("/dev/shm/echofind-test-XXXXXX"));
        ASSERT_TRUE(mine.isValid());
        const QString rel = mine.path().mid(9) + QStringLiteral("/dir");
        const QString name = rel.section(u'/', 0, 0) + QStringLiteral(".txt");
        toOwnTrash(QStringLiteral("/dev/shm"), rel, name);
        const QString own = QStringLiteral("/dev/shm/.Trash-") + uid;
        QFile::remove(own + QStringLiteral("/files/") + name);
        QFile::remove(own + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
        for (const QString& folder :
             {own + QStringLiteral("/files"), own + QStringLiteral("/info"), own})
            QDir().rmdir(folder); // only when empty, so nobody else's trash goes
        GTEST_SKIP() << volume.Skip() << ": the shared and linked trash folders were not tried";
    }
    const QString top = volume.Root();
    const QString own = top + QStringLiteral("/.Trash-") + uid;
    toOwnTrash(top, QStringLiteral("dir"), QStringLiteral("v.txt"));
    const auto make = [&](const QString& name) {
        QFile f(top + QStringLiteral("/dir/") + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name.toUtf8());
        return f.fileName();
    };
    QString placed;

    // A shared .Trash counts only as a real folder with the sticky bit.
    const QString shared = top + QStringLiteral("/.Trash");
    ASSERT_TRUE(QDir().mkdir(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    ASSERT_EQ(modAPI::MyMoveToTrash(make(QStringLiteral("w.txt")), &placed), 1);
    EXPECT_EQ(placed, own + QStringLiteral("/files/w.txt"));
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ASSERT_EQ(modAPI::MyMoveToTrash(make(QStringLiteral("x.txt")), &placed), 1);
    EXPECT_EQ(placed, shared + u'/' + uid + QStringLiteral("/files/x.txt"));
    EXPECT_EQ(PathLine(shared + u'/' + uid + QStringLiteral("/info/x.txt.trashinfo")),
              QByteArray("dir/x.txt"));

    // A link is never taken for a trash folder: it could lead anywhere.
    QDir(shared).removeRecursively();
    QDir(own).removeRecursively();
    QDir().mkpath(top + QStringLiteral("/elsewhere"));
    ASSERT_TRUE(QFile::link(top + QStringLiteral("/elsewhere"), own));
    const QString y = make(QStringLiteral("y.txt"));
    EXPECT_EQ(modAPI::MyMoveToTrash(y), 3);
    EXPECT_TRUE(QFile::exists(y));
    EXPECT_TRUE(Entries(top + QStringLiteral("/elsewhere")).isEmpty());
}

TEST_F(Trash, ACrossMountRenameFailsCleanly) {
    // A bind mount is the same device as the home trash, yet the kernel will not rename
    // across it: the attempt must end as a failure with nothing left behind.
    const QString source = tree().CreateDir(QStringLiteral("real"));
    PrivateMount bound(source);
    if (bound.Skip())
        GTEST_SKIP() << bound.Skip();
    QFile f(bound.Root() + QStringLiteral("/b.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("bound");
    f.close();
    EXPECT_EQ(modAPI::MyMoveToTrash(f.fileName()), 3);
    EXPECT_EQ(modAPI::LastAPIError, EXDEV);
    EXPECT_EQ(tree().Read(QStringLiteral("real/b.txt")), QByteArray("bound"));
    EXPECT_TRUE(Entries(HomeTrash() + QStringLiteral("info")).isEmpty());
    EXPECT_TRUE(Entries(HomeTrash() + QStringLiteral("files")).isEmpty());

    // A file mounted over another file's name (on another device): no trash is made for it
    // in a folder of the wrong file system, and both files stay.
    PrivateMount volume;
    if (volume.Skip())
        return;
    QFile other(volume.Root() + QStringLiteral("/other.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("other");
    other.close();
    const QString over = tree().CreateFile(QStringLiteral("here/over.txt"), "hidden");
    ASSERT_EQ(::mount(QFile::encodeName(other.fileName()).constData(),
                      QFile::encodeName(over).constData(), nullptr, MS_BIND, nullptr),
              0);
    EXPECT_EQ(modAPI::MyMoveToTrash(over), 3);
    EXPECT_EQ(modAPI::LastAPIError, EXDEV);
    EXPECT_EQ(tree().Read(QStringLiteral("here/over.txt")), QByteArray("other"));
    EXPECT_EQ(Entries(tree().Path(QStringLiteral("here"))),
              QStringList{QStringLiteral("over.txt")});
    ::umount2(QFile::encodeName(over).constData(), MNT_DETACH);
    EXPECT_EQ(tree().Read(QStringLiteral("here/over.txt")), QByteArray("hidden"));
}
