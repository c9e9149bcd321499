// Start-up: the folders a start lays out or refuses, the shipped documents it copies, the
// one running instance it allows, and the path helpers everything else builds on.

#include "FileSystems.h"
#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modCommon.h"

#include <QProcess>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

// An application folder in a temporary tree, selected through ECHOFIND_HOME as a build's
// copy would be; Installed() gives the folders of an installation instead.
class InitAppTest : public ::testing::Test {
protected:
    void ShipDataFiles() {
        tree.CreateCopies("<echofind/>", {"app/config.xml", "app/Default Profile.xml"});
    }
    // Read-only shipped documents in share/, and a data folder not made yet.
    modCommon::Folders Installed() {
        for (const auto& [name, text] : {std::pair{u"config.xml"_s, "<shipped/>"},
                                         std::pair{u"Default Profile.xml"_s, "<template/>"}}) {
            tree.CreateFile(u"share/"_s + name, text);
            tree.SetMode(u"share/"_s + name, 0444);
        }
        return {tree.Root() + u"data/echofind/"_s, tree.Root() + u"share/"_s, false};
    }
    QString Template() const { return modCommon::ProfileFolder + u"Default Profile.xml"_s; }

    TempTree tree;
    ScriptedMessages messages;
    QString m_home = tree.CreateDir(u"app"_s);
    EnvVar m_homeVar{"ECHOFIND_HOME", m_home};
};

// Starts the built program on the given application folder, without a screen, expects it
// to refuse to run and gives what it said on standard error.
QString RefusedStart(const QString& home, const QString& runtimeDir = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"ECHOFIND_HOME"_s, home);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    if (!runtimeDir.isEmpty())
        env.insert(u"XDG_RUNTIME_DIR"_s, runtimeDir);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind"), {});
    EXPECT_TRUE(program.waitForFinished(20000));
    EXPECT_NE(program.exitCode(), 0);
    return QString::fromLocal8Bit(program.readAllStandardError());
}

} // namespace

TEST_F(InitAppTest, LaysOutTheFoldersMovesTheTemplateOnceAndKeepsWhatIsThere) {
    ShipDataFiles();
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_TRUE(messages.ShownMessages.empty());
    EXPECT_EQ(modCommon::AppPath, m_home + u'/');
    EXPECT_TRUE(modCommon::UserPath.startsWith(modCommon::AppPath));
    EXPECT_EQ(modCommon::ProfileFolder, modCommon::UserPath + u"Profile/"_s);
    EXPECT_EQ(modCommon::LogPath, modCommon::UserPath + u"Log/"_s);
    EXPECT_EQ(modCommon::AppLogFile, modCommon::AppPath + u"Log/Echofind.log"_s);
    EXPECT_TRUE(QFileInfo(modCommon::LogPath).isDir());
    EXPECT_TRUE(QFileInfo(modCommon::AppPath + u"Log"_s).isDir());
    EXPECT_EQ(ReadFile(Template()), "<echofind/>");
    EXPECT_FALSE(QFile::exists(modCommon::AppPath + u"Default Profile.xml"_s))
        << "the template is moved, not copied";
    const QString catalogue = modCommon::ProfileFolder + u"AllProfiles.xml"_s;
    EXPECT_TRUE(QFile::exists(catalogue));

    // A later start keeps the user's catalogue and template, and leaves a template shipped
    // again where it is.
    tree.CreateFile(catalogue.mid(tree.Root().size()), "mine");
    tree.CreateFile(u"app/Default Profile.xml"_s, "<shipped-again/>");
    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_EQ(ReadFile(catalogue), "mine");
    EXPECT_EQ(ReadFile(Template()), "<echofind/>");
    EXPECT_TRUE(QFile::exists(modCommon::AppPath + u"Default Profile.xml"_s));
}

