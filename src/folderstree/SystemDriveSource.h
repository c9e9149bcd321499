#pragma once

#include "DriveSource.h"

// The mounted file systems a person would call disks.
class TREEWELL_EXPORT SystemDriveSource : public DriveSource {
public:
    QList<DriveInfo> Drives() const override;
    QStringList SystemMountPoints() const override;

    // Classifies a mount by its file-system type and device; exposed so that the
    // rules can be checked without the machine having every kind of drive.
    static DriveType TypeOf(const QString& fileSystemType, const QString& device);
    static bool IsVirtualFileSystem(const QString& fileSystemType);
};
