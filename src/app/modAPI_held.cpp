#include "HeldFile.h"

#include "AppError.h"
#include "PathCodec.h"
#include "modAPI_posix.h"

#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace modAPI {

namespace {

int Fail(const QString& wrapper, const QString& detail, int code) {
    ReportAPIError(wrapper, detail, code);
    return Failed;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool StatFd(int fd, FileInfo& info) {
    struct statx sx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &sx) != 0)
        return false;
    posix::FillInfo(sx, info);
    return true;
}

bool StatAt(int dir, const char* name, FileInfo& info) {
    struct statx sx;
    if (::statx(dir, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    posix::FillInfo(sx, info);
    return true;
}

bool SameInode(const FileInfo& a, const FileInfo& b) {
    return a.Device == b.Device && a.Inode == b.Inode;
}

// Each component opened by itself, refusing links, where the kernel has no openat2.
int OpenComponentwise(const QByteArray& folder) {
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    for (const QByteArray& part : folder.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        const int next =
            ::openat(fd, part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (next < 0) {
            errno = err == ENOTDIR ? ELOOP : err;
            return -1;
        }
        fd = next;
        // O_PATH with O_NOFOLLOW opens a link itself rather than refusing it.
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = ELOOP;
            return -1;
        }
    }
    return fd;
}

int OpenWithoutLinks(const QByteArray& folder) {
    struct open_how how {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, folder.constData(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
        return int(fd);
    return OpenComponentwise(folder);
}

// Splits a path into its folder and the last name; false when there is no usable name.
bool SplitPath(const QByteArray& path, QByteArray& folder, QByteArray& name) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return false;
    folder = slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
    name = path.mid(slash + 1);
    return !name.isEmpty() && name != "." && name != "..";
}

// A name beside others of ours that nobody else uses: the prefix and random letters.
QByteArray RandomName(const char* prefix, int letters) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = prefix;
    for (int i = 0; i < letters; ++i)
        name += alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))];
    return name;
}

constexpr qint64 CopyChunk = 1 << 20;

// Copies the source into the open descriptor and gives it like's permissions and modified
// time, and its owner when asked; 0 or the errno.
int CopyInto(const ByteSource& source, const FileInfo& like, bool owner, int out) {
    std::unique_ptr<char[]> buffer(new char[CopyChunk]);
    qint64 offset = 0;
    for (;;) {
        const qint64 n = source(buffer.get(), CopyChunk, offset);
        if (n < 0)
            return LastAPIError;
        if (n == 0)
            break;
        if (!posix::WriteAll(out, buffer.get(), size_t(n)))
            return errno;
        offset += n;
    }
    // Before the permissions: a change of owner takes away set-user and set-group bits.
    // Someone else's file cannot be given back by an ordinary user; it stays theirs then.
    if (owner && (like.Uid != ::geteuid() || like.Gid != ::getegid()))
        ::fchown(out, like.Uid, like.Gid);
    ::fchmod(out, like.Mode & 07777);
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {time_t(like.ModifiedNs / 1000000000), long(like.ModifiedNs % 1000000000)}};
    ::futimens(out, times);
    return ::fsync(out) == 0 ? 0 : errno;
}

ByteSource ReadFrom(const HeldFile& file) {
    return [&file](char* buffer, qint64 size, qint64 offset) {
        return file.ReadAt(buffer, size, offset);
    };
}

// A copy in the folder that has a name only once it is whole: an unnamed temporary file
// where the file system has them, else a named one that a later run can recognise and
// clear away if this one is killed.
class PendingCopy {
public:
    explicit PendingCopy(int dir) : m_dir(dir) {}
    ~PendingCopy() {
        CloseFd(m_fd);
        if (!m_tempName.isEmpty())
            ::unlinkat(m_dir, m_tempName.constData(), 0);
    }

    int Write(const HeldFile& source) { return Write(ReadFrom(source), source.Info(), false); }