// An application folder whose name is not UTF-8 is laid out where it is, not under a
// decoded look-alike.
TEST_F(InitAppTest, AFolderNameThatIsNotUtf8IsUsedAsItIs) {
    const QByteArray home = QFile::encodeName(tree.Root()) + "app\xe9";
    ASSERT_EQ(::mkdir(home.constData(), 0755), 0);
    WriteFile(PathCodec::Decode(home + "/config.xml"), "<echofind/>");
    qputenv("ECHOFIND_HOME", home);

    ASSERT_EQ(modCommon::InitApp(messages), 1);
    EXPECT_EQ(PathCodec::Encode(modCommon::AppPath), home + '/');
    struct stat st;
    for (const QString& made : {modCommon::AppPath + u"Log"_s, modCommon::LogPath,
                                modCommon::ProfileFolder + u"AllProfiles.xml"_s}) {
        EXPECT_TRUE(PathCodec::Encode(made).startsWith(home + '/'));
        EXPECT_EQ(::stat(PathCodec::Encode(made).constData(), &st), 0) << made.toStdString();
    }
}

// Each failure shows the same first line, then its own reason, and logs its number.
TEST_F(InitAppTest, WhatStopsAStartIsShownAndLoggedWithItsNumber) {
    // Nothing shipped to start from.
    EXPECT_EQ(modCommon::InitApp(messages, {m_home + u'/', tree.CreateDir(u"none"_s) + u'/', true}),
              0);
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
    EXPECT_EQ(messages.ShownMessages[0].Text,
              u"Error occured while initializing the application. Quitting."_s);
    EXPECT_EQ(messages.ShownMessages[0].Kind, MessageService::Icon::Critical);
    EXPECT_EQ(messages.ShownMessages[1].Text,
              u"Configuration file could not be found. Please contact Halvane support. "_s);
    EXPECT_EQ(messages.ShownMessages[1].Detail,
              u"Not found: "_s + modCommon::AppPath + u"config.xml"_s);
    EXPECT_TRUE(QFileInfo(modCommon::LogPath).isDir()) << "made before the check";
    EXPECT_TRUE(ReadFile(modCommon::AppLogFile)
                    .startsWith("Error occured in modCommon.InitApp. Error No : 518 Desc : "
                                "Configuration file could not be found."));

    // The application's Log folder is a file: the log folder cannot be made.
    ShipDataFiles();
    QDir(m_home + u"/Log"_s).removeRecursively();
    tree.CreateFile(u"app/Log"_s, "not a folder");
    messages.ShownMessages.clear();
    EXPECT_EQ(modCommon::InitApp(messages), 0);
    EXPECT_EQ(messages.Texts().value(1), u"Could not create log folder "_s + modCommon::AppLogFile);

    // The user folder is a file: nothing beneath it can be made.
    QFile::remove(m_home + u"/Log"_s);
    tree.CreateDir(u"app/Log"_s);
    QDir(modCommon::UserPath).removeRecursively();
    tree.CreateFile(modCommon::UserPath.mid(tree.Root().size()).chopped(1), "file");
    messages.ShownMessages.clear();
    EXPECT_EQ(modCommon::InitApp(messages), 0);
    EXPECT_EQ(messages.Texts().value(1), u"Could not create user folder "_s + modCommon::UserPath);
    EXPECT_TRUE(ReadFile(modCommon::AppLogFile)
                    .contains("Error occured in modCommon.InitApp. Error No : 515 Desc : "
                              "Could not create user folder "));
}

TEST_F(InitAppTest, ApplicationLogIsClearedOnlyWhenOverTheLimit) {
    ShipDataFiles();
    for (const qint64 size : {modCommon::MaxAppLogBytes, modCommon::MaxAppLogBytes + 1}) {
        tree.CreateFile(u"app/Log/Echofind.log"_s, QByteArray(size, 'x'));
        ASSERT_EQ(modCommon::InitApp(messages), 1);
        EXPECT_EQ(QFileInfo(m_home + u"/Log/Echofind.log"_s).size(),
                  size == modCommon::MaxAppLogBytes ? size : 0);
    }
}

