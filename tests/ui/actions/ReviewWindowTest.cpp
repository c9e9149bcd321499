// Reviewing the results in the window as a person does: the filter and the sort from the
// keyboard and the header, and the commands that change only the list or look at files.

#include "ActionsWindowFixture.h"

#include "profiles/IgnoreList.h"
#include "profiles/ProfileRules.h"
#include "ui/CompareTool.h"
#include "ui/DetailsPane.h"
#include "ui/DuplicatesPane.h"
#include "ui/ReviewBar.h"
#include "ui/frmAdvOptions.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTreeWidget>

namespace {

using namespace actions_window_testing;
using ReviewWindow = ActionsWindowTest;

QString ShownPaths(const ResultsModel& m) {
    QStringList paths;
    for (int q = 0; q < m.rowCount(); ++q)
        if (!m.IsGroupHeader(m.GridRow(q)))
            paths << m.Text(m.GridRow(q), 3).section(u'/', -2);
    return paths.join(u' ');
}

// Ctrl+F, typing, Esc; the count of groups shown; a confirmation names the marked files it
// acts on unseen; the headers and the Sort menu order the groups.
TEST_F(ReviewWindow, FilterAndSortFromTheKeyboardAndTheHeaders) {
    SaveProfile(Settings("recycle"));
    OpenResults();
    Window->show();
    QApplication::setActiveWindow(Window);
    ReviewBar* bar = Window->Duplicates()->Review();
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), bar->FilterBox());
    EXPECT_EQ(bar->FilterBox()->accessibleName(), S("Filter"));
    EXPECT_EQ(TabWalk(4), (QStringList{S("chkFilterRegex"), S("cmdSort"), S("cmdDetails"),
                                       S("flxResultGrid")}));
    bar->FilterBox()->setFocus();
    QTest::keyClicks(bar->FilterBox(), S("D3/A"));
    EXPECT_EQ(bar->ShowingText(), S("Showing 1 of 2 groups"));
    EXPECT_EQ(ShownPaths(Model()), S("d1/a.txt d2/a.txt d3/a.txt"));

    // Three marked files, one of them (d2/b.txt) out of sight.
    Press("cmdRecycleAll", {Answer::No});
    ASSERT_FALSE(Messages.Script.ShownMessages.empty());
    EXPECT_EQ(Messages.Script.ShownMessages.back().Detail,
              S("3 files, 10 bytes (1 file hidden by the filter)"));
    QTest::keyClick(bar->FilterBox(), Qt::Key_Escape);
    EXPECT_EQ(bar->ShowingText(), S("Showing 2 of 2 groups"));

    // Size first goes largest first; the same header again turns it round.
    QHeaderView* header = Grid()->horizontalHeader();
    const auto clickHeader = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    };
    clickHeader(4);
    EXPECT_TRUE(ShownPaths(Model()).startsWith(S("d1/a.txt")));
    QTest::qWait(QApplication::doubleClickInterval() + 10); // two clicks, not a double click
    clickHeader(4);
    EXPECT_TRUE(ShownPaths(Model()).startsWith(S("d1/b.txt")));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    bar->SortButton()->menu()->actions().first()->trigger(); // Original order
    EXPECT_TRUE(ShownPaths(Model()).startsWith(S("d1/a.txt")));
    EXPECT_FALSE(header->isSortIndicatorShown());
}

