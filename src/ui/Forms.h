#pragma once

#include <QString>

class QWidget;
class frmProfile;

// The registry of loaded windows. A window counts as loaded while a live widget with its
// class name as objectName exists, whether top-level or hosted in the main window's
// document area.
namespace Forms {

bool CheckFormLoaded(const QString& name);
// Closes and deletes every window, the main window last, so that its unload (which saves
// the catalogue) runs after the children have reported their state.
void UnloadAllForms();
frmProfile* Profile();
QWidget* Find(const QString& name);
// How many windows are loaded, the main window included.
int LoadedCount();
// Unloads every loaded window except the one given (and the windows it hosts).
void UnloadOthers(const QWidget* keep);
// Unloads one window: closes it (its frame, when hosted) and deletes it once control is
// back in the event loop. From then on it no longer counts as loaded.
void Unload(QWidget* window);

} // namespace Forms
