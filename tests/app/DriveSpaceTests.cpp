#include "TestSupport.h"

#include "app/DriveSpace.h"

namespace {

QString Shown(double bytes) {
    double value = 0;
    QString unit;
    DriveSpace::FormatDisplay(bytes, value, unit);
    return DriveSpace::FormatAmount(value) + unit;
}

constexpr quint64 KB = 1024;
constexpr quint64 MB = KB * 1024;
constexpr quint64 GB = MB * 1024;

} // namespace

TEST(DriveSpace, AmountsPickTheirUnitAtTheBoundaries) {
    const struct {
        double Bytes;
        const char* Expected;
    } cases[] = {
        {0, ".00 bytes"},
        {512, "512.00 bytes"},
        {1024, "1,024.00 bytes"},
        {1025, "1.00 KB"},
        {1536, "1.50 KB"},
        {double(3 * MB), "3.00 MB"},
        {double(1024 * MB), "1,024.00 MB"},
        {double(1024 * MB + MB), "1.00 GB"},
        {double(2048 * GB), "2,048.00 GB"},
        {double(1234567 * GB), "1,234,567.00 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shown(c.Bytes), QLatin1String(c.Expected)) << c.Bytes;
}

TEST(DriveSpace, TinyUsedSpaceStaysVisibleButIsReportedTruly) {
    const quint64 free = 10 * GB;
    const auto chart =
        DriveSpace::ChartFromSpace(QStringLiteral("DATA (/data)"), free, free + 2 * KB, free);
    EXPECT_EQ(chart.RowLabel, QStringLiteral("DATA (/data)"));
    EXPECT_DOUBLE_EQ(chart.FreeValue, double(free));
    EXPECT_DOUBLE_EQ(chart.UsedValue, double(free) * 0.001);
    EXPECT_EQ(chart.UsedLabel, QStringLiteral("Total used space - 2.00 KB"));
    EXPECT_EQ(chart.FreeLabel, QStringLiteral("Total free Space - 10.00 GB"));
    EXPECT_TRUE(chart.LegendVisible);

    // A used amount large enough is plotted as it is.
    const auto busy =
        DriveSpace::ChartFromSpace(QStringLiteral("Local Disk (/)"), 3 * GB, 10 * GB, 4 * GB);
    EXPECT_DOUBLE_EQ(busy.UsedValue, double(6 * GB));
    EXPECT_DOUBLE_EQ(busy.FreeValue, double(4 * GB));
}

TEST(DriveSpace, NothingFreeToTheUserReadsNotReady) {
    const auto chart =
        DriveSpace::ChartFromSpace(QStringLiteral("Local Disk (/)"), 0, 10 * GB, 1 * GB);
    EXPECT_EQ(chart.RowLabel, QStringLiteral("Local Disk (/) is not ready"));
    EXPECT_FALSE(chart.LegendVisible);
    // A drive that does not answer at all reads the same way.
    const auto gone = DriveSpace::ChartForDrive(QStringLiteral("X (/nonexistent-drive)"),
                                                QStringLiteral("/nonexistent-drive/"));
    EXPECT_EQ(gone.RowLabel, QStringLiteral("X (/nonexistent-drive) is not ready"));
    EXPECT_FALSE(gone.LegendVisible);
}

TEST(DriveSpace, OnlyFixedDrivesGetACaption) {
    testing_support::AppFolder app;
    QString defaultDrive;
    // The proc file system is a kernel mount, never a disk; a path that is no mount point
    // has no type at all.
    EXPECT_EQ(
        DriveSpace::GetDriveLabel(QStringLiteral("/proc/"), QStringLiteral("/proc/"), defaultDrive),
        QString());
    EXPECT_EQ(DriveSpace::GetDriveLabel(QStringLiteral("/no/such/mount/"),
                                        QStringLiteral("/no/such/mount/"), defaultDrive),
              QString());
    EXPECT_TRUE(defaultDrive.isEmpty());

    // Every listed fixed drive is captioned from its label, or as a local disk, and the first
    // one becomes the default.
    QString first;
    for (const QString& entry : DriveSpace::DriveList()) {
        const QString root = entry.section(u' ', 0, 0);
        EXPECT_TRUE(root.endsWith(u'/')) << entry.toStdString();
        const QString caption = DriveSpace::GetDriveLabel(root, entry, defaultDrive);
        if (caption.isEmpty())
            continue;
        if (first.isEmpty())
            first = root;
        const QString shown = root == u"/" ? root : root.chopped(1);
        if (entry.contains(u'['))
            EXPECT_EQ(caption, entry.section(u'[', 1).section(u']', 0, 0) + QStringLiteral(" (") +
                                   shown + u')');
        else
            EXPECT_EQ(caption, QStringLiteral("Local Disk (") + shown + u')');
    }
    EXPECT_EQ(defaultDrive, first);
}
