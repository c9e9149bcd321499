// The desktop trash as desktops on Linux share it: a "files" folder that holds what was
// trashed and an "info" folder with one .trashinfo file per item, telling where it came
// from and when. The home trash lives under the user's data folder; a file on another file
// system goes to that volume's own trash, because a trash across file systems would mean
// copying, and a copy is not what the user asked for.

#include "HeldFile.h"
#include "PathCodec.h"
#include "modAPI.h"
#include "modAPI_posix.h"

#include "AppError.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace modAPI {

namespace {

const QString Wrapper = QStringLiteral("MyMoveToTrash");

// Enough for any sensible pile of same-named files, and a hard stop for a trash that
// keeps refusing, so the action run always moves on.
constexpr int MaxTrashNames = 200;
constexpr int NumberedNames = 100;

struct TrashFolder {
    QByteArray Root; // holds "files" and "info"
    // Paths in the info file are relative to this folder (a volume's top folder), or
    // absolute when it is empty (the home trash).
    QByteArray RelativeTo;
};

QByteArray ParentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash <= 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray Join(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return QByteArray(home);
    struct passwd pw;
    struct passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && result->pw_dir[0] == '/')
        return QByteArray(result->pw_dir);
    return {};
}

QByteArray DataHome() {
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return QByteArray(xdg);
    const QByteArray home = HomeFolder();
    return home.isEmpty() ? QByteArray() : Join(home, QByteArrayLiteral(".local/share"));
}

