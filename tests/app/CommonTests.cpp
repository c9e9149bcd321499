#include "FileSystems.h"
#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>

#include <cstdio>
#include <ftw.h>
#include <sys/stat.h>

using namespace testing_support;

namespace {

// An application folder in a temporary tree, selected through ECHOFIND_HOME as an
// installed copy would be.
class InitAppTest : public ::testing::Test {
protected:
    void ShipDataFiles() {
        tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
        tree.CreateFile(QStringLiteral("app/Default Profile.xml"), "<echofind/>");
    }

    TempTree tree;
    ScriptedMessages messages;
    QString m_home = tree.CreateDir(QStringLiteral("app"));
    EnvVar m_homeVar{"ECHOFIND_HOME", m_home};
};

// Starts the built program on the given application folder, without a screen.
void StartProgram(QProcess& program, const QString& home, const QString& runtimeDir = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ECHOFIND_HOME"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!runtimeDir.isEmpty())
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind"), {});
}

} // namespace

TEST_F(InitAppTest, LaysOutTheFoldersAndMovesTheTemplateOnce) {
    ShipDataFiles();
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_TRUE(messages.ShownMessages.empty());
    EXPECT_EQ(modCommon::AppPath, m_home + u'/');
    EXPECT_TRUE(modCommon::UserPath.startsWith(modCommon::AppPath));
    EXPECT_EQ(modCommon::ProfileFolder, modCommon::UserPath + QStringLiteral("Profile/"));
    EXPECT_EQ(modCommon::LogPath, modCommon::UserPath + QStringLiteral("Log/"));
    EXPECT_EQ(modCommon::AppLogFile, modCommon::AppPath + QStringLiteral("Log/Echofind.log"));
    EXPECT_TRUE(QFileInfo(modCommon::LogPath).isDir());
    EXPECT_TRUE(QFileInfo(modCommon::AppPath + QStringLiteral("Log")).isDir());
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + QStringLiteral("Default Profile.xml")));
    EXPECT_FALSE(QFile::exists(modCommon::AppPath + QStringLiteral("Default Profile.xml")))
        << "the template is moved, not copied";
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + QStringLiteral("AllProfiles.xml")));
}

// An application folder whose name is not UTF-8 is laid out where it is, not under a
// decoded look-alike.
TEST_F(InitAppTest, AFolderNameThatIsNotUtf8IsUsedAsItIs) {
    const QByteArray home = QFile::encodeName(tree.Root()) + "app\xe9";
    ASSERT_EQ(::mkdir(home.constData(), 0755), 0);
    // Qt's own removal of the tree decodes names and cannot find this one.
    const auto cleanup = qScopeGuard([&home] {
        ::nftw(
            home.constData(),
            [](const char* entry, const struct stat*, int, struct FTW*) { return ::remove(entry); },
            16, FTW_DEPTH | FTW_PHYS);
    });
    FILE* config = std::fopen((home + "/config.xml").constData(), "wb");
    ASSERT_NE(config, nullptr);
    std::fputs("<echofind/>", config);
    std::fclose(config);
    qputenv("ECHOFIND_HOME", home);

    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_EQ(PathCodec::Encode(modCommon::AppPath), home + '/');
    struct stat st;
    for (const QString& made : {modCommon::AppPath + QStringLiteral("Log"), modCommon::LogPath}) {
        EXPECT_TRUE(PathCodec::Encode(made).startsWith(home + '/'));
        EXPECT_EQ(::stat(PathCodec::Encode(made).constData(), &st), 0);
    }
    const QByteArray catalogue = PathCodec::Encode(modCommon::ProfileFolder) + "AllProfiles.xml";
    EXPECT_TRUE(catalogue.startsWith(home + '/'));
    EXPECT_EQ(::stat(catalogue.constData(), &st), 0);
}

TEST_F(InitAppTest, KeepsAnExistingCatalogueAndTemplate) {
    ShipDataFiles();
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    const QString catalogue = modCommon::ProfileFolder + QStringLiteral("AllProfiles.xml");
    const QString userTemplate = modCommon::ProfileFolder + QStringLiteral("Default Profile.xml");
    QFile::remove(catalogue);
    tree.CreateFile(QStringLiteral("app/Default Profile.xml"), "<shipped-again/>");
    {
        QFile c(catalogue);
        ASSERT_TRUE(c.open(QIODevice::WriteOnly));
        c.write("mine");
    }
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    QFile c(catalogue);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.readAll(), QByteArray("mine"));
    QFile t(userTemplate);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    EXPECT_EQ(t.readAll(), QByteArray("<echofind/>"));
    EXPECT_TRUE(QFile::exists(modCommon::AppPath + QStringLiteral("Default Profile.xml")));
}

