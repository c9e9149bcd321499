#pragma once

#include <DriveSource.h>
#include <FoldersList.h>

#include <QList>
#include <QPair>
#include <QTemporaryDir>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <memory>

// Hands the control chosen folders as its drives, with the labels and kinds a test
// needs, and names folders that stand for kernel file-system mount points.
class TempDrives : public DriveSource {
public:
    TempDrives(QList<DriveInfo> drives, QStringList systemMountPoints)
        : m_drives(std::move(drives)), m_systemMountPoints(std::move(systemMountPoints)) {}
    QList<DriveInfo> Drives() const override { return m_drives; }
    QStringList SystemMountPoints() const override { return m_systemMountPoints; }

private:
    QList<DriveInfo> m_drives;
    QStringList m_systemMountPoints;
};

// Real folders in a temporary place, a control over them, and what it reported.
class TreeFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // Creates the folder (and its parents) below the temporary place.
    QString MakeDir(const QString& relative);
    QString PathOf(const QString& relative) const;
    DriveInfo Drive(const QString& relative, DriveType type = DriveType::Fixed,
                    const QString& label = {}) const;

    FoldersList& MakeList(const QList<DriveInfo>& drives,
                          const QStringList& systemMountPoints = {});

    // The node with that key, among the nodes read so far; nullptr when absent.
    QTreeWidgetItem* Node(const QString& key) const;
    // A folder's node, or the drive's node when the folder is a drive.
    QTreeWidgetItem* NodeAt(const QString& relative) const;
    QTreeWidgetItem* Root() const;
    QTreeWidgetItem* ExpandAt(const QString& relative);

    static QString Key(const QTreeWidgetItem* node);
    static QStringList ChildTexts(const QTreeWidgetItem* node);
    static bool IsPlaceholder(const QTreeWidgetItem* node);
    static bool HasPlaceholder(const QTreeWidgetItem* node);
    static bool IsTicked(const QTreeWidgetItem* node);
    static bool IsBlue(const QTreeWidgetItem* node);
    // What a click on the check box does.
    static void Tick(QTreeWidgetItem* node, bool ticked);

    QTemporaryDir m_temp;
    std::unique_ptr<FoldersList> m_list;
    QList<QPair<int, QString>> m_errors;
    int m_nodeChecks = 0;
};
