#include "FolderReader.h"

#include <QFile>

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
        m_systemMountPoints.insert(QFile::encodeName(mountPoint));
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
    const QByteArray path = QFile::encodeName(folder);
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
                sub.name = QFile::decodeName(entry->d_name);
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
    DirStream dir(opendir(QFile::encodeName(root).constData()));
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
