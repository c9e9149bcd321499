#include "TreeFixture.h"

#include <QApplication>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

using TreeBuild = TreeFixture;

TEST_F(TreeBuild, DrivesShowUnderTheComputerNamedByMountPointAndKind) {
    const QList<QPair<DriveInfo, QString>> cases = {
        {DriveInfo{u"/"_s, {}, {}, DriveType::Fixed}, u"Local Disk (/)"_s},
        {Drive(u"data"_s, DriveType::Fixed, u"DATA"_s), u"DATA (%1/data)"_s},
        {Drive(u"stick"_s, DriveType::Removable), u"Removeable Disk (%1/stick)"_s},
        {Drive(u"share"_s, DriveType::Network), u"Network Drive (%1/share)"_s},
        {Drive(u"smb"_s, DriveType::Network, u"LBL"_s, u"//srv/docs"_s),
         u"docs on 'srv' (%1/smb)"_s},
        {Drive(u"nfs"_s, DriveType::Network, {}, u"srv:/export/docs"_s),
         u"docs on 'srv' (%1/nfs)"_s},
        {Drive(u"cd"_s, DriveType::CdRom), u"Compact Disc (%1/cd)"_s},
        {Drive(u"ram"_s, DriveType::RamDisk), u"Ram Disc (%1/ram)"_s},
        {Drive(u"odd"_s, DriveType::Unknown), u"No Label (%1/odd)"_s},
    };
    QList<DriveInfo> drives;
    QStringList expected;
    for (const auto& [drive, text] : cases) {
        drives.append(drive);
        expected.append(text.contains(u"%1"_s) ? text.arg(PathOf({})) : text);
    }
    MakeList(drives);

    EXPECT_EQ(ChildTexts(Root()), expected);
    // Every drive offers an expand button before anything is read, even a missing one.
    for (int i = 0; i < Root()->childCount(); ++i)
        EXPECT_TRUE(HasPlaceholder(Root()->child(i))) << i;
}

TEST_F(TreeBuild, DriveThatDoesNotAnswerStaysExpandableAndCanBeTriedAgain) {
    MakeList({Drive(u"absent"_s)});
    QTreeWidgetItem* drive = Root()->child(0);
    drive->setExpanded(true);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0], qMakePair(104, PathOf(u"absent/ drive not ready"_s)));
    EXPECT_FALSE(drive->isExpanded());
    EXPECT_TRUE(HasPlaceholder(drive));

    // The medium arrives.
    MakeDir(u"absent/inside"_s);
    drive->setExpanded(true);
    EXPECT_EQ(m_errors.size(), 1);
    EXPECT_EQ(ChildTexts(drive), QStringList{u" inside"_s});
}

// A refresh reads the drives again and clears the attribute flags; the sub-folder setting is
// the host's and survives.
TEST_F(TreeBuild, ExpandReadsFoldersOnceSortedWithoutRegardToCaseAndRefreshRereadsThem) {
    for (const QString& name : {u"b"_s, u"A"_s, u"c"_s, u"a2"_s, u"B1/deeper"_s, u".hidden"_s})
        MakeDir(u"drive/"_s + name);
    MakeFile(u"drive/file.txt"_s);
    FoldersList& list = MakeList({Drive(u"drive"_s)});
    list.HiddenFoldersFiles(true);
    list.IncludeSubFolder(true);

    QTreeWidgetItem* drive = ExpandAt(u"drive"_s);
    const QStringList expected = {u" .hidden"_s, u" A"_s, u" a2"_s, u" b"_s, u" B1"_s, u" c"_s};
    EXPECT_EQ(ChildTexts(drive), expected);
    EXPECT_EQ(Key(drive->child(4)), PathOf(u"drive/B1"_s));
    drive->setExpanded(false);
    drive->setExpanded(true);
    EXPECT_EQ(ChildTexts(drive), expected);

    list.Refresh();
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));
    drive = ExpandAt(u"drive"_s);
    EXPECT_EQ(ChildTexts(drive), expected.mid(1));
    Tick(drive, true);
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/B1"_s)));
    EXPECT_TRUE(m_errors.isEmpty());
}

// "*" expands everything below the current node; on a big drive that would read on
// for minutes with the tree locked, so one press reads a bounded number of folders.
TEST_F(TreeBuild, StarReadsABoundedNumberOfFoldersPerPressAndEscStopsIt) {
    auto levelPath = [](int depth) {
        QString path = u"drive"_s;
        for (int level = 1; level <= depth; ++level)
            path += u"/d"_s + QString::number(level);
        return path;
    };
    MakeDir(levelPath(30));
    auto pressKey = [this](Qt::Key key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(m_list->Tree(), &press);
    };

    MakeList({Drive(u"drive"_s)});
    m_list->SetExpandAllLimit(10);
    m_list->Tree()->setCurrentItem(Root()->child(0));
    pressKey(Qt::Key_Asterisk, u"*"_s);
    // Ten folders read: the drive and d1..d9, which shows d10 still closed.
    ASSERT_NE(NodeAt(levelPath(10)), nullptr);
    EXPECT_TRUE(HasPlaceholder(NodeAt(levelPath(10))));
    EXPECT_TRUE(NodeAt(levelPath(9))->isExpanded());
    // The next press reads on.
    pressKey(Qt::Key_Asterisk, u"*"_s);
    ASSERT_NE(NodeAt(levelPath(20)), nullptr);
    EXPECT_TRUE(HasPlaceholder(NodeAt(levelPath(20))));

    // Esc, pressed while it reads, stops it at once.
    MakeList({Drive(u"drive"_s)});
    int expanded = 0;
    QObject::connect(m_list->Tree(), &QTreeWidget::itemExpanded, m_list.get(), [&] {
        if (++expanded == 3)
            QCoreApplication::postEvent(
                m_list.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    m_list->Tree()->setCurrentItem(Root()->child(0));
    pressKey(Qt::Key_Asterisk, u"*"_s);
    EXPECT_EQ(expanded, 3);
    ASSERT_NE(NodeAt(levelPath(3)), nullptr);
    EXPECT_TRUE(HasPlaceholder(NodeAt(levelPath(3))));
    EXPECT_TRUE(m_errors.isEmpty());
}
