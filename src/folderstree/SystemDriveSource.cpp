#include "SystemDriveSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool IsUnder(const QString& path, QStringView folder) {
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

// mountinfo escapes blanks, tabs, newlines and backslashes as octal.
QString UnescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

} // namespace

bool SystemDriveSource::IsVirtualFileSystem(const QString& fileSystemType) {
    static const QSet<QString> virtualTypes = {
        u"proc"_s,        u"sysfs"_s,    u"devtmpfs"_s, u"devpts"_s,     u"cgroup"_s,
        u"cgroup2"_s,     u"debugfs"_s,  u"tracefs"_s,  u"securityfs"_s, u"pstore"_s,
        u"bpf"_s,         u"configfs"_s, u"mqueue"_s,   u"hugetlbfs"_s,  u"fusectl"_s,
        u"binfmt_misc"_s, u"efivarfs"_s, u"autofs"_s,   u"rpc_pipefs"_s, u"nsfs"_s};
    return virtualTypes.contains(fileSystemType);
}

DriveType SystemDriveSource::TypeOf(const QString& fileSystemType, const QString& device) {
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
                                               u"afs"_s};
    if (fileSystemType == u"tmpfs" || fileSystemType == u"ramfs")
        return DriveType::RamDisk;
    if (networkTypes.contains(fileSystemType))
        return DriveType::Network;
    if (fileSystemType == u"iso9660" || fileSystemType == u"udf")
        return DriveType::CdRom;
    if (device.startsWith(u"/dev/"))
        return IsRemovableBlockDevice(device) ? DriveType::Removable : DriveType::Fixed;
    return DriveType::Unknown;
}

QList<DriveInfo> SystemDriveSource::Drives() const {
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath() < b.rootPath();
    });

    QList<DriveInfo> drives;
    QSet<QString> blockDevicesSeen;
    for (const QStorageInfo& volume : volumes) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString type = QString::fromLatin1(volume.fileSystemType());
        const QString device = QString::fromLocal8Bit(volume.device());
        const QString mountPoint = volume.rootPath();
        if (IsVirtualFileSystem(type) || type == u"squashfs" || IsPlumbingMount(mountPoint))
            continue;
        // Container runtimes bind single files (/etc/hosts) over the root file system.
        if (!QFileInfo(mountPoint).isDir())
            continue;
        // A bind mount or a second mount of a device already listed shows the same files
        // again; the first (shortest) mount point stands for the device.
        if (device.startsWith(u"/dev/")) {
            if (blockDevicesSeen.contains(device))
                continue;
            blockDevicesSeen.insert(device);
        }
        DriveInfo drive;
        drive.mountPoint = mountPoint;
        drive.label = volume.name();
        drive.type = TypeOf(type, device);
        if (drive.type == DriveType::Network)
            drive.remoteName = device;
        drives.append(drive);
    }
    return drives;
}

QStringList SystemDriveSource::SystemMountPoints() const {
    QStringList mountPoints;
    QFile mountInfo(u"/proc/self/mountinfo"_s);
    if (!mountInfo.open(QIODevice::ReadOnly | QIODevice::Text))
        return mountPoints;
    // Fields: id parent major:minor root mount-point options [optional...] - type source
    for (const QByteArray& line : mountInfo.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size())
            continue;
        if (IsVirtualFileSystem(QString::fromLatin1(fields[dash + 1])))
            mountPoints.append(UnescapeMountField(fields[4]));
    }
    return mountPoints;
}
