#pragma once

// Shared fixtures for the test programs: real temporary trees and a scripted message
// service. Header-only so each layer's test program stays self-contained.

#include "app/MessageService.h"
#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ProfileDocument.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <deque>
#include <ostream>

// Readable failure messages for the Qt texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testing_support {

// Writes a file by the bytes of its path, so that any name will do, and the folders above it;
// mtimeSecs 0 keeps the time of writing.
inline QString WriteFile(const QString& path, const QByteArray& bytes, qint64 mtimeSecs = 0) {
    const QByteArray name = PathCodec::Encode(path);
    for (qsizetype at = name.indexOf('/', 1); at > 0; at = name.indexOf('/', at + 1))
        ::mkdir(name.left(at).constData(), 0777);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    EXPECT_GE(fd, 0) << name.toStdString();
    EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
    const struct timespec times[2] = {{time_t(mtimeSecs), 0}, {time_t(mtimeSecs), 0}};
    EXPECT_TRUE(mtimeSecs == 0 || ::utimensat(AT_FDCWD, name.constData(), times, 0) == 0);
    return path;
}

// A file's bytes, by the bytes of its path; "(unreadable)", which no test writes, when there
// are none to read.
inline QByteArray ReadFile(const QString& path) {
    const int fd = ::open(PathCodec::Encode(path).constData(), O_RDONLY);
    QByteArray data(fd < 0 ? "(unreadable)" : "");
    char buffer[65536];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    ::close(fd);
    return data;
}

// Whether the text holds the part; a failure shows the whole text.
template <class Text, class Part>
::testing::AssertionResult Holds(const Text& text, const Part& part) {
    return text.contains(part) ? ::testing::AssertionSuccess()
                               : ::testing::AssertionFailure() << "in: " << text.toStdString();
}

// A file of the program's golden folder, as it is.
inline QByteArray Golden(const char* name) {
    return ReadFile(QStringLiteral(ECHOFIND_TEST_DATA "/golden/") + QString::fromLatin1(name));
}

// Settings that group files of equal size and contents under the folders and their
// sub-folders: what most tests that scan start from.
inline ProfileSettings ContentProfile(const QStringList& folders,
                                      const QString& matchType = QStringLiteral("crc")) {
    ProfileSettings s;
    s.Folders = folders;
    s.IncludeSubFolder = true;
    s.MatchSize = true;
    s.MatchContent = true;
    s.MatchType = matchType;
    return s;
}

// A temporary folder that files and folders are created in by relative path.
class TempTree {
public:
    TempTree() {
        EXPECT_TRUE(m_dir.isValid());
        m_dir.setAutoRemove(false);
    }
    // By the bytes of each name: Qt's own removal goes through QString and leaves behind
    // every name that is not UTF-8, and the folders above them.
    ~TempTree() {
        const QByteArray root = QFile::encodeName(m_dir.path());
        ::nftw(
            root.constData(),
            [](const char* path, const struct stat*, int, struct FTW*) {
                ::remove(path);
                return 0; // go on: what cannot be removed stays, as it would with Qt
            },
            32, FTW_DEPTH | FTW_PHYS);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root path with a trailing "/".
    QString Root() const { return m_dir.path() + u'/'; }
    QString Path(const QString& rel) const { return Root() + rel; }

    QString CreateDir(const QString& rel) const {
        const QString p = Path(rel);
        EXPECT_TRUE(QDir().mkpath(p)) << p.toStdString();
        return p;
    }

    // mtimeSecs 0 keeps the time of writing.
    QString CreateFile(const QString& rel, const QByteArray& bytes, qint64 mtimeSecs = 0) const {
        return WriteFile(Path(rel), bytes, mtimeSecs);
    }
    // Files of the same bytes, by relative path, in the order given.
    void CreateCopies(const QByteArray& bytes, std::initializer_list<const char*> rels) const {
        for (const char* rel : rels)
            CreateFile(QString::fromUtf8(rel), bytes);
    }

    void SetMTime(const QString& rel, qint64 secs) const {
        struct utimbuf t {
            time_t(secs), time_t(secs)
        };
        EXPECT_EQ(::utime(QFile::encodeName(Path(rel)).constData(), &t), 0);
    }

    void SetMode(const QString& rel, unsigned mode) const {
        EXPECT_EQ(::chmod(QFile::encodeName(Path(rel)).constData(), mode), 0);
    }

    bool Exists(const QString& rel) const {
        struct stat st;
        return ::lstat(QFile::encodeName(Path(rel)).constData(), &st) == 0;
    }

    QByteArray Read(const QString& rel) const { return ReadFile(Path(rel)); }

private:
    QTemporaryDir m_dir;
};

// Sets or clears an environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* name, const QString& value) : m_name(name), m_old(qgetenv(name)) {
        m_had = qEnvironmentVariableIsSet(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }
    ~EnvVar() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had = false;
};

// While it lives, the desktop trash is under <home>/data of a temporary tree, never the
// user's own.
class TrashInTree {
public:
    explicit TrashInTree(const QString& home)
        : m_home("HOME", home), m_data("XDG_DATA_HOME", home + QStringLiteral("/data")) {}

private:
    EnvVar m_home;
    EnvVar m_data;
};

// Lays out an application folder in a temporary tree and points the global paths at it,
// with the application log inside, so tests can read what was logged.
class AppFolder {
public:
    AppFolder() {
        modCommon::SetPaths(m_tree.Root() + QStringLiteral("app"), QStringLiteral("tester"));
        QDir().mkpath(modCommon::ProfileFolder);
        QDir().mkpath(modCommon::LogPath);
        QDir().mkpath(modCommon::AppPath + QStringLiteral("Log"));
        modLog::ResetRunStats();
    }
    const TempTree& Tree() const { return m_tree; }

    QStringList AppLogLines() const {
        QFile f(modCommon::AppLogFile);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    TempTree m_tree;
};

// While it lives, writing past the given size fails as a full disk would; this works
// even when the tests run as root, for whom permissions are no obstacle.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

// Answers message boxes from a script and records what was shown.
class ScriptedMessages final : public MessageService {
public:
    struct Shown {
        QString Text;
        Icon Kind;
        Buttons Choice;
        QString Detail;
    };

    Answer Present(const Message& m) override {
        ShownMessages.push_back({m.Text, m.Kind, m.Choice, m.Detail});
        if (!Answers.empty()) {
            const Answer a = Answers.front();
            Answers.pop_front();
            return a;
        }
        return m.Choice == Buttons::Ok ? Answer::Ok : m.Default;
    }

    QStringList Texts() const {
        QStringList t;
        for (const Shown& s : ShownMessages)
            t << s.Text;
        return t;
    }

    std::deque<Answer> Answers;
    std::vector<Shown> ShownMessages;
};

} // namespace testing_support
