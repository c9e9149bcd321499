#include "ShellFixture.h"

using namespace shell_testing;

TEST_F(ShellTest, FreshInstallationListsTheDefaultProfileInAFixedNamedWindow) {
    QSettings settings(S("Echofind"), S("Echofind"));
    settings.setValue(S("Startup/Left"), 37);
    settings.setValue(S("Startup/Top"), 41);
    settings.sync();
    frmMain* main = OpenMain();
    settings.remove(S("Startup"));
    EXPECT_EQ(main->pos(), QPoint(37, 41)) << "placed where the settings say";
    EXPECT_EQ(main->windowTitle(), S("Echofind"));
    EXPECT_EQ(ListedNames(), QStringList{S("Default Profile")});
    const auto rows = main->Rows();
    EXPECT_EQ(rows[0].Status, S("Never"));
    EXPECT_EQ(rows[0].LastRun, QString());
    EXPECT_FALSE(rows[0].LastModified.isEmpty());
    EXPECT_TRUE(main->ManagerVisible());
    EXPECT_TRUE(main->ProfileList()->currentItem()->isSelected());
    for (const char* name : {"tbrEdit", "tbrDelete", "tbrExecute", "tbrViewLog"})
        EXPECT_TRUE(Action(name)->isEnabled()) << name;
    // The window is fixed: no maximise, no resizing.
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
    // What assistive tools read: every toolbar button is named by its tool tip, and the
    // results popup is never part of the menu bar.
    auto* bar = Find<QToolBar>(main, "tbrMain");
    for (QAction* a : bar->actions())
        EXPECT_TRUE(a->isSeparator() || (!a->toolTip().isEmpty() &&
                                         bar->widgetForAction(a)->accessibleName() == a->toolTip()))
            << a->objectName().toStdString();
    EXPECT_FALSE(main->menuBar()->actions().contains(main->PopupMenu()->menuAction()));
    ExpectEveryControlNamed(main);
}

// Delete asks first; Yes removes the document, its run log and its row. With the last row
// gone the profile commands are refused, and neither the catalogue nor the session's end is
// written from an empty list.
TEST_F(ShellTest, DeleteAsksFirstAndAfterTheLastRowTheProfileCommandsAreRefused) {
    AddProfileDocument(S("Alpha"));
    AddProfileDocument(S("Beta"));
    ASSERT_TRUE(QFile(modCommon::LogPath + S("Alpha.log")).open(QIODevice::WriteOnly));
    const QByteArray catalogue = ReadFile(Catalogue::CataloguePath());
    frmMain* main = OpenMain();
    QStringList listed = ListedNames();
    ASSERT_EQ(listed.size(), 3);
    const int alpha = int(SelectListed(S("Alpha")));

    m_messages.Script.Answers = {Answer::No};
    Action("mnuProfileDelete")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("Do you want to delete the profile Alpha?")});
    EXPECT_EQ(m_messages.Script.ShownMessages[0].Kind, MessageService::Icon::Information);
    EXPECT_EQ(ListedNames(), listed);
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + S("Alpha.xml")));

    m_messages.Script.Answers = {Answer::Yes};
    Action("tbrDelete")->trigger();
    EXPECT_FALSE(QFile::exists(modCommon::ProfileFolder + S("Alpha.xml")));
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("Alpha.log")));
    listed.removeAt(alpha);
    EXPECT_EQ(ListedNames(), listed);
    // The row that took its place, or the new last row, is selected.
    ASSERT_NE(main->ProfileList()->currentItem(), nullptr);
    EXPECT_EQ(main->ProfileList()->currentItem()->text(0),
              listed[qMin(alpha, int(listed.size()) - 1)]);

    m_messages.Script.Answers = {Answer::Yes, Answer::Yes};
    Action("mnuProfileDelete")->trigger();
    Action("mnuProfileDelete")->trigger();
    EXPECT_TRUE(ListedNames().isEmpty());
    for (const char* name : {"tbrEdit", "tbrDelete", "tbrExecute", "tbrViewLog"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    for (const char* name :
         {"tbrManager", "tbrNew", "tbrOptions", "tbrHelp", "tbrSysStats", "tbrExit"})
        EXPECT_TRUE(Action(name)->isEnabled()) << name;
    // The Delete shortcut reaches the menu command, which answers with its notice.
    QTest::keyClick(main, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Shown().last(), kPleaseSelect);
    CloseMain();
    EXPECT_EQ(ReadFile(Catalogue::CataloguePath()), catalogue);
    EXPECT_FALSE(ReadFile(modCommon::AppLogFile).contains("*** Application ended at:"));
}

TEST_F(ShellTest, AProfileWindowBlocksNewDeleteAndTheManager) {
    frmMain* main = OpenMain();
    Action("mnuProfileEdit")->trigger();
    QPointer<frmProfile> profile = Forms::Profile();
    ASSERT_TRUE(profile);
    EXPECT_FALSE(main->ManagerVisible());
    EXPECT_TRUE(profile->isVisible());

    // New shows who is open and opens nothing more.
    Action("mnuProfileNew")->trigger();
    EXPECT_EQ(
        Shown(),
        QStringList{S(" Profile name : Default Profile is already open. Please close it before "
                      "opening another profile.")});
    EXPECT_EQ(main->MdiArea()->subWindowList().size(), 1);
    // Delete is refused while another window is loaded.
    Action("mnuProfileDelete")->trigger();
    EXPECT_EQ(Shown().last(), kPleaseSelect);
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + S("Default Profile.xml")));
    // Execute is refused while the manager is hidden.
    Action("mnuRunExecute")->trigger();
    EXPECT_EQ(Shown().last(), kPleaseSelect);

    // The manager asks; No keeps the profile window and the pane hidden.
    m_messages.Script.Answers = {Answer::No};
    Action("tbrManager")->trigger();
    EXPECT_EQ(Shown().last(),
              S("Currently open profile will be closed. Do you want to continue? "));
    EXPECT_EQ(m_messages.Script.ShownMessages.back().Kind, MessageService::Icon::Question);
    EXPECT_TRUE(Forms::Profile());
    EXPECT_FALSE(main->ManagerVisible());
    // Yes closes it and shows the list again.
    m_messages.Script.Answers = {Answer::Yes};
    Action("tbrManager")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(profile);
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProfile")));
    EXPECT_TRUE(main->ManagerVisible());
}

