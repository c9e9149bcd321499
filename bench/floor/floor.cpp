// The least work any exact duplicate finder must do on a tree: list every folder, learn
// every entry's type and size, then read every byte of every file that shares its size
// with another, once per file (hard links are one file), without hashing. Whatever a
// finder spends beyond this is its own choice; the rest is the machine.
//
//   floor [--threads N] [--plain] [--walk-only] [--quiet] FOLDER...
//
// --plain reads every file with open, read and close instead of batching the small ones
// through an io_uring. --walk-only stops after the walk: the least a run can do that
// trusts a cache for every file's contents but must still see that no file has changed.
//
// Symbolic links are not followed, empty files are not read, and a folder is listed once
// even when two roots overlap. Prints what it did and how long each half took.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Files up to this size are read in batches of kBatch through an io_uring.
constexpr unsigned kBatch = 32;
constexpr unsigned long long kSlotBytes = 64 * 1024;

struct Folder {
    std::string Path;
};

struct Entry {
    unsigned long long Size;
    unsigned long long Device;
    unsigned long long Inode;
    unsigned Folder; // index into the folder table
    std::string Name;
};

struct DeviceInode {
    unsigned long long Device;
    unsigned long long Inode;
    bool operator==(const DeviceInode&) const = default;
};
struct DeviceInodeHash {
    size_t operator()(const DeviceInode& k) const {
        return std::hash<unsigned long long>()(k.Inode * 0x9E3779B97F4A7C15ull ^ k.Device);
    }
};

// The walk: a queue of folders shared by the threads; each lists a folder through its own
// descriptor with getdents64 and asks statx for the size of each file relative to it.
class Walk {
public:
    Walk(unsigned threads, bool plain) : m_threads(threads), m_plain(plain) {}

    void Run(const std::vector<std::string>& roots) {
        for (const std::string& root : roots)
            Push(root);
        std::vector<std::thread> pool;
        for (unsigned i = 0; i < m_threads; ++i)
            pool.emplace_back([this] { Work(); });
        for (std::thread& t : pool)
            t.join();
    }

    std::vector<Folder> Folders;
    std::vector<Entry> Files;
    unsigned long long Entries = 0;

private:
    void Push(std::string path) {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(static_cast<unsigned>(Folders.size()));
        Folders.push_back({std::move(path)});
        m_cv.notify_one();
    }

