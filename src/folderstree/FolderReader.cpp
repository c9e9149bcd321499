#include "FolderReader.h"

#include "FileNames.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

QByteArray ChildPath(const QByteArray& parent, const char* name) {
    QByteArray path = parent;
    if (!path.endsWith('/'))
        path.append('/');
    return path.append(name);
}

QString SystemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Owns a directory stream, so every early return closes it.
class DirStream {
public:
    explicit DirStream(DIR* dir) : m_dir(dir) {}
    ~DirStream() {
        if (m_dir)
            closedir(m_dir);
    }
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;
    DIR* get() const { return m_dir; }

private:
    DIR* m_dir;
};

} // namespace

void FolderReader::SetSystemMountPoints(const QStringList& mountPoints) {
    m_systemMountPoints.clear();
    for (const QString& mountPoint : mountPoints)
        m_systemMountPoints.insert(FileNames::Encode(mountPoint));
}

void FolderReader::SetHangingMountPoints(const QStringList& mountPoints) {
    m_hangingMountPoints.clear();
    for (const QString& mountPoint : mountPoints)
        m_hangingMountPoints.insert(FileNames::Encode(mountPoint));
}

bool FolderReader::IsVisibleFolder(int parentFd, const char* name, unsigned char type,
                                   const QByteArray& path, const FolderFilter& filter) const {
    // Files are never listed, so most entries are settled by the listing's own type
    // without a stat; links (DT_LNK) are never folders.
    if (type != DT_DIR && type != DT_UNKNOWN)
        return false;
    const bool hidden = name[0] == '.';
    if (hidden && !filter.hidden)
        return false;
    // A kernel file system mounted here is hidden and system at once, which no filter
    // lets through; checked before the stat so an automount is never triggered.
    if (m_systemMountPoints.contains(path))
        return false;
    // A stat here would go into the mount; it is a folder, and it is shown so that
    // it can be expanded (and found not answering) off the tree's thread.
    if (m_hangingMountPoints.contains(path))
        return true;
    struct stat st;
    if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return false;
    const bool readOnly = (st.st_mode & 0222) == 0;
    return !readOnly || filter.readOnly;
}

bool FolderReader::HasVisibleSubFolder(int parentFd, const char* name, const QByteArray& path,
                                       const FolderFilter& filter) const {
    if (m_hangingMountPoints.contains(path))
        return true;
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DirStream dir(fdopendir(fd));
    if (!dir.get()) {
        close(fd);
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (IsDotOrDotDot(entry->d_name))
            continue;
        if (IsVisibleFolder(fd, entry->d_name, entry->d_type, ChildPath(path, entry->d_name),
                            filter))
            return true;
    }
    return false;
}

bool FolderReader::ReadSubFolders(const QString& folder, const FolderFilter& filter,
                                  std::vector<SubFolder>& out, QString& error,
                                  const Yield& yield) const {
    const QByteArray path = FileNames::Encode(folder);
    DirStream dir(opendir(path.constData()));
    if (!dir.get()) {
        error = SystemMessage(errno);
        return false;
    }
    const int fd = dirfd(dir.get());
    // No cap on the number of entries: a folder is listed to its end however big it is.
    size_t count = 0;
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
        ++count;
        if (!IsDotOrDotDot(entry->d_name)) {
            const QByteArray childPath = ChildPath(path, entry->d_name);
            if (IsVisibleFolder(fd, entry->d_name, entry->d_type, childPath, filter)) {
                SubFolder sub;
                sub.name = FileNames::Decode(entry->d_name);
                sub.hasVisibleSubFolder = HasVisibleSubFolder(fd, entry->d_name, childPath, filter);
                out.push_back(std::move(sub));
            }
        }
        if (count % 10 == 0 && yield && !yield()) {
            error = QStringLiteral("listing abandoned");
            return false;
        }
        errno = 0;
    }
    if (errno != 0) {
        error = SystemMessage(errno);
        return false;
    }
    return true;
}

bool FolderReader::Answers(const QString& root, QString& error) const {
    DirStream dir(opendir(FileNames::Encode(root).constData()));
    if (!dir.get()) {
        error = SystemMessage(errno);
        return false;
    }
    errno = 0;
    if (!readdir(dir.get()) && errno != 0) {
        error = SystemMessage(errno);
        return false;
    }
    return true;
}

namespace {

// What a listing on its own thread hands back. Shared with that thread, which may
// outlive the wait (and the tree) when the file system never answers.
struct Listing {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool read = false;
    std::vector<SubFolder> folders;
    QString error;
    std::atomic<bool> abandoned{false};
};

} // namespace

FolderReader::Outcome FolderReader::ReadWithin(const QString& folder, const FolderFilter& filter,
                                               int timeoutMs, std::vector<SubFolder>& out,
                                               QString& error, const Yield& pump) const {
    auto listing = std::make_shared<Listing>();
    // The thread gets its own copies: nothing of the caller is touched after the wait.
    std::thread([listing, reader = *this, folder, filter] {
        std::vector<SubFolder> folders;
        QString message;
        const bool read = reader.ReadSubFolders(folder, filter, folders, message,
                                                [&listing] { return !listing->abandoned; });
        const std::lock_guard lock(listing->mutex);
        listing->folders = std::move(folders);
        listing->error = message;
        listing->read = read;
        listing->done = true;
        listing->finished.notify_all();
    }).detach();

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::unique_lock lock(listing->mutex);
            // Short waits, so the window keeps painting and Cancel gets through.
            if (listing->finished.wait_for(lock, std::chrono::milliseconds(20),
                                           [&listing] { return listing->done; })) {
                if (!listing->read) {
                    error = listing->error;
                    return Outcome::Failed;
                }
                out = std::move(listing->folders);
                return Outcome::Read;
            }
        }
        if (pump && !pump()) {
            listing->abandoned = true;
            return Outcome::Abandoned;
        }
        if (Clock::now() >= deadline) {
            listing->abandoned = true;
            return Outcome::NoAnswer;
        }
    }
}
