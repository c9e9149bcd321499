#include "modAPI.h"
#include "PathCodec.h"
#include "modAPI_posix.h"

#include "AppError.h"
#include "modCommon.h"
#include "modLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace modAPI {

thread_local int LastAPIError = 0;

namespace {

QByteArray Native(const QString& path) {
    return PathCodec::Encode(path);
}

int Fail(const QString& wrapper, const QString& detail, int code) {
    ReportAPIError(wrapper, detail, code);
    return Failed;
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

// A temporary file beside the target, so the final rename never crosses file systems.
int MakeTempBeside(const QString& target, QByteArray& tempName) {
    tempName = Native(FolderOf(target)) + "/.echofind-XXXXXX";
    return ::mkstemp(tempName.data());
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    return posix::RenameNoReplaceAt(AT_FDCWD, from.constData(), AT_FDCWD, to.constData());
}

QString OctalUnescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int v = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(v));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return PathCodec::Decode(out);
}

} // namespace

namespace posix {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

ssize_t ReadFully(int fd, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += size_t(n);
    }
    return ssize_t(done);
}

int RenameNoReplaceAt(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return err;
    struct stat source;
    if (::fstatat(fromDir, from, &source, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    const int fd = ::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    struct stat claim;
    const bool known = ::fstat(fd, &claim) == 0;
    ::close(fd);
    if (::renameat(fromDir, from, toDir, to) == 0) {
        // Some of these file systems stamp a renamed file with the current time.
        const struct timespec times[2] = {source.st_atim, source.st_mtim};
        ::utimensat(toDir, to, times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }
    err = errno;
    // Take the claim back, but only while it is still ours.
    struct stat now;
    if (known && ::fstatat(toDir, to, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_dev == claim.st_dev && now.st_ino == claim.st_ino && now.st_size == 0)
        ::unlinkat(toDir, to, 0);
    return err;
}

} // namespace posix

QString SystemMessage(int errorCode) {
    QString message = QString::fromLocal8Bit(::strerror(errorCode));
    const qsizetype stop = message.indexOf(u'.');
    if (stop >= 0)
        message.truncate(stop);
    return TrimNull(message);
}

void ReportAPIError(const QString& wrapper, const QString& detail, int errorCode) {
    const int code = errorCode >= 0 ? errorCode : errno;
    LastAPIError = code;
    modLog::WriteAppLog(modCommon::AppLogFile,
                        QStringLiteral("Error occured in modAPI.") + wrapper +
                            QStringLiteral(" Error number: ") + QString::number(code) +
                            QStringLiteral(" Desc: ") + SystemMessage(code) + u' ' + detail +
                            QStringLiteral(" at:") + modLog::Now());
}

QString TrimNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

bool MyPathMatchSpec(const QString& name, const QString& pattern) {
    // Iterative wildcard match: on a mismatch, let the last star swallow one more
    // character. Linear in practice, never exponential.
    const auto same = [](QChar a, QChar b) {
        return a == b || a.toCaseFolded() == b.toCaseFolded();
    };
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

void MyPathFileExists(const QString& path, bool& exists) {
    struct stat st;
    exists = !path.isEmpty() && ::lstat(Native(path).constData(), &st) == 0;
}

int MyMakeSureDirectoryPathExists(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash <= 0)
        return Success;
    const QByteArray folder = Native(path.left(slash));
    QByteArray partial;
    partial.reserve(folder.size());
    for (qsizetype i = 0; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') {
            partial.append(folder[i]);
            continue;
        }
        if (!partial.isEmpty() && partial != "/" && !partial.endsWith('/')) {
            if (::mkdir(partial.constData(), 0777) != 0) {
                const int err = errno;
                struct stat st;
                if (err != EEXIST)
                    return Fail(QStringLiteral("MyMakeSureDirectoryPathExists"), path, err);
                if (::stat(partial.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
                    return Fail(QStringLiteral("MyMakeSureDirectoryPathExists"), path, ENOTDIR);
            }
        }
        if (i < folder.size())
            partial.append('/');
    }
    return Success;
}

int MyDeleteFile(const QString& path) {
    if (::unlink(Native(path).constData()) != 0)
        return Fail(QStringLiteral("MyDeleteFile"), path, errno);
    return Success;
}

int MyCopyFile(const QString& source, const QString& target, bool failIfExists) {
    const QString wrapper = QStringLiteral("MyCopyFile");
    const int in = ::open(Native(source).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return Fail(wrapper, source, errno);
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return Fail(wrapper, source, EINVAL);
    }
    QByteArray temp;
    const int out = MakeTempBeside(target, temp);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return Fail(wrapper, source, err);
    }
    bool ok = true;
    int err = 0;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            err = errno;
            break;
        }
        if (!posix::WriteAll(out, buffer.data(), size_t(n))) {
            ok = false;
            err = errno;
            break;
        }
    }
    if (ok) {
        ::fchmod(out, st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (::fsync(out) != 0) {
            ok = false;
            err = errno;
        }
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        err = errno;
    }
    ::close(in);
    const QByteArray dest = Native(target);
    if (ok) {
        if (failIfExists) {
            err = RenameNoReplace(temp, dest);
            ok = err == 0;
        } else if (::rename(temp.constData(), dest.constData()) != 0) {
            ok = false;
            err = errno;
        }
    }
    if (!ok) {
        ::unlink(temp.constData());
        return Fail(wrapper, source, err);
    }
    // Again after the rename: some file systems without a native Linux driver (FAT through
    // FUSE) stamp a renamed file with the current time.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, dest.constData(), times, AT_SYMLINK_NOFOLLOW);
    return Success;
}

int MyMoveFile(const QString& source, const QString& target) {
    const QByteArray from = Native(source);
    const QByteArray to = Native(target);
    int err = RenameNoReplace(from, to);
    if (err == 0)
        return Success;
    if (err == EXDEV) {
        struct stat st;
        if (::lstat(from.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (MyCopyFile(source, target, true) != Success)
                return Failed;
            if (::unlink(from.constData()) == 0)
                return Success;
            // The source stays, so the copy would only be a new duplicate: take it back.
            err = errno;
            ::unlink(to.constData());
        }
    }
    LastAPIError = err;
    if (err != EEXIST)
        ReportAPIError(QStringLiteral("MyMoveFile"), source, err);
    return Failed;
}

int MyRemoveDirectory(const QString& path) {
    if (::rmdir(Native(path).constData()) != 0) {
        LastAPIError = errno;
        return Failed;
    }
    return Success;
}

namespace {

// Empties the open folder of its empty sub-folders; true when nothing is left in it.
bool RemoveEmptyBelow(int fd) {
    const int listing = ::dup(fd);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    // Names first, then removals: a folder listed while it changes may skip entries.
    std::vector<QByteArray> folders;
    bool other = false;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        bool folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            folder = ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (folder)
            folders.emplace_back(e->d_name);
        else
            other = true;
    }
    ::closedir(dir);
    for (const QByteArray& name : folders) {
        const int sub =
            ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const bool empty = sub >= 0 && RemoveEmptyBelow(sub);
        if (sub >= 0)
            ::close(sub);
        if (!empty || ::unlinkat(fd, name.constData(), AT_REMOVEDIR) != 0)
            other = true;
    }
    return !other;
}

} // namespace

int MyRemoveEmptyTree(const QString& path) {
    const QByteArray native = Native(path);
    const qsizetype slash = native.lastIndexOf('/');
    if (slash < 0 || slash + 1 == native.size()) {
        LastAPIError = EINVAL;
        return Failed;
    }
    const QByteArray parentPath = slash == 0 ? QByteArray("/") : native.left(slash);
    const QByteArray name = native.mid(slash + 1);
    const int parent = ::open(parentPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        LastAPIError = errno;
        return Failed;
    }
    const int fd =
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (!RemoveEmptyBelow(fd))
            err = ENOTEMPTY;
        ::close(fd);
    }
    if (err == 0 && ::unlinkat(parent, name.constData(), AT_REMOVEDIR) != 0)
        err = errno;
    ::close(parent);
    LastAPIError = err;
    return err == 0 ? Success : Failed;
}

int MyCheckWritableFolder(const QString& folder) {
    struct stat st;
    const QByteArray f = Native(folder);
    if (::stat(f.constData(), &st) != 0) {
        LastAPIError = errno;
        return Failed;
    }
    if (!S_ISDIR(st.st_mode)) {
        LastAPIError = ENOTDIR;
        return Failed;
    }
    if (::access(f.constData(), W_OK | X_OK) != 0) {
        LastAPIError = errno;
        return Failed;
    }
    return Success;
}

int MyMakeWritable(const QString& path) {
    struct stat st;
    const QByteArray p = Native(path);
    if (::lstat(p.constData(), &st) != 0)
        return Fail(QStringLiteral("MySetFileAttributes"), path, errno);
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
        return Success;
    if (::chmod(p.constData(), (st.st_mode & 07777) | S_IWUSR) != 0)
        return Fail(QStringLiteral("MySetFileAttributes"), path, errno);
    return Success;
}

int MyStat(const QString& path, FileInfo& info) {
    struct statx sx;
    if (::statx(AT_FDCWD, Native(path).constData(), AT_SYMLINK_NOFOLLOW,
                STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        LastAPIError = errno;
        return Failed;
    }
    posix::FillInfo(sx, info);
    return Success;
}

void posix::FillInfo(const struct statx& sx, FileInfo& info) {
    const mode_t mode = sx.stx_mode;
    info.Type = S_ISREG(mode)   ? EntryType::File
                : S_ISDIR(mode) ? EntryType::Directory
                : S_ISLNK(mode) ? EntryType::Link
                                : EntryType::Special;
    info.Size = qint64(sx.stx_size);
    info.ModifiedSecs = sx.stx_mtime.tv_sec;
    info.CreatedSecs = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    info.Device = (quint64(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    info.Inode = sx.stx_ino;
    info.ChangedNs = qint64(sx.stx_ctime.tv_sec) * 1000000000 + sx.stx_ctime.tv_nsec;
    info.Mode = mode;
    info.ModifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    info.Uid = sx.stx_uid;
    info.Gid = sx.stx_gid;
    info.Links = sx.stx_nlink;
}

std::vector<MountEntry> MountTable() {
    std::vector<MountEntry> mounts;
    QFile f(QStringLiteral("/proc/self/mountinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return mounts;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        // id parent major:minor root mountpoint options [optional...] - fstype source super
        const qsizetype dash = line.indexOf(" - ");
        if (dash < 0)
            continue;
        const QList<QByteArray> left = line.left(dash).split(' ');
        const QList<QByteArray> right = line.mid(dash + 3).split(' ');
        if (left.size() < 5 || right.size() < 2)
            continue;
        const QList<QByteArray> number = left[2].split(':');
        const quint64 device =
            number.size() == 2 ? (number[0].toULongLong() << 32) | number[1].toULongLong() : 0;
        mounts.push_back(
            {OctalUnescape(right[1]), OctalUnescape(left[4]), OctalUnescape(right[0]), device});
    }
    return mounts;
}

bool IsVirtualFileSystem(const QString& fsType) {
    static const QStringList kinds = {
        QStringLiteral("proc"),        QStringLiteral("sysfs"),     QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),      QStringLiteral("cgroup"),    QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),     QStringLiteral("tracefs"),   QStringLiteral("securityfs"),
        QStringLiteral("pstore"),      QStringLiteral("bpf"),       QStringLiteral("configfs"),
        QStringLiteral("mqueue"),      QStringLiteral("hugetlbfs"), QStringLiteral("fusectl"),
        QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),  QStringLiteral("autofs"),
        QStringLiteral("rpc_pipefs"),  QStringLiteral("nsfs")};
    return kinds.contains(fsType);
}

bool KeepsNoChangeTime(const QString& fsType) {
    // fuseblk is whatever FUSE driver sits on a block device; in practice ntfs-3g or
    // exfat-fuse, and one that does keep a change time only costs a read.
    static const QStringList kinds = {QStringLiteral("vfat"),         QStringLiteral("msdos"),
                                      QStringLiteral("exfat"),        QStringLiteral("fuseblk"),
                                      QStringLiteral("fuse.fusefat"), QStringLiteral("fuse.exfat"),
                                      QStringLiteral("fuse.ntfs-3g")};
    return kinds.contains(fsType);
}

std::vector<MountEntry> MountsWithoutChangeTime() {
    std::vector<MountEntry> found;
    for (MountEntry& m : MountTable()) {
        if (m.DeviceNumber == 0 || !KeepsNoChangeTime(m.FsType))
            continue;
        const bool listed = std::any_of(found.begin(), found.end(), [&](const MountEntry& f) {
            return f.DeviceNumber == m.DeviceNumber;
        });
        if (!listed)
            found.push_back(std::move(m));
    }
    return found;
}

namespace {

bool IsRemovableBlockDevice(const QString& device) {
    if (!device.startsWith(QStringLiteral("/dev/")))
        return false;
    const QString name = QFileInfo(device).canonicalFilePath().section(u'/', -1);
    QString sys = QStringLiteral("/sys/class/block/") + name;
    if (QFile::exists(sys + QStringLiteral("/partition")))
        sys += QStringLiteral("/..");
    QFile f(sys + QStringLiteral("/removable"));
    return f.open(QIODevice::ReadOnly) && f.readAll().trimmed() == "1";
}

DriveType TypeOfMount(const MountEntry& m) {
    static const QStringList remote = {
        QStringLiteral("nfs"),         QStringLiteral("nfs4"),  QStringLiteral("cifs"),
        QStringLiteral("smb3"),        QStringLiteral("smbfs"), QStringLiteral("sshfs"),
        QStringLiteral("fuse.sshfs"),  QStringLiteral("9p"),    QStringLiteral("ceph"),
        QStringLiteral("fuse.rclone"), QStringLiteral("afs")};
    if (m.FsType == u"tmpfs" || m.FsType == u"ramfs")
        return DriveType::RamDisk;
    if (remote.contains(m.FsType))
        return DriveType::Remote;
    if (m.FsType == u"iso9660" || m.FsType == u"udf")
        return DriveType::CDRom;
    if (m.Device.startsWith(QStringLiteral("/dev/")))
        return IsRemovableBlockDevice(m.Device) ? DriveType::Removable : DriveType::Fixed;
    return DriveType::Unknown;
}

} // namespace

int MyGetDriveType(const QString& root, DriveType& type) {
    const QString mountPoint = modCommon::UnQualifyPath(root);
    type = DriveType::NoRootDir;
    const std::vector<MountEntry> mounts = MountTable();
    // The last mount on a point hides the earlier ones.
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (it->MountPoint == mountPoint) {
            type = TypeOfMount(*it);
            break;
        }
    }
    if (int(type) >= 2 && int(type) <= 6)
        return Success;
    modLog::WriteAppLog(modCommon::AppLogFile,
                        QStringLiteral("Procedure: MyGetDriveType") + QStringLiteral(" Number: ") +
                            QStringLiteral("513") +
                            QStringLiteral(" Desc: Unrecognised drive type ") + root +
                            QStringLiteral(" occured at:") + modLog::Now());
    return Failed;
}

int MyGetDiskFreeSpaceEx(const QString& root, quint64& freeToCaller, quint64& total,
                         quint64& totalFree) {
    struct statvfs sv;
    if (::statvfs(Native(root).constData(), &sv) != 0)
        return Fail(QStringLiteral("MyGetDiskFreeSpaceEx"), root, errno);
    freeToCaller = quint64(sv.f_bavail) * sv.f_frsize;
    total = quint64(sv.f_blocks) * sv.f_frsize;
    totalFree = quint64(sv.f_bfree) * sv.f_frsize;
    return Success;
}

int MyGetSpecialFolderPath(int folderId, QString& path) {
    QString found;
    if (folderId == 5)
        found = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (found.isEmpty())
        return Fail(QStringLiteral("SHGetSpecialFolderLocation"), QString(), ENOENT);
    path = found;
    return Success;
}

int MyGetUserName(QString& name) {
    struct passwd pw;
    struct passwd* result = nullptr;
    std::vector<char> buffer(16384);
    const int rc = ::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &result);
    if (rc != 0 || !result)
        return Fail(QStringLiteral("MyGetUserName"), QString(), rc ? rc : ENOENT);
    // The name becomes a folder name, so its bytes are kept as they are.
    name = TrimNull(PathCodec::Decode(QByteArray(result->pw_name)));
    return Success;
}

