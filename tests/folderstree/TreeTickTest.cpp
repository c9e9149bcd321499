#include "TreeFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// drive/ a/ a1/ a1x    drive/ b/ b1, b2     drive/ c     with a1 not read yet
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
        ExpandAt(u"drive/a"_s);
    }
    QTreeWidgetItem* At(const QString& relative) const { return NodeAt(u"drive/"_s + relative); }
    void ExpectTicked(const QStringList& names, bool ticked) const {
        for (const QString& name : names) {
            EXPECT_EQ(IsTicked(At(name)), ticked) << name.toStdString();
            EXPECT_EQ(IsBlue(At(name)), ticked) << name.toStdString();
        }
    }

    QTreeWidgetItem* drive = nullptr;
};

TEST_F(TreeTick, WithSubFoldersATickSpreadsToEveryReadDescendant) {
    m_list->IncludeSubFolder(true);
    Tick(drive, true);
    ExpectTicked({u""_s, u"a"_s, u"a/a1"_s, u"b"_s, u"b/b1"_s, u"b/b2"_s, u"c"_s}, true);
    EXPECT_TRUE(HasPlaceholder(At(u"a/a1"_s)));
    EXPECT_EQ(m_nodeChecks, 1);
    // What is read later below a fully selected folder arrives selected.
    At(u"a/a1"_s)->setExpanded(true);
    ExpectTicked({u"a/a1/a1x"_s}, true);

    Tick(drive, false);
    ExpectTicked({u""_s, u"a"_s, u"a/a1/a1x"_s, u"b/b2"_s, u"c"_s}, false);
}

TEST_F(TreeTick, WithSubFoldersParentsFollowTheirChildren) {
    m_list->IncludeSubFolder(true);
    Tick(At(u"b/b1"_s), true);
    ExpectTicked({u"b"_s}, false);
    Tick(At(u"b/b2"_s), true);
    ExpectTicked({u"b"_s}, true);
    EXPECT_FALSE(IsTicked(drive));

    Tick(At(u"a"_s), true);
    Tick(At(u"c"_s), true);
    ExpectTicked({u""_s}, true);
    // The only drive being ticked ticks the computer too.
    EXPECT_TRUE(IsTicked(Root()));

    // One child unticked unticks every ancestor and leaves its siblings as they were.
    Tick(At(u"b/b1"_s), false);
    ExpectTicked({u"b"_s, u""_s}, false);
    ExpectTicked({u"b/b2"_s, u"a"_s, u"a/a1"_s}, true);
}

TEST_F(TreeTick, TreeIsBlockedWhileItWorksAndARebuildWaitsForTheEnd) {
    m_list->IncludeSubFolder(true);
    bool sawBlocked = false;
    // Both run at the first point where the work lets the event loop in.
    QTimer::singleShot(0, m_list.get(), [this, &sawBlocked] {
        sawBlocked = !m_list->Tree()->isEnabled() && QGuiApplication::overrideCursor() &&
                     QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    QTimer::singleShot(0, m_list.get(), [this] { m_list->Refresh(); });
    Tick(At(u"b/b1"_s), true);
    EXPECT_TRUE(sawBlocked);
    EXPECT_TRUE(m_list->Tree()->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // The change finished on the old nodes before they went.
    EXPECT_EQ(m_nodeChecks, 1);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{PathOf(u"drive/b/b1"_s)});

    QCoreApplication::processEvents();
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
}

// From the keyboard, in a window with a check box after the tree: expanding and ticking
// keep the focus in the tree, and a folder's first letters reach it past the space its text
// starts with; the same letter again steps on to the next folder starting with it.
TEST_F(TreeTick, TheKeyboardExpandsTicksAndFindsWithoutLeavingTheTree) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->addWidget(m_list.get());
    auto* box = new QCheckBox(u"Include sub folders"_s, &host);
    layout->addWidget(box);
    const auto unparent = qScopeGuard([this] { m_list->setParent(nullptr); });
    host.show();
    QApplication::setActiveWindow(&host);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QTreeWidget* tree = m_list->Tree();
    EXPECT_EQ(tree->accessibleName(), u"Folders"_s);
    tree->setFocus();
    tree->setCurrentItem(At(u"a/a1"_s));
    QTest::keyClick(tree, Qt::Key_Right);
    EXPECT_EQ(ChildTexts(At(u"a/a1"_s)), QStringList{u" a1x"_s});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), tree);
    EXPECT_TRUE(IsTicked(At(u"a/a1"_s)));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(IsTicked(At(u"a/a1"_s)));
    EXPECT_FALSE(box->isChecked());

    tree->setCurrentItem(drive);
    QTest::keyClicks(tree, u"b"_s);
    EXPECT_EQ(tree->currentItem(), At(u"b"_s));
    QTest::keyClicks(tree, u"b"_s);
    EXPECT_EQ(tree->currentItem(), At(u"b/b1"_s));
    QTest::keyClicks(tree, u"b"_s);
    EXPECT_EQ(tree->currentItem(), At(u"b/b2"_s));
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(1);
    QTest::qWait(5);
    QTest::keyClicks(tree, u"A1"_s);
    QApplication::setKeyboardInputInterval(interval);
    EXPECT_EQ(tree->currentItem(), At(u"a/a1"_s));
}

TEST_F(TreeTick, ATickedFolderStaysBlueAndReadableOnADarkBase) {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    MakeList({Drive(u"drive"_s)});
    Tick(ExpandAt(u"drive"_s)->child(0), true);
    const QColor shown = ExpandAt(u"drive"_s)->child(0)->foreground(0).color();
    EXPECT_GT(shown.lightness(), 170);
    EXPECT_EQ(shown.hslHue(), 240);
}
