// Where a program keeps its documents: a build its own folder, an installation the user's
// data folder, ECHOFIND_HOME either; and where it finds the folder tree's library.

#include "FileSystems.h"
#include "TestSupport.h"

#include "app/modCommon.h"

#include <QLibrary>

using namespace testing_support;
using namespace Qt::StringLiterals;

TEST(FolderChoice, BuildKeepsItsFolderAnInstallationUsesTheUserDataFolder) {
    // A program folder as the build leaves it (the shipped documents beside the program) and
    // one as an installation leaves it (bin/ beside share/echofind/).
    TempTree tree;
    const QString root = tree.Root();
    const QString build = tree.CreateDir(u"build/bin"_s) + u'/';
    const QString installed = tree.CreateDir(u"usr/bin"_s) + u'/';
    const QString shared = tree.CreateDir(u"usr/share/echofind"_s) + u'/';
    const QString home = tree.CreateDir(u"home"_s) + u'/';
    tree.CreateFile(u"build/bin/config.xml"_s, "<build/>");
    tree.CreateFile(u"usr/share/echofind/config.xml"_s, "<shipped/>");
    const QString data = root + u"data"_s;
    const QString inData = data + u"/echofind/"_s;
    const QString inHome = home + u".local/share/echofind/"_s;
    const QString elsewhere = root + u"elsewhere/./app"_s;
    const struct {
        const char* Name;
        QString Program, EchofindHome, DataHome, Application, Shipped;
        bool Portable;
    } cases[] = {
        {"build", build, {}, data, build, build, true},
        {"installed", installed, {}, data, inData, shared, false},
        {"installed, no XDG_DATA_HOME", installed, {}, {}, inHome, shared, false},
        // Another spelling of the same folder gives the same folder, and so the same lock.
        {"installed, XDG_DATA_HOME spelled otherwise", installed, QString(), root + u"/./data//"_s,
         inData, shared, false},
        // The base directory rules ignore a relative data folder.
        {"installed, relative XDG_DATA_HOME", installed, {}, u"rel/data"_s, inHome, shared, false},
        {"installed, ECHOFIND_HOME", installed, elsewhere, data, root + u"elsewhere/app/"_s, shared,
         false},
        {"build, ECHOFIND_HOME", build, elsewhere, data, root + u"elsewhere/app/"_s, build, true},
        // Neither beside the program nor shared: the data folder, and the start-up reports
        // the missing configuration there.
        {"nothing shipped", tree.CreateDir(u"bare"_s), {}, data, inData, root + u"bare/"_s, false},
    };
    for (const auto& c : cases) {
        EnvVar homeVar("HOME", home);
        EnvVar xdg("XDG_DATA_HOME", c.DataHome);
        EnvVar app("ECHOFIND_HOME", c.EchofindHome);
        const modCommon::Folders f = modCommon::ChooseFolders(c.Program);
        EXPECT_EQ(std::tuple(f.Application, f.Shipped, f.Portable),
                  std::tuple(c.Application, c.Shipped, c.Portable))
            << c.Name;
    }

    // A build and an installation never share a lock, and so never a catalogue, by accident.
    EnvVar xdg("XDG_DATA_HOME", data);
    EXPECT_NE(
        modCommon::SingleInstance(modCommon::ChooseFolders(build).Application).LockPath(),
        modCommon::SingleInstance(modCommon::ChooseFolders(installed).Application).LockPath());

    // A build folder the user cannot write is no application folder. Root writes anywhere, so
    // the question is asked as an ordinary user.
    for (const QString& folder : {root, root + u"build"_s})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(build).constData(), 0555);
    const int outcome = RunAsOtherUser([&] {
        const modCommon::Folders f = modCommon::ChooseFolders(build);
        return f.Portable ? 1 : f.Application != inData ? 2 : f.Shipped == build ? 0 : 3;
    });
    ::chmod(QFile::encodeName(build).constData(), 0755);
    EXPECT_EQ(outcome, 0);
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
    EXPECT_EQ(modCommon::TreewellLibraryFile(tree.CreateDir(u"usr/bin"_s)),
              tree.Root() + u"usr/lib/"_s + file.mid(file.lastIndexOf(u'/') + 1));
}
