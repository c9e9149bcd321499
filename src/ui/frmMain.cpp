#include "frmMain.h"
#include "WindowSizing.h"
#include "frmMainParts.h"

#include "Forms.h"
#include "ResultPopup.h"
#include "frmSplash.h"

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ProfileList.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace main_window;

namespace {

// The window's fixed client size: room for the profile list's four columns and for the
// profile window inside the document area.
constexpr int DesignWidth = 1000;
constexpr int DesignHeight = 700;

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    // Themes draw these three in grey, which reads as disabled beside the coloured others.
    static const struct {
        const char* Theme;
        const char* Own;
    } own[] = {{"document-new", "profile-new"},
               {"edit-delete", "profile-delete"},
               {"drive-harddisk", "sys-stats"}};
    for (const auto& o : own)
        if (qstrcmp(name, o.Theme) == 0)
            return QIcon(QStringLiteral(":/actions/") + QLatin1String(o.Own) +
                         QStringLiteral(".png"));
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    Q_INIT_RESOURCE(ActionIcons);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Echofind"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(frmSplash::ProgramIcon());
    setWindowIcon(QApplication::windowIcon());

    auto* stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("stkMain"));
    m_pctProfiles = new QWidget(stack);
    m_pctProfiles->setObjectName(QStringLiteral("pctProfiles"));
    m_pctProfiles->setAccessibleName(QStringLiteral("Profile Manager"));
    auto* paneLayout = new QVBoxLayout(m_pctProfiles);
    paneLayout->setContentsMargins(6, 6, 6, 6);
    auto* caption = new QLabel(QStringLiteral("Pro&files"), m_pctProfiles);
    m_lvwProfiles = new QTreeWidget(m_pctProfiles);
    m_lvwProfiles->setObjectName(QStringLiteral("lvwProfiles"));
    m_lvwProfiles->setAccessibleName(QStringLiteral("Profiles"));
    caption->setBuddy(m_lvwProfiles);
    m_lvwProfiles->setRootIsDecorated(false);
    m_lvwProfiles->setItemsExpandable(false);
    m_lvwProfiles->setUniformRowHeights(true);
    m_lvwProfiles->setAllColumnsShowFocus(true);
    m_lvwProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lvwProfiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvwProfiles->setHeaderLabels({QStringLiteral("Profile Name"), QStringLiteral("Last Modified"),
                                    QStringLiteral("Last Run"), QStringLiteral("Status")});
    m_lvwProfiles->header()->setStretchLastSection(true);
    m_lvwProfiles->header()->setSectionsMovable(false);
    m_lvwProfiles->setColumnWidth(ColName, 320);
    m_lvwProfiles->setColumnWidth(ColModified, 160);
    m_lvwProfiles->setColumnWidth(ColLastRun, Px(1400));
    paneLayout->addWidget(caption);
    paneLayout->addWidget(m_lvwProfiles);

    m_mdiArea = new QMdiArea(stack);
    m_mdiArea->setObjectName(QStringLiteral("mdiMain"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    stack->addWidget(m_pctProfiles);
    stack->addWidget(m_mdiArea);
    setCentralWidget(stack);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("sbrmainPanel1"));
    statusBar()->setObjectName(QStringLiteral("sbrmain"));
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(false);
    m_markTotals = new QLabel(this);
    m_markTotals->setObjectName(QStringLiteral("sbrmainMarks"));
    statusBar()->addPermanentWidget(m_markTotals);
    m_markTotals->hide();

    BuildMenus();
    BuildToolbar();
    BuildPopup();

    connect(m_lvwProfiles, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row, int) { EditProfile(row); });
    connect(m_lvwProfiles, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row, int) {
        // Enter on a row edits it, as a double-click does; the mouse already has its own.
        if (!(QApplication::mouseButtons() & Qt::LeftButton))
            EditProfile(row);
    });

    // The small windows name themselves in the status bar while they are in front.
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        const QString name = sub && sub->widget() ? sub->widget()->objectName() : QString();
        if (name == u"frmLog")
            DisplayStatusMsg(QStringLiteral("Application run log"));
        else if (name == u"frmSysStats")
            DisplayStatusMsg(QStringLiteral("Sytem statistics"));
    });

    // A resizable window's profile window follows the document area's size.
    m_mdiArea->viewport()->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { BringIntoView(now); });

    MainTrap("MDIForm_Load", QStringLiteral("Error occured while loading Echofind form"),
             [this] { PlaceWindow(); });
}

