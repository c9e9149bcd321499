#pragma once

// Helpers shared by the window tests. The temporary trees, the application folder and
// the scripted message service come from the layers' common test support.

#include "TestSupport.h"
#include "ui/QtMessageService.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace ui_testing {

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

} // namespace ui_testing
