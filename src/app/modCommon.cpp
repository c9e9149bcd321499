#include "modCommon.h"

#include "AppError.h"
#include "PathCodec.h"
#include "modAPI.h"
#include "modLog.h"
#include "modXML.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>

namespace modCommon {

QString AppPath;
QString UserPath;
QString ProfileFolder;
QString LogPath;
QString AppLogFile;
bool CancelRequested = false;

QString QualifyPath(const QString& path) {
    if (path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString UnQualifyPath(const QString& path) {
    QString p = path.trimmed();
    if (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p;
}

QString ProfileNameFromPath(const QString& profilePath) {
    QString name = profilePath.mid(profilePath.lastIndexOf(u'/') + 1);
    name.chop(4);
    return name;
}

QString ApplicationFolder() {
    // Taken as bytes: a folder whose name is not UTF-8 must still be the folder named.
    const QString home = PathCodec::Decode(qgetenv("ECHOFIND_HOME"));
    if (!home.isEmpty())
        return QualifyPath(
            QDir::cleanPath(home.startsWith(u'/') ? home : modAPI::CurrentFolder() + u'/' + home));
    // The program's own path as bytes; Qt's would decode a folder that is not UTF-8 lossily.
    const QString exe = modAPI::ProgramFilePath();
    if (exe.isEmpty() && QCoreApplication::instance())
        return QualifyPath(QCoreApplication::applicationDirPath());
    return QualifyPath(exe.left(exe.lastIndexOf(u'/')));
}

QString UserFolderName(int userNameStatus, const QString& userName) {
    if (userNameStatus != Success || userName.trimmed().isEmpty())
        return QStringLiteral("DefaultUser");
    return userName;
}

void SetPaths(const QString& appFolder, const QString& userFolderName) {
    AppPath = QualifyPath(appFolder);
    AppLogFile = AppPath + QStringLiteral("Log/Echofind.log");
    UserPath = AppPath + userFolderName + u'/';
    ProfileFolder = UserPath + QStringLiteral("Profile/");
    LogPath = UserPath + QStringLiteral("Log/");
}

namespace {

void EnsureFolder(const QString& path, int number, const QString& text) {
    if (modAPI::MyMakeSureDirectoryPathExists(path) != Success)
        throw AppError{number, text, QStringLiteral("ModCommon.InitApp")};
}

// The user name decides where everything lives, so it is looked up before the application
// log has a place; what that lookup logs is held and written as soon as the log can take
// it, on every way out of start-up.
class HeldLogLines {
public:
    HeldLogLines() { modLog::HoldAppLogLines(); }
    ~HeldLogLines() { Release(); }
    HeldLogLines(const HeldLogLines&) = delete;
    HeldLogLines& operator=(const HeldLogLines&) = delete;
    void Release() { modLog::ReleaseAppLogLines(AppLogFile); }
};

} // namespace

int InitApp(MessageService& messages) {
    try {
        AppLogFile.clear(); // so that the lookup's line waits for this start's log
        HeldLogLines held;
        QString userName;
        const int userStatus = modAPI::MyGetUserName(userName);
        SetPaths(ApplicationFolder(), UserFolderName(userStatus, userName));
        CancelRequested = false;

        EnsureFolder(UserPath, 515, QStringLiteral("Could not create user folder ") + UserPath);
        EnsureFolder(ProfileFolder, 516,
                     QStringLiteral("Could not create profile folder ") + ProfileFolder);
        EnsureFolder(LogPath, 517, QStringLiteral("Could not create log folder ") + LogPath);
        EnsureFolder(AppLogFile, 518, QStringLiteral("Could not create log folder ") + AppLogFile);

        bool exists = false;
        modAPI::MyPathFileExists(AppPath + QStringLiteral("config.xml"), exists);
        if (!exists)
            throw AppError{518,
                           QStringLiteral("Configuration file could not be found. Please "
                                          "contact Halvane support. "),
                           QStringLiteral("ModCommon.InitApp")};

        modAPI::FileInfo log;
        if (modAPI::MyStat(AppLogFile, log) == Success && log.Size > MaxAppLogBytes)
            modAPI::MyDeleteFile(AppLogFile);
        held.Release();

        // The template goes to the first user of an installation only: moved, not copied.
        const QString shippedTemplate = AppPath + QStringLiteral("Default Profile.xml");
        const QString userTemplate = ProfileFolder + QStringLiteral("Default Profile.xml");
        bool shipped = false;
        bool present = false;
        modAPI::MyPathFileExists(shippedTemplate, shipped);
        modAPI::MyPathFileExists(userTemplate, present);
        if (shipped && !present)
            modAPI::MyMoveFile(shippedTemplate, userTemplate);

        const QString catalogue = ProfileFolder + QStringLiteral("AllProfiles.xml");
        bool haveCatalogue = false;
        modAPI::MyPathFileExists(catalogue, haveCatalogue);
        // A catalogue that cannot be created is not fatal: the profile list copes with a
        // missing one, and the next start tries again.
        if (!haveCatalogue)
            modXML::InitXML(QStringLiteral("profiles"), catalogue);
        return 1;
    } catch (const AppError& e) {
        messages.Critical(
            QStringLiteral("Error occured while initializing the application. Quitting."));
        messages.Critical(e.Description);
        modLog::LogProcedureError(QStringLiteral("modCommon.InitApp"), e.Number, e.Description);
        return 0;
    } catch (const std::exception& e) {
        messages.Critical(
            QStringLiteral("Error occured while initializing the application. Quitting."));
        messages.Critical(QString::fromLocal8Bit(e.what()));
        modLog::LogProcedureError(QStringLiteral("modCommon.InitApp"), 0,
                                  QString::fromLocal8Bit(e.what()));
        return 0;
    }
}

namespace {

QString RuntimeFolder() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime;
}

} // namespace

SingleInstance::SingleInstance(const QString& appFolder)
    : SingleInstance(appFolder, RuntimeFolder()) {}

SingleInstance::SingleInstance(const QString& appFolder, const QString& runtime) {
    const QByteArray id =
        QCryptographicHash::hash(PathCodec::Encode(appFolder), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_path = QualifyPath(runtime) + QStringLiteral("echofind-") + QString::fromLatin1(id) +
             QStringLiteral(".lock");
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::TryLock() {
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(m_path);
        // A lock never goes stale by age: only a dead owner releases it.
        m_lock->setStaleLockTime(0);
    }
    return m_lock->isLocked() || m_lock->tryLock(0);
}

bool SingleInstance::HeldByAnotherInstance() const {
    return m_lock && !m_lock->isLocked() && m_lock->error() == QLockFile::LockFailedError;
}

QString SingleInstance::FailureText() const {
    const QString folder = m_path.left(m_path.lastIndexOf(u'/'));
    QString reason;
    if (modAPI::MyCheckWritableFolder(folder) != Success)
        reason = modAPI::SystemMessage(modAPI::LastAPIError);
    else if (m_lock && m_lock->error() == QLockFile::PermissionError)
        reason = modAPI::SystemMessage(EACCES);
    else
        reason = QStringLiteral("unknown error");
    return QStringLiteral("Echofind could not create its lock file ") + m_path +
           QStringLiteral(" (") + reason +
           QStringLiteral("), so it cannot make sure that it runs only once. Quitting.");
}

} // namespace modCommon
