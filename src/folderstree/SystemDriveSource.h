#pragma once

#include "DriveSource.h"

#include <QByteArrayView>

// One line of the kernel's mount table (/proc/self/mountinfo).
struct TREEWELL_EXPORT MountEntry {
    QString mountPoint; // as a path the control carries (see FileNames)
    QString root;       // the folder of the file system mounted there ("/" for all of it)
    QString type;       // "ext4", "nfs4", "fuse.sshfs"
    QString source;     // "/dev/sda1", "//srv/docs", "srv:/export"
    QString device;     // "major:minor", the same for every mount of one file system
};

// The mounted file systems a person would call disks. Everything comes from the mount
// table and from /dev and /sys, which never block: a network share that stopped
// answering would hold up any call that looks into it (statfs, stat, a listing).
class TREEWELL_EXPORT SystemDriveSource : public DriveSource {
public:
    SystemDriveSource();
    // Another mount table and labels folder, so that the rules can be checked on any
    // table without the machine having every kind of drive.
    SystemDriveSource(QString mountInfoFile, QString labelFolder);

    QList<DriveInfo> Drives() const override;
    QStringList SystemMountPoints() const override;
    QStringList HangingMountPoints() const override;

    static QList<MountEntry> ParseMountInfo(QByteArrayView text);

    // Classifies a mount by its file-system type and device.
    static DriveType TypeOf(const QString& fileSystemType, const QString& device);
    static bool IsVirtualFileSystem(const QString& fileSystemType);
    static bool MayHang(const QString& fileSystemType);

private:
    QList<MountEntry> Mounts() const;
    QString LabelOf(const QString& device) const;

    QString m_mountInfoFile;
    QString m_labelFolder;
};
