#include "TreeFixture.h"

#include <QDir>
#include <QTreeWidget>

#include <functional>

void TreeFixture::SetUp() {
    ASSERT_TRUE(m_temp.isValid());
}

QString TreeFixture::PathOf(const QString& relative) const {
    return relative.isEmpty() ? m_temp.path() : m_temp.path() + u'/' + relative;
}

QString TreeFixture::MakeDir(const QString& relative) {
    const QString path = PathOf(relative);
    EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
    return path;
}

DriveInfo TreeFixture::Drive(const QString& relative, DriveType type, const QString& label) const {
    DriveInfo drive;
    drive.mountPoint = PathOf(relative);
    drive.type = type;
    drive.label = label;
    return drive;
}

FoldersList& TreeFixture::MakeList(const QList<DriveInfo>& drives,
                                   const QStringList& systemMountPoints) {
    m_list = std::make_unique<FoldersList>(std::make_unique<TempDrives>(drives, systemMountPoints));
    QObject::connect(m_list.get(), &FoldersList::Error, m_list.get(),
                     [this](int code, const QString& text) {
                         m_errors.append({code, text});
                     });
    QObject::connect(m_list.get(), &FoldersList::NodeCheck, m_list.get(),
                     [this](QTreeWidgetItem*) { ++m_nodeChecks; });
    return *m_list;
}

QTreeWidgetItem* TreeFixture::Root() const {
    return m_list->Tree()->topLevelItem(0);
}

QTreeWidgetItem* TreeFixture::Node(const QString& key) const {
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> find = [&](QTreeWidgetItem* node) {
        if (Key(node) == key)
            return node;
        for (int i = 0; i < node->childCount(); ++i) {
            if (QTreeWidgetItem* found = find(node->child(i)))
                return found;
        }
        return static_cast<QTreeWidgetItem*>(nullptr);
    };
    return Root() ? find(Root()) : nullptr;
}

QTreeWidgetItem* TreeFixture::NodeAt(const QString& relative) const {
    QTreeWidgetItem* node = Node(PathOf(relative));
    return node ? node : Node(PathOf(relative) + u'/');
}

QTreeWidgetItem* TreeFixture::ExpandAt(const QString& relative) {
    QTreeWidgetItem* node = NodeAt(relative);
    if (node)
        node->setExpanded(true);
    return node;
}

QString TreeFixture::Key(const QTreeWidgetItem* node) {
    return node->data(0, FoldersList::KeyRole).toString();
}

QStringList TreeFixture::ChildTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts.append(node->child(i)->text(0));
    return texts;
}

bool TreeFixture::IsPlaceholder(const QTreeWidgetItem* node) {
    return Key(node).isEmpty() && node->text(0).isEmpty();
}

bool TreeFixture::HasPlaceholder(const QTreeWidgetItem* node) {
    return node->childCount() == 1 && IsPlaceholder(node->child(0));
}

bool TreeFixture::IsTicked(const QTreeWidgetItem* node) {
    return node->checkState(0) == Qt::Checked;
}

bool TreeFixture::IsBlue(const QTreeWidgetItem* node) {
    const QVariant brush = node->data(0, Qt::ForegroundRole);
    return brush.isValid() && brush.value<QBrush>().color() == QColor(0, 0, 255);
}

void TreeFixture::Tick(QTreeWidgetItem* node, bool ticked) {
    node->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}