TEST_F(InitAppTest, AnInstallationCopiesItsDocumentsOnceAndGivesTheUserWritableCopies) {
    const modCommon::Folders folders = Installed();
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_TRUE(messages.ShownMessages.empty());
    EXPECT_EQ(modCommon::AppPath, folders.Application);
    const QString config = folders.Application + u"config.xml"_s;
    EXPECT_EQ(ReadFile(config), "<shipped/>");
    EXPECT_EQ(ReadFile(Template()), "<template/>");
    EXPECT_FALSE(QFile::exists(folders.Application + u"Default Profile.xml"_s));
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + u"AllProfiles.xml"_s));
    EXPECT_TRUE(QFileInfo(config).permissions() & QFile::WriteOwner);
    EXPECT_TRUE(QFile::exists(folders.Shipped + u"config.xml"_s))
        << "the shipped documents stay where they are";

    // The user's own settings survive later starts, and a template the user removed is not
    // brought back: it goes to a new folder only.
    tree.CreateFile(config.mid(tree.Root().size()), "<mine/>");
    QFile::remove(Template());
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_EQ(ReadFile(config), "<mine/>");
    EXPECT_FALSE(QFile::exists(Template()));
    // A lost configuration is copied again, without a second template beside the user's.
    tree.CreateFile(Template().mid(tree.Root().size()), "<edited/>");
    QFile::remove(config);
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_EQ(ReadFile(config), "<shipped/>");
    EXPECT_EQ(ReadFile(Template()), "<edited/>");
    EXPECT_FALSE(QFile::exists(folders.Application + u"Default Profile.xml"_s));

    // A build started with an empty ECHOFIND_HOME starts from its own shipped documents,
    // as an installation does; only with none shipped is the missing file named.
    modCommon::Folders portable = folders;
    portable.Application = tree.Root() + u"empty/"_s;
    portable.Portable = true;
    EXPECT_EQ(modCommon::InitApp(messages, portable), 1);
    EXPECT_EQ(ReadFile(portable.Application + u"config.xml"_s), "<shipped/>");
    portable.Application = tree.Root() + u"other/"_s;
    portable.Shipped = tree.CreateDir(u"nothing"_s) + u'/';
    EXPECT_EQ(modCommon::InitApp(messages, portable), 0);
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
    EXPECT_EQ(messages.ShownMessages[1].Detail,
              u"Not found: "_s + portable.Application + u"config.xml"_s);
}

TEST(Paths, QualifyUnqualifyAndUnder) {
    using namespace modCommon;
    EXPECT_EQ(QualifyPath(u"/home/ann"_s), u"/home/ann/"_s);
    EXPECT_EQ(QualifyPath(u"/home/ann/"_s), u"/home/ann/"_s);
    EXPECT_EQ(UnQualifyPath(u"  /home/ann/  "_s), u"/home/ann"_s);
    EXPECT_EQ(UnQualifyPath(u"/"_s), u"/"_s);
    EXPECT_EQ(UnQualifyPath(u"/a//"_s), u"/a/"_s) << "only one separator is dropped";
    EXPECT_EQ(ProfileNameFromPath(u"/p/Profile/Café Photos.xml"_s), u"Café Photos"_s);
    for (const auto& [path, folder, under] :
         {std::tuple{"/a/b/c.txt", "/a/b", true}, std::tuple{"/a/b/c.txt", "/a/b/", true},
          std::tuple{"/a/b", "/a/b/", true}, std::tuple{"/x", "/", true},
          std::tuple{"/a/bc/d", "/a/b", false}, std::tuple{"/A/b/c", "/a/b", false},
          std::tuple{"/a/b/c", "", false}})
        EXPECT_EQ(IsUnderFolder(QString::fromLatin1(path), QString::fromLatin1(folder)), under)
            << path << " under " << folder;
}