QString ProgramFilePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return QString();
    return PathCodec::Decode(QByteArray(buffer.data(), n));
}

QString CurrentFolder() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return QString();
        buffer.resize(buffer.size() * 2);
    }
    return PathCodec::Decode(QByteArray(buffer.data()));
}

QString CanonicalPath(const QString& path) {
    char* real = ::realpath(Native(path).constData(), nullptr);
    if (!real)
        return QString();
    const QString resolved = PathCodec::Decode(QByteArray(real));
    ::free(real);
    return resolved;
}

int SaveFileAtomically(const QString& path, const QByteArray& data) {
    const QString wrapper = QStringLiteral("MySaveFile");
    QByteArray temp;
    const int fd = MakeTempBeside(path, temp);
    if (fd < 0)
        return Fail(wrapper, path, errno);
    struct stat existing;
    const mode_t mode =
        ::stat(Native(path).constData(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    bool ok = posix::WriteAll(fd, data.constData(), size_t(data.size())) &&
              ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), Native(path).constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return Fail(wrapper, path, err);
    }
    return Success;
}

int MyReadFile(const QString& path, QByteArray& data) {
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        LastAPIError = errno;
        return Failed;
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            LastAPIError = errno;
            ::close(fd);
            return Failed;
        }
        bytes.append(buffer, n);
    }
    ::close(fd);
    data = std::move(bytes);
    return Success;
}

