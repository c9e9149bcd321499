#pragma once

// Recording ends of the engine's two interfaces and one fixture: an application folder
// whose temporary tree the scans run over.

#include "TestSupport.h"

#include "engine/GroupingPass.h"
#include "engine/ResultSink.h"
#include "engine/ScanObserver.h"
#include "engine/clsFileDetails.h"
#include "engine/clsFindFile.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace testing_support;

namespace engine_test {

using Groups = std::vector<QStringList>;

// Every sink call as one line of text, and the groups as lists of paths.
class RecordingSink final : public ResultSink {
public:
    void ClearRecs() override { Calls << u"ClearRecs"_s; }
    qint64 AddHeader(const QString& fileName) override {
        Calls << u"AddHeader "_s + fileName;
        Paths.emplace_back();
        return ++m_rows;
    }
    void AddRow(bool firstRecord, const clsFileDetails& d, const FileIdentity& identity) override {
        Calls << u"AddRow %1 %2 %3"_s.arg(firstRecord).arg(d.FileName).arg(d.FileSize);
        Paths.back() << d.FilePath;
        Identities[d.FilePath] = identity;
        Crcs << d.CRC32;
        Md5s << d.MD5;
        ++m_rows;
    }
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override {
        Calls << u"UpdateHeadTotal %1 %2"_s.arg(rowNo).arg(total);
    }
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override {
        Calls << u"UpdateHeader %1 %2"_s.arg(rowNo).arg(text);
        return 1;
    }

    QStringList Calls;
    Groups Paths;
    QStringList Crcs, Md5s;
    QHash<QString, FileIdentity> Identities;

private:
    qint64 m_rows = 0;
};

class RecordingObserver final : public ScanObserver {
public:
    void DisplayFileName(const QString& path) override {
        Files << path;
        if (OnFile)
            OnFile(path);
    }
    void DisplayStatus(const QString&) override {
        if (OnStatus)
            OnStatus();
    }
    void Yield() override {}

    QStringList Files;
    std::function<void(const QString&)> OnFile;
    std::function<void()> OnStatus;
};

inline void ContentScan(clsFindFile& scan, const QString& type) {
    scan.MatchName = false;
    scan.ContentMatch = true;
    scan.MatchType = type;
    scan.IncludeSubFolder = true;
}

// A mount namespace of the process's own, where its mounts end with it: as root directly,
// otherwise inside a user namespace whose root is the process's user.
inline bool EnterOwnMountNamespace() {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        const auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok =
                fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        if (!put("/proc/self/setgroups", "deny") ||
            !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    // Nothing mounted here may reach the machine's own namespace.
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs work in a child process and hands back its text. With mounts, the child first enters
// a mount namespace of its own and mounts() sets up what it needs, so that every mount ends
// with the child whatever happens; "SKIP " and why when the machine gives no mounts.
inline QByteArray InChild(const std::function<bool()>& mounts,
                          const std::function<QByteArray()>& work) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "SKIP no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "SKIP no fork";
    if (child == 0) {
        ::close(pipeFds[0]);
        QByteArray out;
        if (mounts && (!EnterOwnMountNamespace() || !mounts()))
            out = QByteArray("SKIP ") + std::strerror(errno);
        else
            out = work();
        const bool written = ::write(pipeFds[1], out.constData(), size_t(out.size())) == out.size();
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return out;
}

class EngineTest : public ::testing::Test {
protected:
    AppFolder app;
    const TempTree& t = app.Tree();

    QString P(const QString& rel) const { return t.Path(rel); }

    void Fifo(const QString& rel) const {
        ASSERT_EQ(::mkfifo(QFile::encodeName(P(rel)).constData(), 0644), 0);
    }

    // Groups with paths relative to the tree, for readable comparisons.
    Groups Rel(const Groups& groups) const {
        Groups out;
        for (const QStringList& g : groups) {
            QStringList rel;
            for (const QString& p : g)
                rel << (p.startsWith(t.Root()) ? p.mid(t.Root().size()) : p);
            out.push_back(rel);
        }
        return out;
    }

    // Runs the scan over the folders and hands its list to the grouping pass.
    RecordingSink Scan(clsFindFile& scan, const QStringList& folders,
                       RecordingObserver* observer = nullptr) const {
        FileList list;
        scan.SetObserver(observer);
        EXPECT_EQ(scan.ScanFolders(folders, list), 1);
        RecordingSink sink;
        GroupingPass(list, sink, observer);
        return sink;
    }
};

} // namespace engine_test
