#pragma once

// What the parts of FoldersList (FoldersList_*.cpp) share and nobody else needs.

#include "FoldersList.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>

namespace FolderNodes {

inline QString Qualify(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

inline QString KeyOf(const QTreeWidgetItem* node) {
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

} // namespace FolderNodes

// Blocks the tree from the user (and shows the wait cursor) while the control works;
// it yields to the event loop on the way, and a second click must not start a second
// change meanwhile.
class FoldersList::Busy {
public:
    explicit Busy(FoldersList& list)
        : m_list(list), m_wasEnabled(list.m_tree->isEnabled()),
          m_hadFocus(list.m_tree->hasFocus()) {
        ++m_list.m_working;
        m_list.m_tree->setEnabled(false);
        // Disabling passed the focus on; unless the user moves it meanwhile, it comes back,
        // so a second Space ticks the next folder instead of whatever came next in the tab order.
        m_focusNow = QApplication::focusWidget();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Busy() {
        QGuiApplication::restoreOverrideCursor();
        m_list.m_tree->setEnabled(m_wasEnabled);
        if (m_hadFocus && m_wasEnabled && QApplication::focusWidget() == m_focusNow)
            m_list.m_tree->setFocus(Qt::OtherFocusReason);
        --m_list.m_working;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    FoldersList& m_list;
    bool m_wasEnabled;
    bool m_hadFocus;
    QPointer<QWidget> m_focusNow;
};
