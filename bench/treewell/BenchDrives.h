#pragma once

#include <DriveSource.h>

// Shows chosen folders as drives, so the programs here work on trees they built.
class BenchDrives : public DriveSource {
public:
    explicit BenchDrives(QList<DriveInfo> drives) : m_drives(std::move(drives)) {}
    QList<DriveInfo> Drives() const override { return m_drives; }
    QStringList SystemMountPoints() const override { return {}; }

private:
    QList<DriveInfo> m_drives;
};
