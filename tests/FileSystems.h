#pragma once

// Real file systems for tests that must cross one: a FAT image mounted through FUSE (no
// hard links, no no-replace rename), btrfs and XFS images on loop devices (shared blocks),
// a private tmpfs, and a child process that runs as an
// ordinary user, for whom permissions are an obstacle as they are for people.

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

inline dev_t DeviceOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(0);
}

// Waits until the folder is on another device than its parent, that is, mounted.
inline bool WaitForMount(const QString& folder) {
    const dev_t parent = DeviceOf(folder + QStringLiteral("/.."));
    for (int i = 0; i < 100; ++i) {
        if (DeviceOf(folder) != parent)
            return true;
        QThread::msleep(50);
    }
    return false;
}

// Runs a program to its end, its output thrown away; whether it exited with 0 in time.
inline bool RunQuietly(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

// A small FAT file system from an image file, mounted read-write with fusefat. Skip() says
// why there is none (no FUSE here); any other trouble is a test failure.
class FatVolume {
public:
    FatVolume() {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            m_skip = "FUSE is not available here (/dev/fuse cannot be opened)";
            return;
        }
        const QString fusefat = QStandardPaths::findExecutable(QStringLiteral("fusefat"));
        if (fusefat.isEmpty()) {
            m_skip = "fusefat is not installed (Debian package fusefat, see scripts/setup)";
            return;
        }
        const QString mkfs = QStandardPaths::findExecutable(
            QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (mkfs.isEmpty()) {
            ADD_FAILURE() << "mkfs.vfat is missing although fusefat is installed (dosfstools)";
            return;
        }
        const QString image = m_dir.path() + QStringLiteral("/fat.img");
        m_mount = m_dir.path() + QStringLiteral("/fat");
        QDir().mkpath(m_mount);
        if (!Run(mkfs, {QStringLiteral("-C"), image, QStringLiteral("16384")})) {
            ADD_FAILURE() << "mkfs.vfat could not make an image";
            return;
        }
        if (!Run(fusefat, {QStringLiteral("-o"), QStringLiteral("rw+"), image, m_mount}) ||
            !WaitForMount(m_mount)) {
            ADD_FAILURE() << "fusefat could not mount the image";
            return;
        }
        m_mounted = true;
    }
    ~FatVolume() {
        if (!m_mounted)
            return;
        for (int i = 0; i < 20; ++i) {
            if (Run(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_mount}))
                return;
            QThread::msleep(100);
        }
        Run(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), m_mount});
    }
    FatVolume(const FatVolume&) = delete;
    FatVolume& operator=(const FatVolume&) = delete;

    const char* Skip() const { return m_skip; }
    bool Mounted() const { return m_mounted; }
    // The mount point, without a trailing "/".
    QString Root() const { return m_mount; }

private:
    static bool Run(const QString& program, const QStringList& args) {
        return RunQuietly(program, args, 20000);
    }

    QTemporaryDir m_dir;
    QString m_mount;
    const char* m_skip = nullptr;
    bool m_mounted = false;
};

// A mount of its own for the test, undone with it. Needs the right to mount; Skip() says
// when the machine does not give it.
class PrivateMount {
public:
    // A tmpfs when source is empty (read-only when asked; private, as a runtime folder must
    // be), else a bind mount of source.
    explicit PrivateMount(const QString& source = {}, bool readOnly = false)
        : PrivateMount({}, source, readOnly ? MS_RDONLY : 0, "size=8m,mode=0700") {}
    // A small tmpfs mounted over the folder, so that what is written there runs out of room
    // as on a full disk.
    PrivateMount(const QString& folder, const char* size)
        : PrivateMount(folder, {}, 0, QByteArray("size=") + size) {}
    ~PrivateMount() {
        if (!m_skip)
            ::umount2(QFile::encodeName(m_mount).constData(), MNT_DETACH);
    }
    PrivateMount(const PrivateMount&) = delete;
    PrivateMount& operator=(const PrivateMount&) = delete;

