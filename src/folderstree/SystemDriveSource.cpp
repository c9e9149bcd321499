#include "SystemDriveSource.h"

#include "FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

bool IsUnder(const QString& path, QStringView folder) {
    if (folder == u"/")
        return true;
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() &&
                              path.at(folder.size()) == u'/');
}

// Kernel and runtime mounts that a person does not think of as disks. Removable
// media mounted by udisks under /run/media stay.
bool IsPlumbingMount(const QString& mountPoint) {
    if (IsUnder(mountPoint, u"/proc") || IsUnder(mountPoint, u"/sys") ||
        IsUnder(mountPoint, u"/dev"))
        return true;
    if (IsUnder(mountPoint, u"/run") || IsUnder(mountPoint, u"/var/run") ||
        IsUnder(mountPoint, u"/var/lock"))
        return !IsUnder(mountPoint, u"/run/media");
    return false;
}

bool IsNetworkType(const QString& fileSystemType) {
    static const QSet<QString> networkTypes = {u"nfs"_s,
                                               u"nfs4"_s,
                                               u"cifs"_s,
                                               u"smb3"_s,
                                               u"smbfs"_s,
                                               u"9p"_s,
                                               u"sshfs"_s,
                                               u"fuse.sshfs"_s,
                                               u"fuse.rclone"_s,
                                               u"fuse.s3fs"_s,
                                               u"fuse.curlftpfs"_s,
                                               u"davfs"_s,
                                               u"fuse.davfs2"_s,
                                               u"fuse.glusterfs"_s,
                                               u"glusterfs"_s,
                                               u"ceph"_s,
                                               u"afs"_s,
                                               u"ncpfs"_s,
                                               u"coda"_s,
                                               u"lustre"_s};
    return networkTypes.contains(fileSystemType);
}

// /sys/class/block/NAME is a link into the device tree; a partition's own folder has
// no "removable" file, its disk (the parent folder) has.
bool IsRemovableBlockDevice(const QString& device) {
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return false;
    QString sysDir =
        QFileInfo(u"/sys/class/block/"_s + QFileInfo(node).fileName()).canonicalFilePath();
    if (sysDir.isEmpty())
        return false;
    if (QFile::exists(sysDir + u"/partition"_s))
        sysDir = QFileInfo(sysDir).path();
    QFile removable(sysDir + u"/removable"_s);
    if (!removable.open(QIODevice::ReadOnly))
        return false;
    return removable.readAll().trimmed() == "1";
}

// The mount table writes blank, tab, newline and backslash as "\" and three octal digits.
QByteArray UnescapeOctal(QByteArrayView field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArrayView digits = field.sliced(i + 1, 3);
            bool octal = true;
            int code = 0;
            for (const char c : digits) {
                octal = octal && c >= '0' && c <= '7';
                code = code * 8 + (c - '0');
            }
            if (octal && code < 256) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

// udev names its by-label links with "\xHH" for the bytes a file name cannot hold.
QString UnescapeLabel(const QString& linkName) {
    const QByteArray name = FileNames::Encode(linkName);
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int code = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return QString::fromUtf8(out);
}

// Only for mounts that cannot hang: a container runtime binds single files such as
// /etc/hosts over the root file system, and those are no drives.
bool IsFolder(const QString& path) {
    struct stat st;
    return fstatat(AT_FDCWD, FileNames::Encode(path).constData(), &st,
                   AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
           S_ISDIR(st.st_mode);
}

} // namespace

SystemDriveSource::SystemDriveSource()
    : SystemDriveSource(u"/proc/self/mountinfo"_s, u"/dev/disk/by-label"_s) {}

SystemDriveSource::SystemDriveSource(QString mountInfoFile, QString labelFolder)
    : m_mountInfoFile(std::move(mountInfoFile)), m_labelFolder(std::move(labelFolder)) {}

bool SystemDriveSource::IsVirtualFileSystem(const QString& fileSystemType) {
    static const QSet<QString> virtualTypes = {
        u"proc"_s,        u"sysfs"_s,    u"devtmpfs"_s, u"devpts"_s,     u"cgroup"_s,
        u"cgroup2"_s,     u"debugfs"_s,  u"tracefs"_s,  u"securityfs"_s, u"pstore"_s,
        u"bpf"_s,         u"configfs"_s, u"mqueue"_s,   u"hugetlbfs"_s,  u"fusectl"_s,
        u"binfmt_misc"_s, u"efivarfs"_s, u"autofs"_s,   u"rpc_pipefs"_s, u"nsfs"_s};
    return virtualTypes.contains(fileSystemType);
}

bool SystemDriveSource::MayHang(const QString& fileSystemType) {
    return IsNetworkType(fileSystemType) || fileSystemType == u"fuse" ||
           fileSystemType == u"fuseblk" || fileSystemType.startsWith(u"fuse.");
}

DriveType SystemDriveSource::TypeOf(const QString& fileSystemType, const QString& device) {
    if (fileSystemType == u"tmpfs" || fileSystemType == u"ramfs")
        return DriveType::RamDisk;
    if (IsNetworkType(fileSystemType))
        return DriveType::Network;
    if (fileSystemType == u"iso9660" || fileSystemType == u"udf")
        return DriveType::CdRom;
    if (device.startsWith(u"/dev/"))
        return IsRemovableBlockDevice(device) ? DriveType::Removable : DriveType::Fixed;
    return DriveType::Unknown;
}

QList<MountEntry> SystemDriveSource::ParseMountInfo(QByteArrayView text) {
    QList<MountEntry> entries;
    // Fields: id parent major:minor root mount-point options [optional...] - type source
    // super-options. Blanks inside a field are escaped, so splitting at blanks is safe.
    for (const QByteArray& line : text.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-", 6);
        if (dash < 0 || fields.size() < dash + 3)
            continue;
        MountEntry entry;
        entry.device = QString::fromLatin1(fields[2]);
        entry.root = FileNames::Decode(UnescapeOctal(fields[3]));
        entry.mountPoint = FileNames::Decode(UnescapeOctal(fields[4]));
        entry.type = QString::fromLatin1(UnescapeOctal(fields[dash + 1]));
        entry.source = FileNames::Decode(UnescapeOctal(fields[dash + 2]));
        if (entry.mountPoint.startsWith(u'/'))
            entries.append(entry);
    }
    return entries;
}

QList<MountEntry> SystemDriveSource::Mounts() const {
    // A file of the proc file system, answered by the kernel without touching a mount.
    QFile file(m_mountInfoFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseMountInfo(file.readAll());
}

QString SystemDriveSource::LabelOf(const QString& device) const {
    if (!device.startsWith(u'/'))
        return {};
    const QString node = QFileInfo(device).canonicalFilePath();
    if (node.isEmpty())
        return {};
    const QFileInfoList links =
        QDir(m_labelFolder).entryInfoList(QDir::System | QDir::Files | QDir::Hidden);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == node)
            return UnescapeLabel(link.fileName());
    }
    return {};
}

