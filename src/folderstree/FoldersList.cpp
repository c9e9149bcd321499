#include "FoldersList.h"

#include "DriveText.h"
#include "IconCache.h"
#include "SettingsStore.h"
#include "SystemDriveSource.h"
#include "TextSort.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
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
        for (const QString& element : vntSelection) {
            // A folder name may end in a blank on this system; the text is trimmed
            // only when it does not already name a folder, so a stored key always
            // finds its own folder again.
            QString path = element;
            if (path.size() > 1 && path.endsWith(u'/'))
                path.chop(1);
            if (!QFileInfo(path).isDir()) {
                path = element.trimmed();
                if (path.size() > 1 && path.endsWith(u'/'))
                    path.chop(1);
            }
            // The empty selection reads back as one empty string; it selects nothing.
            if (path.isEmpty())
                continue;
            SelectPath(path, true, false);
        }
    } catch (const std::exception& e) {
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
    ++m_generation;

    ChangingGuard changing(m_changing);
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
        QString driveRoot;
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
            QString error;
            if (drive && !m_reader.Answers(KeyOf(drive), error)) {
                // Keeps the expand button so that the drive can be tried again.
                NewPlaceholder(node);
                node->setExpanded(false);
                driveRoot = Qualify(KeyOf(drive));
            } else {
                const bool inherit = NodeColour(node) == m_selectedColour && IsTicked(node);
                ReadSubFolders(node, inherit);
            }
        }
        if (!driveRoot.isEmpty())
            Q_EMIT Error(104, driveRoot + u' ' + m_messages.at(1));
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

bool FoldersList::ReadSubFolders(QTreeWidgetItem* node, bool inheritTick) {
    const QString key = KeyOf(node);
    std::vector<SubFolder> folders;
    QString error;
    const quint64 generation = m_generation;
    const bool complete =
        m_reader.ReadSubFolders(key, m_filter, folders, error, [this] { return Yield(); });
    if (generation != m_generation)
        return false;

    std::sort(folders.begin(), folders.end(), [](const SubFolder& a, const SubFolder& b) {
        const int order = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    const bool ticked = m_includeSubFolder && inheritTick;
    bool iconFailed = false;
    const QIcon icon =
        folders.empty()
            ? QIcon()
            : m_icons->Image(m_icons->IconIndex(Qualify(key) + folders.front().name, iconFailed));
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size()));
    for (const SubFolder& folder : folders) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, u' ' + folder.name);
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
    if (!complete)
        ReportFailure(error);
    return complete;
}

// ---- ticking -----------------------------------------------------------------------

void FoldersList::OnItemChanged(QTreeWidgetItem* node, int column) {
    if (m_changing || column != 0 || KeyOf(node).isEmpty())
        return;
    try {
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
    const QString qualified = Qualify(path);
    QTreeWidgetItem* best = nullptr;
    bool bestExact = false;
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* drive = root->child(i);
        const QString key = KeyOf(drive);
        if (!qualified.startsWith(key, Qt::CaseInsensitive))
            continue;
        // A drive whose key matches exactly outranks any that matches only without
        // regard to case: "/Data" must not take a path under the folder "/data".
        const bool exact = qualified.startsWith(key);
        const qsizetype bestLength = best ? KeyOf(best).size() : -1;
        if ((exact && !bestExact) || (exact == bestExact && key.size() > bestLength)) {
            best = drive;
            bestExact = exact;
        }
    }
    return best;
}

// On this system "Docs" and "docs" can live side by side, so a key that matches
// exactly wins over one that matches only without regard to case.
QTreeWidgetItem* FoldersList::FindChild(QTreeWidgetItem* node, const QString& key) {
    if (!IsReadNode(node)) {
        delete node->takeChild(0);
        if (!Yield())
            return nullptr;
        // A folder below a fully selected one is selected too, as when it is expanded.
        const bool inherit = NodeColour(node) == m_selectedColour && IsTicked(node);
        const quint64 generation = m_generation;
        ReadSubFolders(node, inherit);
        if (generation != m_generation)
            return nullptr;
    }
    QTreeWidgetItem* caseless = nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        const QString childKey = KeyOf(child);
        if (childKey == key)
            return child;
        if (!caseless && childKey.compare(key, Qt::CaseInsensitive) == 0)
            caseless = child;
    }
    return caseless;
}

void FoldersList::SelectPath(const QString& path, bool tick, bool reveal) {
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
                    return;
                if (!current)
                    break;
            }
        }
        if (current) {
            SetNode(current, tick, tick ? m_selectedColour : m_clearedColour);
            if (m_includeSubFolder) {
                SpreadDown(current);
                if (!UpdateParents(current))
                    return;
            }
            m_tree->scrollToItem(current);
            if (reveal)
                m_tree->setCurrentItem(current);
            found = current;
        }
    }
    if (!found)
        Q_EMIT Error(101, path + u" not found"_s);
}