    int Write(const ByteSource& source, const FileInfo& like, bool owner) {
        m_fd = ::openat(m_dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        m_unnamed = m_fd >= 0;
        if (m_fd < 0) {
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
                return errno;
            for (int attempt = 0; m_fd < 0 && attempt < 100; ++attempt) {
                m_tempName = TempName();
                m_fd = ::openat(m_dir, m_tempName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                if (m_fd < 0 && errno != EEXIST) {
                    m_tempName.clear();
                    return errno;
                }
            }
            if (m_fd < 0) {
                m_tempName.clear();
                return EEXIST;
            }
        }
        return CopyInto(source, like, owner, m_fd);
    }

    // Gives the copy the name, never replacing anything; 0, EEXIST, or another errno.
    int Place(const QByteArray& name) {
        if (m_unnamed) {
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
            return ::linkat(AT_FDCWD, self.constData(), m_dir, name.constData(),
                            AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        }
        const int err =
            posix::RenameNoReplaceAt(m_dir, m_tempName.constData(), m_dir, name.constData());
        if (err == 0)
            m_tempName.clear();
        return err;
    }

    // Replaces whatever is at the name by the copy.
    int Replace(const QByteArray& name) {
        if (m_unnamed) {
            // An unnamed file cannot be renamed over a name: it is linked beside and renamed.
            QByteArray temp;
            for (int attempt = 0; temp.isEmpty() && attempt < 100; ++attempt) {
                temp = TempName();
                if (const int err = Place(temp)) {
                    temp.clear();
                    if (err != EEXIST)
                        return err;
                }
            }
            if (temp.isEmpty())
                return EEXIST;
            m_tempName = temp;
        }
        if (::renameat(m_dir, m_tempName.constData(), m_dir, name.constData()) != 0)
            return errno;
        m_tempName.clear();
        return 0;
    }

private:
    static QByteArray TempName() { return RandomName(".echofind-", 6); }

    int m_dir;
    int m_fd = -1;
    bool m_unnamed = false;
    QByteArray m_tempName; // while the copy has a temporary name
};

// "name (n).ext" for the n-th attempt (n from 2), the number before the last dot unless
// the name starts with its only dot.
QByteArray NumberedName(const QByteArray& name, int n) {
    if (n < 2)
        return name;
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray tag = " (" + QByteArray::number(n) + ")";
    if (dot <= 0)
        return name + tag;
    return name.left(dot) + tag + name.mid(dot);
}

constexpr int MaxFreeNames = 1000;

} // namespace

// ---- folders ----------------------------------------------------------------------------

HeldFolder::~HeldFolder() {
    Close();
}

void HeldFolder::Close() {
    CloseFd(m_fd);
    m_id = {};
}

int HeldFolder::Open(const QByteArray& folder, const FolderId& expected) {
    Close();
    if (folder.isEmpty() || !folder.startsWith('/'))
        return EINVAL;
    int fd = OpenWithoutLinks(folder);
    if (fd < 0 && (errno == ELOOP || errno == EXDEV) && expected.Known())
        fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return Adopt(fd, expected);
}

int HeldFolder::OpenDestination(const QByteArray& folder) {
    Close();
    if (MyMakeSureDirectoryPathExists(PathCodec::Decode(folder) + u'/') != Success)
        return LastAPIError;
    return Adopt(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC), {});
}

int HeldFolder::Adopt(int fd, const FolderId& expected) {
    if (fd < 0)
        return errno;
    FileInfo info;
    if (!StatFd(fd, info)) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    const FolderId id{info.Device, info.Inode};
    if (expected.Known() && !(id == expected)) {
        ::close(fd);
        return ESTALE;
    }
    m_fd = fd;
    m_id = id;
    return 0;
}

QByteArray HeldFolder::RealPath() const {
    if (m_fd < 0)
        return {};
    char buffer[4096];
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    const ssize_t n = ::readlink(self.constData(), buffer, sizeof buffer);
    if (n <= 0 || n >= ssize_t(sizeof buffer) || buffer[0] != '/')
        return {};
    return QByteArray(buffer, n);
}

// ---- files ------------------------------------------------------------------------------

HeldFile::~HeldFile() {
    Close();
}

void HeldFile::Close() {
    CloseFd(m_fd);
    m_folder.Close();
    m_readable = false;
}

int HeldFile::Open(const QString& path, const FolderId& folder) {
    Close();
    m_path = path;
    QByteArray folderBytes;
    if (!SplitPath(PathCodec::Encode(path), folderBytes, m_name))
        return EINVAL;
    if (const int err = m_folder.Open(folderBytes, folder))
        return err;
    const int dir = m_folder.Fd();
    m_fd = ::openat(dir, m_name.constData(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    m_readable = m_fd >= 0;
    if (m_fd < 0 && errno == EACCES)
        m_fd = ::openat(dir, m_name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0) {
        const int err = errno;
        Close();
        return err;
    }
    if (!StatFd(m_fd, m_info)) {
        const int err = errno;
        Close();
        return err;
    }
    if (m_info.Type != EntryType::File) {
        const bool link = m_info.Type == EntryType::Link;
        Close();
        return link ? ELOOP : EINVAL;
    }
    return 0;
}

int HeldFile::Refresh() {
    if (m_fd < 0)
        return EBADF;
    return StatFd(m_fd, m_info) ? 0 : errno;
}

LockResult HeldFile::Lock(bool exclusive) {
    if (m_fd < 0 || !m_readable)
        return LockResult::Unsupported;
    while (::flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        LastAPIError = errno;
        return errno == EWOULDBLOCK ? LockResult::Busy : LockResult::Unsupported;
    }
    return LockResult::Taken;
}

bool HeldFile::StillNamed() const {
    FileInfo now;
    return m_fd >= 0 && StatAt(m_folder.Fd(), m_name.constData(), now) && SameInode(now, m_info);
}

qint64 HeldFile::ReadAt(char* buffer, qint64 size, qint64 offset) const {
    if (!m_readable) {
        LastAPIError = EACCES;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, size_t(size), off_t(offset));
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            LastAPIError = errno;
            return -1;
        }
    }
}

ContentMatch CompareHeld(const HeldFile& first, const HeldFile& second) {
    if (SameInode(first.Info(), second.Info()))
        return ContentMatch::Same;
    if (!first.Readable() || !second.Readable()) {
        LastAPIError = EACCES;
        return ContentMatch::Unreadable;
    }
    if (first.Info().Size != second.Info().Size)
        return ContentMatch::Different;
    // Kept for the next comparison: a run compares thousands of small files.
    constexpr qint64 Chunk = 256 * 1024;
    thread_local std::unique_ptr<char[]> left(new char[Chunk]);
    thread_local std::unique_ptr<char[]> right(new char[Chunk]);
    for (qint64 offset = 0;; offset += Chunk) {
        qint64 na = 0;
        qint64 nb = 0;
        // Whole parts, so a short read of one side is never taken for a difference.
        while (na < Chunk) {
            const qint64 n = first.ReadAt(left.get() + na, Chunk - na, offset + na);
            if (n < 0)
                return ContentMatch::Unreadable;
            if (n == 0)
                break;
            na += n;
        }
        while (nb < Chunk) {
            const qint64 n = second.ReadAt(right.get() + nb, Chunk - nb, offset + nb);
            if (n < 0)
                return ContentMatch::Unreadable;
            if (n == 0)
                break;
            nb += n;
        }
        // A file that grew or shrank while being read is not the same as the other.
        if (na != nb || std::memcmp(left.get(), right.get(), size_t(na)) != 0)
            return ContentMatch::Different;
        if (na < Chunk)
            return ContentMatch::Same;
    }
}

ContentMatch CompareContents(const QString& first, const QString& second) {
    HeldFile a;
    HeldFile b;
    int err = a.Open(first);
    if (err == 0)
        err = b.Open(second);
    if (err != 0) {
        LastAPIError = err;
        return ContentMatch::Unreadable;
    }
    return CompareHeld(a, b);
}

// ---- actions ----------------------------------------------------------------------------

int MyDeleteHeld(const HeldFile& file) {
    const QString wrapper = QStringLiteral("MyDeleteFile");
    if (!file.StillNamed())
        return Fail(wrapper, file.Path(), ESTALE);
    const FileInfo& st = file.Info();
    if (file.Readable() && !(st.Mode & S_IWUSR) &&
        ::fchmod(file.Fd(), (st.Mode & 07777) | S_IWUSR) != 0)
        return Fail(QStringLiteral("MySetFileAttributes"), file.Path(), errno);
    if (::unlinkat(file.Folder().Fd(), file.Name().constData(), 0) != 0)
        return Fail(wrapper, file.Path(), errno);
    return Success;
}

int MyMoveHeld(const HeldFile& file, const QString& destination, QString& placed, bool numbered) {
    const QString wrapper = QStringLiteral("MyMoveFile");
    QByteArray folder;
    QByteArray name;
    if (!SplitPath(PathCodec::Encode(destination), folder, name))
        return Fail(wrapper, destination, EINVAL);
    HeldFolder target;
    if (const int err = target.OpenDestination(folder))
        return Fail(wrapper, destination, err);
    // Moving a file onto a name it already has would at best rename it beside itself.
    FileInfo there;
    if (StatAt(target.Fd(), name.constData(), there) && SameInode(there, file.Info()))
        return Fail(wrapper, file.Path(), EEXIST);
    if (!file.StillNamed())
        return Fail(wrapper, file.Path(), ESTALE);

    const int from = file.Folder().Fd();
    std::unique_ptr<PendingCopy> copy;
    for (int n = 1; n <= (numbered ? MaxFreeNames : 1); ++n) {
        const QByteArray candidate = NumberedName(name, n);
        int err = 0;
        if (!copy) {
            err = posix::RenameNoReplaceAt(from, file.Name().constData(), target.Fd(),
                                           candidate.constData());
            if (err == 0) {
                // The name was looked at a moment ago; only the held file may have gone.
                FileInfo moved;
                if (!StatAt(target.Fd(), candidate.constData(), moved) ||
                    !SameInode(moved, file.Info())) {
                    posix::RenameNoReplaceAt(target.Fd(), candidate.constData(), from,
                                             file.Name().constData());
                    return Fail(wrapper, file.Path(), ESTALE);
                }
                placed = PathCodec::Decode(folder + '/' + candidate);
                return Success;
            }
            if (err == EXDEV) {
                // Across file systems: copied once, then offered the names from this one on.
                copy = std::make_unique<PendingCopy>(target.Fd());
                if (const int copyErr = copy->Write(file))
                    return Fail(wrapper, file.Path(), copyErr);
                --n;
                continue;
            }
        } else {
            err = copy->Place(candidate);
            if (err == 0) {
                // The original goes only while it is still what was copied.
                FileInfo now;
                const bool unchanged = StatFd(file.Fd(), now) && now.Size == file.Info().Size &&
                                       now.ModifiedNs == file.Info().ModifiedNs &&
                                       now.ChangedNs == file.Info().ChangedNs;
                if (!unchanged || !file.StillNamed() ||
                    ::unlinkat(from, file.Name().constData(), 0) != 0) {
                    err = unchanged && file.StillNamed() ? errno : ESTALE;
                    ::unlinkat(target.Fd(), candidate.constData(), 0);
                    return Fail(wrapper, file.Path(), err);
                }
                placed = PathCodec::Decode(folder + '/' + candidate);
                return Success;
            }
        }
        if (err != EEXIST)
            return Fail(wrapper, file.Path(), err);
    }
    return Fail(wrapper, file.Path(), EEXIST);
}

int MyCopyHeld(const HeldFile& source, const QString& target) {
    const QString wrapper = QStringLiteral("MyCopyFile");
    QByteArray folder;
    QByteArray name;
    if (!SplitPath(PathCodec::Encode(target), folder, name))
        return Fail(wrapper, target, EINVAL);
    HeldFolder into;
    if (const int err = into.OpenDestination(folder))
        return Fail(wrapper, source.Path(), err);
    PendingCopy copy(into.Fd());
    if (const int err = copy.Write(source))
        return Fail(wrapper, source.Path(), err);
    if (const int err = copy.Replace(name))
        return Fail(wrapper, source.Path(), err);
    // Again after the rename: some file systems without a native Linux driver (FAT through
    // FUSE) stamp a renamed file with the current time.
    const qint64 ns = source.Info().ModifiedNs;
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {time_t(ns / 1000000000), long(ns % 1000000000)}};
    ::utimensat(into.Fd(), name.constData(), times, AT_SYMLINK_NOFOLLOW);
    return Success;
}

