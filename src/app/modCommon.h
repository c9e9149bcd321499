#pragma once

#include "MessageService.h"

#include <QString>

#include <memory>

class QLockFile;

namespace modCommon {

// Every folder value ends in exactly one "/"; other code builds paths by concatenation.
extern QString AppPath;       // the program's folder, or ECHOFIND_HOME
extern QString UserPath;      // AppPath + user name + "/"
extern QString ProfileFolder; // UserPath + "Profile/"
extern QString LogPath;       // UserPath + "Log/"
extern QString AppLogFile;    // AppPath + "Log/Echofind.log"
// Set when the user confirms Cancel during a scan; read by whoever started the scan.

inline constexpr qint64 MaxAppLogBytes = 1048576;

// Where a program kept in programFolder keeps its documents, and where the documents it
// ships (config.xml, "Default Profile.xml", the help pages) come from.
struct Folders {
    QString Application; // ends in "/"
    QString Shipped;     // ends in "/"
    // True when the program's own folder is the application folder (a build or a copy the
    // user owns); false for an installed program, whose folder the user must not write.
    bool Portable = true;
};

// The program's folder holds the application folder when it holds config.xml, can be
// written and is not a system program folder; otherwise the application folder is
// $XDG_DATA_HOME/echofind (default ~/.local/share/echofind). ECHOFIND_HOME, when set,
// overrides both. An installed program's shipped documents are in ../share/echofind.
Folders ChooseFolders(const QString& programFolder);
// The folder of the program file, with a trailing "/".
QString ProgramFolder();
// ChooseFolders(ProgramFolder()).Application.
QString ApplicationFolder();
// ChooseFolders(ProgramFolder()).Shipped: where the help pages are.
QString ShippedDataFolder();
// The Treewell library to load: beside the program in a build, in ../lib when installed.
QString TreewellLibraryFile(const QString& programFolder = ProgramFolder());
// "DefaultUser" when the log-on name could not be read or is empty.
QString UserFolderName(int userNameStatus, const QString& userName);

// Sets the global paths for an application folder without touching the disk.
void SetPaths(const QString& appFolder, const QString& userFolderName);

// Lays out the folders and files; 1 when they are in order, 0 after a failure the user
// has been told about. An installed program first copies its shipped documents into an
// application folder that has no config.xml yet.
int InitApp(MessageService& messages = Messages());
int InitApp(MessageService& messages, const Folders& folders);

// Appends "/" unless the text already ends in one.
QString QualifyPath(const QString& path);
// Trims blanks, then drops one trailing "/", except that "/" itself stays "/".
QString UnQualifyPath(const QString& path);
// Whether the path is the folder or lies anywhere below it. Exact: "/a/bc" is not under
// "/a/b", and case matters, as it does to the file system.
bool IsUnderFolder(const QString& path, const QString& folder);

// The file name of a profile document (or a document name) without its folder and
// without ".xml".
QString ProfileNameFromPath(const QString& profilePath);

// Only one Echofind runs per application folder. The lock is a file in the user's
// runtime folder, so a crashed instance's stale lock is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& appFolder);
    // With the lock in the given folder instead of the user's runtime folder.
    SingleInstance(const QString& appFolder, const QString& runtimeFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock.
    bool TryLock();
    // After a refused TryLock: true when another running instance holds the lock, false
    // when the lock could not be taken at all (no runtime folder, no right to write there).
    bool HeldByAnotherInstance() const;
    // What failed, for the second case, as the user is told it.
    QString FailureText() const;
    QString LockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace modCommon
