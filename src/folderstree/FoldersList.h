#pragma once

#include "DriveSource.h"
#include "FolderReader.h"
#include "TreewellExport.h"

#include <QColor>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <memory>

class IconCache;
class QSettings;
class QTreeWidget;
class QTreeWidgetItem;

// A tree of the computer's drives and folders with a check box on every node, from
// which the user ticks the folders to scan. Folders are read lazily: when a node is
// first expanded or a path below it is selected by program.
//
// Node identity is the key (KeyRole): the computer name for the root, the mount point
// with a trailing "/" for a drive, the folder's path for a folder.
class TREEWELL_EXPORT FoldersList : public QWidget {
    Q_OBJECT

public:
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit FoldersList(QWidget* parent = nullptr);
    FoldersList(std::unique_ptr<DriveSource> drives, QWidget* parent = nullptr);
    ~FoldersList() override;

    // Replaces where the drives come from and rebuilds the tree.
    void SetDriveSource(std::unique_ptr<DriveSource> drives);

    // Write-only settings of the host.
    Q_INVOKABLE void IncludeSubFolder(bool blnIncludeSubFolder);
    Q_INVOKABLE void SystemFoldersFiles(bool vNewValue);
    Q_INVOKABLE void ReadOnlyFoldersFiles(bool vNewValue);
    Q_INVOKABLE void HiddenFoldersFiles(bool vNewValue);
    Q_INVOKABLE void InitialPath(const QString& strPath);

    // Ticked folders; with nothing ticked a list holding one empty string.
    Q_INVOKABLE QStringList GetUserSelection();
    Q_INVOKABLE void SetUserSelection(const QStringList& vntSelection);
    Q_INVOKABLE void Refresh();

    // Sorts strArray[intLow..intHigh] in place, without regard to case.
    void QuickSortFiles(QStringList& strArray, int intLow, int intHigh);

    // Reads from the control's own settings store (see SettingsStore).
    QString GetString(qint32 lngHKey, const QString& strPath, const QString& strValue);
    QString RegQueryStringValue(QSettings& hKey, const QString& strValueName);

    QTreeWidget* Tree() const { return m_tree; }
    QString ComputerName() const { return m_computerName; }

    // How long a folder on a network or FUSE file system may take to be listed before
    // it counts as not answering, in milliseconds.
    void SetAnswerTimeout(int milliseconds) { m_answerTimeout = milliseconds; }
    // The most folders one press of "*" reads; the next press reads on.
    void SetExpandAllLimit(int folders) { m_expandAllLimit = folders; }
    // What "*" does on a node: expands everything below it, reading at most the limit
    // of folders; Esc stops it.
    void ExpandAll(QTreeWidgetItem* node);

Q_SIGNALS:
    void Error(int ErrCode, const QString& ErrDescription);
    void NodeCheck(QTreeWidgetItem* node);
    void NodeClick(QTreeWidgetItem* node);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Busy;
    // A node's tick and colour: a whole folder (ticked, in the selected colour), a folder
    // with some but not all of what lies below it ticked (unticked, in the partial colour),
    // or neither.
    enum class Tick { Cleared, Partial, Selected };
    // What SelectPath does with the folder it finds, besides scrolling to it.
    struct Select {
        bool tick = false;   // ticks it, else clears it
        bool reveal = false; // makes it the current node
    };
    enum class Found { Yes, No, Abandoned };
    using Outcome = FolderReader::Outcome;

    void BuildTree();
    void ResetState();
    QString ReadComputerName();
    QTreeWidgetItem* AddDrive(const DriveInfo& drive);

    void OnItemExpanded(QTreeWidgetItem* node);
    void OnItemChanged(QTreeWidgetItem* node, int column);
    void ApplyTick(QTreeWidgetItem* node);

    // With sub-folders included, those of a whole ticked folder come ticked.
    Outcome ReadSubFolders(QTreeWidgetItem* node);
    QString HangingMountOf(const QString& key) const;
    void SpreadDown(QTreeWidgetItem* node);
    bool UpdateParents(QTreeWidgetItem* node);
    Found SelectPath(const QString& path, Select how);
    void AddUnavailable(const QString& path);
    QTreeWidgetItem* FindDriveFor(const QString& path) const;
    QTreeWidgetItem* FindChild(QTreeWidgetItem* node, const QString& key);
    void CollectSelection(QTreeWidgetItem* node, QStringList& selection) const;

    QTreeWidgetItem* DriveOf(QTreeWidgetItem* node) const;
    bool IsRoot(const QTreeWidgetItem* node) const;
    bool IsReadNode(const QTreeWidgetItem* node) const;
    bool IsTicked(const QTreeWidgetItem* node) const;
    QColor NodeColour(const QTreeWidgetItem* node) const;
    void SetNode(QTreeWidgetItem* node, Tick tick);
    static Tick TickOf(bool ticked) { return ticked ? Tick::Selected : Tick::Cleared; }
    QTreeWidgetItem* NewPlaceholder(QTreeWidgetItem* parent) const;
    bool Yield();
    void ReportFailure(const QString& description);

    QTreeWidget* m_tree = nullptr;
    std::unique_ptr<DriveSource> m_drives;
    std::unique_ptr<IconCache> m_icons;
    FolderReader m_reader;
    FolderFilter m_filter;
    bool m_includeSubFolder = false;
    QColor m_selectedColour;
    QColor m_partialColour;
    QColor m_clearedColour;
    QString m_computerName;
    QStringList m_messages;
    // Mount points of file systems that may hang, looked into only off this thread.
    QStringList m_hangingMounts;
    int m_answerTimeout = 3000;
    // While a selection is restored, the hanging mounts that did not answer once, so
    // that ten saved folders on a dead share cost one wait, not ten.
    QSet<QString>* m_silentMounts = nullptr;
    // Saved folders the tree cannot show, kept (and ticked) until the user unticks them.
    QTreeWidgetItem* m_unavailable = nullptr;
    int m_expandAllLimit = 500;
    bool m_expandingAll = false;
    bool m_expandAllStopped = false;
    // Changed on every rebuild; work that yielded checks it before touching a node
    // again, in case the tree was rebuilt in between.
    quint64 m_generation = 0;
    // Depth of work in progress (the tree is disabled meanwhile), and whether a
    // rebuild asked for during it is waiting.
    int m_working = 0;
    bool m_refreshQueued = false;
    // Set while the control itself changes nodes, so its own changes are not taken
    // for the user's ticks.
    int m_changing = 0;
};