// Make kept, remove from the list and ignore from the keyboard; the ignore list then shows
// in the advanced options, where an entry can be taken off; compare starts the chosen
// program with the two paths as arguments of their own.
TEST_F(ReviewWindow, ListCommandsAndTheIgnoreListAndCompare) {
    SaveProfile(Settings("recycle"));
    OpenResults();
    Window->show();
    QApplication::setActiveWindow(Window);
    Grid()->setFocus();
    SelectRow(3); // d2/a.txt
    QTest::keyClick(Grid(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(Model().Text(2, 1) + Model().Text(2, 3).section(u'/', -2), S("[  ]d2/a.txt"));
    EXPECT_EQ(Model().Text(3, 1), S("[X]"));
    SelectRow(4); // d3/a.txt
    QTest::keyClick(Grid(), Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Model().Text(1, 2), S("a.txt   (2 copies)"));
    EXPECT_TRUE(QFile::exists(A[2])) << "taken off the list, not off the disk";

    SelectRow(5); // d1/b.txt
    QTest::keyClick(Grid(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Model().GroupCount(), 1);
    IgnoreList list;
    const QString file = IgnoreList::FileBeside(ProfileRules::DocumentPath(S("P")));
    ASSERT_EQ(list.Load(file), 1);
    EXPECT_EQ(list.Entries().size(), 2u);
    EXPECT_TRUE(list.Contains(B[1], 2));

    ASSERT_NE(Adv(), nullptr);
    Adv()->show(); // as the Advanced Options button opens it, without waiting in its loop
    Adv()->ShowOption(8);
    auto* ignored = Adv()->findChild<QTreeWidget*>(S("lvwIgnored"));
    ASSERT_EQ(ignored->topLevelItemCount(), 2);
    ignored->setCurrentItem(ignored->topLevelItem(0));
    Click(Adv(), "cmdRemoveIgnored");
    Click(Adv(), "cmdOK");
    ASSERT_EQ(list.Load(file), 1);
    EXPECT_EQ(list.Entries().size(), 1u);

    const QString out = Folders.Path(S("compared"));
    QSettings settings(S("Echofind"), S("Echofind"));
    const auto forget = qScopeGuard([&] { settings.remove(S("Compare")); });
    const QString tool = Folders.CreateFile(
        S("bin/compare tool"),
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/../compared\"\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CompareTool::SetCommand(S("\"") + tool + S("\""));
    QApplication::setActiveWindow(Window);
    Grid()->setFocus();
    SelectRow(2);
    SelectRow(3); // the marked d1/a.txt, against the kept d2/a.txt
    QTest::keyClick(Grid(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(out).size() > 0; }, 10000))
        << Said().join(u'|').toStdString();
    QFile compared(out);
    ASSERT_TRUE(compared.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(compared.readAll()), A[1] + u'\n' + A[0] + u'\n');
    CompareTool::SetCommand(QString());
    SelectRow(2);
    auto* compare = Window->findChild<QAction*>(S("mnuPopupCompare"));
    EXPECT_FALSE(compare->isEnabled());
    EXPECT_TRUE(compare->toolTip().contains(S("default options")));
}

// A group of duplicate folders from the keyboard: Ctrl+K on a folder makes it the kept one,
// whose files all become the kept files, and Ctrl+I on a folder ignores the group by its
// folders and their total sizes.
TEST_F(ReviewWindow, AFolderRowIsMadeTheKeptFolderAndItsGroupIgnored) {
    SaveProfile(Settings("recycle"));
    OpenResults(false);
    for (const char* top : {"tree/x", "tree/y"}) {
        Folders.CreateFile(S(top) + S("/a.txt"), "aaaa");
        Folders.CreateFile(S(top) + S("/in/b.txt"), "bb");
    }
    actions_testing::AddFolderGroups(Model(), Folders.Path(S("tree")));
    ASSERT_EQ(Model().RowCount(), 9);
    Window->show();
    QApplication::setActiveWindow(Window);
    Grid()->setFocus();

    SelectRow(3); // tree/y
    QTest::keyClick(Grid(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(Model().Text(2, 3), Folders.Path(S("tree/y")));
    EXPECT_EQ(Model().Text(5, 1) + Model().Text(5, 3), S("[  ]") + Folders.Path(S("tree/y/a.txt")));
    EXPECT_EQ(Model().Text(6, 1), S("[X]"));
    EXPECT_EQ(PopupAt(3).filter(S("MakeKept")), QStringList{S("mnuPopupMakeKept")});
    EXPECT_EQ(Window->findChild<QAction*>(S("mnuPopupMakeKept"))->text(),
              S("Make this the &kept folder"));
    QApplication::setActiveWindow(Window);
    Grid()->setFocus();

    SelectRow(3);
    QTest::keyClick(Grid(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Model().RowCount(), 0) << "the folder group leaves with its files";
    IgnoreList list;
    ASSERT_EQ(list.Load(IgnoreList::FileBeside(ProfileRules::DocumentPath(S("P")))), 1);
    EXPECT_EQ(list.Entries(), (std::vector<IgnoreList::Entry>{{Folders.Path(S("tree/y")), 6},
                                                              {Folders.Path(S("tree/x")), 6}}));
}

} // namespace

namespace {

// Ctrl+Shift+D shows the details under the grid, which then follow the highlight; the
// choice outlives the window.
TEST_F(ReviewWindow, TheDetailsPaneTogglesFollowsAndIsRemembered) {
    QSettings settings(S("Echofind"), S("Echofind"));
    const auto forget = qScopeGuard([&] { settings.remove(S("Results")); });
    SaveProfile(Settings("recycle"));
    OpenResults();
    Window->show();
    QApplication::setActiveWindow(Window);
    DetailsPane* details = Window->Duplicates()->Details();
    EXPECT_FALSE(details->isVisible());
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(details->isVisible());
    SelectRow(3);
    EXPECT_EQ(details->FieldBox(DetailsPane::Highlighted, DetailsPane::Path)->text(), A[1]);
    EXPECT_EQ(details->FieldBox(DetailsPane::Kept, DetailsPane::Path)->text(), A[0]);
    EXPECT_TRUE(settings.value(S("Results/Details")).toBool());
}

} // namespace
