#pragma once

#include "modAPI.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct statx;

// The platform half of a scan: a folder reader that gives each entry's type from the
// listing itself, so that most entries cost no status call, and a file reader that refuses
// anything but a regular file. Kept apart from modAPI.cpp because the engine calls these
// once per file and they must stay cheap.
namespace modAPI {

// The facts a scan needs about one entry, read relative to its folder.
struct ScanStat {
    EntryType Type = EntryType::Unknown;
    // The entry is the root of a mount: for a file, a file mounted over that path (a bind
    // mount), whose other path may be in the scan as well. Known from kernel 5.8 on. Kept
    // beside the type, where it costs no room.
    bool MountRoot = false;
    qint64 Size = 0;
    qint64 ModifiedSecs = 0;
    qint64 ModifiedNs = 0;  // nanoseconds since the epoch
    qint64 CreatedSecs = 0; // birth time where recorded, else the modification time
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 ChangedNs = 0; // status change time, nanoseconds since the epoch
    quint32 Mode = 0;
    quint32 LinkCount = 0;
};

// One open folder. Entries come in listing order; "." and ".." included, as the listing
// has them. Names are the raw bytes of the file system.
class ScanFolder {
public:
    ScanFolder() = default;
    ~ScanFolder();
    ScanFolder(const ScanFolder&) = delete;
    ScanFolder& operator=(const ScanFolder&) = delete;

    // Opens a folder by path, links not followed. 0 or the errno code; the caller reports
    // a failure with the searched pattern, which only it knows how to spell.
    int Open(const char* path);

    // The next entry, or false at the end. The name stays valid until the next call.
    bool Next(std::string_view& name, EntryType& type);
    // Status of an entry of this folder, links not followed; 1, or 3 with the errno code.
    // The name must be NUL-terminated just past its end (as names from Next are).
    int StatEntry(std::string_view name, ScanStat& st, int& error) const;
    // Status of the folder itself.
    int StatSelf(ScanStat& st, int& error) const;

    void Close();

private:
    friend class ScanBatch;
    int Adopt(int fd);

    void* m_dir = nullptr; // DIR*
    int m_fd = -1;
};

// A folder held open only as a place to open files in, so that reading many files of one
// folder costs one path lookup instead of one per file.
class ScanPlace {
public:
    ScanPlace() = default;
    ~ScanPlace();
    ScanPlace(const ScanPlace&) = delete;
    ScanPlace& operator=(const ScanPlace&) = delete;

    // 0 or the errno code.
    int Open(const char* folder);
    void Close();
    int Handle() const { return m_fd; }

private:
    int m_fd = -1;
};

// A regular file opened for one sequential read. Refuses links, and anything that is not
// a regular file when opened, so a FIFO or device swapped in after the walk is never read.
class ScanReader {
public:
    ScanReader() = default;
    ~ScanReader();
    ScanReader(const ScanReader&) = delete;
    ScanReader& operator=(const ScanReader&) = delete;

    // 0 or an errno code. When expectDevice/expectInode are non-zero the open file must be
    // the one the walk saw (ESTALE otherwise).
    int Open(const char* path, quint64 expectDevice = 0, quint64 expectInode = 0);
    // The same for a name inside a held folder.
    int OpenIn(const ScanPlace& place, const char* name, quint64 expectDevice, quint64 expectInode);
    // Bytes read (0 at the end), or -1 with the errno code in error.
    qint64 Read(void* buffer, size_t size, int& error);
    // The size when the file was opened; a reader that has read this much may stop
    // without asking for the end.
    qint64 SizeAtOpen() const { return m_size; }
    // Back to the first byte, for a read to start over.
    int Rewind();
    void Close();

private:
    friend class ScanBatch;
    int Check(int fd, quint64 expectDevice, quint64 expectInode);
    // The file's status known: keeps fd if it is the regular file expected, else closes it.
    int Accept(int fd, bool regular, quint64 device, quint64 inode, qint64 size,
               quint64 expectDevice, quint64 expectInode);

