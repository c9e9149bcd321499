#include "FoldersList.h"

#include "IconCache.h"
#include "SettingsStore.h"
#include "SystemDriveSource.h"
#include "TextSort.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// Every node's text starts with a space, which the item views' own type-ahead would have
// to be typed first; this one looks past it, so a few letters reach any shown folder.
class FolderTreeView final : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

    void keyboardSearch(const QString& search) override {
        if (search.isEmpty()) {
            m_typed.clear();
            return;
        }
        const bool fresh =
            !m_typedAt.isValid() || m_typedAt.elapsed() > QApplication::keyboardInputInterval();
        m_typedAt.restart();
        m_typed = fresh ? search : m_typed + search;
        // The same letter again steps to the next folder starting with it.
        const bool repeated = m_typed.count(m_typed.front()) == m_typed.size();
        const QString wanted = repeated ? m_typed.left(1) : m_typed;
        QTreeWidgetItem* start = currentItem() ? currentItem() : topLevelItem(0);
        QTreeWidgetItem* node = start;
        for (bool first = true; node; first = false) {
            if ((!first || !repeated) &&
                node->text(0).trimmed().startsWith(wanted, Qt::CaseInsensitive)) {
                setCurrentItem(node);
                scrollToItem(node);
                return;
            }
            node = itemBelow(node) ? itemBelow(node) : topLevelItem(0);
            if (node == start)
                break;
        }
    }

private:
    QString m_typed;
    QElapsedTimer m_typedAt;
};

} // namespace

FoldersList::FoldersList(QWidget* parent)
    : FoldersList(std::make_unique<SystemDriveSource>(), parent) {}

FoldersList::FoldersList(std::unique_ptr<DriveSource> drives, QWidget* parent)
    : QWidget(parent), m_tree(new FolderTreeView(this)), m_drives(std::move(drives)),
      m_icons(std::make_unique<IconCache>()) {
    m_tree->setObjectName(u"tvwMain"_s);
    m_tree->setAccessibleName(u"Folders"_s);
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

// ---- nodes -------------------------------------------------------------------------

bool FoldersList::IsRoot(const QTreeWidgetItem* node) const {
    return node->parent() == nullptr;
}

bool FoldersList::IsTicked(const QTreeWidgetItem* node) const {
    return node->checkState(0) == Qt::Checked;
}

QColor FoldersList::NodeColour(const QTreeWidgetItem* node) const {
    const QVariant brush = node->data(0, Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color() : QColor();
}

void FoldersList::SetNode(QTreeWidgetItem* node, Tick tick) {
    const Qt::CheckState state = tick == Tick::Selected ? Qt::Checked : Qt::Unchecked;
    const QColor& colour = tick == Tick::Selected  ? m_selectedColour
                           : tick == Tick::Partial ? m_partialColour
                                                   : m_clearedColour;
    if (node->checkState(0) != state)
        node->setCheckState(0, state);
    if (NodeColour(node) != colour)
        node->setData(0, Qt::ForegroundRole,
                      colour.isValid() ? QVariant(QBrush(colour)) : QVariant());
}

QTreeWidgetItem* FoldersList::NewPlaceholder(QTreeWidgetItem* parent) const {
    auto* placeholder = new QTreeWidgetItem(parent);
    placeholder->setFlags(Qt::ItemIsEnabled);
    return placeholder;
}

bool FoldersList::Yield() {
    const quint64 generation = m_generation;
    QCoreApplication::processEvents();
    return generation == m_generation;
}
