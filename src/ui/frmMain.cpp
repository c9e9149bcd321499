#include "frmMain.h"

#include "DuplicatesPane.h"
#include "Forms.h"
#include "ResultPopup.h"
#include "frmHelp.h"
#include "frmLog.h"
#include "frmOptions.h"
#include "frmProfile.h"
#include "frmProgress.h"
#include "frmSplash.h"
#include "frmSupport.h"
#include "frmSysStats.h"

#include "actions/ResultsModel.h"
#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modAPI.h"
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

#include <exception>
#include <functional>

namespace {

// Twips to pixels at 96 dots per inch.
int Px(double twips) {
    return int(twips / 15.0 + 0.5);
}

// The window's fixed client size: room for the profile list's four columns and for the
// profile window inside the document area.
constexpr int DesignWidth = 1000;
constexpr int DesignHeight = 700;

enum Column { ColName = 0, ColModified = 1, ColLastRun = 2, ColStatus = 3 };

QString PleaseSelect() {
    return QStringLiteral("Please select a profile from manager and try again");
}

// Every window procedure traps its own unexpected errors: each is logged under the
// procedure's name and, where the procedure has one, its message is shown.
bool Trap(const QString& procedure, const QString& message, const std::function<void()>& body,
          MessageService::Icon icon = MessageService::Icon::Critical) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("frmMain.") + procedure, 0,
                                  QString::fromLocal8Bit(e.what()));
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("frmMain.") + procedure, e.Number, e.Description);
    }
    if (!message.isEmpty())
        Messages().Show(message, icon, MessageService::Buttons::Ok, MessageService::Answer::Ok);
    return false;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
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

    Trap(QStringLiteral("MDIForm_Load"),
         QStringLiteral("Error occured while loading Echofind form"), [this] { PlaceWindow(); });
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
    // Fixed size, no maximise; on a small or highly scaled screen the window keeps to the
    // available area and the document area scrolls instead of cutting anything off.
    QSize size(DesignWidth, DesignHeight);
    QRect avail;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        avail = screen->availableGeometry();
    if (avail.isValid())
        size = size.boundedTo(avail.size() - QSize(16, 48));
    setFixedSize(size);
    // Every button of the frame but maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    statusBar()->setMinimumWidth(size.width());

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

void frmMain::BuildMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                      auto handler) {
        auto* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        if (!key.isEmpty())
            action->setShortcut(key);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* profile = menuBar()->addMenu(QStringLiteral("&Profile"));
    profile->setObjectName(QStringLiteral("mnuProfile"));
    add(profile, "mnuProfileNew", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
        [this] { NewProfile(); });
    add(profile, "mnuProfileEdit", QStringLiteral("&Edit"), QKeySequence(Qt::CTRL | Qt::Key_E),
        [this] {
            Trap(QStringLiteral("mnuProfileEdit_Click"),
                 QStringLiteral("Error occured while displaying profile details for edit"),
                 [this] { EditProfile(m_lvwProfiles->currentItem()); });
        });
    add(profile, "mnuProfileDelete", QStringLiteral("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_D),
        [this] {
            Trap(QStringLiteral("mnuProfileDelete_Click"),
                 QStringLiteral("Error occured while deleting profile details"),
                 [this] { DeleteCommand(); });
        });
    add(profile, "mnuProfileOpenReport", QStringLiteral("Open &report..."), QKeySequence(), [this] {
        Trap(QStringLiteral("mnuProfileOpenReport_Click"),
             QStringLiteral("Error occured while opening the report"), [this] { OpenReport(); });
    });
    profile->addSeparator()->setObjectName(QStringLiteral("mnuProfileSeparator"));
    add(profile, "mnuProfileExit", QStringLiteral("E&xit"), QKeySequence(), [this] { close(); });

    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("mnuRun"));
    add(run, "mnuRunExecute", QStringLiteral("Exec&ute"), QKeySequence(Qt::CTRL | Qt::Key_U),
        [this] {
            Trap(QStringLiteral("mnuRunExecute_Click"),
                 QStringLiteral("Error occured while executing profile"),
                 [this] { ExecuteCommand(); });
        });
    add(run, "mnuRunViewLog", QStringLiteral("View &log"), QKeySequence(Qt::CTRL | Qt::Key_L),
        [this] {
            Trap(QStringLiteral("mnuRunViewLog_Click"),
                 QStringLiteral("Error occured while displaying log"), [this] { ViewLog(); });
        });

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    add(tools, "mnuToolsOptions", QStringLiteral("&Options"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] {
            Trap(QStringLiteral("mnuToolsOptions_Click"),
                 QStringLiteral("Error occured while displaying profile options"), [this] {
                     if (Options() == Failed)
                         Forms::UnloadAllForms();
                 });
        });

    m_mnuWindow = menuBar()->addMenu(QStringLiteral("Window"));
    m_mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
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

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, "mnuHelpContents", QStringLiteral("&Contents"), QKeySequence(Qt::CTRL | Qt::Key_C),
        [this] { ShowHelp(); });
    help->addSeparator()->setObjectName(QStringLiteral("mnuHelpSeparator"));
    add(help, "mnuHelpSupport", QStringLiteral("Suppo&rt"), QKeySequence(Qt::CTRL | Qt::Key_R),
        [this] {
            Trap(QStringLiteral("mnuHelpSupport_Click"),
                 QStringLiteral("Error occured while loading support form"),
                 [this] { ShowSupport(); });
        });
    add(help, "mnuAbout", QStringLiteral("&About"), QKeySequence(Qt::CTRL | Qt::Key_A),
        [this] { ShowAbout(); });
}

