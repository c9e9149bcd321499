#pragma once

#include "profiles/IgnoreList.h"

#include <QObject>

#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QWidget;

// The advanced options' page of files the profile's runs leave out ("Ignore this group").
// It shows the list as it is on disk when the dialog opens; removals are written only when
// the dialog's OK accepts them.
class IgnoreListPage final : public QObject {
    Q_OBJECT

public:
    // file names the list's file (it may change with the profile's name).
    IgnoreListPage(QStackedWidget* stack, std::function<QString()> file);

    // Reads the list again, dropping removals not yet written.
    void Load();
    // Writes the list if anything was removed; empty on success, else what went wrong.
    QString Save();
    QList<QWidget*> TabChain() const;
    QTreeWidget* List() const { return lvwIgnored; }

private:
    void Show();
    void RemoveSelected();

    std::function<QString()> m_file;
    IgnoreList m_list;
    bool m_changed = false;
    QLabel* lblProblem = nullptr;
    QTreeWidget* lvwIgnored = nullptr;
    QPushButton* cmdRemoveIgnored = nullptr;
};
