#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The folder tree lives in its own library and is created by its identifier, so the
// program only knows it through the members it calls by name.
namespace TreewellHost {

// A new "Treewell.FoldersList" control, or null when the library cannot be loaded (the
// reason is in the application log).
QWidget* CreateFoldersList(QWidget* parent);

void SetBool(QWidget* control, const char* member, bool value);
QStringList GetUserSelection(QWidget* control);
void SetUserSelection(QWidget* control, const QStringList& folders);

} // namespace TreewellHost
