#pragma once

// An application folder of its own for echofind-cli runs: the shipped settings, an empty
// profile folder, and a HOME and XDG_DATA_HOME in the temporary tree, so the trash of these
// tests is never the user's own.

#include "TestSupport.h"

#include "app/modAPI.h"
#include "profiles/ProfileDocument.h"

#include <QProcess>

namespace cli_testing {

struct Result {
    int Exit = -1;
    QString Err;
    QString Out;
};

inline Result Launch(const QString& program, const QStringList& args,
                     const QProcessEnvironment& env, const QString& workingFolder = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workingFolder.isEmpty())
        p.setWorkingDirectory(workingFolder);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(300000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()),
            QString::fromUtf8(p.readAllStandardOutput())};
}

class CliHome : public ::testing::Test {
protected:
    void SetUp() override {
        home = tree.CreateDir(QStringLiteral("app"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ECHOFIND_BIN_DIR "/config.xml"),
                                home + QStringLiteral("/config.xml")));
        QString user;
        ASSERT_EQ(modAPI::MyGetUserName(user), 1);
        modCommon::SetPaths(home, user);
        ASSERT_TRUE(QDir().mkpath(modCommon::ProfileFolder));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ECHOFIND_HOME"), home);
        env.insert(QStringLiteral("HOME"), tree.CreateDir(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), tree.CreateDir(QStringLiteral("xdg")));
    }

    void SaveProfile(const QString& name, const ProfileSettings& p) {
        ASSERT_EQ(
            ProfileDocument::Save(modCommon::ProfileFolder + name + QStringLiteral(".xml"), p), 1);
    }

    Result Cli(const QStringList& args, const QString& workingFolder = {}) {
        return Launch(QStringLiteral(ECHOFIND_BIN_DIR "/echofind-cli"), args, env, workingFolder);
    }

    testing_support::TempTree tree;
    QString home;
    QProcessEnvironment env;
};

} // namespace cli_testing
