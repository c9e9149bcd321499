#pragma once

// Helpers shared by the window tests. The temporary trees, the application folder and
// the scripted message service come from the layers' common test support.

#include "TestSupport.h"
#include "actions/ResultsModel.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileDocument.h"
#include "ui/DuplicatesPane.h"
#include "ui/QtMessageService.h"
#include "ui/ResultsGrid.h"
#include "ui/RunLogPane.h"
#include "ui/Shell.h"
#include "ui/frmProfile.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <optional>

namespace ui_testing {

using Answer = MessageService::Answer;
using testing_support::Holds;

inline QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Texts more than one window says.
inline const QString kProfileSaved = QStringLiteral("Profile has been saved successfully");
inline const QString kPleaseSelect =
    QStringLiteral("Please select a profile from manager and try again");
inline const QString kLoseChanges =
    QStringLiteral("All unsaved changes will be lost. Do you want to continue?");
inline const QString kCancelRun = QStringLiteral("Do you want to cancel the operation?");

// Stands in for the main window around a window opened on its own.
class QuietShell final : public Shell {
public:
    void DisplayStatusMsg(const QString& text) override { Status = text; }
    void DisplayMarkTotals(const QString&) override {}
    void AddNewProfile(const QString&) override {}
    void UpdateProfile(const QString&, const QString&, const QString&) override {}
    QMenu* PopupMenu() const override { return nullptr; }
    QString Status; // the last status line
};

template <class W> W* Find(QWidget* parent, const char* name) {
    W* found = parent->findChild<W*>(S(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

inline void Click(QWidget* parent, const char* name) {
    auto* button = Find<QAbstractButton>(parent, name);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << name;
    // Check boxes and options answer on their box and caption, not on the empty stretch
    // a layout may give them.
    const bool boxed = qobject_cast<QPushButton*>(button) == nullptr;
    QTest::mouseClick(button, Qt::LeftButton, {},
                      boxed ? QPoint(6, button->height() / 2) : button->rect().center());
}

// Clicks a cell of a results grid, by its row as the model counts them (from 1).
inline void ClickCell(QAbstractItemView* grid, qint64 row, int col,
                      Qt::MouseButton button = Qt::LeftButton) {
    const QRect cell = grid->visualRect(grid->model()->index(int(row - 1), col));
    QTest::mouseClick(grid->viewport(), button, {}, cell.center());
}

// Opens an options page by its node in the page tree, as a person picks it.
inline void ShowPage(QWidget* dialog, const char* node) {
    auto* tree = Find<QTreeWidget>(dialog, "tvwOptions");
    const QList<QTreeWidgetItem*> items =
        tree->findItems(S(node), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1) << node;
    tree->setCurrentItem(items.first());
}

// Presses Tab from the control that has the focus and names each one it moves to.
inline QStringList TabWalk(int presses) {
    QStringList visited;
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    return visited;
}

// The catalogue entry of the named profile as it was last written.
inline std::optional<Catalogue::Entry> CatalogueEntry(const QString& name) {
    std::vector<Catalogue::Entry> entries;
    EXPECT_EQ(Catalogue::ReadEntries(entries), 1);
    for (const auto& e : entries)
        if (e.Name == name)
            return e;
    return std::nullopt;
}

// Installs a scripted message service for the life of a test and puts the default one
// back afterwards, so one test's answers never leak into the next.
class ScriptedMessagesScope {
public:
    ScriptedMessagesScope() { SetMessageService(&Script); }
    ~ScriptedMessagesScope() { SetMessageService(nullptr); }
    ScriptedMessagesScope(const ScriptedMessagesScope&) = delete;
    ScriptedMessagesScope& operator=(const ScriptedMessagesScope&) = delete;

    testing_support::ScriptedMessages Script;
};

// Drives the next modal dialog of the class once the call that opens it blocks in exec().
template <class Dialog> void WhenModal(std::function<void(Dialog*)> drive) {
    QTimer::singleShot(0, [drive] {
        Dialog* dialog = nullptr;
        static_cast<void>(QTest::qWaitFor([&] {
            return (dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) != nullptr;
        }));
        ASSERT_NE(dialog, nullptr) << "no modal dialog opened";
        drive(dialog);
    });
}

// While it lives, offers every active modal window of the class to act, until act says it
// has done its part: a progress window is pressed at the moment its texts say.
template <class Window> class WhileModal {
public:
    explicit WhileModal(std::function<bool(Window*)> act) {
        m_poll.setInterval(0);
        QObject::connect(&m_poll, &QTimer::timeout, [this, act] {
            if (auto* w = qobject_cast<Window*>(QApplication::activeModalWidget()); w && act(w))
                m_poll.stop();
        });
        m_poll.start();
    }
    bool Done() const { return !m_poll.isActive(); }

private:
    QTimer m_poll;
};

// What a person, or a screen reader, calls a control: its accessible name, its own text,
// or the text of the label that is its buddy; a tab bar, the texts of its tabs. Every input
// control a window shows has one.
inline void ExpectEveryControlNamed(QWidget* window) {
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    const auto seenName = [&](QWidget* control) {
        if (!control->accessibleName().isEmpty())
            return control->accessibleName();
        if (auto* b = qobject_cast<QAbstractButton*>(control); b && !b->text().isEmpty())
            return b->text();
        if (auto* tabs = qobject_cast<QTabBar*>(control)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i).isEmpty())
                    return QString(); // a tab bar is read out by its tabs
            return S("tabs");
        }
        for (QLabel* label : labels)
            if (label->buddy() == control)
                return label->text();
        return QString();
    };
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const bool input = qobject_cast<QAbstractButton*>(control) ||
                           qobject_cast<QLineEdit*>(control) || qobject_cast<QTextEdit*>(control) ||
                           qobject_cast<QTabBar*>(control);
        // Buttons that Qt builds inside its own views (scroll arrows, the document frame's
        // system buttons, toolbar extensions) are not controls of the window.
        if (!input || !control->isVisibleTo(window) || control->objectName().startsWith(S("qt_")) ||
            control->objectName().isEmpty())
            continue;
        EXPECT_FALSE(seenName(control).isEmpty())
            << window->objectName().toStdString() << "/" << control->objectName().toStdString();
    }
}

// While it lives, answers the next popup menu (the one named menu, if given) as a person
// does with the keys: records its visible entries (not separators, not submenus), then
// opens or picks the entry named pick, or closes the menu when there is none.
class PopupAnswer {
public:
    explicit PopupAnswer(const QString& pick = {}, const QString& menu = {}) {
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this, pick, menu] {
            if (m_submenu && m_submenu->menu()->isVisible())
                return m_poll.stop();
            auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!popup || (!menu.isEmpty() && popup->objectName() != menu))
                return;
            Opened = popup;
            Seen.clear();
            QAction* chosen = nullptr;
            for (QAction* a : popup->actions()) {
                if (a->isVisible() && !a->isSeparator() && !a->menu())
                    Seen << a->objectName();
                if (a->isVisible() && a->objectName() == pick)
                    chosen = a;
            }
            popup->setActiveAction(chosen);
            if (chosen && chosen->menu()) {
                m_submenu = chosen; // pressed again until it is up
                return QTest::keyClick(popup, Qt::Key_Right);
            }
            m_poll.stop();
            if (chosen)
                QTest::keyClick(popup, Qt::Key_Return);
            else
                popup->close();
        });
        m_poll.start();
    }
    QStringList Seen;
    QMenu* Opened = nullptr;

private:
    QTimer m_poll;
    QAction* m_submenu = nullptr;
};

// Runs open() and answers the popup menu it opens; gives the entries it offered.
inline QStringList PopupEntries(const std::function<void()>& open, const QString& pick = {}) {
    PopupAnswer answer(pick);
    open();
    EXPECT_NE(answer.Opened, nullptr) << "no popup menu opened";
    return answer.Seen;
}

} // namespace ui_testing
