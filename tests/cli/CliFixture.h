#pragma once

// An application folder of its own for echofind-cli runs: the shipped settings, an empty
// profile folder, and a HOME, XDG_DATA_HOME and XDG_CACHE_HOME in the temporary tree, so the
// trash and the hash cache of these tests are never the user's own.

#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "profiles/ProfileDocument.h"

#include <QProcess>

namespace cli_testing {

using namespace Qt::StringLiterals;
using testing_support::ContentProfile;
using testing_support::Holds;

struct Result {
    int Exit = -1;
    QString Err;
    QString Out;
    QByteArray Bytes; // the output as written, for names that are not UTF-8
};

// Arguments that are plain words, split at the blanks.
inline QStringList Words(const char* words) {
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

inline Result Launch(const QString& program, const QStringList& args,
                     const QProcessEnvironment& env, const QString& workingFolder = {}) {
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workingFolder.isEmpty())
        p.setWorkingDirectory(workingFolder);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(300000)) << program.toStdString();
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()), QString::fromUtf8(out), out};
}

// Creates a file by the bytes of its path, with the given modified time (0: now).
inline void WriteRaw(const QByteArray& path, const QByteArray& bytes, qint64 mtime = 0) {
    testing_support::WriteFile(PathCodec::Decode(path), bytes, mtime);
}

class CliHome : public ::testing::Test {
protected:
    void SetUp() override {
        home = tree.CreateDir(u"app"_s);
        ASSERT_TRUE(QFile::copy(u"" ECHOFIND_BIN_DIR "/config.xml"_s, home + u"/config.xml"_s));
        QString user;
        ASSERT_EQ(modAPI::MyGetUserName(user), 1);
        modCommon::SetPaths(home, user);
        ASSERT_TRUE(QDir().mkpath(modCommon::ProfileFolder));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(u"ECHOFIND_HOME"_s, home);
        env.insert(u"HOME"_s, tree.CreateDir(u"home"_s));
        env.insert(u"XDG_DATA_HOME"_s, tree.CreateDir(u"xdg"_s));
        env.insert(u"XDG_CACHE_HOME"_s, tree.Path(u"cache"_s));
    }

    void SaveProfile(const QString& name, const ProfileSettings& p) {
        ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + name + u".xml"_s, p), 1);
    }
    static QByteArray RunLog(const QString& profile) {
        QFile log(modCommon::LogPath + profile + u".log"_s);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray("(no run log)");
    }

    Result Cli(const QStringList& args, const QString& workingFolder = {}) {
        return Launch(u"" ECHOFIND_BIN_DIR "/echofind-cli"_s, args, env, workingFolder);
    }
    // The same, expecting the exit status; standard error tells why when it differs.
    Result Cli(int exit, const QStringList& args, const QString& workingFolder = {}) {
        Result r = Cli(args, workingFolder);
        EXPECT_EQ(r.Exit, exit) << args.join(u' ').toStdString() << ": " << r.Err.toStdString();
        return r;
    }
    // A shell script run with the program as $0 and the arguments as $1...
    Result Sh(const char* script, const QStringList& args) {
        return Launch(u"/bin/sh"_s,
                      QStringList{u"-c"_s, QString::fromUtf8(script),
                                  u"" ECHOFIND_BIN_DIR "/echofind-cli"_s} +
                          args,
                      env);
    }
    // One of the test-tree tools (make-tree, check-groups).
    Result Tool(const char* name, const QStringList& args) {
        return Launch(u"python3"_s,
                      QStringList{u"" ECHOFIND_TOOLS_DIR "/"_s + QLatin1String(name)} + args, env);
    }

    testing_support::TempTree tree;
    QString home;
    QProcessEnvironment env;
};

} // namespace cli_testing
