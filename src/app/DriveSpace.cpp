#include "DriveSpace.h"

#include "AppError.h"
#include "modAPI.h"
#include "modCommon.h"

#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <cmath>

namespace DriveSpace {

namespace {

bool IsListedFileSystem(const modAPI::MountEntry& m) {
    // Compressed images of installed packages and stacked views are not disks of their own.
    return !modAPI::IsVirtualFileSystem(m.FsType) && m.FsType != u"squashfs" &&
           m.FsType != u"overlay" && m.FsType != u"tmpfs" && m.FsType != u"ramfs";
}

double RoundTo4(double v) {
    return std::round(v * 10000.0) / 10000.0;
}

} // namespace

QStringList DriveList() {
    std::vector<modAPI::MountEntry> mounts = modAPI::MountTable();
    std::stable_sort(mounts.begin(), mounts.end(),
                     [](const auto& a, const auto& b) { return a.MountPoint < b.MountPoint; });
    QStringList list;
    QSet<QString> devices;
    QSet<QString> points;
    for (const modAPI::MountEntry& m : mounts) {
        if (!IsListedFileSystem(m) || points.contains(m.MountPoint))
            continue;
        // A bind mount repeats a device that is already listed under its first mount point.
        if (m.Device.startsWith(u'/') && devices.contains(m.Device))
            continue;
        devices.insert(m.Device);
        points.insert(m.MountPoint);
        QString entry = modCommon::QualifyPath(m.MountPoint);
        // Only local block devices are asked for their label: asking a network share can
        // hang for as long as the share does not answer.
        modAPI::DriveType type = modAPI::DriveType::Unknown;
        if (m.Device.startsWith(QStringLiteral("/dev/")) &&
            modAPI::MyGetDriveType(entry, type) == Success && type == modAPI::DriveType::Fixed) {
            const QString label = QStorageInfo(m.MountPoint).name();
            if (!label.isEmpty())
                entry += QStringLiteral(" [") + label + QStringLiteral("]");
        }
        list.append(entry);
    }
    return list;
}

QString GetDriveLabel(const QString& strDrive, const QString& strListEntry, QString& defaultDrive) {
    QString volume;
    const qsizetype open = strListEntry.indexOf(u'[');
    if (open >= 0) {
        const qsizetype close = strListEntry.indexOf(u']', open + 1);
        volume = strListEntry.mid(open + 1, close < 0 ? -1 : close - open - 1);
    }
    modAPI::DriveType type = modAPI::DriveType::Unknown;
    if (modAPI::MyGetDriveType(strDrive, type) != Success || type != modAPI::DriveType::Fixed)
        return QString();
    const QString shown = modCommon::UnQualifyPath(strDrive);
    const QString result = volume.isEmpty()
                               ? QStringLiteral("Local Disk (") + shown + QStringLiteral(")")
                               : volume + QStringLiteral(" (") + shown + QStringLiteral(")");
    if (defaultDrive.trimmed().isEmpty())
        defaultDrive = strDrive;
    return result;
}

void FormatDisplay(double bytes, double& value, QString& unit) {
    double v = bytes;
    if (v <= 1024) {
        value = v;
        unit = QStringLiteral(" bytes");
        return;
    }
    v = RoundTo4(v / 1024);
    if (v <= 1024) {
        value = v;
        unit = QStringLiteral(" KB");
        return;
    }
    v = RoundTo4(v / 1024);
    if (v <= 1024) {
        value = v;
        unit = QStringLiteral(" MB");
        return;
    }
    value = RoundTo4(v / 1024);
    unit = QStringLiteral(" GB");
}

QString FormatAmount(double value) {
    const bool negative = value < 0;
    const qint64 cents = qint64(std::llround(std::fabs(value) * 100.0));
    const qint64 whole = cents / 100;
    const int fraction = int(cents % 100);
    QString digits = whole == 0 ? QString() : QString::number(whole);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return (negative ? QStringLiteral("-") : QString()) + digits + u'.' +
           QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
}

namespace {

QString AmountText(double bytes) {
    double value = 0;
    QString unit;
    FormatDisplay(bytes, value, unit);
    return FormatAmount(value) + unit;
}

} // namespace

Chart ChartFromSpace(const QString& caption, quint64 freeToCaller, quint64 total,
                     quint64 totalFree) {
    Chart chart;
    const double f = double(totalFree);
    const double used = double(total) - f;
    chart.FreeValue = f;
    chart.UsedValue = (used >= f * 0.1 / 100 || used <= 0) ? used : f * 0.1 / 100;
    if (freeToCaller != 0) {
        chart.RowLabel = caption;
        chart.FreeLabel = QStringLiteral("Total free Space - ") + AmountText(f);
        chart.UsedLabel = QStringLiteral("Total used space - ") + AmountText(used);
        chart.LegendVisible = true;
    } else {
        chart.RowLabel = caption + QStringLiteral(" is not ready");
        chart.LegendVisible = false;
    }
    return chart;
}

Chart ChartForDrive(const QString& caption, const QString& root) {
    quint64 a = 0;
    quint64 t = 0;
    quint64 f = 0;
    if (modAPI::MyGetDiskFreeSpaceEx(root, a, t, f) != Success)
        a = t = f = 0;
    return ChartFromSpace(caption, a, t, f);
}

} // namespace DriveSpace
