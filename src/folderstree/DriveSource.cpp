#include "DriveSource.h"

DriveSource::~DriveSource() = default;

QStringList DriveSource::HangingMountPoints() const {
    QStringList mountPoints;
    for (const DriveInfo& drive : Drives())
        if (drive.mayHang)
            mountPoints.append(drive.mountPoint);
    return mountPoints;
}