frmMain::~frmMain() {
    // The windows this one hosts are deleted after its own parts: they must not call back.
    for (const QMetaObject::Connection& c : m_tracking)
        disconnect(c);
}

QMdiArea* frmMain::MdiArea() {
    return m_mdiArea;
}

void frmMain::PlaceWindow() {
    // Fixed size, no maximise, unless the default options let it be resized; on a small or
    // highly scaled screen the window keeps to the available area and the document area
    // scrolls instead of cutting anything off.
    QRect avail;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        avail = screen->availableGeometry();
    const QSize size = ApplySizing(avail);

    QSettings settings(QStringLiteral("Echofind"), QStringLiteral("Echofind"));
    settings.beginGroup(QStringLiteral("Startup"));
    const int left = settings.value(QStringLiteral("Left"), -1).toInt();
    const int top = settings.value(QStringLiteral("Top"), -1).toInt();
    settings.endGroup();
    if (left != -1)
        move(left, top == -1 ? 0 : top);
    else if (avail.isValid())
        move(avail.x() + (avail.width() - size.width()) / 2,
             avail.y() + (avail.height() - size.height()) / 2);
}

QSize frmMain::ApplySizing(const QRect& avail) {
    const bool resizable = WindowSizing::Resizable();
    QSize size(DesignWidth, DesignHeight);
    if (resizable && WindowSizing::SavedSize().isValid())
        size = WindowSizing::SavedSize();
    if (avail.isValid())
        size = size.boundedTo(avail.size() - QSize(16, 48));
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint;
    if (resizable) {
        setMinimumSize(QSize(640, 480).boundedTo(size));
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(size);
        flags |= Qt::WindowMaximizeButtonHint;
        statusBar()->setMinimumWidth(0);
    } else {
        setFixedSize(size);
        statusBar()->setMinimumWidth(size.width());
    }
    m_resizable = resizable;
    setWindowFlags(flags);
    statusBar()->setSizeGripEnabled(resizable);
    return size;
}

void frmMain::WindowSizingChanged() {
    const bool shown = isVisible();
    const QPoint at = pos();
    QRect avail;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        avail = screen->availableGeometry();
    ApplySizing(avail);
    move(at);
    if (shown)
        show();
}