int MyLinkHeld(const HeldFile& kept, const HeldFile& target, const FileInfo& keptSeen,
               bool* alreadyLinked) {
    const QString wrapper = QStringLiteral("MyReplaceByHardLink");
    if (alreadyLinked)
        *alreadyLinked = false;
    if (SameInode(kept.Info(), target.Info())) {
        if (alreadyLinked)
            *alreadyLinked = true;
        return Success;
    }
    // A hard link cannot cross file systems, and nothing else (a symbolic link, a copy)
    // would keep the promise that both names share one file.
    if (kept.Info().Device != target.Info().Device)
        return Fail(wrapper, target.Path(), EXDEV);
    if (!kept.StillNamed())
        return Fail(wrapper, kept.Path(), ESTALE);
    if (!target.StillNamed())
        return Fail(wrapper, target.Path(), ESTALE);

    const int dir = target.Folder().Fd();
    QByteArray temp;
    for (int attempt = 0;; ++attempt) {
        temp = RandomName(".echofind-link-", 10);
        if (::linkat(kept.Folder().Fd(), kept.Name().constData(), dir, temp.constData(), 0) == 0)
            break;
        const int err = errno;
        if (err != EEXIST || attempt == 99)
            return Fail(wrapper, target.Path(), err);
    }
    const auto unchanged = [&] {
        FileInfo now;
        return StatFd(kept.Fd(), now) && now.Size == keptSeen.Size &&
               now.ModifiedNs == keptSeen.ModifiedNs;
    };
    // The kept name may have been replaced between the look and the link, or the kept file
    // written since the comparison: only the very file compared may take the target's place.
    FileInfo linked;
    if (!StatAt(dir, temp.constData(), linked) || !SameInode(linked, kept.Info()) || !unchanged()) {
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, kept.Path(), ECANCELED);
    }
    if (::renameat2(dir, temp.constData(), dir, target.Name().constData(), RENAME_EXCHANGE) != 0) {
        const int err = errno;
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, target.Path(), err);
    }
    // Now the temporary name holds what the target's name held. It must be the copy that
    // was compared, and the kept file must still hold the bytes it was compared with;
    // otherwise both names go back as they were.
    FileInfo old;
    if (!StatAt(dir, temp.constData(), old) || !SameInode(old, target.Info()) || !unchanged()) {
        ::renameat2(dir, temp.constData(), dir, target.Name().constData(), RENAME_EXCHANGE);
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, target.Path(), ECANCELED);
    }
    if (::unlinkat(dir, temp.constData(), 0) != 0)
        ReportAPIError(wrapper, target.Path(), errno);
    return Success;
}

