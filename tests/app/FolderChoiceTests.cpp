#include "FileSystems.h"
#include "TestSupport.h"

#include "app/modCommon.h"

#include <QFile>
#include <QLibrary>

#include <sys/stat.h>

using namespace testing_support;

namespace {

// A program folder as the build leaves it (the shipped documents beside the program) and
// one as an installation leaves it (bin/ beside share/echofind/).
struct Layouts {
    TempTree tree;
    QString Build = tree.CreateDir(QStringLiteral("build/bin")) + u'/';
    QString Installed = tree.CreateDir(QStringLiteral("usr/bin")) + u'/';
    QString Shared = tree.CreateDir(QStringLiteral("usr/share/echofind")) + u'/';
    QString Home = tree.CreateDir(QStringLiteral("home")) + u'/';
    Layouts() {
        tree.CreateFile(QStringLiteral("build/bin/config.xml"), "<build/>");
        tree.CreateFile(QStringLiteral("usr/share/echofind/config.xml"), "<shipped/>");
    }
};

} // namespace

TEST(FolderChoice, BuildKeepsItsFolderAnInstallationUsesTheUserDataFolder) {
    Layouts l;
    const QString data = l.tree.Root() + QStringLiteral("data");
    const QString echofindHome = l.tree.Root() + QStringLiteral("elsewhere/./app");
    const struct {
        const char* Name;
        QString Program, EchofindHome, DataHome, Application, Shipped;
        bool Portable;
    } cases[] = {
        {"build", l.Build, {}, data, l.Build, l.Build, true},
        {"installed", l.Installed, {}, data, data + QStringLiteral("/echofind/"), l.Shared, false},
        {"installed, no XDG_DATA_HOME",
         l.Installed,
         {},
         {},
         l.Home + QStringLiteral(".local/share/echofind/"),
         l.Shared,
         false},
        // Another spelling of the same folder gives the same folder, and so the same lock.
        {"installed, XDG_DATA_HOME spelled otherwise",
         l.Installed,
         {},
         l.tree.Root() + QStringLiteral("/./data//"),
         data + QStringLiteral("/echofind/"),
         l.Shared,
         false},
        // The base directory rules ignore a relative data folder.
        {"installed, relative XDG_DATA_HOME",
         l.Installed,
         {},
         QStringLiteral("rel/data"),
         l.Home + QStringLiteral(".local/share/echofind/"),
         l.Shared,
         false},
        {"installed, ECHOFIND_HOME", l.Installed, echofindHome, data,
         l.tree.Root() + QStringLiteral("elsewhere/app/"), l.Shared, false},
        {"build, ECHOFIND_HOME", l.Build, echofindHome, data,
         l.tree.Root() + QStringLiteral("elsewhere/app/"), l.Build, true},
        // Neither beside the program nor shared: the data folder, and the start-up reports
        // the missing configuration there.
        {"nothing shipped",
         l.tree.CreateDir(QStringLiteral("bare")),
         {},
         data,
         data + QStringLiteral("/echofind/"),
         l.tree.Root() + QStringLiteral("bare/"),
         false},
    };
    for (const auto& c : cases) {
        EnvVar home("HOME", l.Home);
        EnvVar xdg("XDG_DATA_HOME", c.DataHome);
        EnvVar app("ECHOFIND_HOME", c.EchofindHome);
        const modCommon::Folders f = modCommon::ChooseFolders(c.Program);
        EXPECT_EQ(f.Application, c.Application) << c.Name;
        EXPECT_EQ(f.Shipped, c.Shipped) << c.Name;
        EXPECT_EQ(f.Portable, c.Portable) << c.Name;
    }

    // A build and an installation never share a lock, and so never a catalogue, by accident.
    EnvVar xdg("XDG_DATA_HOME", data);
    EXPECT_NE(
        modCommon::SingleInstance(modCommon::ChooseFolders(l.Build).Application).LockPath(),
        modCommon::SingleInstance(modCommon::ChooseFolders(l.Installed).Application).LockPath());
}

TEST(FolderChoice, AProgramFolderTheUserCannotWriteIsNotTheApplicationFolder) {
    Layouts l;
    const QString data = l.tree.Root() + QStringLiteral("data");
    EnvVar xdg("XDG_DATA_HOME", data);
    ::chmod(QFile::encodeName(l.tree.Root()).constData(), 0755);
    ::chmod(QFile::encodeName(l.tree.Path(QStringLiteral("build"))).constData(), 0755);
    ::chmod(QFile::encodeName(l.Build).constData(), 0555);
    // Root writes anywhere, so the question is asked as an ordinary user.
    const QString expected = data + QStringLiteral("/echofind/");
    const int outcome = RunAsOtherUser([&] {
        const modCommon::Folders f = modCommon::ChooseFolders(l.Build);
        if (f.Portable)
            return 1;
        if (f.Application != expected)
            return 2;
        return f.Shipped == l.Build ? 0 : 3;
    });
    ::chmod(QFile::encodeName(l.Build).constData(), 0755);
    EXPECT_EQ(outcome, 0);
}

