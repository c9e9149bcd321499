#include "FoldersList.h"

#include "DriveText.h"
#include "FileNames.h"
#include "IconCache.h"
#include "SettingsStore.h"
#include "SystemDriveSource.h"
#include "TextSort.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSysInfo>
#include <QTreeWidget>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

QString Qualify(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

QString KeyOf(const QTreeWidgetItem* node) {
    return node->data(0, FoldersList::KeyRole).toString();
}

// Marks changes the control makes itself, which the tree reports like the user's.
class ChangingGuard {
public:
    explicit ChangingGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~ChangingGuard() { --m_depth; }
    ChangingGuard(const ChangingGuard&) = delete;
    ChangingGuard& operator=(const ChangingGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

// Blocks the tree from the user (and shows the wait cursor) while the control works;
// it yields to the event loop on the way, and a second click must not start a second
// change meanwhile.
class FoldersList::Busy {
public:
    explicit Busy(FoldersList& list) : m_list(list), m_wasEnabled(list.m_tree->isEnabled()) {
        ++m_list.m_working;
        m_list.m_tree->setEnabled(false);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Busy() {
        QGuiApplication::restoreOverrideCursor();
        m_list.m_tree->setEnabled(m_wasEnabled);
        --m_list.m_working;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    FoldersList& m_list;
    bool m_wasEnabled;
};

FoldersList::FoldersList(QWidget* parent)
    : FoldersList(std::make_unique<SystemDriveSource>(), parent) {}

FoldersList::FoldersList(std::unique_ptr<DriveSource> drives, QWidget* parent)
    : QWidget(parent), m_tree(new QTreeWidget(this)), m_drives(std::move(drives)),
      m_icons(std::make_unique<IconCache>()) {
    m_tree->setObjectName(u"tvwMain"_s);
    m_tree->setColumnCount(1);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true); // keeps ten thousand siblings cheap to lay out
    m_tree->header()->setStretchLastSection(true);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &FoldersList::OnItemExpanded);
    connect(m_tree, &QTreeWidget::itemChanged, this, &FoldersList::OnItemChanged);
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node, int) { Q_EMIT NodeClick(node); });
    // The host gives focus to the control; the tree is what takes keys.
    setFocusProxy(m_tree);
    m_tree->installEventFilter(this);
    BuildTree();
}

FoldersList::~FoldersList() = default;

void FoldersList::SetDriveSource(std::unique_ptr<DriveSource> drives) {
    m_drives = std::move(drives);
    Refresh();
}

void FoldersList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_tree->setGeometry(0, 0, width(), height());
}

void FoldersList::ReportFailure(const QString& description) {
    Q_EMIT Error(104, description);
}

// ---- host interface ----------------------------------------------------------------

void FoldersList::IncludeSubFolder(bool blnIncludeSubFolder) {
    m_includeSubFolder = blnIncludeSubFolder;
}

void FoldersList::SystemFoldersFiles(bool vNewValue) {
    m_filter.system = vNewValue;
}

void FoldersList::ReadOnlyFoldersFiles(bool vNewValue) {
    m_filter.readOnly = vNewValue;
}

void FoldersList::HiddenFoldersFiles(bool vNewValue) {
    m_filter.hidden = vNewValue;
}

