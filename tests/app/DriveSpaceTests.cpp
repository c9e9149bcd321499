// The drive space chart: amounts in their units, a sliver of used space kept visible, a
// drive that gives the user nothing as not ready, and captions for fixed drives only.

#include "TestSupport.h"

#include "app/DriveSpace.h"

using namespace Qt::StringLiterals;

namespace {

constexpr quint64 KB = 1024;
constexpr quint64 MB = KB * 1024;
constexpr quint64 GB = MB * 1024;

} // namespace

TEST(DriveSpace, AmountsPickTheirUnitAtTheBoundaries) {
    for (const auto& [bytes, expected] :
         {std::pair{0.0, ".00 bytes"}, std::pair{512.0, "512.00 bytes"},
          std::pair{1024.0, "1,024.00 bytes"}, std::pair{1025.0, "1.00 KB"},
          std::pair{1536.0, "1.50 KB"}, std::pair{double(3 * MB), "3.00 MB"},
          std::pair{double(1024 * MB), "1,024.00 MB"}, std::pair{double(1025 * MB), "1.00 GB"},
          std::pair{double(2048 * GB), "2,048.00 GB"},
          std::pair{double(1234567 * GB), "1,234,567.00 GB"}}) {
        double value = 0;
        QString unit;
        DriveSpace::FormatDisplay(bytes, value, unit);
        EXPECT_EQ(DriveSpace::FormatAmount(value) + unit, QLatin1String(expected)) << bytes;
    }
}

TEST(DriveSpace, TinyUsedSpaceStaysVisibleButIsReportedTruly) {
    const quint64 free = 10 * GB;
    const auto chart = DriveSpace::ChartFromSpace(u"DATA (/data)"_s, free, free + 2 * KB, free);
    EXPECT_EQ(chart.RowLabel, u"DATA (/data)"_s);
    EXPECT_DOUBLE_EQ(chart.FreeValue, double(free));
    EXPECT_DOUBLE_EQ(chart.UsedValue, double(free) * 0.001);
    EXPECT_EQ(chart.UsedLabel, u"Total used space - 2.00 KB"_s);
    EXPECT_EQ(chart.FreeLabel, u"Total free Space - 10.00 GB"_s);
    EXPECT_TRUE(chart.LegendVisible);
    // A used amount large enough is plotted as it is.
    EXPECT_DOUBLE_EQ(DriveSpace::ChartFromSpace(u"/"_s, 3 * GB, 10 * GB, 4 * GB).UsedValue,
                     double(6 * GB));
}

TEST(DriveSpace, NothingFreeToTheUserReadsNotReady) {
    // Nothing the user may use, or a drive that does not answer at all.
    for (const auto& chart :
         {DriveSpace::ChartFromSpace(u"Local Disk (/)"_s, 0, 10 * GB, 1 * GB),
          DriveSpace::ChartForDrive(u"Local Disk (/)"_s, u"/nonexistent-drive/"_s)}) {
        EXPECT_EQ(chart.RowLabel, u"Local Disk (/) is not ready"_s);
        EXPECT_FALSE(chart.LegendVisible);
    }
}

TEST(DriveSpace, OnlyFixedDrivesGetACaption) {
    testing_support::AppFolder app;
    QString defaultDrive;
    // The proc file system is a kernel mount, never a disk; a path that is no mount point
    // has no type at all.
    for (const QString& root : {u"/proc/"_s, u"/no/such/mount/"_s})
        EXPECT_EQ(DriveSpace::GetDriveLabel(root, root, defaultDrive), QString());
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
        const QString label =
            entry.contains(u'[') ? entry.section(u'[', 1).section(u']', 0, 0) : u"Local Disk"_s;
        EXPECT_EQ(caption, label + u" ("_s + shown + u')');
    }
    EXPECT_EQ(defaultDrive, first);
}
