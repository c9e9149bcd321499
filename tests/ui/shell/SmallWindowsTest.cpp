#include "ShellFixture.h"

#include "app/modLog.h"
#include "ui/RunLogPane.h"
#include "ui/frmHelp.h"
#include "ui/frmLog.h"
#include "ui/frmSplash.h"
#include "ui/frmSupport.h"
#include "ui/frmSysStats.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>

using namespace shell_testing;

namespace {

QByteArray GoldenLog(const char* name) {
    QFile f(S(ECHOFIND_TEST_DATA "/../app/golden/") + S(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

void WriteRunLog(const QString& profile, const QByteArray& rtf) {
    QFile f(modCommon::LogPath + profile + S(".log"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(rtf);
}

// What a person, or a screen reader, calls a control: its own text or accessible name,
// or the text of the label that is its buddy.
QString SeenName(QWidget* control, const QList<QLabel*>& labels) {
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && !button->text().isEmpty())
        return button->text();
    for (QLabel* label : labels)
        if (label->buddy() == control)
            return label->text();
    return QString();
}

void ExpectEveryControlNamed(QWidget* window) {
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(window))
            continue;
        const bool input = qobject_cast<QAbstractButton*>(control) ||
                           qobject_cast<QLineEdit*>(control) || qobject_cast<QTextEdit*>(control) ||
                           qobject_cast<QTabBar*>(control);
        // Buttons that Qt builds inside its own views (scroll arrows, the document frame's
        // system buttons, toolbar extensions) are not controls of the window.
        if (!input || control->objectName().startsWith(S("qt_")) || control->objectName().isEmpty())
            continue;
        EXPECT_FALSE(SeenName(control, labels).isEmpty())
            << window->objectName().toStdString() << "/" << control->objectName().toStdString();
    }
}

} // namespace

TEST_F(ShellTest, LogViewerShowsTheSelectedProfilesRunLog) {
    WriteRunLog(S("Default Profile"), GoldenLog("runlog_errors.rtf"));
    frmMain* main = OpenMain();
    QTest::keyClick(main, Qt::Key_L, Qt::ControlModifier);
    auto* log = qobject_cast<frmLog*>(Forms::Find(S("frmLog")));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isVisible());
    EXPECT_EQ(log->windowTitle(), S("Log"));
    EXPECT_FALSE(main->ManagerVisible());
    EXPECT_EQ(main->StatusMessage(), S("Application run log"));
    auto* box = log->findChild<QTextEdit*>(S("rtbRunLog"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    const QString text = box->toPlainText();
    EXPECT_TRUE(text.contains(S("Find duplicates - Details")));
    EXPECT_TRUE(text.contains(S("/srv/odd\\name.txt -  details could not be retrieved")));
    EXPECT_FALSE(text.contains(S("\\par")));
    // The error detail keeps its red.
    QTextCursor find = box->document()->find(S("/home/ann/locked.txt"));
    ASSERT_FALSE(find.isNull());
    EXPECT_EQ(find.charFormat().foreground().color(), QColor(255, 0, 0));

    // A second View log brings the same viewer forward; Close gives the list back.
    main->findChild<QAction*>(S("tbrViewLog"))->trigger();
    EXPECT_EQ(Forms::Find(S("frmLog")), log);
    Click(log, "cmdClose");
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmLog")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->ManagerVisible());
    EXPECT_EQ(main->StatusMessage(), QString());
}

TEST_F(ShellTest, LogViewerOfAProfileThatNeverRanIsEmpty) {
    frmMain* main = OpenMain();
    main->findChild<QAction*>(S("mnuRunViewLog"))->trigger();
    auto* log = qobject_cast<frmLog*>(Forms::Find(S("frmLog")));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->Pane()->TextBox()->toPlainText().isEmpty());
    EXPECT_TRUE(Shown().isEmpty());
}

TEST_F(ShellTest, RunLogPaneReadsANameOutsideAscii) {
    // The log writer escapes the name; the pane shows it as it was typed.
    const QString name = S("Fotos d\u00E9j\u00E0 vu \u65E5\u672C \U0001F4F7");
    modLog::RunStatsRecord stats;
    stats.StartedAt = S("2026-12-06 10:00:00");
    stats.ErrorCount = 1;
    stats.ErrorDetails = {S("/home/ann/caf\u00E9/{draft}.txt -  details could not be retrieved")};
    WriteRunLog(name, modLog::BuildRunLog(name, stats, S("2026-12-06 10:00:05")));
    RunLogPane pane;
    pane.LoadRunLog(name);
    const QString text = pane.TextBox()->toPlainText();
    EXPECT_TRUE(text.contains(S("Profile : ") + name)) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(S("/home/ann/caf\u00E9/{draft}.txt")));
    EXPECT_TRUE(text.contains(S("Error")));
    pane.LoadRunLog(S("Nobody"));
    EXPECT_TRUE(pane.TextBox()->toPlainText().isEmpty());
}

TEST_F(ShellTest, SplashClosesByItselfAndAboutWaitsForOk) {
    {
        frmSplash splash(frmSplash::Use::StartUp);
        EXPECT_FALSE(splash.findChild<QPushButton*>(S("cmdOK"))->isVisibleTo(&splash));
        EXPECT_FALSE(splash.findChild<QLabel*>(S("lblVersionInfo"))->text().isEmpty());
        QElapsedTimer clock;
        clock.start();
        splash.exec();
        EXPECT_GE(clock.elapsed(), 1900);
        EXPECT_LT(clock.elapsed(), 4000);
    }
    frmMain* main = OpenMain();
    bool stayed = false;
    QTimer::singleShot(0, [&] {
        auto* about = ui_testing::WaitForModal<frmSplash>();
        ASSERT_NE(about, nullptr);
        // Well past the splash's two seconds, it is still there.
        QTest::qWait(2300);
        stayed = QApplication::activeModalWidget() == about;
        Click(about, "cmdOK");
    });
    main->findChild<QAction*>(S("mnuAbout"))->trigger();
    EXPECT_TRUE(stayed);
}

TEST_F(ShellTest, SupportWindowShowsItsTextsAndTellsTheMainWindowWhenItGoes) {
    frmMain* main = OpenMain();
    QTest::keyClick(main, Qt::Key_R, Qt::ControlModifier);
    QWidget* support = Forms::Find(S("frmSupport"));
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->windowTitle(), S("Support center"));
    auto* mail = support->findChild<QLabel*>(S("lblSupport"));
    ASSERT_NE(mail, nullptr);
    EXPECT_TRUE(mail->text().contains(S("mailto:") + frmSupport::SupportAddress()));
    // Placed at the top left corner of the work area.
    EXPECT_EQ(qobject_cast<QMdiSubWindow*>(support->parentWidget())->pos(), QPoint(0, 0));
    EXPECT_FALSE(main->ManagerVisible());
    Click(support, "cmdCancel");
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmSupport")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->ManagerVisible());
}

