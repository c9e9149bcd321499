#pragma once

#include "ActionCommands.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class ResultsGrid;

// The commands' popup menu over the results grid. The menu is the one the main window
// shares; a profile window shown without one (tests, a future single-window mode) gets its
// own with the same entries. It opens on a right click and from the keyboard (the menu key,
// Shift+F10) on the highlighted row; group entries only on a group header.
class ResultPopup final : public QObject {
    Q_OBJECT

public:
    ResultPopup(ResultsGrid* grid, QMenu* shared, std::function<void(const QString&)> takeAction,
                QObject* parent = nullptr);
    ~ResultPopup() override;

    QMenu* Menu();
    // Fills a menu with every command of the table, each entry named as the table names it
    // and holding its command as data, then the entries that are not commands on marked
    // files ("Open containing folder").
    static void Fill(QMenu* menu);
    // Shows the single, all and extra entries the options offer; the group entries are
    // decided when the menu opens.
    void Apply(const ActionCommands::Offer& offer);
    // Opens the menu for the grid's row (already highlighted) at the screen position and
    // carries out the chosen command.
    void Show(qint64 row, const QPoint& globalPos);
    // Adds the marking rules as a "Mark" submenu at the end of the menu; its entries are
    // the rules' own actions, which carry themselves out.
    void AddMarkEntries(QMenu* rules);
    // Adds the commands that change only the list (and compare) after the file entries;
    // they stay the owner's, and leave the menu with it.
    void AddReviewEntries(const QList<QAction*>& entries);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowFromKeyboard();
    void PlaceMarkEntries(QMenu* menu);

    ResultsGrid* m_grid;
    QPointer<QMenu> m_shared;
    std::function<void(const QString&)> m_takeAction;
    QPointer<QMenu> m_own;
    // Ours even inside the main window's menu, so they leave it with this window.
    QPointer<QMenu> m_mark;
    QList<QPointer<QAction>> m_review;
    bool m_keyShown = false;
};
