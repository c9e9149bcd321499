#pragma once

#include "TreewellExport.h"

#include <QList>
#include <QString>
#include <QStringList>

enum class DriveType { Unknown, Removable, Fixed, Network, CdRom, RamDisk };

// One mounted file system as the folder tree shows it.
struct TREEWELL_EXPORT DriveInfo {
    QString mountPoint; // "/" or "/media/usb", never with a trailing "/" except the root
    QString label;      // volume label, empty when the file system has none
    QString remoteName; // mounted device of a network drive ("//srv/docs", "srv:/export")
    DriveType type = DriveType::Unknown;
    // A network or FUSE file system: when its server or daemon is gone, every call into
    // it can block for good, so the tree looks into it only off its own thread and
    // with a time limit.
    bool mayHang = false;
};

// Where the tree gets its drives from. The system source reads the mount table;
// a host or a test can hand the control another one.
class TREEWELL_EXPORT DriveSource {
public:
    virtual ~DriveSource();

    // Drives in mount-point order.
    virtual QList<DriveInfo> Drives() const = 0;

    // Mount points of kernel virtual file systems (proc, sysfs, ...). Listing one of
    // them can block or never end, so the tree treats them as hidden system folders.
    virtual QStringList SystemMountPoints() const = 0;

    // Every mount point of a file system that may hang, also those not shown as a drive
    // (a second mount of one share). By default the drives marked mayHang.
    virtual QStringList HangingMountPoints() const;
};