int MyReadFileStart(const QString& path, qint64 count, QByteArray& data) {
    // Not blocking: a FIFO put where a file was expected must not hang the caller.
    const int fd =
        ::open(Native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        LastAPIError = errno;
        return Failed;
    }
    struct stat st {};
    QByteArray bytes(qsizetype(std::max<qint64>(count, 0)), Qt::Uninitialized);
    ssize_t n = -1;
    if (::fstat(fd, &st) != 0)
        LastAPIError = errno;
    else if (!S_ISREG(st.st_mode))
        LastAPIError = EINVAL;
    else if ((n = posix::ReadFully(fd, bytes.data(), size_t(bytes.size()))) < 0)
        LastAPIError = errno;
    ::close(fd);
    if (n < 0)
        return Failed;
    bytes.truncate(qsizetype(n));
    data = std::move(bytes);
    return Success;
}

int MyAppendFile(const QString& path, const QByteArray& data, bool durable) {
    const int fd =
        ::open(Native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        LastAPIError = errno;
        return Failed;
    }
    bool ok = posix::WriteAll(fd, data.constData(), size_t(data.size()));
    int err = errno;
    if (ok && durable && ::fdatasync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 || !ok) {
        LastAPIError = ok ? errno : err;
        return Failed;
    }
    return Success;
}