int MyUnshareHeld(const HeldFile& file, const FileInfo& like) {
    const QString wrapper = QStringLiteral("MyUnshareFile");
    if (!file.StillNamed())
        return Fail(wrapper, file.Path(), ESTALE);
    const int dir = file.Folder().Fd();
    PendingCopy copy(dir);
    if (const int err = copy.Write(ReadFrom(file), like, true))
        return Fail(wrapper, file.Path(), err);
    QByteArray temp;
    for (int attempt = 0; temp.isEmpty(); ++attempt) {
        temp = RandomName(".echofind-own-", 10);
        if (const int err = copy.Place(temp)) {
            temp.clear();
            if (err != EEXIST || attempt == 99)
                return Fail(wrapper, file.Path(), err);
        }
    }
    const auto unchanged = [&] {
        FileInfo now;
        return StatFd(file.Fd(), now) && now.Size == file.Info().Size &&
               now.ModifiedNs == file.Info().ModifiedNs;
    };
    // What was copied must be what the name leads to, at the moment of the exchange and
    // after it; otherwise the name goes back to the file it had.
    if (!unchanged() || !file.StillNamed()) {
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, file.Path(), ECANCELED);
    }
    if (::renameat2(dir, temp.constData(), dir, file.Name().constData(), RENAME_EXCHANGE) != 0) {
        const int err = errno;
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, file.Path(), err);
    }
    FileInfo old;
    if (!StatAt(dir, temp.constData(), old) || !SameInode(old, file.Info()) || !unchanged()) {
        ::renameat2(dir, temp.constData(), dir, file.Name().constData(), RENAME_EXCHANGE);
        ::unlinkat(dir, temp.constData(), 0);
        return Fail(wrapper, file.Path(), ECANCELED);
    }
    // The temporary name now holds the shared file: one name less for it, nothing lost.
    if (::unlinkat(dir, temp.constData(), 0) != 0)
        ReportAPIError(wrapper, file.Path(), errno);
    return Success;
}

