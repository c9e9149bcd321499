#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Hands a file or a folder to the desktop, which opens it with the user's default program.
// Every such request goes through here, so tests can see what would be opened without
// launching anything.
namespace DesktopOpen {

// The file URL of a path, percent-encoded from its exact bytes: a name that is not UTF-8
// would otherwise be re-encoded into another name.
QUrl FileUrl(const QString& path);

// Opens the path; false when the desktop could not start anything for it.
bool Open(const QString& path);
// Any other address (mail, web), as given.
bool OpenUrl(const QUrl& url);
// The folder that holds the path.
bool OpenContainingFolder(const QString& path);

// Replaces what opens the URL; an empty function puts the desktop back.
using Opener = std::function<bool(const QUrl& url)>;
void SetOpener(Opener opener);

} // namespace DesktopOpen