void MyWriteStandardError(const QByteArray& data) {
    posix::WriteAll(STDERR_FILENO, data.constData(), size_t(data.size()));
}

int MyRename(const QString& from, const QString& to) {
    if (::rename(Native(from).constData(), Native(to).constData()) != 0) {
        LastAPIError = errno;
        return Failed;
    }
    return Success;
}

quint32 AttributesFor(const QString& name, EntryType type, quint32 mode, bool virtualMount) {
    return AttributesFor(name.startsWith(u'.'), type, mode, virtualMount);
}

quint32 AttributesFor(bool dotName, EntryType type, quint32 mode, bool virtualMount) {
    quint32 attrs = 0;
    if (dotName)
        attrs |= AttrHidden;
    if ((mode & 0222) == 0)
        attrs |= AttrReadOnly;
    // Reading these can block forever or never end; hidden and system keeps them out
    // whatever the user includes.
    if (type == EntryType::Special || virtualMount)
        attrs |= AttrSystem | AttrHidden;
    if (type == EntryType::Directory)
        attrs |= AttrDirectory;
    if ((attrs & (AttrReadOnly | AttrHidden | AttrSystem | AttrArchive | AttrTemporary)) == 0)
        attrs |= AttrNormal;
    return attrs;
}

QString AttributeLetters(quint32 attributes) {
    QString letters;
    if (attributes & AttrArchive)
        letters += u'A';
    if (attributes & AttrHidden)
        letters += u'H';
    if (attributes & AttrNormal)
        letters += u'N';
    if (attributes & AttrReadOnly)
        letters += u'R';
    if (attributes & AttrSystem)
        letters += u'S';
    if (attributes & AttrTemporary)
        letters += u'T';
    return letters;
}

bool LocalTimeOf(qint64 secsSinceEpoch, LocalClock& out) {
    if (secsSinceEpoch < 0 || secsSinceEpoch > INT_MAX)
        return false;
    // localtime_r takes the zone as it was last set; a change of the machine's zone is
    // seen within a second, as before.
    static std::atomic<qint64> zoneChecked{-1};
    const qint64 now = qint64(::time(nullptr));
    if (zoneChecked.exchange(now, std::memory_order_relaxed) != now)
        ::tzset();
    const time_t t = time_t(secsSinceEpoch);
    struct tm tm {};
    if (!::localtime_r(&t, &tm))
        return false;
    out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

} // namespace modAPI
