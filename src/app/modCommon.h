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
extern bool CancelRequested;

inline constexpr qint64 MaxAppLogBytes = 1048576;

// The application folder: ECHOFIND_HOME when set, else the folder of the program file.
QString ApplicationFolder();
// "DefaultUser" when the log-on name could not be read or is empty.
QString UserFolderName(int userNameStatus, const QString& userName);

// Sets the global paths for an application folder without touching the disk.
void SetPaths(const QString& appFolder, const QString& userFolderName);

// Lays out the folders and files; 1 when they are in order, 0 after a failure the user
// has been told about.
int InitApp(MessageService& messages = Messages());

// Appends "/" unless the text already ends in one.
QString QualifyPath(const QString& path);
// Trims blanks, then drops one trailing "/", except that "/" itself stays "/".
QString UnQualifyPath(const QString& path);

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
