#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QWidget;
struct ProfileReadout;
struct ProfileSettings;

// The advanced options page of the folders whose files the profile never removes, moves
// or zips, whatever their marks. Folders come only from the folder browser, so a path is
// kept exactly as the file system has it, bytes that are not UTF-8 included.
class ProtectedFoldersPage final : public QObject {
    Q_OBJECT

public:
    // Adds the page as the next page of the stack.
    ProtectedFoldersPage(QStackedWidget* stack, QWidget* owner);

    // Replaces the list with the document's, so reading the same document twice (a
    // cancelled edit read back) never doubles an entry.
    void Apply(const ProfileReadout& readout);
    void Collect(ProfileSettings& settings) const;
    QStringList Folders() const;
    QList<QWidget*> TabChain() const;

    QLabel* lblProtected = nullptr;
    QTreeWidget* lvwProtected = nullptr;
    QPushButton* cmdProtectAdd = nullptr;
    QPushButton* cmdProtectRemove = nullptr;

private:
    void cmdProtectAdd_Click();
    void cmdProtectRemove_Click();
    void AddFolder(const QString& folder);

    QWidget* m_owner = nullptr;
};