    void Work() {
        // The files' statuses through an io_uring, a batch of a listing's files to a call.
        io_uring ring;
        const bool batched = !m_plain && io_uring_queue_init(kBatch, &ring, 0) == 0;
        std::vector<char> buffer(1 << 16);
        std::vector<Entry> files;
        std::vector<std::string> subfolders;
        unsigned long long entries = 0;
        for (;;) {
            unsigned index;
            std::string path;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return !m_queue.empty() || m_busy == 0; });
                if (m_queue.empty())
                    break;
                index = m_queue.front();
                m_queue.pop_front();
                path = Folders[index].Path;
                ++m_busy;
            }
            List(index, path, buffer, files, subfolders, entries, batched ? &ring : nullptr);
            std::lock_guard lock(m_mutex);
            for (std::string& sub : subfolders) {
                m_queue.push_back(static_cast<unsigned>(Folders.size()));
                Folders.push_back({std::move(sub)});
            }
            subfolders.clear();
            --m_busy;
            m_cv.notify_all();
        }
        if (batched)
            io_uring_queue_exit(&ring);
        std::lock_guard lock(m_mutex);
        Files.insert(Files.end(), std::make_move_iterator(files.begin()),
                     std::make_move_iterator(files.end()));
        Entries += entries;
    }

    static void List(unsigned index, const std::string& path, std::vector<char>& buffer,
                     std::vector<Entry>& files, std::vector<std::string>& subfolders,
                     unsigned long long& entries, io_uring* ring) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return;
        const auto keep = [&](const char* name, unsigned char type, const struct statx& sx) {
            if (type == DT_DIR)
                subfolders.push_back(path + '/' + name);
            else if (type == DT_REG && sx.stx_size > 0)
                files.push_back(
                    {sx.stx_size,
                     (static_cast<unsigned long long>(sx.stx_dev_major) << 32) | sx.stx_dev_minor,
                     sx.stx_ino, index, name});
        };
        std::vector<const char*> names;
        std::vector<struct statx> status(kBatch);
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            names.clear();
            for (long at = 0; at < n;) {
                const auto* d = reinterpret_cast<const dirent64*>(buffer.data() + at);
                at += d->d_reclen;
                const char* name = d->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                ++entries;
                unsigned char type = d->d_type;
                if (type != DT_REG && type != DT_UNKNOWN) {
                    keep(name, type, status[0]);
                    continue;
                }
                if (ring) {
                    names.push_back(name); // stays in the buffer until the batch is asked
                    continue;
                }
                struct statx sx;
                if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                            STATX_TYPE | STATX_SIZE | STATX_INO, &sx) == 0)
                    keep(name, TypeOf(sx), sx);
            }
            for (size_t first = 0; first < names.size(); first += kBatch) {
                const size_t count = std::min<size_t>(kBatch, names.size() - first);
                for (size_t k = 0; k < count; ++k) {
                    io_uring_sqe* sqe = io_uring_get_sqe(ring);
                    io_uring_prep_statx(sqe, fd, names[first + k],
                                        AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                                        STATX_TYPE | STATX_SIZE | STATX_INO, &status[k]);
                    io_uring_sqe_set_data64(sqe, k);
                }
                io_uring_submit_and_wait(ring, unsigned(count));
                for (size_t seen = 0; seen < count; ++seen) {
                    io_uring_cqe* cqe = nullptr;
                    if (io_uring_wait_cqe(ring, &cqe) != 0)
                        break;
                    const size_t k = io_uring_cqe_get_data64(cqe);
                    if (cqe->res == 0)
                        keep(names[first + k], TypeOf(status[k]), status[k]);
                    io_uring_cqe_seen(ring, cqe);
                }
            }
        }
        ::close(fd);
    }

    static unsigned char TypeOf(const struct statx& sx) {
        return S_ISREG(sx.stx_mode) ? DT_REG : S_ISDIR(sx.stx_mode) ? DT_DIR : DT_LNK;
    }

    unsigned m_threads;
    bool m_plain;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<unsigned> m_queue;
    unsigned m_busy = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    bool quiet = false;
    bool plain = false;
    bool walkOnly = false;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc)
            threads = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--quiet" || arg == "-q")
            quiet = true;
        else if (arg == "--plain")
            plain = true;
        else if (arg == "--walk-only")
            walkOnly = true;
        else if (arg == "--help" || arg == "-h") {
            std::puts("usage: floor [--threads N] [--plain] [--walk-only] [--quiet] FOLDER...");
            return 0;
        } else {
            const size_t end = arg.find_last_not_of('/');
            roots.push_back(end == std::string::npos ? std::string("/") : arg.substr(0, end + 1));
        }
    }
    if (roots.empty()) {
        std::fputs("usage: floor [--threads N] [--plain] [--walk-only] [--quiet] FOLDER...\n",
                   stderr);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    Walk walk(threads, plain);
    walk.Run(roots);
    const double walked = Seconds(start);
    if (walkOnly) {
        if (!quiet)
            std::printf("%zu folders, %llu entries, %zu files, %u threads\nwalk %.3f s\n",
                        walk.Folders.size(), walk.Entries, walk.Files.size(), threads, walked);
        return 0;
    }

    // Every name of one file is read once; only sizes held by two files or more are read.
    std::unordered_set<DeviceInode, DeviceInodeHash> seen;
    seen.reserve(walk.Files.size());
    std::vector<const Entry*> unique;
    unique.reserve(walk.Files.size());
    for (const Entry& e : walk.Files)
        if (seen.insert({e.Device, e.Inode}).second)
            unique.push_back(&e);
    std::unordered_map<unsigned long long, unsigned> bySize;
    bySize.reserve(unique.size());
    for (const Entry* e : unique)
        ++bySize[e->Size];
    std::vector<const Entry*> toRead;
    for (const Entry* e : unique)
        if (bySize[e->Size] > 1)
            toRead.push_back(e);
    // Large files first, so no thread is left with one big file at the end.
    std::sort(toRead.begin(), toRead.end(),
              [](const Entry* a, const Entry* b) { return a->Size > b->Size; });

    const auto readStart = std::chrono::steady_clock::now();
    std::atomic<size_t> next = 0;
    std::atomic<unsigned long long> bytes = 0;
    std::atomic<unsigned long long> failed = 0;
    std::vector<std::thread> pool;
    const auto readOne = [&](const Entry& e, std::vector<char>& buffer) {
        const std::string path = walk.Folders[e.Folder].Path + '/' + e.Name;
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOATIME);
        if (fd < 0 && errno == EPERM)
            fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            ++failed;
            return 0ull;
        }
        unsigned long long got = 0;
        for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
            got += static_cast<unsigned long long>(n);
        ::close(fd);
        return got;
    };
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            std::vector<char> buffer(1 << 18);
            unsigned long long mine = 0;
            // Small files in batches through an io_uring: open, read and close linked, one
            // call to the kernel for a batch instead of three per file.
            io_uring ring;
            const bool batched = !plain && io_uring_queue_init(kBatch * 3, &ring, 0) == 0 &&
                                 io_uring_register_files_sparse(&ring, kBatch) == 0;
            std::vector<char> slots(batched ? kBatch * kSlotBytes : 0);
            std::vector<std::string> paths(kBatch);
            for (;;) {
                const size_t first = next.fetch_add(batched ? kBatch : 1);
                if (first >= toRead.size())
                    break;
                const size_t last = std::min(toRead.size(), first + (batched ? kBatch : 1));
                unsigned queued = 0;
                for (size_t i = first; i < last; ++i) {
                    const Entry& e = *toRead[i];
                    if (!batched || e.Size > kSlotBytes) {
                        mine += readOne(e, buffer);
                        continue;
                    }
                    const unsigned slot = queued++;
                    paths[slot] = walk.Folders[e.Folder].Path + '/' + e.Name;
                    io_uring_sqe* sqe = io_uring_get_sqe(&ring);
                    io_uring_prep_openat_direct(sqe, AT_FDCWD, paths[slot].c_str(),
                                                O_RDONLY | O_NOFOLLOW, 0, slot);
                    sqe->flags |= IOSQE_IO_LINK;
                    io_uring_sqe_set_data64(sqe, 0);
                    sqe = io_uring_get_sqe(&ring);
                    io_uring_prep_read(sqe, int(slot), slots.data() + slot * kSlotBytes,
                                       unsigned(kSlotBytes), 0);
                    sqe->flags |= IOSQE_FIXED_FILE | IOSQE_IO_HARDLINK;
                    io_uring_sqe_set_data64(sqe, 1);
                    sqe = io_uring_get_sqe(&ring);
                    io_uring_prep_close_direct(sqe, slot);
                    io_uring_sqe_set_data64(sqe, 2);
                }
                if (queued == 0)
                    continue;
                io_uring_submit_and_wait(&ring, queued * 3);
                for (unsigned seen = 0; seen < queued * 3; ++seen) {
                    io_uring_cqe* cqe = nullptr;
                    if (io_uring_wait_cqe(&ring, &cqe) != 0)
                        break;
                    const auto op = io_uring_cqe_get_data64(cqe);
                    if (op == 0 && cqe->res < 0)
                        ++failed;
                    else if (op == 1 && cqe->res > 0)
                        mine += static_cast<unsigned long long>(cqe->res);
                    io_uring_cqe_seen(&ring, cqe);
                }
            }
            if (batched)
                io_uring_queue_exit(&ring);
            bytes += mine;
        });
    for (std::thread& t : pool)
        t.join();
    const double read = Seconds(readStart);
    const double total = Seconds(start);

    if (!quiet)
        std::printf("%zu folders, %llu entries, %zu files (%zu distinct), %zu read, %llu bytes "
                    "read, %llu unreadable, %u threads\nwalk %.3f s, read %.3f s, total %.3f s\n",
                    walk.Folders.size(), walk.Entries, walk.Files.size(), unique.size(),
                    toRead.size(), bytes.load(), failed.load(), threads, walked, read, total);
    return 0;
}
