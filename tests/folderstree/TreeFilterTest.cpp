#include "TreeFixture.h"

#include <SystemDriveSource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using TreeFilter = TreeFixture;

namespace {

void MakeReadOnly(const QString& path) {
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0555), 0);
}

void Link(const QString& target, const QString& link) {
    ASSERT_EQ(symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
              0);
}

} // namespace

TEST_F(TreeFilter, HiddenReadOnlyAndKernelFoldersFollowTheFlags) {
    MakeDir(u"drive/plain"_s);
    MakeDir(u"drive/.hidden"_s);
    MakeReadOnly(MakeDir(u"drive/locked"_s));
    // Stands for a proc or sysfs mount: hidden and system at once.
    const QString kernel = MakeDir(u"drive/kernel"_s);

    MakeList({Drive(u"drive"_s)}, {kernel});
    EXPECT_EQ(ChildTexts(ExpandAt(u"drive"_s)), QStringList{u" plain"_s});

    MakeList({Drive(u"drive"_s)}, {kernel});
    m_list->HiddenFoldersFiles(true);
    m_list->ReadOnlyFoldersFiles(true);
    m_list->SystemFoldersFiles(true);
    const QStringList all = {u" .hidden"_s, u" locked"_s, u" plain"_s};
    EXPECT_EQ(ChildTexts(ExpandAt(u"drive"_s)), all);
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(TreeFilter, FlagsApplyFromTheNextReadWithoutRefilteringReadNodes) {
    MakeDir(u"drive/a/.inner"_s);
    MakeDir(u"drive/.top"_s);
    FoldersList& list = MakeList({Drive(u"drive"_s)});
    QTreeWidgetItem* drive = ExpandAt(u"drive"_s);
    ASSERT_EQ(ChildTexts(drive), QStringList{u" a"_s});
    // The probe of "a" ran with hidden folders excluded: no expand button.
    EXPECT_EQ(drive->child(0)->childCount(), 0);

    list.HiddenFoldersFiles(true);
    drive->setExpanded(false);
    drive->setExpanded(true);
    EXPECT_EQ(ChildTexts(drive), QStringList{u" a"_s});
}

TEST_F(TreeFilter, ExpandButtonOnlyForAVisibleSubFolder) {
    MakeDir(u"drive/onlyHidden/.dot"_s);
    MakeReadOnly(MakeDir(u"drive/onlyLocked/locked"_s));
    const QString kernel = MakeDir(u"drive/onlyKernel/proc"_s);
    MakeDir(u"drive/onlyLink"_s);
    MakeDir(u"drive/target/inside"_s);
    Link(PathOf(u"drive/target"_s), PathOf(u"drive/onlyLink/link"_s));
    MakeDir(u"drive/onlyFiles"_s);
    QFile file(PathOf(u"drive/onlyFiles/a.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    MakeDir(u"drive/real/sub"_s);

    MakeList({Drive(u"drive"_s)}, {kernel});
    ExpandAt(u"drive"_s);
    for (const QString& name :
         {u"onlyHidden"_s, u"onlyLocked"_s, u"onlyKernel"_s, u"onlyLink"_s, u"onlyFiles"_s}) {
        QTreeWidgetItem* node = NodeAt(u"drive/"_s + name);
        ASSERT_NE(node, nullptr) << name.toStdString();
        EXPECT_EQ(node->childCount(), 0) << name.toStdString();
    }
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"drive/real"_s)));
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"drive/target"_s)));

    // With the flags set the same folders do have something to show, except the
    // kernel mount and the link.
    MakeList({Drive(u"drive"_s)}, {kernel});
    m_list->HiddenFoldersFiles(true);
    m_list->ReadOnlyFoldersFiles(true);
    m_list->SystemFoldersFiles(true);
    ExpandAt(u"drive"_s);
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"drive/onlyHidden"_s)));
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"drive/onlyLocked"_s)));
    EXPECT_EQ(NodeAt(u"drive/onlyKernel"_s)->childCount(), 0);
    EXPECT_EQ(NodeAt(u"drive/onlyLink"_s)->childCount(), 0);
}

TEST_F(TreeFilter, LinksToFoldersAreNeitherShownNorFollowed) {
    MakeDir(u"drive/real"_s);
    MakeDir(u"elsewhere/secret"_s);
    Link(PathOf(u"elsewhere"_s), PathOf(u"drive/outside"_s));
    Link(PathOf(u"drive"_s), PathOf(u"drive/real/loop"_s));
    FoldersList& list = MakeList({Drive(u"drive"_s)});
    list.HiddenFoldersFiles(true);
    list.ReadOnlyFoldersFiles(true);
    list.SystemFoldersFiles(true);

    EXPECT_EQ(ChildTexts(ExpandAt(u"drive"_s)), QStringList{u" real"_s});
    EXPECT_EQ(NodeAt(u"drive/real"_s)->childCount(), 0);

    // Nor can a path through a link be selected.
    list.SetUserSelection({PathOf(u"drive/outside/secret"_s)});
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0].first, 101);
    EXPECT_EQ(list.GetUserSelection(), QStringList{QString()});
}

TEST_F(TreeFilter, BigFolderIsListedToItsEnd) {
    // More entries than a 16-bit counter can hold. Creating folders on a disk file
    // system is slow, so a memory file system is used where there is one.
    QTemporaryDir memory(u"/dev/shm/treewell-XXXXXX"_s);
    const QString place = memory.isValid() ? memory.path() : PathOf(u"disk"_s);
    const int count = 32800;
    const QByteArray base = QFile::encodeName(place) + "/big/";
    ASSERT_TRUE(QDir().mkpath(place + u"/big"_s));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(mkdir((base + QByteArray::number(i)).constData(), 0755), 0);

    DriveInfo drive = Drive({});
    drive.mountPoint = place;
    MakeList({drive});
    Root()->child(0)->setExpanded(true);
    QTreeWidgetItem* big = Node(place + u"/big"_s);
    ASSERT_NE(big, nullptr);
    big->setExpanded(true);
    EXPECT_EQ(big->childCount(), count);
    QStringList names;
    for (int i = 0; i < big->childCount(); ++i)
        names.append(big->child(i)->text(0));
    names.removeDuplicates();
    EXPECT_EQ(names.size(), count);
}

TEST_F(TreeFilter, SystemDrivesLeaveOutKernelFileSystems) {
    SystemDriveSource system;
    const QStringList kernelMounts = system.SystemMountPoints();
    if (!kernelMounts.contains(u"/proc"_s))
        GTEST_SKIP() << "no proc mount in this environment";
    for (const DriveInfo& drive : system.Drives()) {
        EXPECT_FALSE(kernelMounts.contains(drive.mountPoint)) << drive.mountPoint.toStdString();
        EXPECT_TRUE(QFileInfo(drive.mountPoint).isDir()) << drive.mountPoint.toStdString();
    }

    FoldersList list;
    list.HiddenFoldersFiles(true);
    list.SystemFoldersFiles(true);
    list.ReadOnlyFoldersFiles(true);
    QTreeWidgetItem* root = list.Tree()->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* drive = root->child(i);
        if (drive->data(0, FoldersList::KeyRole).toString() != u"/")
            continue;
        drive->setExpanded(true);
        EXPECT_FALSE(ChildTexts(drive).contains(u" proc"_s));
        EXPECT_TRUE(ChildTexts(drive).contains(u" tmp"_s) || ChildTexts(drive).contains(u" usr"_s));
    }
}