// A real start once the first instance is gone is checked by the installation test.
TEST(SingleInstance, SecondStartIsRefusedAndTouchesNothing) {
    TempTree tree;
    const QString home = tree.CreateDir(u"app"_s);
    tree.CreateFile(u"app/config.xml"_s, "<echofind/>");
    modCommon::SingleInstance first(QDir(home).absolutePath() + u'/');
    ASSERT_TRUE(first.TryLock());
    EXPECT_TRUE(Holds(RefusedStart(home), u"Echofind is already open"_s));
    EXPECT_EQ(QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{u"config.xml"_s})
        << "a refused start creates no folder and no log";
}

TEST(SingleInstance, ALockThatCannotBeMadeSaysWhatFailedNotAlreadyOpen) {
    TempTree tree;
    const QString app = tree.CreateDir(u"app"_s);
    const QString runtime = tree.CreateDir(u"run"_s);
    {
        modCommon::SingleInstance first(app, runtime);
        ASSERT_TRUE(first.TryLock());
        modCommon::SingleInstance second(app, runtime);
        EXPECT_FALSE(second.TryLock());
        EXPECT_TRUE(second.HeldByAnotherInstance());
    }
    EXPECT_TRUE(modCommon::SingleInstance(app, runtime).TryLock()) << "free once the first is gone";
    for (const auto& [folder, reason] :
         {std::pair{tree.Path(u"missing"_s), u"(No such file or directory)"_s},
          std::pair{tree.CreateFile(u"file"_s, "x"), u"(Not a directory)"_s}}) {
        modCommon::SingleInstance instance(app, folder);
        EXPECT_FALSE(instance.TryLock());
        EXPECT_FALSE(instance.HeldByAnotherInstance()) << reason.toStdString();
        EXPECT_TRUE(Holds(instance.FailureText(), instance.LockPath() + u' ' + reason));
    }

    // For an ordinary user, a runtime folder of someone else's.
    ::chmod(QFile::encodeName(tree.Root()).constData(), 0755);
    const int outcome = RunAsOtherUser([&] {
        modCommon::SingleInstance instance(app, runtime);
        if (instance.TryLock() || instance.HeldByAnotherInstance())
            return 1;
        return instance.FailureText().contains(u"(Permission denied)"_s) ? 0 : 2;
    });
    EXPECT_EQ(outcome, 0);

    // The program tells such a failure apart from a second start.
    PrivateMount readOnly({}, true);
    if (readOnly.Skip())
        GTEST_SKIP() << readOnly.Skip();
    tree.CreateFile(u"app/config.xml"_s, "<echofind/>");
    const QString err = RefusedStart(app, readOnly.Root());
    EXPECT_FALSE(err.contains(u"already open"_s)) << err.toStdString();
    EXPECT_TRUE(Holds(err, u"could not create its lock file "_s + readOnly.Root()));
    EXPECT_TRUE(Holds(err, u"(Read-only file system)"_s));
}

TEST(InitApp, AnUnknownUserGetsDefaultUserAndTheLookupFailureIsLogged) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become a user without an account";
    TempTree tree;
    const QString home = tree.CreateDir(u"app"_s);
    tree.CreateFile(u"app/config.xml"_s, "<echofind/>");
    ::chmod(QFile::encodeName(tree.Root()).constData(), 0755);
    ::chmod(QFile::encodeName(home).constData(), 0777);
    EnvVar homeVar("ECHOFIND_HOME", home);
    // An id without an account: the log-on name cannot be read.
    ASSERT_EQ(RunAsOtherUser([] {
                  ScriptedMessages messages;
                  return modCommon::InitApp(messages) == 1 ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(QFileInfo(home + u"/DefaultUser/Profile"_s).isDir());
    QFile log(home + u"/Log/Echofind.log"_s);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith(u"Error occured in modAPI.MyGetUserName Error number: "_s))
        << text.toStdString();
}
