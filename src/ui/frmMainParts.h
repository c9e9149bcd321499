#pragma once

// What the main window's own files share; nothing else includes this.

#include "Trap.h"

#include <QString>

#include <functional>

namespace main_window {

// Twips to pixels at 96 dots per inch.
inline int Px(double twips) {
    return int(twips / 15.0 + 0.5);
}

enum Column { ColName = 0, ColModified = 1, ColLastRun = 2, ColStatus = 3 };

inline QString PleaseSelect() {
    return QStringLiteral("Please select a profile from manager and try again");
}

// The main window's procedures are logged as "frmMain." + their name.
inline bool MainTrap(const char* procedure, const QString& message,
                     const std::function<void()>& body,
                     MessageService::Icon icon = MessageService::Icon::Critical) {
    return Trap(QStringLiteral("frmMain.") + QLatin1String(procedure), body, {message, icon});
}

} // namespace main_window