void frmMain::BuildToolbar() {
    m_tbrMain = addToolBar(QStringLiteral("Toolbar"));
    m_tbrMain->setObjectName(QStringLiteral("tbrMain"));
    m_tbrMain->setMovable(false);
    m_tbrMain->setFloatable(false);
    m_tbrMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_tbrMain->setIconSize(QSize(24, 24));
    struct Button {
        const char* Key;
        const char* Tip;
        const char* Icon;
        QStyle::StandardPixmap Fallback;
        bool NeedsRows;
    };
    static const Button buttons[] = {
        {"Manager", "Profile Manager", "view-list-details", QStyle::SP_FileDialogListView, false},
        {"New", "New Profile", "document-new", QStyle::SP_FileIcon, false},
        {"Edit", "Edit profile", "document-edit", QStyle::SP_FileDialogContentsView, true},
        {"Delete", "Delete profile", "edit-delete", QStyle::SP_TrashIcon, true},
        {nullptr, nullptr, nullptr, QStyle::SP_CustomBase, false},
        {"Execute", "Find Duplicates", "system-search", QStyle::SP_MediaPlay, true},
        {"Options", "Default Options", "preferences-system", QStyle::SP_FileDialogDetailedView,
         false},
        {"View Log", "View Log", "text-x-generic", QStyle::SP_FileDialogInfoView, true},
        {"Help", "Help", "help-contents", QStyle::SP_DialogHelpButton, false},
        {"Sys Stats", "System Statistics", "drive-harddisk", QStyle::SP_DriveHDIcon, false},
        {"Exit", "Exit", "application-exit", QStyle::SP_DialogCloseButton, false},
    };
    for (const Button& b : buttons) {
        if (!b.Key) {
            m_tbrMain->addSeparator();
            continue;
        }
        const QString key = QLatin1String(b.Key);
        const QString tip = QLatin1String(b.Tip);
        // The tool tip is also the button's text, which is what assistive tools read.
        QAction* action = m_tbrMain->addAction(ThemeIcon(b.Icon, b.Fallback), tip);
        action->setObjectName(QStringLiteral("tbr") + QString(key).remove(u' '));
        action->setToolTip(tip);
        action->setData(key);
        connect(action, &QAction::triggered, this, [this, key] { ToolbarCommand(key); });
        if (b.NeedsRows)
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

// ---- start-up and the profile list ----------------------------------------------------

int frmMain::InitForm() {
    int result = Failed;
    Trap(QStringLiteral("InitForm"), QString(), [&] {
        if (PopulateListView() != Success)
            throw AppError{0, QStringLiteral("Failed to populate list view"),
                           QStringLiteral("frmMain.InitForm")};
        FormatListView();
        ToggleMnuTbrInit();
        ShowManagerPane(true);
        result = Success;
    });
    return result;
}

int frmMain::PopulateListView() {
    int result = Failed;
    Trap(QStringLiteral("PopulateListView"), QString(), [&] {
        int listResult = Success;
        const std::vector<ProfileList::Row> rows = ProfileList::ListRows(listResult);
        if (listResult != Success)
            Messages().Inform(QStringLiteral("Error occured while getting profile details"));
        m_lvwProfiles->clear();
        for (const ProfileList::Row& row : rows)
            AppendRow(row);
        if (m_lvwProfiles->topLevelItemCount() > 0)
            m_lvwProfiles->setCurrentItem(m_lvwProfiles->topLevelItem(0));
        result = Success;
    });
    return result;
}

QTreeWidgetItem* frmMain::AppendRow(const ProfileList::Row& row) {
    auto* item =
        new QTreeWidgetItem(m_lvwProfiles, {row.Name, row.LastModified, row.LastRun, row.Status});
    // The last-run column is narrow by design; the whole date is a hover away.
    item->setToolTip(ColLastRun, row.LastRun);
    item->setToolTip(ColName, row.Name);
    return item;
}

void frmMain::FormatListView() {
    Trap(QStringLiteral("FormatListView"), QString(), [this] {
        m_lvwProfiles->setColumnWidth(
            ColLastRun, Px(ProfileList::LastRunColumnTwips(m_lvwProfiles->topLevelItemCount())));
    });
}

std::vector<ProfileList::Row> frmMain::Rows() const {
    std::vector<ProfileList::Row> rows;
    rows.reserve(size_t(m_lvwProfiles->topLevelItemCount()));
    for (int i = 0; i < m_lvwProfiles->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_lvwProfiles->topLevelItem(i);
        rows.push_back({item->text(ColName), item->text(ColModified), item->text(ColLastRun),
                        item->text(ColStatus)});
    }
    return rows;
}

QTreeWidgetItem* frmMain::FindRow(const QString& name) const {
    const qsizetype i = ProfileList::FindRow(Rows(), name);
    return i < 0 ? nullptr : m_lvwProfiles->topLevelItem(int(i));
}

QString frmMain::SelectedProfileName() const {
    const QTreeWidgetItem* item = m_lvwProfiles->currentItem();
    return item && item->isSelected() ? item->text(ColName) : QString();
}

void frmMain::AddNewProfile(const QString& strProfileName) {
    Trap(QStringLiteral("AddNewProfile"), QString(), [&] {
        if (FindRow(strProfileName))
            return;
        QTreeWidgetItem* item =
            AppendRow({strProfileName, modLog::Now(), QString(), QStringLiteral("Never")});
        m_lvwProfiles->setCurrentItem(item);
        m_lvwProfiles->scrollToItem(item);
        FormatListView();
        ToggleMnuTbrInit();
    });
}

void frmMain::UpdateProfile(const QString& strProfileName, const QString& strStatus,
                            const QString& strLastRun) {
    Trap(QStringLiteral("UpdateProfile"), QString(), [&] {
        QTreeWidgetItem* item = FindRow(strProfileName);
        if (!item)
            throw AppError{0,
                           QStringLiteral("No profile named ") + strProfileName +
                               QStringLiteral(" in the list"),
                           QStringLiteral("frmMain.UpdateProfile")};
        item->setText(ColLastRun, strLastRun);
        item->setToolTip(ColLastRun, strLastRun);
        item->setText(ColStatus, strStatus);
    });
}

void frmMain::DeleteSelectedListViewRecord() {
    QTreeWidgetItem* item = m_lvwProfiles->currentItem();
    if (!item)
        return;
    const int index = m_lvwProfiles->indexOfTopLevelItem(item);
    delete m_lvwProfiles->takeTopLevelItem(index);
    const int count = m_lvwProfiles->topLevelItemCount();
    if (count > 0)
        m_lvwProfiles->setCurrentItem(m_lvwProfiles->topLevelItem(qMin(index, count - 1)));
    FormatListView();
}

void frmMain::ToggleMnuTbrInit() {
    const bool hasRows = m_lvwProfiles->topLevelItemCount() > 0;
    for (QAction* action : m_profileDependent)
        action->setEnabled(hasRows);
}

void frmMain::DisplayStatusMsg(const QString& text) {
    m_status->setText(text);
}

void frmMain::DisplayMarkTotals(const QString& text) {
    m_markTotals->setText(text);
    m_markTotals->setVisible(!text.isEmpty());
}

QString frmMain::MarkTotalsMessage() const {
    return m_markTotals->text();
}

QString frmMain::StatusMessage() const {
    return m_status->text();
}

bool frmMain::ManagerVisible() const {
    return m_pctProfiles->isVisibleTo(const_cast<frmMain*>(this)) &&
           static_cast<QStackedWidget*>(centralWidget())->currentWidget() == m_pctProfiles;
}

void frmMain::ShowManagerPane(bool show) {
    auto* stack = static_cast<QStackedWidget*>(centralWidget());
    stack->setCurrentWidget(show ? static_cast<QWidget*>(m_pctProfiles) : m_mdiArea);
    if (show)
        m_lvwProfiles->setFocus();
}

void frmMain::ToggleMnuBar(const QString& what, bool enabled) {
    Q_UNUSED(what); // names the caller for the log; the behaviour is the same for all
    Trap(
        QStringLiteral("ToggleMnuBar"),
        QStringLiteral("Encountered a problem while toggling menu bar"),
        [&] {
            if (enabled && m_openWindows == 0) {
                DisplayStatusMsg(QString());
                ShowManagerPane(true);
            } else if (!enabled) {
                ShowManagerPane(false);
            }
        },
        MessageService::Icon::Information);
}

void frmMain::Track(QWidget* window) {
    ++m_openWindows;
    m_tracking.push_back(connect(window, &QObject::destroyed, this, [this] {
        --m_openWindows;
        // A window going while this one unloads has nothing to restore.
        if (m_unloaded)
            return;
        DisplayMarkTotals(QString());
        ToggleMnuTbrInit();
        ToggleMnuBar(QStringLiteral("Closed"), true);
    }));
}

// ---- hosting child windows ------------------------------------------------------------

QMdiSubWindow* frmMain::Host(QWidget* child, bool show) {
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setObjectName(QStringLiteral("sub") + child->objectName());
    sub->setWindowIcon(windowIcon());
    child->installEventFilter(this);
    Track(child);
    if (show) {
        ShowManagerPane(false);
        sub->show();
        m_mdiArea->setActiveSubWindow(sub);
    }
    return sub;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // A hosted window that is shown while its frame is hidden (the profile window loaded
    // hidden for a run) takes its frame along, in front of the profile manager.
    if (event->type() == QEvent::ShowToParent) {
        auto* child = qobject_cast<QWidget*>(watched);
        auto* sub = child ? qobject_cast<QMdiSubWindow*>(child->parentWidget()) : nullptr;
        if (sub && !sub->isVisible()) {
            ShowManagerPane(false);
            sub->show();
            m_mdiArea->setActiveSubWindow(sub);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::BringToFront(QWidget* window) {
    if (!window)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        ShowManagerPane(false);
        sub->show();
        m_mdiArea->setActiveSubWindow(sub);
    } else {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

int frmMain::OpenProfile(const QString& strProfileName, const QString& strAction) {
    return OpenProfile(strProfileName, strAction, true);
}

int frmMain::OpenProfile(const QString& strProfileName, const QString& strAction, bool show) {
    int result = 0;
    Trap(QStringLiteral("OpenProfile"), QString(), [&] {
        if (frmProfile* open = Forms::Profile()) {
            QString name = open->ProfileNameText();
            if (name.isEmpty())
                name = QStringLiteral("<new profile>");
            if (strAction == u"A")
                Messages().Inform(
                    QStringLiteral(" Profile name : ") + name +
                    QStringLiteral(
                        " is already open. Please close it before opening another profile."));
            BringToFront(open);
            result = 0;
            return;
        }
        auto* profile = new frmProfile(*this);
        profile->SetAction(strAction);
        if (profile->Init(strProfileName) != Success) {
            delete profile;
            result = Failed;
            return;
        }
        QMdiSubWindow* sub = Host(profile, false);
        // Placed over the profile list's extent, the way the list was laid out.
        sub->move(0, 0);
        sub->resize(
            sub->sizeHint().boundedTo(m_mdiArea->viewport()->size()).expandedTo(QSize(640, 480)));
        QCoreApplication::processEvents();
        if (show) {
            ShowManagerPane(false);
            sub->show();
            m_mdiArea->setActiveSubWindow(sub);
        }
        result = Success;
    });
    return result;
}

// ---- commands -------------------------------------------------------------------------

void frmMain::ToolbarCommand(const QString& key) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (key == u"Manager") {
        ShowProfileManager();
    } else if (key == u"New") {
        NewProfile();
    } else if (key == u"Edit") {
        Trap(QStringLiteral("mnuProfileEdit_Click"),
             QStringLiteral("Error occured while displaying profile details for edit"),
             [this] { EditProfile(m_lvwProfiles->currentItem()); });
    } else if (key == u"Delete") {
        Trap(QStringLiteral("mnuProfileDelete_Click"),
             QStringLiteral("Error occured while deleting profile details"),
             [this] { DeleteCommand(); });
    } else if (key == u"Execute") {
        Trap(QStringLiteral("mnuRunExecute_Click"),
             QStringLiteral("Error occured while executing profile"), [this] { ExecuteCommand(); });
    } else if (key == u"Options") {
        Options();
    } else if (key == u"View Log") {
        Trap(QStringLiteral("mnuRunViewLog_Click"),
             QStringLiteral("Error occured while displaying log"), [this] { ViewLog(); });
    } else if (key == u"Help") {
        ShowHelp();
    } else if (key == u"Sys Stats") {
        SysStats();
    } else if (key == u"Exit") {
        QApplication::restoreOverrideCursor();
        close();
        return;
    }
    QApplication::restoreOverrideCursor();
}

void frmMain::NewProfile() {
    Trap(QStringLiteral("mnuProfileNew_Click"),
         QStringLiteral("Error occured while opening new profile"), [this] {
             const int result = OpenProfile(QStringLiteral("config.xml"), QStringLiteral("A"));
             if (result == Failed) {
                 Messages().Critical(
                     QStringLiteral("Error occured while intialising the new profile"));
                 Forms::UnloadAllForms();
             } else if (result == Success) {
                 ToggleMnuBar(QStringLiteral("NewEdit"), false);
             }
         });
}

void frmMain::EditProfile(QTreeWidgetItem* row) {
    if (!row) {
        // With nothing selected (an empty list) there is nothing to edit.
        if (!Forms::Profile()) {
            Messages().Inform(PleaseSelect());
            return;
        }
    }
    const QString name = row ? row->text(ColName) : QString();
    if (OpenProfile(name, QStringLiteral("E")) == Success)
        ToggleMnuBar(QStringLiteral("NewEdit"), false);
}

void frmMain::OpenReport() {
    // A report is shown in the duplicates of the profile it belongs to: the open profile
    // window, or the profile selected in the list, opened as Edit opens it.
    if (!Forms::Profile()) {
        QTreeWidgetItem* row = m_lvwProfiles->currentItem();
        if (!row) {
            Messages().Inform(PleaseSelect());
            return;
        }
        if (OpenProfile(row->text(ColName), QStringLiteral("E")) != Success)
            return;
        ToggleMnuBar(QStringLiteral("NewEdit"), false);
    }
    if (frmProfile* profile = Forms::Profile()) {
        BringToFront(profile);
        profile->OpenReport();
    }
}

void frmMain::DeleteCommand() {
    if (Forms::LoadedCount() == 1 && m_lvwProfiles->topLevelItemCount() > 0) {
        DeleteProfile();
        ToggleMnuTbrInit();
    } else {
        Messages().Inform(PleaseSelect());
    }
}

void frmMain::DeleteProfile() {
    Trap(QStringLiteral("DeleteProfile"), QString(), [this] {
        const QTreeWidgetItem* item = m_lvwProfiles->currentItem();
        if (!item)
            return;
        const QString name = item->text(ColName);
        if (Messages().Show(QStringLiteral("Do you want to delete the profile ") + name +
                                QStringLiteral("?"),
                            MessageService::Icon::Information, MessageService::Buttons::YesNo,
                            MessageService::Answer::No) != MessageService::Answer::Yes)
            return;
        if (modAPI::MyDeleteFile(modCommon::ProfileFolder + name + QStringLiteral(".xml")) ==
            Success) {
            // A profile that never ran has no log; the failed delete only leaves a log line.
            modAPI::MyDeleteFile(modCommon::LogPath + name + QStringLiteral(".log"));
            DeleteSelectedListViewRecord();
        } else {
            Messages().Inform(QStringLiteral("Error occured while deleting profile - ") + name);
        }
    });
}

void frmMain::ExecuteCommand() {
    if (!ManagerVisible()) {
        Messages().Inform(PleaseSelect());
        return;
    }
    const QString name = SelectedProfileName();
    if (!name.isEmpty())
        ExecuteProfile(name);
}

void frmMain::ExecuteProfile(const QString& name) {
    Trap(QStringLiteral("ExecuteProfile"), QString(), [&] {
        if (OpenProfile(name, QStringLiteral("E"), false) != Success)
            return;
        frmProfile* profile = Forms::Profile();
        if (!profile)
            return;
        // The window was opened for this run alone: without results it goes again, as one
        // left loaded behind the list would refuse every later New or Edit.
        if (profile->RunScan() != frmProgress::Ending::Finished) {
            Forms::Unload(profile);
            return;
        }
        BringToFront(profile);
        if (profile->Results().rowCount() > 0)
            profile->Duplicates()->RowHighlight(QStringLiteral("Key"));
    });
}

void frmMain::ViewLog() {
    if (QWidget* open = Forms::Find(QStringLiteral("frmLog"))) {
        BringToFront(open);
        return;
    }
    auto* log = new frmLog;
    log->LoadLog(SelectedProfileName().trimmed());
    Host(log, false)->resize(960, 560);
    ToggleMnuBar(QStringLiteral("ViewLog"), false);
    BringToFront(log);
}

int frmMain::Options() {
    int result = Success;
    Trap(QStringLiteral("Options"), QStringLiteral("Error occured while loading default settings"),
         [&] {
             if (QWidget* open = Forms::Find(QStringLiteral("frmOptions"))) {
                 BringToFront(open);
                 return;
             }
             // Not modal, like the other windows: it closes itself with OK or Cancel and tells
             // this window as it goes.
             auto* options = new frmOptions(*this, this);
             if (options->FormInit() != Success) {
                 delete options;
                 result = Failed;
                 Forms::UnloadAllForms();
                 return;
             }
             options->setAttribute(Qt::WA_DeleteOnClose);
             Track(options);
             ToggleMnuBar(QStringLiteral("Options"), false);
             options->show();
         });
    return result;
}

void frmMain::SysStats() {
    Trap(QStringLiteral("SysStats"), QString(), [this] {
        if (QWidget* open = Forms::Find(QStringLiteral("frmSysStats"))) {
            BringToFront(open);
            return;
        }
        auto* stats = new frmSysStats;
        if (stats->FormInit() != Success) {
            delete stats;
            return;
        }
        Host(stats, false)->resize(620, 480);
        ToggleMnuBar(QStringLiteral("SysStat"), false);
        BringToFront(stats);
    });
}

void frmMain::ShowProfileManager() {
    Trap(QStringLiteral("ShowProfileManager"), QString(), [this] {
        if (frmProfile* profile = Forms::Profile()) {
            if (!Messages().Ask(
                    QStringLiteral(
                        "Currently open profile will be closed. Do you want to continue? "),
                    MessageService::Answer::No))
                return;
            Forms::Unload(profile);
        }
        Forms::UnloadOthers(this);
        DisplayStatusMsg(QString());
        ShowManagerPane(true);
    });
}

void frmMain::ShowHelp() {
    Trap(QStringLiteral("mnuHelpContents_Click"), QString(), [this] {
        auto* help = qobject_cast<frmHelp*>(Forms::Find(QStringLiteral("frmHelp")));
        if (!help) {
            help = new frmHelp(this);
            help->setAttribute(Qt::WA_DeleteOnClose);
            if (help->OpenContents() != Success) {
                // A missing guide is only written to the application log.
                delete help;
                return;
            }
        }
        BringToFront(help);
    });
}

void frmMain::ShowSupport() {
    if (QWidget* open = Forms::Find(QStringLiteral("frmSupport"))) {
        BringToFront(open);
        return;
    }
    auto* support = new frmSupport;
    QMdiSubWindow* sub = Host(support, false);
    sub->adjustSize();
    sub->move(0, 0);
    ToggleMnuBar(QStringLiteral("Support"), false);
    BringToFront(support);
}

void frmMain::ShowAbout() {
    frmSplash about(frmSplash::Use::About, this);
    about.exec();
}

// ---- unloading ------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    m_unloaded = true;
    // The children report their state to this window as they close, before it saves.
    Forms::UnloadOthers(this);
    Trap(QStringLiteral("Unload"), QStringLiteral("Error occured while saving profile status"),
         [this] {
             const std::vector<ProfileList::Row> rows = Rows();
             if (rows.empty())
                 return;
             if (ProfileList::SaveRows(rows) != Success)
                 modLog::LogProcedureError(
                     QStringLiteral("frmMain.Unload"), 530,
                     QStringLiteral("Error occured while saving profile details"));
             modLog::WriteAppLog(modCommon::AppLogFile,
                                 QStringLiteral("*** Application ended at:") + modLog::Now() +
                                     QStringLiteral("***"));
         });
    event->accept();
    // From here on the window no longer counts as loaded; it goes when control is back in
    // the event loop.
    setProperty("echofindUnloaded", true);
    deleteLater();
}
