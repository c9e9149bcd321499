#pragma once

#include <QString>

class QMenu;

// What a window that the main window opens may ask of it: its status bar, its profile list
// and the results popup it owns. The main window implements it and hands itself to each
// window it creates, so no window looks for the main window or depends on its class; tests
// hand in a recorder instead.
class Shell {
public:
    virtual void DisplayStatusMsg(const QString& text) = 0;
    // The status bar's second panel: what the open results' marks would free; empty hides it.
    virtual void DisplayMarkTotals(const QString& text) = 0;
    virtual void AddNewProfile(const QString& name) = 0;
    virtual void UpdateProfile(const QString& name, const QString& status,
                               const QString& lastRun) = 0;
    // The results grid's context menu, shared by every profile window; may be null.
    virtual QMenu* PopupMenu() const = 0;
    // The default options changed whether the main window may be resized.
    virtual void WindowSizingChanged() {}

protected:
    ~Shell() = default;
};