namespace {

class FirstStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.CreateFile(QStringLiteral("share/config.xml"), "<shipped/>");
        tree.CreateFile(QStringLiteral("share/Default Profile.xml"), "<template/>");
        for (const char* name : {"share/config.xml", "share/Default Profile.xml"})
            ::chmod(QFile::encodeName(tree.Path(QString::fromLatin1(name))).constData(), 0444);
        folders.Application = tree.Root() + QStringLiteral("data/echofind/");
        folders.Shipped = tree.Root() + QStringLiteral("share/");
        folders.Portable = false;
    }

    QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    TempTree tree;
    ScriptedMessages messages;
    modCommon::Folders folders;
};

} // namespace

TEST_F(FirstStartTest, CopiesTheShippedDocumentsOnceAndGivesTheUserWritableCopies) {
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_TRUE(messages.ShownMessages.empty());
    EXPECT_EQ(modCommon::AppPath, folders.Application);
    const QString config = folders.Application + QStringLiteral("config.xml");
    const QString userTemplate = modCommon::ProfileFolder + QStringLiteral("Default Profile.xml");
    EXPECT_EQ(Read(config), QByteArray("<shipped/>"));
    EXPECT_EQ(Read(userTemplate), QByteArray("<template/>"));
    EXPECT_FALSE(QFile::exists(folders.Application + QStringLiteral("Default Profile.xml")));
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + QStringLiteral("AllProfiles.xml")));
    EXPECT_TRUE(QFileInfo(config).permissions() & QFile::WriteOwner);
    EXPECT_TRUE(QFile::exists(folders.Shipped + QStringLiteral("config.xml")))
        << "the shipped documents stay where they are";

    // The user's own settings and profiles survive later starts.
    tree.CreateFile(QStringLiteral("data/echofind/config.xml"), "<mine/>");
    QFile::remove(userTemplate);
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_EQ(Read(config), QByteArray("<mine/>"));
    EXPECT_FALSE(QFile::exists(userTemplate)) << "the template goes to a new folder only";
}

TEST_F(FirstStartTest, ALostConfigurationIsCopiedAgainWithoutASecondTemplate) {
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    const QString userTemplate = modCommon::ProfileFolder + QStringLiteral("Default Profile.xml");
    {
        QFile edited(userTemplate);
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write("<edited/>");
    }
    QFile::remove(folders.Application + QStringLiteral("config.xml"));
    ASSERT_EQ(modCommon::InitApp(messages, folders), 1);
    EXPECT_EQ(Read(folders.Application + QStringLiteral("config.xml")), QByteArray("<shipped/>"));
    EXPECT_EQ(Read(userTemplate), QByteArray("<edited/>"));
    EXPECT_FALSE(QFile::exists(folders.Application + QStringLiteral("Default Profile.xml")));
}

TEST_F(FirstStartTest, APortableFolderIsNeverFilledFromElsewhere) {
    // A build started with an empty ECHOFIND_HOME reports the missing configuration, as
    // it always has, rather than quietly taking someone else's.
    folders.Portable = true;
    EXPECT_EQ(modCommon::InitApp(messages, folders), 0);
    EXPECT_FALSE(QFile::exists(folders.Application + QStringLiteral("config.xml")));
    ASSERT_EQ(messages.ShownMessages.size(), 2u);
}

TEST(FolderChoice, TheBuiltTreewellLibraryIsFoundByItsSoname) {
    if (!QFile::exists(QStringLiteral(ECHOFIND_BIN_DIR "/libtreewell.so")))
        GTEST_SKIP() << "built without the folder tree";
    const QString file = modCommon::TreewellLibraryFile(QStringLiteral(ECHOFIND_BIN_DIR));
    EXPECT_TRUE(file.startsWith(QStringLiteral(ECHOFIND_BIN_DIR "/libtreewell.so.")))
        << file.toStdString();
    QLibrary library(file);
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    EXPECT_NE(library.resolve("TreewellCreateControl"), nullptr);

    // Installed, it sits in lib/ beside bin/.
    TempTree tree;
    EXPECT_EQ(modCommon::TreewellLibraryFile(tree.CreateDir(QStringLiteral("usr/bin"))),
              tree.Root() + QStringLiteral("usr/lib/") + file.mid(file.lastIndexOf(u'/') + 1));
}