int MyCreateFileFrom(const QString& path, const ByteSource& source, const FileInfo& like) {
    const QString wrapper = QStringLiteral("MyCreateFile");
    QByteArray folder;
    QByteArray name;
    if (!SplitPath(PathCodec::Encode(path), folder, name))
        return Fail(wrapper, path, EINVAL);
    HeldFolder into;
    if (const int err = into.OpenDestination(folder))
        return Fail(wrapper, path, err);
    // Refused before the bytes are written, not only after: the place may be taken.
    FileInfo there;
    if (StatAt(into.Fd(), name.constData(), there))
        return Fail(wrapper, path, EEXIST);
    PendingCopy copy(into.Fd());
    if (const int err = copy.Write(source, like, true))
        return Fail(wrapper, path, err);
    if (const int err = copy.Place(name))
        return Fail(wrapper, path, err);
    return Success;
}

int MyReplaceByHardLink(const QString& kept, const QString& target, bool* alreadyLinked) {
    HeldFile k;
    HeldFile t;
    if (const int err = k.Open(kept)) {
        ReportAPIError(QStringLiteral("MyReplaceByHardLink"), kept, err);
        return Failed;
    }
    if (const int err = t.Open(target)) {
        ReportAPIError(QStringLiteral("MyReplaceByHardLink"), target, err);
        return Failed;
    }
    return MyLinkHeld(k, t, k.Info(), alreadyLinked);
}

