// Sharing the data blocks of two equal files, where the file system can (btrfs, XFS with
// reflink): the second file keeps its name, inode, owner, mode and dates, and only the
// space of its data is given back.

#include "HeldFile.h"

#include "AppError.h"
#include "modAPI_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace modAPI {

namespace {

struct Extent {
    quint64 Logical = 0;
    quint64 Physical = 0;
    quint64 Length = 0;
    friend bool operator==(const Extent&, const Extent&) = default;
};

// The file's extents, or nothing when the map cannot tell where its data lies (no map at
// all, data still in memory or kept inside the metadata): such a file is never taken for
// one that already shares.
bool ExtentsOf(int fd, std::vector<Extent>& out) {
    constexpr unsigned Batch = 256;
    const size_t bytes = sizeof(fiemap) + Batch * sizeof(fiemap_extent);
    std::unique_ptr<fiemap, decltype(&std::free)> map(static_cast<fiemap*>(std::calloc(1, bytes)),
                                                      &std::free);
    if (!map)
        return false;
    quint64 start = 0;
    for (;;) {
        *map = {};
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = Batch;
        if (::ioctl(fd, FS_IOC_FIEMAP, map.get()) != 0)
            return false;
        if (map->fm_mapped_extents == 0)
            return true;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& e = map->fm_extents[i];
            if (e.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC |
                              FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_NOT_ALIGNED))
                return false;
            out.push_back({e.fe_logical, e.fe_physical, e.fe_length});
            if (e.fe_flags & FIEMAP_EXTENT_LAST)
                return true;
            start = e.fe_logical + e.fe_length;
        }
    }
}

} // namespace

bool SharesAllBlocks(const HeldFile& first, const HeldFile& second) {
    std::vector<Extent> a;
    std::vector<Extent> b;
    return ExtentsOf(first.Fd(), a) && ExtentsOf(second.Fd(), b) && !a.empty() && a == b;
}

int MyShareBlocksHeld(const HeldFile& kept, const HeldFile& target, bool* alreadyShared) {
    const QString wrapper = QStringLiteral("MyShareBlocks");
    if (alreadyShared)
        *alreadyShared = false;
    if (kept.Info().Device == target.Info().Device && kept.Info().Inode == target.Info().Inode) {
        if (alreadyShared)
            *alreadyShared = true;
        return Success;
    }
    if (kept.Info().Device != target.Info().Device) {
        LastAPIError = EXDEV;
        return Failed;
    }
    if (!kept.Readable() || !target.Readable()) {
        ReportAPIError(wrapper, target.Path(), EACCES);
        return Failed;
    }
    const qint64 size = kept.Info().Size;
    if (target.Info().Size != size) {
        LastAPIError = ECANCELED;
        return Failed;
    }
    if (size == 0 || SharesAllBlocks(kept, target)) {
        if (alreadyShared)
            *alreadyShared = true;
        return Success;
    }
    if (!kept.StillNamed() || !target.StillNamed()) {
        ReportAPIError(wrapper, target.Path(), ESTALE);
        return Failed;
    }
    // The kernel compares each range under its own lock and shares it only when equal, so
    // a file written to meanwhile is never given the other's bytes. A file system may do
    // less per call than asked; what it did is where the next call starts.
    constexpr qint64 Piece = qint64(16) << 20;
    auto range = std::unique_ptr<file_dedupe_range, decltype(&std::free)>(
        static_cast<file_dedupe_range*>(
            std::calloc(1, sizeof(file_dedupe_range) + sizeof(file_dedupe_range_info))),
        &std::free);
    if (!range) {
        LastAPIError = ENOMEM;
        return Failed;
    }
    for (qint64 offset = 0; offset < size;) {
        *range = {};
        range->src_offset = quint64(offset);
        range->src_length = quint64(std::min(Piece, size - offset));
        range->dest_count = 1;
        file_dedupe_range_info& info = range->info[0];
        info = {};
        info.dest_fd = target.Fd();
        info.dest_offset = quint64(offset);
        int err = 0;
        if (::ioctl(kept.Fd(), FIDEDUPERANGE, range.get()) != 0)
            err = errno;
        else if (info.status == FILE_DEDUPE_RANGE_DIFFERS)
            err = ECANCELED;
        else if (info.status < 0)
            err = -info.status;
        else if (info.bytes_deduped == 0)
            err = EIO;
        // Refused outright on the first range: the file system does not share blocks at all
        // (ext4, tmpfs) or not for these files; no report, the caller says so in its line.
        if (err == EINVAL && offset == 0)
            err = EOPNOTSUPP;
        if (err != 0) {
            if (!CannotShareBlocks(err) && err != ECANCELED)
                ReportAPIError(wrapper, target.Path(), err);
            LastAPIError = err;
            return Failed;
        }
        offset += qint64(info.bytes_deduped);
    }
    return Success;
}

bool CannotShareBlocks(int errorCode) {
    return errorCode == EOPNOTSUPP || errorCode == ENOTTY || errorCode == EXDEV ||
           errorCode == ENOSYS;
}

qint64 MyFreeBytes(const HeldFolder& folder) {
    // Freed extents are given back when the file system commits, not at once. A held
    // folder may be open by path only, which syncfs does not take.
    const int fd = ::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
    struct statvfs st;
    if (::fstatvfs(folder.Fd(), &st) != 0)
        return -1;
    return qint64(st.f_bfree) * qint64(st.f_frsize);
}

} // namespace modAPI