QList<DriveInfo> SystemDriveSource::Drives() const {
    // A later mount on the same point hides the earlier one; the map also gives the
    // mount-point order.
    QMap<QString, MountEntry> visible;
    for (const MountEntry& entry : Mounts())
        visible.insert(entry.mountPoint, entry);

    QStringList hanging;
    QList<MountEntry> candidates;
    QSet<QString> wholeDevices;
    for (const MountEntry& entry : std::as_const(visible)) {
        if (MayHang(entry.type))
            hanging.append(entry.mountPoint);
        if (IsVirtualFileSystem(entry.type) || entry.type == u"squashfs" ||
            IsPlumbingMount(entry.mountPoint))
            continue;
        candidates.append(entry);
        if (entry.root == u"/")
            wholeDevices.insert(entry.device);
    }

    QList<DriveInfo> drives;
    QSet<QString> viewsSeen;
    for (const MountEntry& entry : std::as_const(candidates)) {
        // Reaching a mount point means passing every mount above it, so a local disk
        // mounted inside a share hangs with the share.
        const bool mayHang =
            MayHang(entry.type) ||
            std::any_of(hanging.cbegin(), hanging.cend(), [&](const QString& above) {
                return above != entry.mountPoint && IsUnder(entry.mountPoint, above);
            });
        if (!mayHang && !IsFolder(entry.mountPoint))
            continue;
        // A bind mount shows files that another drive shows already: the mount of the
        // whole file system stands for it, else the first mount of each part.
        if (entry.root != u"/" && wholeDevices.contains(entry.device))
            continue;
        const QString view = entry.device + u' ' + entry.root;
        if (viewsSeen.contains(view))
            continue;
        viewsSeen.insert(view);

        DriveInfo drive;
        drive.mountPoint = entry.mountPoint;
        drive.type = TypeOf(entry.type, entry.source);
        drive.mayHang = mayHang;
        // Labels come from links in /dev, so even a FUSE disk (an NTFS stick) has one
        // without a look into its mount.
        if (drive.type == DriveType::Network)
            drive.remoteName = entry.source;
        else
            drive.label = LabelOf(entry.source);
        drives.append(drive);
    }
    return drives;
}

QStringList SystemDriveSource::SystemMountPoints() const {
    QStringList mountPoints;
    for (const MountEntry& entry : Mounts())
        if (IsVirtualFileSystem(entry.type))
            mountPoints.append(entry.mountPoint);
    return mountPoints;
}

QStringList SystemDriveSource::HangingMountPoints() const {
    const QList<MountEntry> mounts = Mounts();
    QStringList hanging;
    for (const MountEntry& entry : mounts)
        if (MayHang(entry.type))
            hanging.append(entry.mountPoint);
    // A mount inside a share is reached through the share, so it hangs with it.
    QStringList mountPoints = hanging;
    for (const MountEntry& entry : mounts) {
        if (!mountPoints.contains(entry.mountPoint) &&
            std::any_of(hanging.cbegin(), hanging.cend(),
                        [&](const QString& above) { return IsUnder(entry.mountPoint, above); }))
            mountPoints.append(entry.mountPoint);
    }
    return mountPoints;
}