void frmMain::BuildMenus() {
    const auto menu = [this](const char* name, const QString& title) {
        QMenu* m = menuBar()->addMenu(title);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    QMenu* profile = menu("mnuProfile", QStringLiteral("&Profile"));
    QMenu* run = menu("mnuRun", QStringLiteral("&Run"));
    QMenu* tools = menu("mnuTools", QStringLiteral("&Tools"));
    m_mnuWindow = menu("mnuWindow", QStringLiteral("Window"));
    QMenu* help = menu("mnuHelp", QStringLiteral("&Help"));
    for (const Command& c : Commands()) {
        if (!c.Menu)
            continue;
        QMenu* into = findChild<QMenu*>(QLatin1String(c.Menu));
        // Exit stands apart from the profile commands, and Support and About from the guide.
        if (c.Run == &frmMain::Exit)
            profile->addSeparator()->setObjectName(QStringLiteral("mnuProfileSeparator"));
        if (c.Run == &frmMain::ShowSupport)
            help->addSeparator()->setObjectName(QStringLiteral("mnuHelpSeparator"));
        QAction* action = into->addAction(QLatin1String(c.Text));
        action->setObjectName(QLatin1String(c.Name));
        action->setShortcut(QKeySequence(QLatin1String(c.Shortcut)));
        // F1 is where people look for help, beside the program's own key.
        if (c.Run == &frmMain::ShowHelp)
            action->setShortcuts(
                {QKeySequence(QLatin1String(c.Shortcut)), QKeySequence(Qt::Key_F1)});
        connect(action, &QAction::triggered, this, [this, &c] { RunCommand(c, false); });
    }
    Q_UNUSED(run);
    Q_UNUSED(tools);
    connect(m_mnuWindow, &QMenu::aboutToShow, this, [this] {
        m_mnuWindow->clear();
        int n = 0;
        for (QMdiSubWindow* sub : m_mdiArea->subWindowList()) {
            if (!sub->isVisible())
                continue;
            ++n;
            QAction* item =
                m_mnuWindow->addAction(QStringLiteral("&%1 %2").arg(n).arg(sub->windowTitle()));
            item->setCheckable(true);
            item->setChecked(sub == m_mdiArea->activeSubWindow());
            connect(item, &QAction::triggered, this,
                    [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
        }
        if (n == 0)
            m_mnuWindow->addAction(QStringLiteral("(no open windows)"))->setEnabled(false);
    });
}

void frmMain::BuildToolbar() {
    m_tbrMain = addToolBar(QStringLiteral("Toolbar"));
    m_tbrMain->setObjectName(QStringLiteral("tbrMain"));
    m_tbrMain->setMovable(false);
    m_tbrMain->setFloatable(false);
    m_tbrMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_tbrMain->setIconSize(QSize(24, 24));
    static const char* const order[] = {"Manager", "New",       "Edit",    "Delete",
                                        nullptr,   "Execute",   "Options", "View Log",
                                        "Help",    "Sys Stats", "Exit"};
    for (const char* key : order) {
        if (!key) {
            m_tbrMain->addSeparator();
            continue;
        }
        const auto found =
            std::find_if(Commands().begin(), Commands().end(), [&](const Command& c) {
                return c.Key && QLatin1String(c.Key) == QLatin1String(key);
            });
        const Command& c = *found;
        const QString tip = QLatin1String(c.Tip);
        // The tool tip is also the button's text, which is what assistive tools read.
        QAction* action = m_tbrMain->addAction(ThemeIcon(c.Icon, c.Fallback), tip);
        action->setObjectName(QStringLiteral("tbr") + QString(QLatin1String(key)).remove(u' '));
        action->setToolTip(tip);
        action->setData(QLatin1String(key));
        connect(action, &QAction::triggered, this, [this, &c] { RunCommand(c, true); });
        if (c.NeedsRows)
            m_profileDependent.push_back(action);
        if (QWidget* button = m_tbrMain->widgetForAction(action)) {
            button->setObjectName(action->objectName() + QStringLiteral("Button"));
            button->setAccessibleName(tip);
        }
    }
}

void frmMain::BuildPopup() {
    // Never part of the menu bar: the profile window shows it over the results grid.
    m_mnuPopup = new QMenu(QStringLiteral("Popup"), this);
    m_mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    ResultPopup::Fill(m_mnuPopup);
}

// ---- unloading ------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    m_unloaded = true;
    if (m_resizable)
        WindowSizing::SaveSize(isMaximized() ? normalGeometry().size() : size());
    // The children report their state to this window as they close, before it saves.
    Forms::UnloadOthers(this);
    MainTrap("Unload", QStringLiteral("Error occured while saving profile status"), [this] {
        const std::vector<ProfileList::Row> rows = Rows();
        if (rows.empty())
            return;
        if (ProfileList::SaveRows(rows) != Success)
            modLog::LogProcedureError(QStringLiteral("frmMain.Unload"), 530,
                                      QStringLiteral("Error occured while saving profile details"));
        modLog::WriteAppLog(modCommon::AppLogFile, QStringLiteral("*** Application ended at:") +
                                                       modLog::Now() + QStringLiteral("***"));
    });
    event->accept();
    // From here on the window no longer counts as loaded; it goes when control is back in
    // the event loop.
    setProperty("echofindUnloaded", true);
    deleteLater();
}