// A profile window taller than the document area (a small screen, a large scale): the
// control the focus lands on is scrolled into view.
TEST_F(ShellTest, AFocusedControlOfATallWindowIsScrolledIntoView) {
    frmMain* main = OpenMain();
    Action("mnuProfileEdit")->trigger();
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    auto* frame = qobject_cast<QMdiSubWindow*>(profile->parentWidget());
    ASSERT_NE(frame, nullptr);
    QWidget* view = main->MdiArea()->viewport();
    frame->resize(frame->width(), view->height() + 400);
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(main);
    QWidget* cancel = Find<QWidget>(profile, "cmdCancel");
    ASSERT_FALSE(view->rect().contains(QRect(cancel->mapTo(view, QPoint()), cancel->size())));
    cancel->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->rect().contains(QRect(cancel->mapTo(view, QPoint()), cancel->size())));
}

// The profile window covers the document area the list had; with a font too large for
// that area it keeps the size its contents need (the area scrolls) rather than cut them.
TEST_F(ShellTest, TheProfileWindowTakesTheListsPlaceAndNeverCutsItsControls) {
    frmMain* main = OpenMain();
    const auto frameOfProfile = [this] {
        Action("mnuProfileEdit")->trigger();
        QCoreApplication::processEvents();
        return qobject_cast<QMdiSubWindow*>(Forms::Profile()->parentWidget());
    };
    QMdiSubWindow* frame = frameOfProfile();
    EXPECT_EQ(frame->geometry(), QRect(QPoint(), main->MdiArea()->viewport()->size()));
    Click(Forms::Profile(), "cmdCancel");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(before.pointSizeF() * 2.2);
    QApplication::setFont(large);
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    // The main window passes the font on to the windows it hosts once it has taken it.
    QCoreApplication::processEvents();
    frame = frameOfProfile();
    EXPECT_GE(frame->width(), frame->minimumSizeHint().width());
    EXPECT_GE(frame->height(), frame->minimumSizeHint().height());
    for (auto* box : Forms::Profile()->findChildren<QAbstractButton*>()) {
        if (box->isVisible() && !box->text().isEmpty()) {
            EXPECT_GE(box->width(), box->minimumSizeHint().width()) << box->text().toStdString();
        }
    }
}

// Chosen in the default options, the main window can be resized and maximised, comes back
// at the size it was left at, and the profile window follows the document area.
TEST_F(ShellTest, ChosenInTheDefaultOptionsTheMainWindowIsResizable) {
    QSettings settings(S("Echofind"), S("Echofind"));
    const auto forget = qScopeGuard([&] { settings.remove(S("Window")); });
    frmMain* main = OpenMain();
    Action("mnuToolsOptions")->trigger();
    auto* options = qobject_cast<QDialog*>(Forms::Find(S("frmOptions")));
    ASSERT_NE(options, nullptr);
    auto* box = Find<QCheckBox>(options, "chkResizableMain");
    EXPECT_FALSE(box->isChecked());
    box->setChecked(true);
    Click(options, "cmdOK");
    EXPECT_NE(main->minimumSize(), main->maximumSize());
    EXPECT_TRUE(main->windowFlags() & Qt::WindowMaximizeButtonHint);

    Action("mnuProfileEdit")->trigger();
    auto* frame = qobject_cast<QMdiSubWindow*>(Forms::Profile()->parentWidget());
    main->resize(main->minimumSize());
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->size(), main->MdiArea()->viewport()->size());
    const QSize left = main->size();
    CloseMain();
    settings.sync();
    EXPECT_EQ(settings.value(S("Window/Size")).toSize(), left);
}

// The profile list's dates are never cut, whatever the width the design gives them.
TEST_F(ShellTest, TheListsDatesAreNeverCut) {
    frmMain* main = OpenMain();
    const QString when = S("2026-12-07 18:35:10");
    main->UpdateProfile(S("Default Profile"), S("Success"), when);
    QTreeWidget* list = main->ProfileList();
    for (const int col : {1, 2})
        EXPECT_GT(list->columnWidth(col), list->fontMetrics().horizontalAdvance(when)) << col;
}

// The default options name themselves in the status bar while in front, and take the name
// with them when they close over a profile window, which keeps the list from clearing it.
TEST_F(ShellTest, TheDefaultOptionsTakeTheirStatusWithThem) {
    frmMain* main = OpenMain();
    Action("mnuProfileEdit")->trigger();
    Action("mnuToolsOptions")->trigger();
    auto* options = qobject_cast<QDialog*>(Forms::Find(S("frmOptions")));
    ASSERT_NE(options, nullptr);
    QApplication::setActiveWindow(options);
    EXPECT_EQ(main->StatusMessage(), S("Default options "));
    m_messages.Script.Answers = {Answer::Yes};
    Click(options, "cmdCancel");
    EXPECT_FALSE(options->isVisible());
    EXPECT_NE(main->StatusMessage(), S("Default options "));
    EXPECT_NE(Forms::Profile(), nullptr);
}