// A folder that exists as a folder (links followed when asked) or is made with the mode.
int EnsureFolder(const QByteArray& path, mode_t mode, bool followLinks) {
    if (::mkdir(path.constData(), mode) != 0 && errno != EEXIST)
        return errno;
    struct stat st;
    const int rc = followLinks ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    if (rc != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// mkdir -p, with the private mode for every folder it has to make.
int EnsureFolderPath(const QByteArray& path) {
    struct stat st;
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    if (const int err = EnsureFolderPath(ParentOf(path)))
        return err;
    return EnsureFolder(path, 0700, true);
}

int EnsureTrashParts(const QByteArray& root, bool followLinks) {
    for (const char* part : {"files", "info"})
        if (const int err = EnsureFolder(Join(root, part), 0700, followLinks))
            return err;
    return 0;
}

int HomeTrash(TrashFolder& trash) {
    const QByteArray data = DataHome();
    if (data.isEmpty())
        return ENOENT;
    trash.Root = Join(data, QByteArrayLiteral("Trash"));
    trash.RelativeTo.clear();
    if (const int err = EnsureFolderPath(data))
        return err;
    // The user may have made the home trash a link to a bigger disk: follow it.
    if (const int err = EnsureFolder(trash.Root, 0700, true))
        return err;
    return EnsureTrashParts(trash.Root, true);
}

// A trash folder on a shared volume must be the user's own real folder: a link or
// another user's folder there could send the file anywhere.
bool OwnRealFolder(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

int VolumeTrash(const QByteArray& topDir, TrashFolder& trash) {
    const QByteArray uid = QByteArray::number(qulonglong(::geteuid()));
    trash.RelativeTo = topDir;

    // An administrator's shared ".Trash" counts only when it is a real folder with the
    // sticky bit, so that users cannot remove each other's folders in it.
    const QByteArray shared = Join(topDir, QByteArrayLiteral(".Trash"));
    struct stat st;
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        trash.Root = Join(shared, uid);
        if (EnsureFolder(trash.Root, 0700, false) == 0 && OwnRealFolder(trash.Root) &&
            EnsureTrashParts(trash.Root, false) == 0)
            return 0;
    }

    trash.Root = Join(topDir, QByteArrayLiteral(".Trash-") + uid);
    if (const int err = EnsureFolder(trash.Root, 0700, false))
        return err;
    if (!OwnRealFolder(trash.Root))
        return EACCES;
    return EnsureTrashParts(trash.Root, false);
}

// The top folder of the file system that holds the folder: the highest folder above it
// on the same device.
QByteArray TopFolder(const QByteArray& folder, dev_t device) {
    QByteArray top = folder;
    while (top != "/") {
        const QByteArray parent = ParentOf(top);
        struct stat st;
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// The device of the nearest folder that exists on the way to the path.
bool DeviceOfNearest(QByteArray path, dev_t& device) {
    for (;;) {
        struct stat st;
        if (::stat(path.constData(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (path == "/")
            return false;
        path = ParentOf(path);
    }
}

bool IsUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~' || c == '/';
}

// The file system's bytes with everything but plain characters written as %HH, so that
// any name, whatever its encoding, goes into the info file and comes back exactly.
QByteArray PercentEncoded(const QByteArray& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (IsUnreserved(c)) {
            out.append(c);
        } else {
            const auto u = static_cast<unsigned char>(c);
            out.append('%');
            out.append(hex[u >> 4]);
            out.append(hex[u & 0xF]);
        }
    }
    return out;
}

// Keeps the name within the file system's limit once ".trashinfo" and a number are added,
// cutting only between characters.
QByteArray Shortened(const QByteArray& name, qsizetype room) {
    if (name.size() <= room)
        return name;
    qsizetype cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.left(cut);
}

// The name tried at each attempt: the file's own, then "name.2.ext", "name.3.ext" and so
// on, then random ones, so a crowded trash does not cost a long walk.
QByteArray CandidateName(const QByteArray& name, int attempt) {
    constexpr qsizetype room = NAME_MAX - qsizetype(sizeof(".trashinfo") - 1) - 10;
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExtension = dot > 0 && name.size() - dot <= 16;
    QByteArray stem = hasExtension ? name.left(dot) : name;
    const QByteArray extension = hasExtension ? name.mid(dot) : QByteArray();
    stem = Shortened(stem, qMax<qsizetype>(1, room - extension.size()));
    if (attempt == 0)
        return stem + extension;
    const QByteArray tag =
        attempt < NumberedNames
            ? QByteArray::number(attempt + 1)
            : QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0');
    return stem + '.' + tag + extension;
}

// Renames without replacing. Where the file system cannot say "no replace" the info file
// already reserved the name among well-behaved programs; a look into files/ covers an
// orphan left by one that was not.
int RenameIntoTrash(const HeldFile& file, const QByteArray& to) {
    const int dir = file.Folder().Fd();
    const char* name = file.Name().constData();
    if (::renameat2(dir, name, AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        struct stat st;
        if (::lstat(to.constData(), &st) == 0)
            return EEXIST;
        if (::renameat(dir, name, AT_FDCWD, to.constData()) != 0)
            return errno;
    }
    // The name was checked a moment ago; if another file took its place since, that file
    // goes back where it was and this one stays.
    FileInfo placed;
    if (MyStat(PathCodec::Decode(to), placed) != Success || placed.Device != file.Info().Device ||
        placed.Inode != file.Info().Inode) {
        ::renameat2(AT_FDCWD, to.constData(), dir, name, RENAME_NOREPLACE);
        return ESTALE;
    }
    return 0;
}

// Files the item under a free name; 0 or the error that stopped it.
int PutInTrash(const TrashFolder& trash, const HeldFile& source, const QByteArray& original,
               QByteArray& placedAt) {
    const QByteArray& name = source.Name();
    QByteArray recorded = original;
    if (!trash.RelativeTo.isEmpty()) {
        const QByteArray base =
            trash.RelativeTo.endsWith('/') ? trash.RelativeTo : trash.RelativeTo + '/';
        if (recorded.startsWith(base))
            recorded = recorded.mid(base.size());
    }
    const QByteArray info =
        "[Trash Info]\nPath=" + PercentEncoded(recorded) + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
        '\n';

    for (int attempt = 0; attempt < MaxTrashNames; ++attempt) {
        const QByteArray candidate = CandidateName(name, attempt);
        const QByteArray infoPath =
            Join(trash.Root, QByteArrayLiteral("info/") + candidate + ".trashinfo");
        // The exclusive create is what reserves the name; any refusal other than "taken"
        // means this trash cannot take the file at all.
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        bool written = posix::WriteAll(fd, info.constData(), size_t(info.size()));
        int err = written ? 0 : errno;
        if (::close(fd) != 0 && written) {
            written = false;
            err = errno;
        }
        if (!written) {
            ::unlink(infoPath.constData());
            return err;
        }
        const QByteArray target = Join(trash.Root, QByteArrayLiteral("files/") + candidate);
        err = RenameIntoTrash(source, target);
        if (err == 0) {
            placedAt = target;
            return 0;
        }
        // An info file without its item would show the user a ghost in the trash.
        ::unlink(infoPath.constData());
        if (err != EEXIST)
            return err;
    }
    return EEXIST;
}

} // namespace

int MyMoveToTrash(const QString& path, QString* trashPath) {
    HeldFile file;
    if (const int err = file.Open(path)) {
        ReportAPIError(Wrapper, path, err);
        return Failed;
    }
    return MyTrashHeld(file, trashPath);
}

int MyTrashHeld(const HeldFile& file, QString* trashPath) {
    const QString& path = file.Path();
    // The volume's top folder is found from the real folder, not through links on the way.
    const QByteArray realFolder = file.Folder().RealPath();
    if (realFolder.isEmpty()) {
        ReportAPIError(Wrapper, path, ENOENT);
        return Failed;
    }
    const QByteArray original = Join(realFolder, file.Name());
    struct stat inFolder;
    if (::fstat(file.Folder().Fd(), &inFolder) != 0) {
        ReportAPIError(Wrapper, path, errno);
        return Failed;
    }
    // A file mounted over a name of its folder can be moved by no rename at all.
    if (file.Folder().Id().Device != file.Info().Device) {
        ReportAPIError(Wrapper, path, EXDEV);
        return Failed;
    }
    const dev_t fileDevice = inFolder.st_dev;

    TrashFolder trash;
    int err = HomeTrash(trash);
    if (trash.Root.isEmpty()) {
        ReportAPIError(Wrapper, path, err);
        return Failed;
    }
    struct stat home;
    const bool homeReady = err == 0 && ::stat(Join(trash.Root, "files").constData(), &home) == 0;
    dev_t homeDevice = 0;
    const bool homeHere = homeReady
                              ? home.st_dev == fileDevice
                              : DeviceOfNearest(trash.Root, homeDevice) && homeDevice == fileDevice;
    if (homeHere) {
        // The home trash is the one for this file: if it cannot be used, no other may be.
        if (!homeReady) {
            ReportAPIError(Wrapper, path, err ? err : ENOTDIR);
            return Failed;
        }
    } else {
        err = VolumeTrash(TopFolder(realFolder, fileDevice), trash);
        if (err != 0) {
            ReportAPIError(Wrapper, path, err);
            return Failed;
        }
    }

    QByteArray placedAt;
    err = PutInTrash(trash, file, original, placedAt);
    if (err != 0) {
        ReportAPIError(Wrapper, path, err);
        return Failed;
    }
    if (trashPath)
        *trashPath = PathCodec::Decode(placedAt);
    return Success;
}

int MyRemoveTrashInfo(const QString& trashPath) {
    const QByteArray item = PathCodec::Encode(trashPath);
    const qsizetype slash = item.lastIndexOf('/');
    const QByteArray folder = item.left(qMax<qsizetype>(0, slash));
    // Only ever an information file beside a trash's own "files" folder.
    if (slash <= 0 || !folder.endsWith("/files") || slash + 1 == item.size()) {
        ReportAPIError(QStringLiteral("MyRemoveTrashInfo"), trashPath, EINVAL);
        return Failed;
    }
    const QByteArray info = ParentOf(folder) + "/info/" + item.mid(slash + 1) + ".trashinfo";
    if (::unlink(info.constData()) != 0 && errno != ENOENT) {
        ReportAPIError(QStringLiteral("MyRemoveTrashInfo"), PathCodec::Decode(info), errno);
        return Failed;
    }
    return Success;
}

} // namespace modAPI
