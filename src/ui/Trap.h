#pragma once

#include "app/MessageService.h"

#include <QString>

#include <functional>

// How a window's handler reports an error it did not expect.
struct TrapReport {
    // Shown after the log line; none when empty.
    QString Message;
    MessageService::Icon Icon = MessageService::Icon::Critical;
    // The procedures of the profile and scan windows write "Error occued in", which
    // readers of old logs match.
    bool OccuedSpelling = false;
};

// Runs a window's handler so that nothing it throws escapes into the event loop: an error
// is written to the application log under the procedure's name ("frmMain.InitForm") and,
// where the handler has one, its message is shown. False when the handler failed.
bool Trap(const QString& procedure, const std::function<void()>& body,
          const TrapReport& report = {});
