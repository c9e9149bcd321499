#include "TreeFixture.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

using TreeBuild = TreeFixture;

TEST_F(TreeBuild, FreshControlShowsDrivesUnderTheComputerWithNothingRead) {
    MakeDir(u"one/sub"_s);
    MakeDir(u"two"_s);
    MakeList({Drive(u"one"_s), Drive(u"two"_s)});

    QTreeWidgetItem* root = Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(m_list->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(root->text(0), QSysInfo::machineHostName());
    EXPECT_EQ(Key(root), root->text(0));
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(Key(root->child(0)), PathOf(u"one/"_s));
    EXPECT_EQ(Key(root->child(1)), PathOf(u"two/"_s));
    // Every drive offers an expand button before anything is read, even an empty one.
    EXPECT_TRUE(HasPlaceholder(root->child(0)));
    EXPECT_TRUE(HasPlaceholder(root->child(1)));
    EXPECT_FALSE(root->icon(0).isNull());
    EXPECT_FALSE(root->child(0)->icon(0).isNull());
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(TreeBuild, DriveTextsNameTheMountPointAndTheKindOfDrive) {
    auto network = [this](const QString& relative, const QString& remote) {
        DriveInfo drive = Drive(relative, DriveType::Network);
        drive.remoteName = remote;
        return drive;
    };
    DriveInfo root = Drive({}, DriveType::Fixed);
    root.mountPoint = u"/"_s;
    MakeList({root, Drive(u"data"_s, DriveType::Fixed, u"DATA"_s),
              Drive(u"stick"_s, DriveType::Removable),
              Drive(u"labelled"_s, DriveType::Removable, u"KEY"_s),
              Drive(u"local"_s, DriveType::Fixed), Drive(u"share"_s, DriveType::Network),
              network(u"smb"_s, u"//srv/docs"_s), network(u"nfs"_s, u"srv:/export/docs"_s),
              Drive(u"cd"_s, DriveType::CdRom), Drive(u"ram"_s, DriveType::RamDisk),
              Drive(u"odd"_s, DriveType::Unknown)});

    const QString at = PathOf({});
    const QStringList expected = {
        u"Local Disk (/)"_s,
        u"DATA ("_s + at + u"/data)"_s,
        u"Removeable Disk ("_s + at + u"/stick)"_s,
        u"KEY ("_s + at + u"/labelled)"_s,
        u"Local Disk ("_s + at + u"/local)"_s,
        u"Network Drive ("_s + at + u"/share)"_s,
        u"docs on 'srv' ("_s + at + u"/smb)"_s,
        u"docs on 'srv' ("_s + at + u"/nfs)"_s,
        u"Compact Disc ("_s + at + u"/cd)"_s,
        u"Ram Disc ("_s + at + u"/ram)"_s,
        u"No Label ("_s + at + u"/odd)"_s,
    };
    EXPECT_EQ(ChildTexts(Root()), expected);
    EXPECT_EQ(Key(Root()->child(0)), u"/"_s);
}

TEST_F(TreeBuild, DriveThatDoesNotAnswerStaysExpandableAndCanBeTriedAgain) {
    MakeList({Drive(u"absent"_s)});
    QTreeWidgetItem* drive = Root()->child(0);

    drive->setExpanded(true);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0].first, 104);
    EXPECT_EQ(m_errors[0].second, PathOf(u"absent/ drive not ready"_s));
    EXPECT_FALSE(drive->isExpanded());
    EXPECT_TRUE(HasPlaceholder(drive));
    EXPECT_TRUE(m_list->Tree()->isEnabled());

    // The medium arrives.
    MakeDir(u"absent/inside"_s);
    drive->setExpanded(true);
    EXPECT_EQ(m_errors.size(), 1);
    EXPECT_EQ(ChildTexts(drive), QStringList{u" inside"_s});
}

TEST_F(TreeBuild, ExpandReadsFoldersOnceSortedWithoutRegardToCase) {
    for (const QString& name : {u"b"_s, u"A"_s, u"c"_s, u"a2"_s, u"B1/deeper"_s})
        MakeDir(u"drive/"_s + name);
    QFile file(PathOf(u"drive/file.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    MakeList({Drive(u"drive"_s)});

    QTreeWidgetItem* drive = ExpandAt(u"drive"_s);
    const QStringList expected = {u" A"_s, u" a2"_s, u" b"_s, u" B1"_s, u" c"_s};
    EXPECT_EQ(ChildTexts(drive), expected);
    EXPECT_EQ(Key(drive->child(3)), PathOf(u"drive/B1"_s));
    // Only a folder with a sub-folder of its own gets an expand button.
    EXPECT_TRUE(HasPlaceholder(drive->child(3)));
    EXPECT_EQ(drive->child(0)->childCount(), 0);
    // Folders share one image.
    EXPECT_EQ(drive->child(0)->icon(0).cacheKey(), drive->child(4)->icon(0).cacheKey());

    drive->setExpanded(false);
    drive->setExpanded(true);
    EXPECT_EQ(ChildTexts(drive), expected);

    NodeAt(u"drive/B1"_s)->setExpanded(true);
    EXPECT_EQ(ChildTexts(NodeAt(u"drive/B1"_s)), QStringList{u" deeper"_s});
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(TreeBuild, RefreshRereadsTheDrivesAndClearsTheAttributeFlags) {
    MakeDir(u"drive/.hidden"_s);
    MakeDir(u"drive/plain/sub"_s);
    FoldersList& list = MakeList({Drive(u"drive"_s)});
    list.HiddenFoldersFiles(true);
    list.IncludeSubFolder(true);
    ExpandAt(u"drive"_s);
    ASSERT_EQ(ChildTexts(NodeAt(u"drive"_s)).size(), 2);

    list.Refresh();
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));
    QTreeWidgetItem* drive = ExpandAt(u"drive"_s);
    EXPECT_EQ(ChildTexts(drive), QStringList{u" plain"_s});

    // The sub-folder setting is the host's and survives.
    Tick(drive, true);
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/plain"_s)));
}

TEST_F(TreeBuild, TreeFillsTheControlOnEveryResize) {
    FoldersList& list = MakeList({});
    list.show();
    list.resize(320, 240);
    EXPECT_EQ(list.Tree()->geometry(), QRect(0, 0, 320, 240));
    list.resize(200, 500);
    EXPECT_EQ(list.Tree()->geometry(), QRect(0, 0, 200, 500));
}
