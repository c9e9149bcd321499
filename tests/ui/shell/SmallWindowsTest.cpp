#include "ShellFixture.h"

#include "ui/DesktopOpen.h"
#include "ui/frmHelp.h"
#include "ui/frmLog.h"
#include "ui/frmSplash.h"
#include "ui/frmSupport.h"
#include "ui/frmSysStats.h"

#include <QAccessible>

using namespace shell_testing;

// The windows opened beside the list: asked for again they come forward, never twice; they
// hide the list, name themselves and their controls and show what they are for; however
// they go (their button, Cancel, their frame), the list comes back with an empty status.
TEST_F(ShellTest, ChildWindowsHideTheListUntilTheyGo) {
    ASSERT_TRUE(QFile::copy(S(ECHOFIND_TEST_DATA "/../app/golden/runlog_errors.rtf"),
                            modCommon::LogPath + S("Default Profile.log")));
    frmMain* main = OpenMain();
    const auto key = [main](Qt::Key k) {
        return [main, k] { QTest::keyClick(main, k, Qt::ControlModifier); };
    };
    const auto action = [this](const char* name) {
        return [this, name] { Action(name)->trigger(); };
    };
    const auto button = [](const char* name) { return [name](QWidget* w) { Click(w, name); }; };
    const auto frame = [](QWidget* w) {
        auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        sub ? sub->close() : w->close();
    };
    const struct {
        std::function<void()> Open, Again;
        const char *Form, *Title, *Status;
        std::function<void(QWidget*)> Shows, Close;
    } windows[] = {
        {key(Qt::Key_L), action("tbrViewLog"), "frmLog", "Log", "Application run log",
         [](QWidget* log) {
             QTextEdit* box = qobject_cast<frmLog*>(log)->Pane()->TextBox();
             EXPECT_TRUE(box->isReadOnly());
             const QString text = box->toPlainText();
             EXPECT_TRUE(text.contains(S("Find duplicates - Details")));
             EXPECT_TRUE(text.contains(S("/srv/odd\\name.txt -  details could not be retrieved")));
             EXPECT_FALSE(text.contains(S("\\par")));
             // The error detail keeps its red.
             QTextCursor find = box->document()->find(S("/home/ann/locked.txt"));
             ASSERT_FALSE(find.isNull());
             EXPECT_EQ(find.charFormat().foreground().color(), QColor(255, 0, 0));
         },
         button("cmdClose")},
        {key(Qt::Key_R), action("mnuHelpSupport"), "frmSupport", "Support center", "",
         [](QWidget* support) {
             // Both addresses are links a screen reader can follow, and Enter follows them.
             QList<QUrl> opened;
             DesktopOpen::SetOpener([&opened](const QUrl& url) { return opened << url, true; });
             auto* mail = Find<QLabel>(support, "lblSupport");
             QAccessibleInterface* link = QAccessible::queryAccessibleInterface(mail);
             EXPECT_EQ(link->role(), QAccessible::Link);
             EXPECT_EQ(link->text(QAccessible::Name), frmSupport::SupportAddress());
             link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
             auto* web = Find<QLabel>(support, "lblURL");
             web->setFocus();
             QTest::keyClick(web, Qt::Key_Return);
             DesktopOpen::SetOpener({});
             EXPECT_EQ(opened, (QList<QUrl>{QUrl(S("mailto:") + frmSupport::SupportAddress()),
                                            QUrl(frmSupport::HelpDeskUrl())}));
             // At the top left corner of the work area.
             EXPECT_EQ(support->parentWidget()->pos(), QPoint(0, 0));
         },
         button("cmdCancel")},
        {action("tbrSysStats"), action("mnuToolsSysStats"), "frmSysStats", "System Statistics",
         "Sytem statistics",
         [](QWidget* window) {
             auto* stats = qobject_cast<frmSysStats*>(window);
             // Whatever fixed drives this machine has, each tab is one of them and the
             // selected one is drawn at once.
             for (int i = 0; i < stats->Tabs()->count(); ++i)
                 EXPECT_TRUE(stats->Tabs()->tabData(i).toString().endsWith(u'/'));
             if (stats->Tabs()->count() > 0) {
                 EXPECT_TRUE(stats->Shown().RowLabel.startsWith(
                     stats->Tabs()->tabText(stats->Tabs()->currentIndex())));
             }
         },
         button("cmdClose")},
        // Enter on the selected row edits it, as a double-click does.
        {[main] {
             main->ProfileList()->setFocus();
             QTest::keyClick(main->ProfileList(), Qt::Key_Return);
         },
         action("mnuProfileEdit"), "frmProfile", "Profile",
         "Currently open profile:Default Profile",
         [](QWidget* w) {
             EXPECT_EQ(qobject_cast<frmProfile*>(w)->ActionMode(), ProfileMode::Edit);
         },
         [this](QWidget* w) {
             m_messages.Script.Answers = {Answer::Yes};
             Click(w, "cmdCancel");
         }},
        {action("mnuProfileNew"), nullptr, "frmProfile", "Profile",
         "Currently open profile: <new profile>",
         [](QWidget* w) {
             EXPECT_EQ(qobject_cast<frmProfile*>(w)->ActionMode(), ProfileMode::Add);
         },
         frame},
        {key(Qt::Key_O), action("tbrOptions"), "frmOptions", "Default Options", "", [](QWidget*) {},
         frame},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.Form);
        w.Open();
        QPointer<QWidget> window = Forms::Find(S(w.Form));
        ASSERT_TRUE(window);
        if (w.Again) {
            w.Again();
            EXPECT_EQ(Forms::Find(S(w.Form)), window.data());
            EXPECT_TRUE(Shown().isEmpty()) << "asked again, it comes forward without a word";
        }
        EXPECT_LE(main->MdiArea()->subWindowList().size(), 1);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowTitle(), S(w.Title));
        EXPECT_FALSE(main->ManagerVisible());
        EXPECT_EQ(main->StatusMessage(), S(w.Status));
        ExpectEveryControlNamed(window);
        // Wholly inside the work area, whatever its size: its buttons must be reachable.
        if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
            EXPECT_TRUE(
                QRect(QPoint(), main->MdiArea()->viewport()->size()).contains(sub->geometry()));
        }
        w.Shows(window);
        w.Close(window);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(window);
        EXPECT_FALSE(Forms::CheckFormLoaded(S(w.Form)));
        EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty());
        EXPECT_TRUE(main->ManagerVisible());
        EXPECT_EQ(main->StatusMessage(), QString());
        m_messages.Script.ShownMessages.clear();
    }

    // Two at once: the Window menu lists them and brings the chosen one forward. Unloading
    // every window closes the main window last; the list had a row, so the session's end
    // is logged.
    Action("mnuRunViewLog")->trigger();
    Action("mnuHelpSupport")->trigger();
    EXPECT_EQ(Forms::LoadedCount(), 3);
    auto* menu = Find<QMenu>(main, "mnuWindow");
    QMetaObject::invokeMethod(menu, "aboutToShow");
    QStringList listed;
    for (QAction* item : menu->actions())
        listed << item->text();
    EXPECT_EQ(listed, (QStringList{S("&1 Log"), S("&2 Support center")}));
    menu->actions().front()->trigger();
    EXPECT_EQ(main->MdiArea()->activeSubWindow()->widget(), Forms::Find(S("frmLog")));
    Forms::UnloadAllForms();
    EXPECT_EQ(Forms::LoadedCount(), 0);
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmMain")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(m_main);
    EXPECT_TRUE(ReadFile(modCommon::AppLogFile).contains("*** Application ended at:"));
}