TEST_F(InitAppTest, MissingConfigurationStopsAfterTheFoldersWereMade) {
    EXPECT_EQ(modCommon::InitApp(messages), 0);
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
    EXPECT_EQ(messages.ShownMessages[0].Text,
              QStringLiteral("Error occured while initializing the application. Quitting."));
    EXPECT_EQ(messages.ShownMessages[0].Kind, MessageService::Icon::Critical);
    EXPECT_EQ(messages.ShownMessages[1].Text,
              QStringLiteral("Configuration file could not be found. Please contact Halvane "
                             "support. "));
    EXPECT_TRUE(QFileInfo(modCommon::LogPath).isDir());

    QFile log(modCommon::AppLogFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith(
        "Error occured in modCommon.InitApp. Error No : 518 Desc : Configuration file could "
        "not be found."));
}

TEST_F(InitAppTest, FoldersBlockedByFilesGiveTheirNumberedErrors) {
    ShipDataFiles();
    // The application's Log folder is a file: the log folder cannot be made.
    tree.CreateFile(QStringLiteral("app/Log"), "not a folder");
    EXPECT_EQ(modCommon::InitApp(messages), 0);
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
    EXPECT_EQ(messages.ShownMessages[1].Text,
              QStringLiteral("Could not create log folder ") + modCommon::AppLogFile);

    // The user folder is a file: nothing beneath it can be made.
    QFile::remove(tree.Path(QStringLiteral("app/Log")));
    tree.CreateDir(QStringLiteral("app/Log"));
    messages.ShownMessages.clear();
    QDir(modCommon::UserPath).removeRecursively();
    tree.CreateFile(modCommon::UserPath.mid(tree.Root().size()).chopped(1), "file");
    EXPECT_EQ(modCommon::InitApp(messages), 0);
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
    EXPECT_EQ(messages.ShownMessages[1].Text,
              QStringLiteral("Could not create user folder ") + modCommon::UserPath);
    QFile log(modCommon::AppLogFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Error occured in modCommon.InitApp. Error No : 515 Desc : "
                                       "Could not create user folder "));
}

TEST_F(InitAppTest, ApplicationLogIsClearedOnlyWhenOverTheLimit) {
    ShipDataFiles();
    const QString log = tree.Path(QStringLiteral("app/Log/Echofind.log"));
    tree.CreateFile(QStringLiteral("app/Log/Echofind.log"),
                    QByteArray(modCommon::MaxAppLogBytes, 'x'));
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_EQ(QFileInfo(log).size(), modCommon::MaxAppLogBytes);

    tree.CreateFile(QStringLiteral("app/Log/Echofind.log"),
                    QByteArray(modCommon::MaxAppLogBytes + 1, 'x'));
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_FALSE(QFile::exists(log));
}

TEST(Paths, QualifyAndUnqualify) {
    EXPECT_EQ(modCommon::QualifyPath(QStringLiteral("/home/ann")), QStringLiteral("/home/ann/"));
    EXPECT_EQ(modCommon::QualifyPath(QStringLiteral("/home/ann/")), QStringLiteral("/home/ann/"));
    EXPECT_EQ(modCommon::UnQualifyPath(QStringLiteral("  /home/ann/  ")),
              QStringLiteral("/home/ann"));
    EXPECT_EQ(modCommon::UnQualifyPath(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(modCommon::UnQualifyPath(QStringLiteral("/a//")), QStringLiteral("/a/"))
        << "only one separator is dropped";
    EXPECT_EQ(modCommon::ProfileNameFromPath(QStringLiteral("/p/Profile/Café Photos.xml")),
              QStringLiteral("Café Photos"));
}

TEST(Paths, UnderFolder) {
    using modCommon::IsUnderFolder;
    EXPECT_TRUE(IsUnderFolder(QStringLiteral("/a/b/c.txt"), QStringLiteral("/a/b")));
    EXPECT_TRUE(IsUnderFolder(QStringLiteral("/a/b/c.txt"), QStringLiteral("/a/b/")));
    EXPECT_TRUE(IsUnderFolder(QStringLiteral("/a/b"), QStringLiteral("/a/b/")));
    EXPECT_TRUE(IsUnderFolder(QStringLiteral("/x"), QStringLiteral("/")));
    EXPECT_FALSE(IsUnderFolder(QStringLiteral("/a/bc/d"), QStringLiteral("/a/b")));
    EXPECT_FALSE(IsUnderFolder(QStringLiteral("/A/b/c"), QStringLiteral("/a/b")));
    EXPECT_FALSE(IsUnderFolder(QStringLiteral("/a/b/c"), QString()));
}

TEST(SingleInstance, SecondStartIsRefusedAndTouchesNothing) {
    TempTree tree;
    const QString home = tree.CreateDir(QStringLiteral("app"));
    tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
    {
        modCommon::SingleInstance first(QDir(home).absolutePath() + u'/');
        ASSERT_TRUE(first.TryLock());
        QProcess second;
        StartProgram(second, home);
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_NE(second.exitCode(), 0);
        EXPECT_TRUE(second.readAllStandardError().contains("Echofind is already open"));
        EXPECT_EQ(QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{QStringLiteral("config.xml")})
            << "a refused start creates no folder and no log";
    }

    // Once the first instance is gone, a start lays out the folders and logs its start; the
    // program then stays with its window, so it is stopped here.
    QProcess program;
    StartProgram(program, home);
    QFile log(home + QStringLiteral("/Log/Echofind.log"));
    QString line;
    for (int waited = 0; waited < 20000 && line.isEmpty(); waited += 50) {
        if (log.open(QIODevice::ReadOnly)) {
            line = QString::fromUtf8(log.readAll()).trimmed();
            log.close();
        }
        if (line.isEmpty())
            program.waitForFinished(50);
    }
    program.kill();
    program.waitForFinished(5000);
    EXPECT_TRUE(line.startsWith(QStringLiteral("*** Application started at:")))
        << program.readAllStandardError().toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("***")));
}

