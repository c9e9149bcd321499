#include "TestSupport.h"

#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFile>
#include <QProcess>

using namespace testing_support;

namespace {

// An application folder in a temporary tree, selected through ECHOFIND_HOME as an
// installed copy would be.
class InitAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = tree.CreateDir(QStringLiteral("app"));
        qputenv("ECHOFIND_HOME", m_home.toUtf8());
    }
    void TearDown() override { qunsetenv("ECHOFIND_HOME"); }

    void ShipDataFiles() {
        tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
        tree.CreateFile(QStringLiteral("app/Default Profile.xml"), "<echofind/>");
    }

    TempTree tree;
    ScriptedMessages messages;
    QString m_home;
};

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

TEST(SingleInstance, SecondStartIsRefusedAndTouchesNothing) {
    TempTree tree;
    const QString home = tree.CreateDir(QStringLiteral("app"));
    tree.CreateFile(QStringLiteral("app/config.xml"), "<echofind/>");
    const auto launch = [&home](QProcess& program) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ECHOFIND_HOME"), home);
        // No screen: messages are printed rather than shown in boxes nobody can answer.
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(ECHOFIND_BIN_DIR "/echofind"), {});
    };

    {
        modCommon::SingleInstance first(QDir(home).absolutePath() + u'/');
        ASSERT_TRUE(first.TryLock());
        QProcess second;
        launch(second);
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_NE(second.exitCode(), 0);
        EXPECT_TRUE(second.readAllStandardError().contains("Echofind is already open"));
        EXPECT_EQ(QDir(home).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{QStringLiteral("config.xml")})
            << "a refused start creates no folder and no log";
    }

    // Once the first instance is gone, a start lays out the folders, logs its start and
    // stays with its window open.
    QProcess program;
    launch(program);
    QFile log(home + QStringLiteral("/Log/Echofind.log"));
    QString line;
    for (int waited = 0; waited < 20000 && line.isEmpty(); waited += 50) {
        ASSERT_NE(program.state(), QProcess::NotRunning)
            << program.readAllStandardError().toStdString();
        program.waitForFinished(50);
        if (log.open(QIODevice::ReadOnly)) {
            line = QString::fromUtf8(log.readAll()).trimmed();
            log.close();
        }
    }
    EXPECT_TRUE(line.startsWith(QStringLiteral("*** Application started at:")));
    EXPECT_TRUE(line.endsWith(QStringLiteral("***")));
    EXPECT_TRUE(QDir(home).exists(QStringLiteral("Log")));
    program.kill();
    program.waitForFinished(5000);
}
