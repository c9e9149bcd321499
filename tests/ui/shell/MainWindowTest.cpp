#include "ShellFixture.h"

#include "ui/frmProfile.h"

#include <QAbstractButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>

using namespace shell_testing;
using Answer = MessageService::Answer;

namespace {

const QString kPleaseSelect = S("Please select a profile from manager and try again");

} // namespace

TEST_F(ShellTest, FreshInstallationListsTheDefaultProfile) {
    frmMain* main = OpenMain();
    EXPECT_EQ(main->windowTitle(), S("Echofind"));
    EXPECT_EQ(ListedNames(), QStringList{S("Default Profile")});
    const auto rows = main->Rows();
    EXPECT_EQ(rows[0].Status, S("Never"));
    EXPECT_EQ(rows[0].LastRun, QString());
    EXPECT_FALSE(rows[0].LastModified.isEmpty());
    EXPECT_TRUE(main->ManagerVisible());
    EXPECT_TRUE(main->ProfileList()->currentItem()->isSelected());
    QStringList headers;
    for (int c = 0; c < main->ProfileList()->columnCount(); ++c)
        headers << main->ProfileList()->headerItem()->text(c);
    EXPECT_EQ(headers,
              (QStringList{S("Profile Name"), S("Last Modified"), S("Last Run"), S("Status")}));
    for (const char* name : {"tbrEdit", "tbrDelete", "tbrExecute", "tbrViewLog"})
        EXPECT_TRUE(Action(name)->isEnabled()) << name;
    // The window is fixed: no maximise, no resizing.
    EXPECT_EQ(main->minimumSize(), main->maximumSize());
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(ShellTest, StartPositionComesFromTheSettings) {
    QSettings settings(S("Echofind"), S("Echofind"));
    settings.setValue(S("Startup/Left"), 37);
    settings.setValue(S("Startup/Top"), 41);
    settings.sync();
    frmMain* main = OpenMain();
    EXPECT_EQ(main->pos(), QPoint(37, 41));
    settings.remove(S("Startup"));
}

// What assistive tools read: every toolbar button is named by its tool tip, and the results
// popup is never part of the menu bar.
TEST_F(ShellTest, ToolbarButtonsAreNamedByTheirToolTips) {
    OpenMain();
    auto* bar = m_main->findChild<QToolBar*>(S("tbrMain"));
    ASSERT_NE(bar, nullptr);
    for (QAction* action : bar->actions()) {
        if (action->isSeparator())
            continue;
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(action->toolTip().isEmpty());
        EXPECT_EQ(button->accessibleName(), action->toolTip());
    }
    EXPECT_FALSE(m_main->menuBar()->actions().contains(m_main->PopupMenu()->menuAction()));
}

TEST_F(ShellTest, WithoutProfilesTheProfileCommandsAreRefused) {
    QFile::remove(modCommon::ProfileFolder + S("Default Profile.xml"));
    frmMain* main = OpenMain();
    EXPECT_TRUE(ListedNames().isEmpty());
    for (const char* name : {"tbrEdit", "tbrDelete", "tbrExecute", "tbrViewLog"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    for (const char* name :
         {"tbrManager", "tbrNew", "tbrOptions", "tbrHelp", "tbrSysStats", "tbrExit"})
        EXPECT_TRUE(Action(name)->isEnabled()) << name;
    // The Delete shortcut reaches the menu command, which answers with its notice.
    QTest::keyClick(main, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Shown(), QStringList{kPleaseSelect});
}

TEST_F(ShellTest, DeleteAsksFirstAndRemovesDocumentLogAndRow) {
    AddProfileDocument(S("Alpha"));
    AddProfileDocument(S("Beta"));
    QFile log(modCommon::LogPath + S("Alpha.log"));
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.close();
    frmMain* main = OpenMain();
    const QStringList before = ListedNames();
    ASSERT_EQ(before.size(), 3);
    const int alpha = int(before.indexOf(S("Alpha")));
    main->ProfileList()->setCurrentItem(main->ProfileList()->topLevelItem(alpha));

    // No keeps everything.
    m_messages.Script.Answers = {Answer::No};
    Action("mnuProfileDelete")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("Do you want to delete the profile Alpha?")});
    EXPECT_EQ(m_messages.Script.ShownMessages[0].Kind, MessageService::Icon::Information);
    EXPECT_EQ(ListedNames(), before);
    EXPECT_TRUE(QFile::exists(modCommon::ProfileFolder + S("Alpha.xml")));

    m_messages.Script.Answers = {Answer::Yes};
    Action("tbrDelete")->trigger();
    EXPECT_FALSE(QFile::exists(modCommon::ProfileFolder + S("Alpha.xml")));
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("Alpha.log")));
    QStringList expected = before;
    expected.removeAt(alpha);
    EXPECT_EQ(ListedNames(), expected);
    // The row that took its place, or the new last row, is selected.
    ASSERT_NE(main->ProfileList()->currentItem(), nullptr);
    EXPECT_EQ(main->ProfileList()->currentItem()->text(0),
              expected[qMin(alpha, int(expected.size()) - 1)]);
}

