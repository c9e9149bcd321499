#include "TreeFixture.h"

#include <QGuiApplication>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// drive/ a/ a1/ a1x    drive/ b/ b1, b2     drive/ c
class TreeTick : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        for (const QString& path :
             {u"drive/a/a1/a1x"_s, u"drive/b/b1"_s, u"drive/b/b2"_s, u"drive/c"_s})
            MakeDir(path);
        MakeList({Drive(u"drive"_s)});
        drive = ExpandAt(u"drive"_s);
        ExpandAt(u"drive/b"_s);
        ExpandAt(u"drive/a"_s); // a1 stays unread
    }
    QTreeWidgetItem* At(const QString& relative) const { return NodeAt(u"drive/"_s + relative); }

    QTreeWidgetItem* drive = nullptr;
};

TEST_F(TreeTick, WithSubFoldersATickSpreadsToEveryReadDescendant) {
    m_list->IncludeSubFolder(true);
    Tick(drive, true);

    for (const QString& name : {u"a"_s, u"a/a1"_s, u"b"_s, u"b/b1"_s, u"b/b2"_s, u"c"_s}) {
        EXPECT_TRUE(IsTicked(At(name))) << name.toStdString();
        EXPECT_TRUE(IsBlue(At(name))) << name.toStdString();
    }
    EXPECT_TRUE(IsBlue(drive));
    EXPECT_TRUE(HasPlaceholder(At(u"a/a1"_s)));
    EXPECT_EQ(m_nodeChecks, 1);

    // What is read later below a fully selected folder arrives selected.
    At(u"a/a1"_s)->setExpanded(true);
    EXPECT_TRUE(IsTicked(At(u"a/a1/a1x"_s)));
    EXPECT_TRUE(IsBlue(At(u"a/a1/a1x"_s)));

    Tick(drive, false);
    for (const QString& name : {u"a"_s, u"a/a1/a1x"_s, u"b/b2"_s, u"c"_s}) {
        EXPECT_FALSE(IsTicked(At(name))) << name.toStdString();
        EXPECT_FALSE(IsBlue(At(name))) << name.toStdString();
    }
}

TEST_F(TreeTick, WithSubFoldersParentsFollowTheirChildren) {
    m_list->IncludeSubFolder(true);
    Tick(At(u"b/b1"_s), true);
    EXPECT_FALSE(IsTicked(At(u"b"_s)));
    EXPECT_FALSE(IsBlue(At(u"b"_s)));

    Tick(At(u"b/b2"_s), true);
    EXPECT_TRUE(IsTicked(At(u"b"_s)));
    EXPECT_TRUE(IsBlue(At(u"b"_s)));
    EXPECT_FALSE(IsTicked(drive));

    Tick(At(u"a"_s), true);
    Tick(At(u"c"_s), true);
    EXPECT_TRUE(IsTicked(drive));
    EXPECT_TRUE(IsBlue(drive));
    // The only drive being ticked ticks the computer too.
    EXPECT_TRUE(IsTicked(Root()));

    // One child unticked unticks every ancestor and leaves its siblings as they were.
    Tick(At(u"b/b1"_s), false);
    for (QTreeWidgetItem* node : {At(u"b"_s), drive, Root()}) {
        EXPECT_FALSE(IsTicked(node)) << Key(node).toStdString();
        EXPECT_FALSE(IsBlue(node)) << Key(node).toStdString();
    }
    EXPECT_TRUE(IsTicked(At(u"b/b2"_s)));
    EXPECT_TRUE(IsTicked(At(u"a"_s)));
    EXPECT_TRUE(IsTicked(At(u"a/a1"_s)));
}

TEST_F(TreeTick, WithoutSubFoldersATickStaysOnItsNode) {
    Tick(At(u"b"_s), true);
    EXPECT_TRUE(IsTicked(At(u"b"_s)));
    EXPECT_TRUE(IsBlue(At(u"b"_s)));
    EXPECT_FALSE(IsTicked(At(u"b/b1"_s)));

    Tick(At(u"a"_s), true);
    Tick(At(u"c"_s), true);
    EXPECT_FALSE(IsTicked(drive));

    At(u"a/a1"_s)->setExpanded(true);
    EXPECT_FALSE(IsTicked(At(u"a/a1/a1x"_s)));
    EXPECT_EQ(m_nodeChecks, 3);
}

TEST_F(TreeTick, TreeIsBlockedWhileItWorks) {
    m_list->IncludeSubFolder(true);
    bool sawBlocked = false;
    // Runs at the first point where the work lets the event loop in.
    QTimer::singleShot(0, m_list.get(), [this, &sawBlocked] {
        sawBlocked = !m_list->Tree()->isEnabled() && QGuiApplication::overrideCursor() &&
                     QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    Tick(At(u"b/b1"_s), true);
    EXPECT_TRUE(sawBlocked);
    EXPECT_TRUE(m_list->Tree()->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    sawBlocked = false;
    QTimer::singleShot(0, m_list.get(),
                       [this, &sawBlocked] { sawBlocked = !m_list->Tree()->isEnabled(); });
    At(u"a/a1"_s)->setExpanded(true);
    EXPECT_TRUE(sawBlocked);
    EXPECT_TRUE(m_list->Tree()->isEnabled());
}

TEST_F(TreeTick, RebuildAskedForDuringWorkWaitsForItsEnd) {
    m_list->IncludeSubFolder(true);
    QTimer::singleShot(0, m_list.get(), [this] { m_list->Refresh(); });
    Tick(At(u"b/b1"_s), true);
    // The change finished on the old nodes before they went.
    EXPECT_EQ(m_nodeChecks, 1);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{PathOf(u"drive/b/b1"_s)});

    QCoreApplication::processEvents();
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));
    EXPECT_TRUE(m_list->Tree()->isEnabled());
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
}
