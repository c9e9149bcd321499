#include "FoldersList_p.h"

#include "DriveText.h"
#include "IconCache.h"
#include "SettingsStore.h"

#include <QSysInfo>

#include <exception>

using namespace Qt::StringLiterals;
using namespace FolderNodes;

// The top level: the computer and its drives, from the drive source; and which drive or
// hanging mount holds a path.

void FoldersList::SetDriveSource(std::unique_ptr<DriveSource> drives) {
    m_drives = std::move(drives);
    Refresh();
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

void FoldersList::ResetState() {
    m_selectedColour = QColor(0, 0, 255);
    // Pure blue all but vanishes on a dark base; the same hue, lighter, reads there.
    if (m_tree->palette().color(QPalette::Base).lightness() < 128)
        m_selectedColour = QColor::fromHsl(240, 255, 191);
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

QTreeWidgetItem* FoldersList::DriveOf(QTreeWidgetItem* node) const {
    if (IsRoot(node))
        return nullptr;
    while (!IsRoot(node->parent()))
        node = node->parent();
    return node;
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

QString FoldersList::HangingMountOf(const QString& key) const {
    const QString qualified = Qualify(key);
    QString deepest;
    for (const QString& mountPoint : m_hangingMounts) {
        if (qualified.startsWith(Qualify(mountPoint)) && mountPoint.size() > deepest.size())
            deepest = mountPoint;
    }
    return deepest;
}