    const char* Skip() const { return m_skip; }
    QString Root() const { return m_mount; }

private:
    PrivateMount(const QString& over, const QString& source, unsigned long flags,
                 const QByteArray& options)
        : m_mount(over.isEmpty() ? m_dir.path() + QStringLiteral("/mnt") : over) {
        QDir().mkpath(m_mount);
        const QByteArray target = QFile::encodeName(m_mount);
        if ((source.isEmpty()
                 ? ::mount("tmpfs", target.constData(), "tmpfs", flags, options.constData())
                 : ::mount(QFile::encodeName(source).constData(), target.constData(), nullptr,
                           MS_BIND, nullptr)) != 0)
            m_skip = "this machine does not let the tests mount file systems";
    }

    QTemporaryDir m_dir;
    QString m_mount;
    const char* m_skip = nullptr;
};

// A file system made in an image file and mounted on a loop device: "btrfs", or "xfs"
// with reflink, both of which share blocks between files, or "ext4", which does not. Skip() says
// why there is none (no loop devices, no mkfs for it); any other trouble is a test failure.
class LoopVolume {
public:
    explicit LoopVolume(const QString& type, const char* size = "320M") {
        const bool xfs = type == u"xfs";
        const bool ext4 = type == u"ext4";
        const QString mkfs = QStandardPaths::findExecutable(
            QStringLiteral("mkfs.") + type, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (mkfs.isEmpty()) {
            m_skip = xfs ? "mkfs.xfs is not installed (Debian package xfsprogs, see scripts/setup)"
                     : ext4 ? "mkfs.ext4 is not installed (Debian package e2fsprogs)"
                            : "mkfs.btrfs is not installed (Debian package btrfs-progs, see "
                              "scripts/setup)";
            return;
        }
        if (::access("/dev/loop-control", R_OK | W_OK) != 0) {
            m_skip = "loop devices are not available here (/dev/loop-control cannot be opened)";
            return;
        }
        const QString image = m_dir.path() + QStringLiteral("/volume.img");
        m_mount = m_dir.path() + QStringLiteral("/mnt");
        QDir().mkpath(m_mount);
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) ||
            !file.resize(QByteArray(size).chopped(1).toLongLong() << 20)) {
            ADD_FAILURE() << "could not make the image file";
            return;
        }
        file.close();
        const QStringList options =
            xfs    ? QStringList{QStringLiteral("-q"), QStringLiteral("-m"),
                              QStringLiteral("reflink=1"), image}
            : ext4 ? QStringList{QStringLiteral("-q"), QStringLiteral("-F"), image}
                   : QStringList{QStringLiteral("-q"), image};
        if (!Run(mkfs, options)) {
            ADD_FAILURE() << "mkfs." << type.toStdString() << " could not make a file system";
            return;
        }
        if (!Run(QStringLiteral("mount"),
                 {QStringLiteral("-o"), QStringLiteral("loop"), image, m_mount})) {
            m_skip = "this machine does not let the tests mount a loop device";
            return;
        }
        m_mounted = true;
    }
    ~LoopVolume() {
        if (m_mounted)
            Run(QStringLiteral("umount"), {QStringLiteral("-l"), m_mount});
    }
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    const char* Skip() const { return m_skip; }
    bool Mounted() const { return m_mounted; }
    // The mount point, without a trailing "/".
    QString Root() const { return m_mount; }

private:
    static bool Run(const QString& program, const QStringList& args) {
        return RunQuietly(program, args, 60000);
    }

    QTemporaryDir m_dir;
    QString m_mount;
    const char* m_skip = nullptr;
    bool m_mounted = false;
};

// A user and group id that no account uses.
inline uid_t UnusedId() {
    for (uid_t id = 54321; id < 60000; ++id)
        if (!::getpwuid(id) && !::getgrgid(id))
            return id;
    return 54321;
}

// Runs fn in a child process as an unused user (as itself when the tests do not run as
// root); returns its exit code, or -1 when it had
// to be killed after the given seconds (a hang) or could not drop its rights.
inline int RunAsOtherUser(const std::function<int()>& fn, unsigned seconds = 20) {
    const uid_t id = UnusedId();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(seconds);
        // Someone who is not root already is the ordinary user wanted.
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(id, id, id) != 0 ||
                                 ::setresuid(id, id, id) != 0))
            ::_exit(125);
        ::_exit(fn());
    }
    if (pid < 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 125)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace testing_support