// What the log holds, names outside ASCII included, is read in the core; a profile that
// never ran shows nothing, and says nothing.
TEST_F(ShellTest, RunLogPaneShowsNothingForAProfileNeverRun) {
    RunLogPane pane;
    pane.TextBox()->setPlainText(S("an earlier run"));
    pane.LoadRunLog(S("Nobody"));
    EXPECT_TRUE(pane.TextBox()->toPlainText().isEmpty());
    EXPECT_TRUE(Shown().isEmpty());
}

// Time is driven, not waited for: the splash's timer is fired at once.
TEST_F(ShellTest, TheSplashClosesByItself) {
    frmSplash splash(frmSplash::Use::StartUp);
    EXPECT_FALSE(splash.findChild<QPushButton*>(S("cmdOK"))->isVisibleTo(&splash));
    EXPECT_FALSE(splash.findChild<QLabel*>(S("lblVersionInfo"))->text().isEmpty());
    auto* stay = splash.findChild<QTimer*>(S("tmrStay"));
    ASSERT_NE(stay, nullptr);
    EXPECT_TRUE(stay->isActive() && stay->isSingleShot());
    EXPECT_EQ(stay->interval(), 2000);
    stay->setInterval(0);
    EXPECT_EQ(splash.exec(), QDialog::Accepted);
}

// The Help menu: the About box has no timer running and waits for OK; the guide in the
// application folder comes before the one shipped with the program.
TEST_F(ShellTest, HelpShowsAnAboutBoxThatWaitsForOkAndTheShippedGuide) {
    frmMain* main = OpenMain();
    bool waits = false;
    WhenModal<frmSplash>([&](frmSplash* about) {
        ExpectEveryControlNamed(about);
        waits = !about->findChild<QTimer*>(S("tmrStay"))->isActive();
        Click(about, "cmdOK");
    });
    Action("mnuAbout")->trigger();
    EXPECT_TRUE(waits);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QDir().mkpath(modCommon::AppPath + S("help"));
    const QDir shipped(S(ECHOFIND_TEST_DATA "/../../data/help"));
    for (const QString& file : shipped.entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(shipped.filePath(file), modCommon::AppPath + S("help/") + file));
    // F1 opens it, beside the program's own key.
    QApplication::setActiveWindow(main);
    QTest::keyClick(main, Qt::Key_F1);
    QPointer<frmHelp> help = qobject_cast<frmHelp*>(Forms::Find(S("frmHelp")));
    ASSERT_NE(help, nullptr);
    ExpectEveryControlNamed(help);
    EXPECT_EQ(help->Browser()->source().toLocalFile(),
              modCommon::AppPath + S("help/Echofind.html"));
    EXPECT_TRUE(help->Browser()->toPlainText().contains(S("First steps")));
    // Every page the guide links to is there.
    const QUrl contents = help->Browser()->source();
    for (const char* page : {"creating.html", "running.html", "marking.html", "acting.html",
                             "logs.html", "command-line.html"}) {
        help->Browser()->setSource(contents.resolved(QUrl(S(page))));
        EXPECT_TRUE(help->Browser()->source().toLocalFile().endsWith(S(page)));
        EXPECT_GT(help->Browser()->toPlainText().size(), 200) << page;
    }
    // Tab walks the links and then leaves the text for the Close button.
    QApplication::setActiveWindow(help);
    help->Browser()->setSource(contents);
    help->Browser()->setFocus();
    for (int i = 0; i < 40 && QApplication::focusWidget() == help->Browser(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), help->findChild<QWidget*>(S("cmdClose")));
    // Esc closes it, as it closes every other window of the program.
    QTest::keyClick(help->Browser(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(!help || !help->isVisible());
}
