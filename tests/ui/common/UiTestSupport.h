#pragma once

// Helpers shared by the window tests. The temporary trees, the application folder and
// the scripted message service come from the layers' common test support.

#include "TestSupport.h"
#include "profiles/Catalogue.h"
#include "ui/QtMessageService.h"
#include "ui/Shell.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

namespace ui_testing {

inline QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Stands in for the main window around a window opened on its own: keeps what it was told.
class RecordingShell final : public Shell {
public:
    void DisplayStatusMsg(const QString& text) override { Status = text; }
    void DisplayMarkTotals(const QString& text) override { MarkTotals = text; }
    void AddNewProfile(const QString& name) override { Added << name; }
    void UpdateProfile(const QString& name, const QString& status, const QString&) override {
        Updated << name + u' ' + status;
    }
    QMenu* PopupMenu() const override { return nullptr; }

    QString Status;
    QString MarkTotals;
    QStringList Added;
    QStringList Updated; // name and status
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

// Waits until a modal dialog of the given class is active and returns it (or null after
// the timeout), so a test can drive a window that exec() is blocking on.
template <class Dialog> Dialog* WaitForModal(int timeoutMs = 5000) {
    Dialog* found = nullptr;
    // The result is the pointer itself: null after the timeout.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            found = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            return found != nullptr;
        },
        timeoutMs));
    return found;
}

// Runs open() and, once a popup menu is up, records its visible entries (not separators,
// not submenus) and then either picks the entry named pick or closes the menu. The menu that opened
// is left in opened.
inline QStringList PopupEntries(const std::function<void()>& open, const QString& pick = {},
                                QMenu** opened = nullptr) {
    QStringList seen;
    bool shown = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        shown = true;
        if (opened)
            *opened = menu;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->isVisible() && !a->isSeparator() && !a->menu())
                seen << a->objectName();
            if (a->objectName() == pick)
                chosen = a;
        }
        if (chosen && chosen->isVisible()) {
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    poll.start();
    open();
    EXPECT_TRUE(shown) << "no popup menu opened";
    return seen;
}

} // namespace ui_testing
