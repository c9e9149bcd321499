#include "modAPI_scan.h"
#include "PathCodec.h"

#include "AppError.h"
#include "modCommon.h"

#include <QFile>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <liburing.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace modAPI {

namespace {

constexpr unsigned kStatMask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE |
                               STATX_MTIME | STATX_CTIME | STATX_BTIME;

EntryType TypeOfMode(quint32 mode) {
    return S_ISREG(mode)   ? EntryType::File
           : S_ISDIR(mode) ? EntryType::Directory
           : S_ISLNK(mode) ? EntryType::Link
                           : EntryType::Special;
}

EntryType TypeOfDirent(unsigned char type) {
    switch (type) {
    case DT_REG:
        return EntryType::File;
    case DT_DIR:
        return EntryType::Directory;
    case DT_LNK:
        return EntryType::Link;
    case DT_UNKNOWN:
        return EntryType::Unknown;
    default:
        return EntryType::Special;
    }
}

void FillStat(const struct statx& sx, ScanStat& st) {
    st.Type = TypeOfMode(sx.stx_mode);
    st.Size = qint64(sx.stx_size);
    st.ModifiedSecs = sx.stx_mtime.tv_sec;
    st.ModifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    st.CreatedSecs = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    st.Device = (quint64(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    st.Inode = sx.stx_ino;
    st.ChangedNs = qint64(sx.stx_ctime.tv_sec) * 1000000000 + sx.stx_ctime.tv_nsec;
    st.Mode = sx.stx_mode;
    st.LinkCount = sx.stx_nlink;
    st.MountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                   (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
}

int StatAt(int dirFd, const char* name, int flags, ScanStat& st, int& error) {
    struct statx sx;
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatMask, &sx) != 0) {
        error = errno;
        return Failed;
    }
    FillStat(sx, st);
    return Success;
}

// open() refuses a path of PATH_MAX bytes or more, which a deep enough tree reaches. Such
// a path is opened a piece at a time, each piece relative to the folder the previous one
// ended in; a shorter path costs nothing more than the plain open.
int OpenPath(const char* path, int flags) {
    const size_t length = std::strlen(path);
    if (length < PATH_MAX)
        return ::open(path, flags);
    int at = AT_FDCWD;
    size_t start = 0;
    const auto closeAt = [&at]() {
        if (at != AT_FDCWD)
            ::close(at);
    };
    for (;;) {
        if (length - start < PATH_MAX) {
            const int fd = ::openat(at, path + start, flags);
            const int err = errno;
            closeAt();
            errno = err;
            return fd;
        }
        // The longest piece that ends with a "/" and still fits.
        size_t cut = start + PATH_MAX - 2;
        while (cut > start && path[cut] != '/')
            --cut;
        if (cut == start) {
            closeAt();
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string piece(path + start, cut - start + 1);
        const int next = ::openat(at, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        closeAt();
        if (next < 0) {
            errno = err;
            return -1;
        }
        at = next;
        start = cut + 1;
    }
}

} // namespace

ScanFolder::~ScanFolder() {
    Close();
}

int ScanFolder::Adopt(int fd) {
    if (fd < 0)
        return errno;
    m_dir = ::fdopendir(fd);
    if (!m_dir) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    m_fd = fd;
    return 0;
}

int ScanFolder::Open(const char* path) {
    Close();
    return Adopt(OpenPath(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool ScanFolder::Next(std::string_view& name, EntryType& type) {
    if (!m_dir)
        return false;
    const struct dirent* entry = ::readdir(static_cast<DIR*>(m_dir));
    if (!entry)
        return false;
    name = std::string_view(entry->d_name);
    type = TypeOfDirent(entry->d_type);
    return true;
}

int ScanFolder::StatEntry(std::string_view name, ScanStat& st, int& error) const {
    // The walker passes names straight from readdir, NUL-terminated in the dirent buffer.
    return StatAt(m_fd, name.data(), 0, st, error);
}

int ScanFolder::StatSelf(ScanStat& st, int& error) const {
    return StatAt(m_fd, "", AT_EMPTY_PATH, st, error);
}

void ScanFolder::Close() {
    if (m_dir)
        ::closedir(static_cast<DIR*>(m_dir));
    m_dir = nullptr;
    m_fd = -1;
}

ScanReader::~ScanReader() {
    Close();
}

ScanPlace::~ScanPlace() {
    Close();
}

int ScanPlace::Open(const char* folder) {
    Close();
    m_fd = OpenPath(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    return m_fd < 0 ? errno : 0;
}

void ScanPlace::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
}

int ScanReader::Open(const char* path, quint64 expectDevice, quint64 expectInode) {
    Close();
    return Check(OpenPath(path, kReadFlags), expectDevice, expectInode);
}

int ScanReader::OpenIn(const ScanPlace& place, const char* name, quint64 expectDevice,
                       quint64 expectInode) {
    Close();
    return Check(::openat(place.Handle(), name, kReadFlags), expectDevice, expectInode);
}

int ScanReader::Check(int fd, quint64 expectDevice, quint64 expectInode) {
    if (fd < 0)
        return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    return Accept(fd, S_ISREG(st.st_mode), (quint64(major(st.st_dev)) << 32) | minor(st.st_dev),
                  st.st_ino, st.st_size, expectDevice, expectInode);
}

int ScanReader::Accept(int fd, bool regular, quint64 device, quint64 inode, qint64 size,
                       quint64 expectDevice, quint64 expectInode) {
    if (!regular) {
        ::close(fd);
        return EINVAL;
    }
    if ((expectDevice || expectInode) && (device != expectDevice || inode != expectInode)) {
        ::close(fd);
        return ESTALE;
    }
    // O_NONBLOCK only guarded the open against a FIFO swapped in; regular files ignore it.
    // Read-ahead advice pays only for files that take many reads.
    if (size > (qint64(1) << 20))
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_size = size;
    return 0;
}

qint64 ScanReader::Read(void* buffer, size_t size, int& error) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        error = errno;
        return -1;
    }
}

int ScanReader::Rewind() {
    return ::lseek(m_fd, 0, SEEK_SET) == 0 ? 0 : errno;
}

void ScanReader::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

std::atomic<bool> ScanBatch::Allowed{true};

namespace {

// Not answered by the ring (-EAGAIN as set before asking), or refused by a kernel whose ring
// cannot do what a plain call can, which says nothing about the file: the plain call then.
bool Unanswered(int result) {
    return result == -EAGAIN || result == -EINVAL || result == -EOPNOTSUPP;
}

} // namespace

ScanBatch::ScanBatch() : m_status(std::make_unique<struct statx[]>(Most)) {
    if (!Allowed.load())
        return;
    auto* ring = new io_uring;
    // Reads go on from the file's position, as ScanReader's do, which needs Linux 5.6.
    if (io_uring_queue_init(unsigned(Most), ring, 0) != 0) {
        delete ring;
        return;
    }
    if (!(ring->features & IORING_FEAT_RW_CUR_POS)) {
        io_uring_queue_exit(ring);
        delete ring;
        return;
    }
    m_ring = ring;
}

ScanBatch::~ScanBatch() {
    if (auto* ring = static_cast<io_uring*>(m_ring)) {
        io_uring_queue_exit(ring);
        delete ring;
    }
}

bool ScanBatch::Complete(size_t count, const std::function<void(size_t, int)>& take) {
    auto* ring = static_cast<io_uring*>(m_ring);
    int rc;
    do
        rc = io_uring_submit_and_wait(ring, unsigned(count));
    while (rc == -EINTR);
    for (size_t done = 0; rc >= 0 && done < count; ++done) {
        io_uring_cqe* cqe = nullptr;
        do
            rc = io_uring_wait_cqe(ring, &cqe);
        while (rc == -EINTR);
        if (rc == 0) {
            take(size_t(cqe->user_data), cqe->res);
            io_uring_cqe_seen(ring, cqe);
        }
    }
    if (rc >= 0)
        return true;
    // A ring that failed once is not trusted with the next files: what it did not answer
    // is done the plain way, and so is everything after.
    io_uring_queue_exit(ring);
    delete ring;
    m_ring = nullptr;
    return false;
}

void ScanBatch::OpenIn(size_t count, const ScanPlace* const* places, const char* const* names,
                       const quint64* devices, const quint64* inodes, ScanReader* readers,
                       int* results) {
    auto* ring = static_cast<io_uring*>(m_ring);
    std::array<int, Most> opened;
    opened.fill(-EAGAIN);
    size_t queued = 0;
    for (size_t i = 0; i < count; ++i) {
        readers[i].Close();
        io_uring_sqe* sqe = ring ? io_uring_get_sqe(ring) : nullptr;
        if (!sqe)
            continue;
        io_uring_prep_openat(sqe, places[i]->Handle(), names[i], kReadFlags, 0);
        io_uring_sqe_set_data64(sqe, i);
        ++queued;
    }
    if (queued > 0)
        Complete(queued, [&](size_t i, int res) { opened[i] = res; });
    // Then what each opened file is, asked of the descriptor as fstat would.
    std::array<int, Most> asked;
    asked.fill(-EAGAIN);
    queued = 0;
    ring = static_cast<io_uring*>(m_ring);
    for (size_t i = 0; ring && i < count; ++i) {
        if (opened[i] < 0)
            continue;
        io_uring_sqe* sqe = io_uring_get_sqe(ring);
        if (!sqe)
            break;
        io_uring_prep_statx(sqe, opened[i], "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_SIZE,
                            &m_status[i]);
        io_uring_sqe_set_data64(sqe, i);
        ++queued;
    }
    if (queued > 0)
        Complete(queued, [&](size_t i, int res) { asked[i] = res; });
    constexpr unsigned kNeeded = STATX_TYPE | STATX_INO | STATX_SIZE;
    for (size_t i = 0; i < count; ++i) {
        // Whatever the ring did not answer, or could not do, is done the plain way.
        const int fd = Unanswered(opened[i]) ? ::openat(places[i]->Handle(), names[i], kReadFlags)
                       : opened[i] < 0       ? (errno = -opened[i], -1)
                                             : opened[i];
        const struct statx& st = m_status[i];
        results[i] = fd >= 0 && asked[i] == 0 && (st.stx_mask & kNeeded) == kNeeded
                         ? readers[i].Accept(fd, S_ISREG(st.stx_mode),
                                             (quint64(st.stx_dev_major) << 32) | st.stx_dev_minor,
                                             st.stx_ino, qint64(st.stx_size), devices[i], inodes[i])
                         : readers[i].Check(fd, devices[i], inodes[i]);
    }
}

void ScanBatch::ReadFirst(size_t count, ScanReader* const* readers, char* const* buffers,
                          const size_t* sizes, qint64* got) {
    auto* ring = static_cast<io_uring*>(m_ring);
    size_t queued = 0;
    for (size_t i = 0; i < count; ++i) {
        got[i] = -EAGAIN;
        io_uring_sqe* sqe = ring ? io_uring_get_sqe(ring) : nullptr;
        if (!sqe)
            continue;
        // At the file's position, which the read moves on as read() would.
        io_uring_prep_read(sqe, readers[i]->m_fd, buffers[i], unsigned(sizes[i]), quint64(-1));
        io_uring_sqe_set_data64(sqe, i);
        ++queued;
    }
    if (queued > 0)
        Complete(queued, [&](size_t i, int res) { got[i] = res; });
}

void ScanBatch::StatIn(const ScanFolder& folder, size_t count, const char* const* names,
                       ScanStat* stats, int* errors) {
    auto* ring = static_cast<io_uring*>(m_ring);
    std::array<int, Most> asked;
    asked.fill(-EAGAIN);
    size_t queued = 0;
    for (size_t i = 0; i < count; ++i) {
        io_uring_sqe* sqe = ring ? io_uring_get_sqe(ring) : nullptr;
        if (!sqe)
            break;
        io_uring_prep_statx(sqe, folder.m_fd, names[i], AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                            kStatMask, &m_status[i]);
        io_uring_sqe_set_data64(sqe, i);
        ++queued;
    }
    if (queued > 0)
        Complete(queued, [&](size_t i, int res) { asked[i] = res; });
    for (size_t i = 0; i < count; ++i) {
        errors[i] = 0;
        if (asked[i] == 0)
            FillStat(m_status[i], stats[i]);
        else if (!Unanswered(asked[i]))
            errors[i] = -asked[i];
        else if (StatAt(folder.m_fd, names[i], 0, stats[i], errors[i]) == Success)
            errors[i] = 0;
    }
}

void ScanBatch::Close(size_t count, ScanReader* readers) {
    auto* ring = static_cast<io_uring*>(m_ring);
    size_t queued = 0;
    for (size_t i = 0; ring && i < count; ++i) {
        if (readers[i].m_fd < 0)
            continue;
        io_uring_sqe* sqe = io_uring_get_sqe(ring);
        if (!sqe)
            break;
        io_uring_prep_close(sqe, readers[i].m_fd);
        io_uring_sqe_set_data64(sqe, i);
        ++queued;
    }
    std::array<bool, Most> closed{};
    // A ring that failed may have closed a descriptor without saying so, and closing it
    // again could close another thread's newly opened file: those are left open.
    const bool answered = queued == 0 || Complete(queued, [&](size_t i, int) { closed[i] = true; });
    for (size_t i = 0; i < count; ++i) {
        if (closed[i] || (ring && !answered)) {
            readers[i].m_fd = -1;
            readers[i].m_size = 0;
        } else {
            readers[i].Close();
        }
    }
}

namespace {

std::vector<QByteArray> MountPointsWhere(const std::function<bool(const QString&)>& wanted) {
    std::vector<QByteArray> points;
    for (const MountEntry& m : MountTable()) {
        if (wanted(m.FsType))
            points.push_back(PathCodec::Encode(modCommon::QualifyPath(m.MountPoint)));
    }
    return points;
}

} // namespace

std::vector<QByteArray> VirtualMountPoints() {
    return MountPointsWhere(
        [](const QString& type) { return type != u"autofs" && IsVirtualFileSystem(type); });
}

std::vector<QByteArray> AutomountPoints() {
    return MountPointsWhere([](const QString& type) { return type == u"autofs"; });
}

void ReleaseFreeMemory() {
    ::malloc_trim(0);
}

void LimitMemoryPools() {
    ::mallopt(M_ARENA_MAX, 2);
}

void MapLargeBlocks() {
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

std::string RealFolderPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return std::string();
    std::string out(real);
    std::free(real);
    if (out.empty() || out.back() != '/')
        out.push_back('/');
    return out;
}

namespace {

// The length of the longest point the folder lies at or under; -1 for none.
qsizetype LongestPrefix(std::string_view folder, const std::vector<QByteArray>& points) {
    qsizetype longest = -1;
    for (const QByteArray& point : points) {
        if (point.size() > longest &&
            folder.starts_with(std::string_view(point.constData(), size_t(point.size()))))
            longest = point.size();
    }
    return longest;
}

} // namespace

std::vector<QByteArray> OrdinaryMountsUnderVirtual() {
    const std::vector<QByteArray> virtualPoints = VirtualMountPoints();
    std::vector<QByteArray> points;
    for (const MountEntry& m : MountTable()) {
        if (IsVirtualFileSystem(m.FsType))
            continue;
        const QByteArray point = PathCodec::Encode(modCommon::QualifyPath(m.MountPoint));
        if (LongestPrefix({point.constData(), size_t(point.size())}, virtualPoints) >= 0)
            points.push_back(point);
    }
    return points;
}

bool IsUnderVirtualMount(std::string_view folder, const std::vector<QByteArray>& points,
                         const std::vector<QByteArray>& ordinary) {
    const qsizetype underVirtual = LongestPrefix(folder, points);
    return underVirtual >= 0 && underVirtual >= LongestPrefix(folder, ordinary);
}

} // namespace modAPI
