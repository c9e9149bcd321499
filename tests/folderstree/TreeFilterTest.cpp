#include "TreeFixture.h"

#include <SystemDriveSource.h>

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using TreeFilter = TreeFixture;

TEST_F(TreeFilter, ListingAndExpandButtonsFollowTheFlagsButNeverLinksOrKernelMounts) {
    MakeDir(u"drive/.hidden"_s);
    MakeDir(u"drive/onlyHidden/.dot"_s);
    MakeDir(u"drive/onlyFiles"_s);
    MakeFile(u"drive/onlyFiles/a.txt"_s);
    MakeDir(u"drive/real/sub"_s);
    MakeDir(u"elsewhere/secret"_s);
    MakeDir(u"drive/onlyLink"_s);
    for (const char* link : {"drive/outside", "drive/onlyLink/link"})
        ASSERT_TRUE(QFile::link(PathOf(u"elsewhere"_s), PathOf(QString::fromLatin1(link))));
    for (const QString& locked : {u"drive/locked"_s, u"drive/onlyLocked/locked"_s})
        ASSERT_EQ(chmod(QFile::encodeName(MakeDir(locked)).constData(), 0555), 0);
    // Stand for proc or sysfs mounts: hidden and system at once.
    const QStringList kernel = {MakeDir(u"drive/kernel"_s), MakeDir(u"drive/onlyKernel/proc"_s)};

    struct Row {
        QString name;
        bool shown, expandable, shownWithFlags, expandableWithFlags;
    };
    const QList<Row> rows = {
        {u".hidden"_s, false, false, true, false},   {u"locked"_s, false, false, true, false},
        {u"kernel"_s, false, false, false, false},   {u"outside"_s, false, false, false, false},
        {u"onlyHidden"_s, true, false, true, true},  {u"onlyLocked"_s, true, false, true, true},
        {u"onlyKernel"_s, true, false, true, false}, {u"onlyLink"_s, true, false, true, false},
        {u"onlyFiles"_s, true, false, true, false},  {u"real"_s, true, true, true, true},
    };
    for (const bool flags : {false, true}) {
        FoldersList& list = MakeList({Drive(u"drive"_s)}, kernel);
        list.HiddenFoldersFiles(flags);
        list.ReadOnlyFoldersFiles(flags);
        list.SystemFoldersFiles(flags);
        QTreeWidgetItem* drive = ExpandAt(u"drive"_s);
        int shown = 0;
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name.toStdString() + (flags ? " with flags" : ""));
            QTreeWidgetItem* node = NodeAt(u"drive/"_s + row.name);
            ASSERT_EQ(node != nullptr, flags ? row.shownWithFlags : row.shown);
            shown += node != nullptr;
            if (node) {
                EXPECT_EQ(node->childCount() != 0,
                          flags ? row.expandableWithFlags : row.expandable);
            }
        }
        EXPECT_EQ(drive->childCount(), shown);

        // Nor can a path through a link be selected: it stays saved, but nothing in
        // the tree is ticked for it.
        list.SetUserSelection({PathOf(u"drive/outside/secret"_s)});
        EXPECT_EQ(m_errors,
                  (QList<QPair<int, QString>>{{101, PathOf(u"drive/outside/secret not found"_s)}}));
        EXPECT_EQ(list.GetUserSelection(), QStringList{PathOf(u"drive/outside/secret"_s)});
        EXPECT_TRUE(TickedKeys().isEmpty());
    }
}

TEST_F(TreeFilter, BigFolderIsListedToItsEnd) {
    // More entries than a 16-bit counter can hold; a memory file system where there is
    // one, as creating folders on a disk is slow.
    QTemporaryDir memory(u"/dev/shm/treewell-XXXXXX"_s);
    const QString place = memory.isValid() ? memory.path() : MakeDir(u"disk"_s);
    const int count = 32800;
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(mkdir(QFile::encodeName(place + u'/' + QString::number(i)).constData(), 0755), 0);
    MakeList({DriveInfo{place, {}, {}, DriveType::Fixed}});
    Root()->child(0)->setExpanded(true);
    EXPECT_EQ(Root()->child(0)->childCount(), count);
}

TEST(SystemDrives, KernelFileSystemsAreSystemFoldersAndNeverDrives) {
    if (!QFileInfo::exists(u"/proc/self/mountinfo"_s))
        GTEST_SKIP() << "no proc mount in this environment";
    SystemDriveSource system;
    const QStringList kernelMounts = system.SystemMountPoints();
    EXPECT_TRUE(kernelMounts.contains(u"/proc"_s));
    for (const DriveInfo& drive : system.Drives())
        EXPECT_FALSE(kernelMounts.contains(drive.mountPoint)) << drive.mountPoint.toStdString();
}