    int m_fd = -1;
    qint64 m_size = 0;
};

// Opens, reads and closes several files of one folder in a few calls to the kernel, through an
// io_uring where the kernel allows one (Usable): per file, the calls themselves cost more
// than reading a small file from memory, and on a 2-core machine batches of files read in
// about half the time. Each file is opened and checked exactly as ScanReader::OpenIn does.
class ScanBatch {
public:
    // The most files one call takes.
    static constexpr size_t Most = 32;
    ScanBatch();
    ~ScanBatch();
    ScanBatch(const ScanBatch&) = delete;
    ScanBatch& operator=(const ScanBatch&) = delete;

    // False where io_uring is missing or refused (old kernels, seccomp filters, the
    // kernel.io_uring_disabled setting); then the files are read one at a time.
    bool Usable() const { return m_ring != nullptr; }
    // Tests turn batches off to compare both ways of reading.
    static std::atomic<bool> Allowed;

    // readers[i] gets names[i] opened in places[i], results[i] 0 or the errno code.
    void OpenIn(size_t count, const ScanPlace* const* places, const char* const* names,
                const quint64* devices, const quint64* inodes, ScanReader* readers, int* results);
    // The first read of each reader: up to sizes[i] bytes into buffers[i]; got[i] the bytes
    // read or minus the errno code. Each reader goes on from where its read ended. A read
    // that would wait for the disk, or that the ring cannot make, may come back with -EAGAIN,
    // -EINVAL or -EOPNOTSUPP; it is then made again with ScanReader::Read.
    void ReadFirst(size_t count, ScanReader* const* readers, char* const* buffers,
                   const size_t* sizes, qint64* got);
    // Closes every open reader.
    void Close(size_t count, ScanReader* readers);
    // Status of entries of a listed folder, each as ScanFolder::StatEntry gives it: errors[i]
    // 0 with stats[i] filled, or the errno code.
    void StatIn(const ScanFolder& folder, size_t count, const char* const* names, ScanStat* stats,
                int* errors);

private:
    // Submits what was queued and gives each completion's index and result to take.
    bool Complete(size_t count, const std::function<void(size_t, int)>& take);

    void* m_ring = nullptr; // io_uring*
    // Where the kernel writes the statuses: here rather than in a call's frame, so that even
    // a ring that fails with statuses still being written has somewhere safe to write them.
    std::unique_ptr<struct statx[]> m_status; // Most of them
};

// The mount points of kernel virtual file systems, as raw paths with a trailing "/";
// entries there are reported hidden and system so that no scan ever reads them.
// Automount points are not among them: what they stand for is an ordinary file system.
std::vector<QByteArray> VirtualMountPoints();
// The automount (autofs) points, the same way. A walk does not enter one it meets inside
// a tree, which would mount every share on the way; a root at or under one is entered.
std::vector<QByteArray> AutomountPoints();
// Hands the memory that the C library holds free, in every thread's pool, back to the
// system. The listing and reading threads each allocate from a pool of their own, and what
// they freed stays counted against the process until then.
void ReleaseFreeMemory();
// Caps those pools at two, before any thread starts. A pool per thread kept about a tenth
// of a million-file scan's memory in pieces freed by the hash cache's writer and the
// reading threads; two pools cost the scan no measurable time.
void LimitMemoryPools();
// From now on, blocks of a megabyte or more are mapped on their own and go back to the
// system when freed. The C library otherwise takes a freed block's size as the size worth
// mapping, and serves the next ones from its pools, where the arrays of slice after slice
// left pieces: a million-file scan's peak grew by a tenth over its slices. Mapping costs
// each array its page faults again, which a scan of a few slices is better spared.
void MapLargeBlocks();
// The path with every link and "." or ".." resolved, ending in "/"; empty when it cannot
// be resolved. For a folder the user named, which may itself be a link.
std::string RealFolderPath(const std::string& path);
// Mount points of ordinary file systems that lie under a virtual one (tmpfs on /dev/shm
// under devtmpfs on /dev): what is at or under them is ordinary again.
std::vector<QByteArray> OrdinaryMountsUnderVirtual();
// Whether a raw folder path ending in "/" is one of those mount points or lies under one,
// and not under an ordinary mount nested deeper.
bool IsUnderVirtualMount(std::string_view folder, const std::vector<QByteArray>& points,
                         const std::vector<QByteArray>& ordinary = {});

} // namespace modAPI