int MyRemoveStaleTemporaries(const QString& folder, const QByteArray& prefix, qint64 beforeSecs) {
    QByteArray f = PathCodec::Encode(folder);
    const int dir = ::open(f.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    const auto isTag = [](const QByteArray& s) {
        if (s.size() != 6)
            return false;
        for (const char c : s)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        return true;
    };
    int removed = 0;
    DIR* listing = ::fdopendir(::dup(dir));
    if (listing) {
        while (const struct dirent* entry = ::readdir(listing)) {
            const QByteArray name(entry->d_name);
            const bool copy = name.startsWith(".echofind-") && isTag(name.mid(10));
            const bool archive = !prefix.isEmpty() && name.size() == prefix.size() + 7 &&
                                 name.startsWith(prefix + '.') &&
                                 isTag(name.mid(prefix.size() + 1));
            if (!copy && !archive)
                continue;
            FileInfo st;
            if (StatAt(dir, name.constData(), st) && st.Type == EntryType::File &&
                st.Uid == ::geteuid() && st.ModifiedSecs < beforeSecs &&
                ::unlinkat(dir, name.constData(), 0) == 0)
                ++removed;
        }
        ::closedir(listing);
    }
    ::close(dir);
    return removed;
}

// ---- appending --------------------------------------------------------------------------

AppendFile::~AppendFile() {
    Close();
}

void AppendFile::Close() {
    CloseFd(m_fd);
}

int AppendFile::Open(const QString& path) {
    Close();
    m_fd = ::open(PathCodec::Encode(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                  0666);
    if (m_fd >= 0)
        return Success;
    LastAPIError = errno;
    return Failed;
}

int AppendFile::Write(const QByteArray& data, bool durable) {
    if (m_fd < 0) {
        LastAPIError = EBADF;
        return Failed;
    }
    if (!posix::WriteAll(m_fd, data.constData(), size_t(data.size())) ||
        (durable && ::fdatasync(m_fd) != 0)) {
        LastAPIError = errno;
        return Failed;
    }
    return Success;
}

// ---- process locks ----------------------------------------------------------------------

ProcessLock::~ProcessLock() {
    Release();
}

void ProcessLock::Release() {
    CloseFd(m_fd);
}

LockResult ProcessLock::Take(const QString& file, bool wait) {
    Release();
    const QByteArray path = PathCodec::Encode(file);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    // Someone else's lock file in a shared folder still locks for everyone.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        LastAPIError = errno;
        return LockResult::Unsupported;
    }
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        ::close(fd);
        LastAPIError = err;
        return err == EWOULDBLOCK ? LockResult::Busy : LockResult::Unsupported;
    }
    m_fd = fd;
    return LockResult::Taken;
}

} // namespace modAPI
