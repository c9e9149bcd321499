#pragma once

#include <QSize>

// Whether the main window may be resized (a choice of the default options, off unless
// chosen, when the window keeps its fixed size) and the size it had when last closed.
// Kept with the desktop settings, not in a profile document: it belongs to the screen.
namespace WindowSizing {

bool Resizable();
void SetResizable(bool resizable);
// Empty until a resizable window was closed once.
QSize SavedSize();
void SaveSize(const QSize& size);

} // namespace WindowSizing