TEST(SingleInstance, ALockThatCannotBeMadeSaysWhatFailedNotAlreadyOpen) {
    TempTree tree;
    const QString app = tree.CreateDir(QStringLiteral("app"));
    const QString runtime = tree.CreateDir(QStringLiteral("run"));
    const QString file = tree.CreateFile(QStringLiteral("file"), "x");
    {
        modCommon::SingleInstance first(app, runtime);
        ASSERT_TRUE(first.TryLock());
        modCommon::SingleInstance second(app, runtime);
        EXPECT_FALSE(second.TryLock());
        EXPECT_TRUE(second.HeldByAnotherInstance());
    }
    const struct {
        QString Folder;
        const char* Reason;
    } cases[] = {{tree.Path(QStringLiteral("missing")), "(No such file or directory)"},
                 {file, "(Not a directory)"}};
    for (const auto& c : cases) {
        modCommon::SingleInstance instance(app, c.Folder);
        EXPECT_FALSE(instance.TryLock());
        EXPECT_FALSE(instance.HeldByAnotherInstance()) << c.Reason;
        EXPECT_TRUE(instance.FailureText().contains(instance.LockPath() + u' ' +
                                                    QString::fromLatin1(c.Reason)))
            << instance.FailureText().toStdString();
    }

    // For an ordinary user, a runtime folder of someone else's.
    ::chmod(QFile::encodeName(tree.Root()).constData(), 0755);
    const int outcome = RunAsOtherUser([&] {
        modCommon::SingleInstance instance(app, runtime);
        if (instance.TryLock() || instance.HeldByAnotherInstance())
            return 1;
        return instance.FailureText().contains(QStringLiteral("(Permission denied)")) ? 0 : 2;
    });
    EXPECT_EQ(outcome, 0);
}

TEST(SingleInstance, TheProgramTellsALockFailureApartFromASecondStart) {
    PrivateMount readOnly({}, true);
    if (readOnly.Skip())
        GTEST_SKIP() << readOnly.Skip();
    TempTree tree;
    const QString home = tree.CreateDir(QStringLiteral("app"));
    tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
    QProcess program;
    StartProgram(program, home, readOnly.Root());
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_NE(program.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_FALSE(err.contains(QStringLiteral("already open"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("could not create its lock file ") + readOnly.Root()))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("(Read-only file system)"))) << err.toStdString();
}

TEST(InitApp, AnUnknownUserGetsDefaultUserAndTheLookupFailureIsLogged) {
    // An id without an account: the log-on name cannot be read.
    TempTree tree;
    const QString home = tree.CreateDir(QStringLiteral("app"));
    tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
    ::chmod(QFile::encodeName(tree.Root()).constData(), 0755);
    ::chmod(QFile::encodeName(home).constData(), 0777);
    const int outcome = [&] {
        EnvVar homeVar("ECHOFIND_HOME", home);
        return RunAsOtherUser([] {
            ScriptedMessages messages;
            return modCommon::InitApp(messages) == 1 ? 0 : 1;
        });
    }();
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become a user without an account";
    ASSERT_EQ(outcome, 0);
    EXPECT_TRUE(QFileInfo(home + QStringLiteral("/DefaultUser/Profile")).isDir());
    QFile log(home + QStringLiteral("/Log/Echofind.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(
        text.startsWith(QStringLiteral("Error occured in modAPI.MyGetUserName Error number: ")))
        << text.toStdString();
}