TEST_F(ShellTest, SystemStatisticsDrawsTheChosenDrive) {
    frmMain* main = OpenMain();
    main->findChild<QAction*>(S("tbrSysStats"))->trigger();
    auto* stats = qobject_cast<frmSysStats*>(Forms::Find(S("frmSysStats")));
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->windowTitle(), S("System Statistics"));
    EXPECT_EQ(main->StatusMessage(), S("Sytem statistics"));
    // Whatever fixed drives this machine has, each tab is one of them and the selected one
    // is drawn at once.
    for (int i = 0; i < stats->Tabs()->count(); ++i)
        EXPECT_TRUE(stats->Tabs()->tabData(i).toString().endsWith(u'/'));
    if (stats->Tabs()->count() > 0) {
        EXPECT_TRUE(stats->Shown().RowLabel.startsWith(
            stats->Tabs()->tabText(stats->Tabs()->currentIndex())));
    }
    stats->ShowChart(DriveSpace::ChartFromSpace(S("DATA (/data)"), 1, 2048, 1024));
    EXPECT_EQ(stats->Shown().UsedLabel, S("Total used space - 1,024.00 bytes"));
    Click(stats, "cmdClose");
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmSysStats")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->ManagerVisible());
}

TEST_F(ShellTest, HelpOpensTheShippedGuide) {
    frmMain* main = OpenMain();
    // A guide in the application folder comes before the one shipped with the program.
    QDir().mkpath(modCommon::AppPath + S("help"));
    const QDir shipped(S(ECHOFIND_TEST_DATA "/../../data/help"));
    for (const QString& file : shipped.entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(shipped.filePath(file), modCommon::AppPath + S("help/") + file));
    main->findChild<QAction*>(S("tbrHelp"))->trigger();
    auto* help = qobject_cast<frmHelp*>(Forms::Find(S("frmHelp")));
    ASSERT_NE(help, nullptr);
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
}

TEST_F(ShellTest, EveryControlHasAName) {
    frmMain* main = OpenMain();
    ExpectEveryControlNamed(main);
    main->findChild<QAction*>(S("mnuRunViewLog"))->trigger();
    main->findChild<QAction*>(S("mnuHelpSupport"))->trigger();
    main->findChild<QAction*>(S("tbrSysStats"))->trigger();
    for (const char* name : {"frmLog", "frmSupport", "frmSysStats"}) {
        QWidget* window = Forms::Find(S(name));
        ASSERT_NE(window, nullptr) << name;
        ExpectEveryControlNamed(window);
    }
    frmSplash about(frmSplash::Use::About);
    ExpectEveryControlNamed(&about);
    frmHelp help;
    ExpectEveryControlNamed(&help);
}