TEST_F(ShellTest, DeletingEveryProfileLeavesTheCatalogueUntouched) {
    const QByteArray before = Bytes(Catalogue::CataloguePath());
    frmMain* main = OpenMain();
    m_messages.Script.Answers = {Answer::Yes};
    Action("mnuProfileDelete")->trigger();
    EXPECT_TRUE(ListedNames().isEmpty());
    EXPECT_FALSE(Action("tbrExecute")->isEnabled());
    EXPECT_FALSE(Action("tbrDelete")->isEnabled());
    Q_UNUSED(main);
    CloseMain();
    EXPECT_EQ(Bytes(Catalogue::CataloguePath()), before);
    // Nor is the end of the session logged with an empty list.
    EXPECT_FALSE(Bytes(modCommon::AppLogFile, false).contains("*** Application ended at:"));
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
    // Edit brings the same window to the front without a word.
    Action("mnuProfileEdit")->trigger();
    EXPECT_EQ(Shown().size(), 1);
    EXPECT_EQ(Forms::Profile(), profile.data());
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

TEST_F(ShellTest, ClosingTheLastChildShowsTheManagerAgain) {
    frmMain* main = OpenMain();
    // Enter on the selected row edits it, as a double-click does.
    main->ProfileList()->setFocus();
    QTest::keyClick(main->ProfileList(), Qt::Key_Return);
    ASSERT_TRUE(Forms::Profile());
    main->DisplayStatusMsg(S("busy"));
    auto* frame = qobject_cast<QMdiSubWindow*>(Forms::Profile()->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->close();
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProfile")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->ManagerVisible());
    EXPECT_EQ(main->StatusMessage(), QString());
    // New opens an empty profile window from the default options.
    Action("mnuProfileNew")->trigger();
    ASSERT_TRUE(Forms::Profile());
    EXPECT_EQ(Forms::Profile()->ActionMode(), ProfileMode::Add);
    EXPECT_FALSE(main->ManagerVisible());
}

TEST_F(ShellTest, UnloadAllFormsClosesEveryWindowMainLast) {
    frmMain* main = OpenMain();
    Action("mnuRunViewLog")->trigger();
    Action("mnuHelpSupport")->trigger();
    EXPECT_TRUE(Forms::CheckFormLoaded(S("frmLog")));
    EXPECT_TRUE(Forms::CheckFormLoaded(S("frmSupport")));
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmlog"))); // names compare exactly
    EXPECT_EQ(Forms::LoadedCount(), 3);
    // The Window menu lists the open windows and brings the chosen one forward.
    auto* windows = main->findChild<QMenu*>(S("mnuWindow"));
    ASSERT_NE(windows, nullptr);
    QMetaObject::invokeMethod(windows, "aboutToShow");
    QStringList listed;
    for (QAction* item : windows->actions())
        listed << item->text();
    EXPECT_EQ(listed, (QStringList{S("&1 Log"), S("&2 Support center")}));
    windows->actions().front()->trigger();
    EXPECT_EQ(main->MdiArea()->activeSubWindow()->widget(), Forms::Find(S("frmLog")));
    Forms::UnloadAllForms();
    EXPECT_EQ(Forms::LoadedCount(), 0);
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmMain")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(m_main);
    // The list had a row, so the session's end is logged.
    EXPECT_TRUE(Bytes(modCommon::AppLogFile).contains("*** Application ended at:"));
}

TEST_F(ShellTest, DefaultOptionsOpenBesideTheList) {
    frmMain* main = OpenMain();
    QTest::keyClick(main, Qt::Key_O, Qt::ControlModifier);
    QPointer<QWidget> options = Forms::Find(S("frmOptions"));
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->isVisible());
    EXPECT_FALSE(main->ManagerVisible());
    // A second command brings the same dialog forward.
    main->findChild<QAction*>(S("tbrOptions"))->trigger();
    EXPECT_EQ(Forms::Find(S("frmOptions")), options.data());
    // Closing it by its frame gives the list back and unloads it.
    options->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(options);
    EXPECT_TRUE(main->ManagerVisible());
}
