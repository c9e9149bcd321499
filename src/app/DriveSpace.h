#pragma once

#include <QString>
#include <QStringList>

// What the system statistics window shows for each fixed drive, without the window: the
// drive list, the tab captions, the amounts and the two chart values.
namespace DriveSpace {

// The drives a person would call disks, one entry per drive in mount-point order: the
// root ("/" or "/data/") followed, when the file system has a volume label, by the label
// in square brackets. Read from the mount table only, so no drive is touched.
QStringList DriveList();

// The tab caption for a drive: "LABEL (/data)" or "Local Disk (/)" for a fixed drive, empty
// for every other kind. The first fixed drive met becomes defaultDrive when that is empty.
QString GetDriveLabel(const QString& strDrive, const QString& strListEntry, QString& defaultDrive);

// A byte count in the largest unit that keeps it at most 1024 (" bytes", " KB", " MB",
// " GB"), the value kept to four decimal places.
void FormatDisplay(double bytes, double& value, QString& unit);
// "###,###,###,###.00": grouped with commas, two decimals, no "0" before the point.
QString FormatAmount(double value);

struct Chart {
    QString RowLabel;
    double FreeValue = 0; // the plotted values
    double UsedValue = 0;
    QString FreeLabel; // "Total free Space - 1.00 GB"
    QString UsedLabel; // "Total used space - 2.00 KB"
    bool LegendVisible = false;
};

// The chart of a drive from its three space figures in bytes: free to the caller, total
// and total free. A used amount too small to see is plotted as a thousandth of the free
// space, while its label keeps the true amount.
Chart ChartFromSpace(const QString& caption, quint64 freeToCaller, quint64 total,
                     quint64 totalFree);
// The same, asking the drive; a drive that does not answer reads as "not ready".
Chart ChartForDrive(const QString& caption, const QString& root);

} // namespace DriveSpace
