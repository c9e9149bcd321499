#pragma once

#include <DriveSource.h>
#include <FoldersList.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failures: paths as text, not as arrays of 16-bit units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Hands the control chosen folders as its drives, and names folders that stand for
// kernel file-system mount points.
struct TempDrives : DriveSource {
    TempDrives(QList<DriveInfo> drives, QStringList systemMounts)
        : drives(std::move(drives)), systemMounts(std::move(systemMounts)) {}
    QList<DriveInfo> Drives() const override { return drives; }
    QStringList SystemMountPoints() const override { return systemMounts; }
    QList<DriveInfo> drives;
    QStringList systemMounts;
};

// Real folders in a temporary place, a control over them, and what it reported.
class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.isValid()); }

    QString PathOf(const QString& relative) const {
        return relative.isEmpty() ? m_temp.path() : m_temp.path() + u'/' + relative;
    }
    QString MakeDir(const QString& relative) {
        const QString path = PathOf(relative);
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }
    void MakeFile(const QString& relative, const QByteArray& bytes = {}) {
        QFile file(PathOf(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    DriveInfo Drive(const QString& relative, DriveType type = DriveType::Fixed,
                    const QString& label = {}, const QString& remoteName = {}) const {
        return DriveInfo{PathOf(relative), label, remoteName, type};
    }

    // Also the way to start over with a new control on the same folders.
    FoldersList& MakeList(const QList<DriveInfo>& drives, const QStringList& systemMounts = {}) {
        return MakeList(std::make_unique<TempDrives>(drives, systemMounts));
    }
    FoldersList& MakeList(std::unique_ptr<DriveSource> source) {
        m_errors.clear();
        m_nodeChecks = 0;
        m_list = std::make_unique<FoldersList>(std::move(source));
        QObject::connect(m_list.get(), &FoldersList::Error, m_list.get(),
                         [this](int code, const QString& text) {
                             m_errors.append({code, text});
                         });
        QObject::connect(m_list.get(), &FoldersList::NodeCheck, m_list.get(),
                         [this](QTreeWidgetItem*) { ++m_nodeChecks; });
        return *m_list;
    }

    QTreeWidgetItem* Root() const { return m_list->Tree()->topLevelItem(0); }
    // The node of a folder, or of a drive mounted there, among the nodes read so far
    // under the computer (not among the unavailable folders).
    QTreeWidgetItem* NodeAt(const QString& relative) const {
        const QString path = PathOf(relative);
        for (QTreeWidgetItem* node : m_list->Tree()->findItems(
                 QStringLiteral(".*"), Qt::MatchRegularExpression | Qt::MatchRecursive)) {
            QTreeWidgetItem* top = node;
            while (top->parent())
                top = top->parent();
            if (top == Root() && (Key(node) == path || Key(node) == path + u'/'))
                return node;
        }
        return nullptr;
    }
    // Every ticked folder node under the computer, by key.
    QStringList TickedKeys() const {
        QStringList keys;
        for (QTreeWidgetItem* node : m_list->Tree()->findItems(
                 QStringLiteral(".*"), Qt::MatchRegularExpression | Qt::MatchRecursive)) {
            if (node != Root() && IsTicked(node) && node->parent() != Unavailable())
                keys.append(Key(node));
        }
        return keys;
    }
    // The node that holds the saved folders the tree cannot show, if any.
    QTreeWidgetItem* Unavailable() const { return m_list->Tree()->topLevelItem(1); }
    QTreeWidgetItem* ExpandAt(const QString& relative) {
        QTreeWidgetItem* node = NodeAt(relative);
        EXPECT_NE(node, nullptr) << relative.toStdString();
        if (node)
            node->setExpanded(true);
        return node;
    }

    static QString Key(const QTreeWidgetItem* node) {
        return node->data(0, FoldersList::KeyRole).toString();
    }
    static QStringList ChildTexts(const QTreeWidgetItem* node) {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i)
            texts.append(node->child(i)->text(0));
        return texts;
    }
    // An expand button on a node not read yet.
    static bool HasPlaceholder(const QTreeWidgetItem* node) {
        return node->childCount() == 1 && Key(node->child(0)).isEmpty() &&
               node->child(0)->text(0).isEmpty();
    }
    static bool IsTicked(const QTreeWidgetItem* node) { return node->checkState(0) == Qt::Checked; }
    static bool IsBlue(const QTreeWidgetItem* node) {
        const QVariant brush = node->data(0, Qt::ForegroundRole);
        return brush.isValid() && brush.value<QBrush>().color() == QColor(0, 0, 255);
    }
    // What a click on the check box does.
    static void Tick(QTreeWidgetItem* node, bool ticked) {
        node->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }

    QTemporaryDir m_temp;
    std::unique_ptr<FoldersList> m_list;
    QList<QPair<int, QString>> m_errors;
    int m_nodeChecks = 0;
};