void FoldersList::InitialPath(const QString& strPath) {
    try {
        SelectPath(strPath, true, true);
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void FoldersList::SetUserSelection(const QStringList& vntSelection) {
    try {
        QSet<QString> silentMounts;
        m_silentMounts = &silentMounts;
        for (const QString& element : vntSelection) {
            // Keys are absolute paths, so blanks in front are never part of one; blanks
            // at the end can be ("notes "), and trimming them could name another folder.
            qsizetype start = 0;
            while (start < element.size() && element.at(start) == u' ')
                ++start;
            QString path = element.mid(start);
            if (path.size() > 1 && path.endsWith(u'/'))
                path.chop(1);
            // The empty selection reads back as one empty string; it selects nothing.
            if (path.trimmed().isEmpty())
                continue;
            // A saved folder the tree cannot show stays in the selection, exactly as
            // saved, until the user unticks it.
            if (SelectPath(path, true, false) != Found::Yes)
                AddUnavailable(path);
        }
        m_silentMounts = nullptr;
    } catch (const std::exception& e) {
        m_silentMounts = nullptr;
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

QStringList FoldersList::GetUserSelection() {
    QStringList selection;
    try {
        if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
            for (int i = 0; i < root->childCount(); ++i)
                CollectSelection(root->child(i), selection);
        }
        if (m_unavailable) {
            for (int i = 0; i < m_unavailable->childCount(); ++i)
                if (IsTicked(m_unavailable->child(i)))
                    selection.append(KeyOf(m_unavailable->child(i)));
        }
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
    if (selection.isEmpty())
        selection.append(QString());
    return selection;
}

void FoldersList::Refresh() {
    // A rebuild deletes every node, and work that yielded still holds some (the tree
    // itself may be inside a node's change); it waits until that work has finished.
    if (m_working > 0) {
        if (!m_refreshQueued) {
            m_refreshQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_refreshQueued = false;
                    Refresh();
                },
                Qt::QueuedConnection);
        }
        return;
    }
    try {
        BuildTree();
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void FoldersList::QuickSortFiles(QStringList& strArray, int intLow, int intHigh) {
    if (!TextSort::QuickSort(strArray, intLow, intHigh))
        ReportFailure(u"Subscript out of range"_s);
}

QString FoldersList::GetString(qint32 lngHKey, const QString& strPath, const QString& strValue) {
    QString error;
    const QString value = SettingsStore::GetString(lngHKey, strPath, strValue, error);
    if (!error.isEmpty())
        ReportFailure(error);
    return value;
}

QString FoldersList::RegQueryStringValue(QSettings& hKey, const QString& strValueName) {
    return SettingsStore::QueryValue(hKey, strValueName);
}

// ---- building ----------------------------------------------------------------------

void FoldersList::ResetState() {
    m_selectedColour = QColor(0, 0, 255);
    // The normal text colour: an unset foreground follows the palette.
    m_partialColour = QColor();
    m_clearedColour = QColor();
    m_filter = FolderFilter();
    m_messages = {u"associated icon could not be loaded"_s, u"drive not ready"_s};
}

QString FoldersList::ReadComputerName() {
    QString name = GetString(SettingsStore::CurrentUser, u"Computer"_s, u"Name"_s);
    if (name.isEmpty())
        name = QSysInfo::machineHostName();
    if (name.isEmpty())
        name = u"My Computer"_s;
    return name;
}

void FoldersList::BuildTree() {
    ResetState();
    m_computerName = ReadComputerName();
    m_reader.SetSystemMountPoints(m_drives ? m_drives->SystemMountPoints() : QStringList());
    m_hangingMounts = m_drives ? m_drives->HangingMountPoints() : QStringList();
    m_reader.SetHangingMountPoints(m_hangingMounts);
    ++m_generation;

    ChangingGuard changing(m_changing);
    m_unavailable = nullptr;
    m_tree->clear();
    auto* root = new QTreeWidgetItem(m_tree);
    root->setText(0, m_computerName);
    root->setData(0, KeyRole, m_computerName);
    root->setIcon(0, m_icons->Image(m_icons->FindImageIndex(IconCache::ComputerKey())));
    root->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    root->setCheckState(0, Qt::Unchecked);
    if (m_drives) {
        for (const DriveInfo& drive : m_drives->Drives())
            AddDrive(drive);
    }
    root->setExpanded(true);
}

QTreeWidgetItem* FoldersList::AddDrive(const DriveInfo& drive) {
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    auto* node = new QTreeWidgetItem(root);
    const QString key = Qualify(drive.mountPoint);
    node->setText(0, DriveText::DisplayText(drive));
    node->setData(0, KeyRole, key);
    bool failed = false;
    node->setIcon(0, m_icons->Image(m_icons->DriveIconIndex(key, drive.type, failed)));
    if (failed)
        Q_EMIT Error(103, root->text(0) + u' ' + m_messages.at(0));
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    node->setCheckState(0, Qt::Unchecked);
    // Drives are not probed here: a drive without a medium would hold up the tree.
    NewPlaceholder(node);
    return node;
}

QTreeWidgetItem* FoldersList::NewPlaceholder(QTreeWidgetItem* parent) const {
    auto* placeholder = new QTreeWidgetItem(parent);
    placeholder->setFlags(Qt::ItemIsEnabled);
    return placeholder;
}

// ---- nodes -------------------------------------------------------------------------

bool FoldersList::IsRoot(const QTreeWidgetItem* node) const {
    return node->parent() == nullptr;
}

QTreeWidgetItem* FoldersList::DriveOf(QTreeWidgetItem* node) const {
    if (IsRoot(node))
        return nullptr;
    while (!IsRoot(node->parent()))
        node = node->parent();
    return node;
}

// A node not read yet has exactly its placeholder, a child without a key.
bool FoldersList::IsReadNode(const QTreeWidgetItem* node) const {
    return node->childCount() == 0 || !KeyOf(node->child(0)).isEmpty();
}

bool FoldersList::IsTicked(const QTreeWidgetItem* node) const {
    return node->checkState(0) == Qt::Checked;
}

QColor FoldersList::NodeColour(const QTreeWidgetItem* node) const {
    const QVariant brush = node->data(0, Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color() : QColor();
}

void FoldersList::SetNode(QTreeWidgetItem* node, bool ticked, const QColor& colour) {
    const Qt::CheckState state = ticked ? Qt::Checked : Qt::Unchecked;
    if (node->checkState(0) != state)
        node->setCheckState(0, state);
    if (NodeColour(node) != colour)
        node->setData(0, Qt::ForegroundRole,
                      colour.isValid() ? QVariant(QBrush(colour)) : QVariant());
}

bool FoldersList::Yield() {
    const quint64 generation = m_generation;
    QCoreApplication::processEvents();
    return generation == m_generation;
}

// ---- expanding ---------------------------------------------------------------------

void FoldersList::OnItemExpanded(QTreeWidgetItem* node) {
    // The control expands nodes itself only along paths it has read already.
    if (m_changing)
        return;
    try {
        QString notReady;
        {
            Busy busy(*this);
            ChangingGuard changing(m_changing);
            m_tree->setCurrentItem(node);
            if (IsReadNode(node))
                return;
            delete node->takeChild(0);
            if (!Yield())
                return;
            QTreeWidgetItem* drive = DriveOf(node);
            const QString hangingMount = HangingMountOf(KeyOf(node));
            const bool inherit = NodeColour(node) == m_selectedColour && IsTicked(node);
            QString error;
            if (hangingMount.isEmpty()) {
                if (drive && !m_reader.Answers(KeyOf(drive), error))
                    notReady = Qualify(KeyOf(drive));
                else
                    ReadSubFolders(node, inherit);
            } else {
                // Probing first would block just like the listing, so the listing off
                // this thread is the probe.
                const Outcome outcome = ReadSubFolders(node, inherit);
                if (outcome == Outcome::Abandoned)
                    return;
                if (outcome == Outcome::NoAnswer)
                    notReady = Qualify(hangingMount);
            }
            if (!notReady.isEmpty()) {
                // Keeps the expand button so that the drive can be tried again.
                if (node->childCount() == 0)
                    NewPlaceholder(node);
                node->setExpanded(false);
            }
        }
        if (!notReady.isEmpty())
            Q_EMIT Error(104, notReady + u' ' + m_messages.at(1));
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

QString FoldersList::HangingMountOf(const QString& key) const {
    const QString qualified = Qualify(key);
    QString deepest;
    for (const QString& mountPoint : m_hangingMounts) {
        if (qualified.startsWith(Qualify(mountPoint)) && mountPoint.size() > deepest.size())
            deepest = mountPoint;
    }
    return deepest;
}

FoldersList::Outcome FoldersList::ReadSubFolders(QTreeWidgetItem* node, bool inheritTick) {
    const QString key = KeyOf(node);
    std::vector<SubFolder> folders;
    QString error;
    const quint64 generation = m_generation;
    const QString hangingMount = HangingMountOf(key);
    Outcome outcome = Outcome::Read;
    if (hangingMount.isEmpty()) {
        if (!m_reader.ReadSubFolders(key, m_filter, folders, error, [this] { return Yield(); }))
            outcome = Outcome::Failed;
    } else if (m_silentMounts && m_silentMounts->contains(hangingMount)) {
        outcome = Outcome::NoAnswer;
    } else {
        outcome = m_reader.ReadWithin(key, m_filter, m_answerTimeout, folders, error,
                                      [this] { return Yield(); });
    }
    if (generation != m_generation)
        return Outcome::Abandoned;
    // A share whose root cannot be listed (its server gone, the connection lost) is a
    // drive that does not answer; a folder inside it that cannot be read (no access)
    // is a failure like any other.
    if (outcome == Outcome::Failed && !hangingMount.isEmpty() &&
        Qualify(key) == Qualify(hangingMount))
        outcome = Outcome::NoAnswer;
    if (outcome == Outcome::NoAnswer || outcome == Outcome::Abandoned) {
        // Not read: the node keeps its expand button, to be tried again.
        if (outcome == Outcome::NoAnswer && m_silentMounts)
            m_silentMounts->insert(hangingMount);
        if (outcome == Outcome::NoAnswer)
            NewPlaceholder(node);
        return outcome;
    }

    std::sort(folders.begin(), folders.end(), [](const SubFolder& a, const SubFolder& b) {
        const int order = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    const bool ticked = m_includeSubFolder && inheritTick;
    bool iconFailed = false;
    const QIcon icon =
        folders.empty() ? QIcon() : m_icons->Image(m_icons->FolderIconIndex(iconFailed));
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size()));
    for (const SubFolder& folder : folders) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, u' ' + FileNames::Display(folder.name));
        item->setData(0, KeyRole, Qualify(key) + folder.name);
        item->setIcon(0, icon);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
        if (ticked)
            item->setData(0, Qt::ForegroundRole, QBrush(m_selectedColour));
        if (folder.hasVisibleSubFolder)
            NewPlaceholder(item);
        items.append(item);
    }
    // Added in one go: ten thousand single insertions would each update the view.
    node->addChildren(items);

    // One report per folder read, not one per sub-folder sharing the failed image.
    if (iconFailed)
        Q_EMIT Error(103, node->text(0) + u' ' + m_messages.at(0));
    if (outcome == Outcome::Failed)
        ReportFailure(error);
    return outcome;
}

bool FoldersList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_expandingAll && key == Qt::Key_Escape) {
            m_expandAllStopped = true;
            return true;
        }
        // The tree's own "*" reads on to the end of the drive, however big it is.
        if (watched == m_tree && key == Qt::Key_Asterisk && !m_expandingAll) {
            ExpandAll(m_tree->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FoldersList::ExpandAll(QTreeWidgetItem* start) {
    if (!start || m_expandingAll || m_working)
        return;
    // Esc is heard wherever the focus is while the tree is disabled for a read.
    struct Listening {
        explicit Listening(FoldersList& list) : list(list) {
            list.m_expandingAll = true;
            list.m_expandAllStopped = false;
            QCoreApplication::instance()->installEventFilter(&list);
        }
        ~Listening() {
            QCoreApplication::instance()->removeEventFilter(&list);
            list.m_expandingAll = false;
        }
        FoldersList& list;
    } listening(*this);
    try {
        const quint64 generation = m_generation;
        int reads = 0;
        std::vector<QTreeWidgetItem*> pending{start};
        while (!pending.empty() && !m_expandAllStopped) {
            QTreeWidgetItem* node = pending.back();
            pending.pop_back();
            if (node->childCount() == 0)
                continue;
            if (!IsReadNode(node)) {
                if (reads >= m_expandAllLimit)
                    continue; // left for the next press
                ++reads;
            }
            node->setExpanded(true); // read through OnItemExpanded
            if (generation != m_generation)
                return;
            if (!node->isExpanded() || !IsReadNode(node))
                continue; // did not answer
            for (int i = node->childCount() - 1; i >= 0; --i)
                pending.push_back(node->child(i));
            if (!Yield())
                return;
        }
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

// ---- ticking -----------------------------------------------------------------------

void FoldersList::OnItemChanged(QTreeWidgetItem* node, int column) {
    if (m_changing || column != 0 || KeyOf(node).isEmpty())
        return;
    try {
        // Unticking a folder the tree cannot show takes it out of the selection; it
        // has no tree around it to spread to.
        if (m_unavailable && node->parent() == m_unavailable) {
            Q_EMIT NodeCheck(node);
            return;
        }
        ApplyTick(node);
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void FoldersList::ApplyTick(QTreeWidgetItem* node) {
    {
        Busy busy(*this);
        ChangingGuard changing(m_changing);
        m_tree->setCurrentItem(node);
        const bool ticked = IsTicked(node);
        if (m_includeSubFolder)
            SpreadDown(node);
        SetNode(node, ticked, ticked ? m_selectedColour : m_clearedColour);
        if (!IsRoot(node) && m_includeSubFolder && !UpdateParents(node))
            return; // the tree was rebuilt meanwhile; the node is gone
    }
    Q_EMIT NodeCheck(node);
}

// Children that have not been read yet keep their placeholder; they take the tick
// from their parent's colour when they are read.
void FoldersList::SpreadDown(QTreeWidgetItem* node) {
    const bool ticked = IsTicked(node);
    const QColor colour = ticked ? m_selectedColour : m_clearedColour;
    std::vector<QTreeWidgetItem*> pending{node};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        pending.pop_back();
        if (current->childCount() == 0 || current->child(0)->text(0).isEmpty())
            continue;
        for (int i = 0; i < current->childCount(); ++i) {
            QTreeWidgetItem* child = current->child(i);
            SetNode(child, ticked, colour);
            pending.push_back(child);
        }
    }
}

bool FoldersList::UpdateParents(QTreeWidgetItem* node) {
    while (!IsRoot(node)) {
        QTreeWidgetItem* parent = node->parent();
        const bool ticked = IsTicked(node);
        Spread state = Spread::None;
        if (NodeColour(node) == m_partialColour) {
            state = Spread::Mixed;
        } else {
            for (int i = 0; i < parent->childCount(); ++i) {
                const QTreeWidgetItem* sibling = parent->child(i);
                if (NodeColour(sibling) == m_partialColour || IsTicked(sibling) != ticked)
                    state = Spread::Mixed;
                if (!Yield())
                    return false;
                if (state == Spread::Mixed)
                    break;
            }
        }
        if (state != Spread::Mixed)
            state = ticked ? Spread::All : Spread::None;
        if (state == Spread::All)
            SetNode(parent, true, m_selectedColour);
        else
            SetNode(parent, false, state == Spread::Mixed ? m_partialColour : m_clearedColour);
        node = parent;
    }
    return true;
}

// ---- selection ---------------------------------------------------------------------

void FoldersList::CollectSelection(QTreeWidgetItem* node, QStringList& selection) const {
    const bool ticked = IsTicked(node);
    if (ticked)
        selection.append(KeyOf(node));
    // With sub-folders included a ticked folder stands for everything below it.
    if (ticked && m_includeSubFolder)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        CollectSelection(node->child(i), selection);
}

QTreeWidgetItem* FoldersList::FindDriveFor(const QString& path) const {
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    if (!root)
        return nullptr;
    // Letter case matters on this system: "/Data" is not where "/data" lives.
    const QString qualified = Qualify(path);
    QTreeWidgetItem* best = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* drive = root->child(i);
        const QString key = KeyOf(drive);
        if (qualified.startsWith(key) && (!best || key.size() > KeyOf(best).size()))
            best = drive;
    }
    return best;
}

// Only the exact key: "Docs" and "docs" are two folders here, and restoring a saved
// folder onto another one would scan (and act on) what the user never chose.
QTreeWidgetItem* FoldersList::FindChild(QTreeWidgetItem* node, const QString& key) {
    if (!IsReadNode(node)) {
        delete node->takeChild(0);
        if (!Yield())
            return nullptr;
        // A folder below a fully selected one is selected too, as when it is expanded.
        const bool inherit = NodeColour(node) == m_selectedColour && IsTicked(node);
        if (ReadSubFolders(node, inherit) == Outcome::Abandoned)
            return nullptr;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (KeyOf(child) == key)
            return child;
    }
    return nullptr;
}

FoldersList::Found FoldersList::SelectPath(const QString& path, bool tick, bool reveal) {
    const quint64 generation = m_generation;
    QTreeWidgetItem* found = nullptr;
    {
        Busy busy(*this);
        ChangingGuard changing(m_changing);
        QTreeWidgetItem* current = FindDriveFor(path);
        if (current) {
            const QString rest = Qualify(path).mid(KeyOf(current).size());
            for (const QString& part : rest.split(u'/', Qt::SkipEmptyParts)) {
                current = FindChild(current, Qualify(KeyOf(current)) + part);
                if (generation != m_generation)
                    return Found::Abandoned;
                if (!current)
                    break;
            }
        }
        if (current) {
            SetNode(current, tick, tick ? m_selectedColour : m_clearedColour);
            if (m_includeSubFolder) {
                SpreadDown(current);
                if (!UpdateParents(current))
                    return Found::Abandoned;
            }
            m_tree->scrollToItem(current);
            if (reveal)
                m_tree->setCurrentItem(current);
            found = current;
        }
    }
    if (!found)
        Q_EMIT Error(101, path + u" not found"_s);
    return found ? Found::Yes : Found::No;
}

void FoldersList::AddUnavailable(const QString& path) {
    ChangingGuard changing(m_changing);
    if (!m_unavailable) {
        m_unavailable = new QTreeWidgetItem(m_tree);
        m_unavailable->setText(0, u"Unavailable folders"_s);
        m_unavailable->setFlags(Qt::ItemIsEnabled);
        const QString tip =
            u"Saved folders that cannot be shown in the tree now. They stay selected until "
            u"you untick them."_s;
        m_unavailable->setToolTip(0, tip);
        m_unavailable->setData(0, Qt::AccessibleDescriptionRole, tip);
    }
    for (int i = 0; i < m_unavailable->childCount(); ++i) {
        QTreeWidgetItem* known = m_unavailable->child(i);
        if (KeyOf(known) == path) {
            known->setCheckState(0, Qt::Checked);
            return;
        }
    }
    auto* item = new QTreeWidgetItem(m_unavailable);
    const QString shown = FileNames::Display(path);
    item->setText(0, u' ' + shown);
    item->setData(0, KeyRole, path);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
    item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    const QString tip = shown +
                        u" cannot be shown: it was removed or renamed, is on a drive that is "
                        u"not connected or not answering, is reached through a link, or is "
                        u"hidden by the folder settings. It stays selected until you untick it."_s;
    item->setToolTip(0, tip);
    item->setData(0, Qt::AccessibleDescriptionRole, tip);
    m_unavailable->setExpanded(true);
}
