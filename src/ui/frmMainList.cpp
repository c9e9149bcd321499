#include "frmMain.h"
#include "frmMainParts.h"

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modLog.h"
#include "profiles/ProfileList.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QStackedWidget>
#include <QTreeWidget>

#include <algorithm>

using namespace main_window;

// The profile list (the in-memory catalogue), the status bar, and which of the list and
// the document area is in front.

int frmMain::InitForm() {
    int result = Failed;
    MainTrap("InitForm", QString(), [&] {
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
    MainTrap("PopulateListView", QString(), [&] {
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
    MainTrap("FormatListView", QString(), [this] {
        // The dates are never cut: the columns are at least as wide as what they hold.
        for (const int col : {ColModified, ColLastRun}) {
            const int designed =
                col == ColLastRun
                    ? Px(ProfileList::LastRunColumnTwips(m_lvwProfiles->topLevelItemCount()))
                    : m_lvwProfiles->columnWidth(col);
            m_lvwProfiles->resizeColumnToContents(col);
            m_lvwProfiles->setColumnWidth(col, std::max(designed, m_lvwProfiles->columnWidth(col)));
        }
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
    MainTrap("AddNewProfile", QString(), [&] {
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
    MainTrap("UpdateProfile", QString(), [&] {
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
    FormatListView();
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

QMenu* frmMain::PopupMenu() const {
    return m_mnuPopup;
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
    MainTrap(
        "ToggleMnuBar", QStringLiteral("Encountered a problem while toggling menu bar"),
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
