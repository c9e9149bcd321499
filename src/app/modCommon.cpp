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

bool IsUnderFolder(const QString& path, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString qualified = QualifyPath(folder);
    return path.startsWith(qualified) || path == folder || path + u'/' == qualified;
}

QString ProfileNameFromPath(const QString& profilePath) {
    QString name = profilePath.mid(profilePath.lastIndexOf(u'/') + 1);
    name.chop(4);
    return name;
}

namespace {

bool Exists(const QString& path) {
    bool exists = false;
    modAPI::MyPathFileExists(path, exists);
    return exists;
}

// Folders the package manager owns; the compiled-in install prefix counts too, so a copy
// installed elsewhere never writes beside itself.
bool IsSystemProgramFolder(const QString& folder) {
    static const QStringList system = {
        QStringLiteral("/bin"),
        QStringLiteral("/sbin"),
        QStringLiteral("/usr/bin"),
        QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/games"),
        QStringLiteral("/usr/local/bin"),
        QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/usr/local/games"),
#ifdef ECHOFIND_INSTALL_BINDIR
        QDir::cleanPath(QStringLiteral(ECHOFIND_INSTALL_BINDIR)),
#endif
    };
    return system.contains(UnQualifyPath(folder));
}

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute (the base directory
// rules ignore a relative one).
QString UserDataFolder() {
    QString base = PathCodec::Decode(qgetenv("XDG_DATA_HOME"));
    if (!base.startsWith(u'/')) {
        QString home = PathCodec::Decode(qgetenv("HOME"));
        if (!home.startsWith(u'/'))
            home = QDir::homePath();
        base = QualifyPath(home) + QStringLiteral(".local/share");
    }
    return QualifyPath(QDir::cleanPath(base));
}

} // namespace

QString ProgramFolder() {
    // The program's own path as bytes; Qt's would decode a folder that is not UTF-8 lossily.
    const QString exe = modAPI::ProgramFilePath();
    if (exe.isEmpty() && QCoreApplication::instance())
        return QualifyPath(QCoreApplication::applicationDirPath());
    return QualifyPath(exe.left(exe.lastIndexOf(u'/')));
}

Folders ChooseFolders(const QString& programFolder) {
    Folders f;
    const QString program = QualifyPath(programFolder);
    f.Portable = Exists(program + QStringLiteral("config.xml")) &&
                 modAPI::MyCheckWritableFolder(program) == Success &&
                 !IsSystemProgramFolder(program);
    f.Shipped = program;
    if (!f.Portable) {
        const QString shared =
            QualifyPath(QDir::cleanPath(program + QStringLiteral("../share/echofind")));
        if (Exists(shared + QStringLiteral("config.xml")))
            f.Shipped = shared;
    }
    // Taken as bytes: a folder whose name is not UTF-8 must still be the folder named.
    const QString home = PathCodec::Decode(qgetenv("ECHOFIND_HOME"));
    if (!home.isEmpty())
        f.Application = QualifyPath(
            QDir::cleanPath(home.startsWith(u'/') ? home : modAPI::CurrentFolder() + u'/' + home));
    else if (f.Portable)
        f.Application = program;
    else
        f.Application = UserDataFolder() + QStringLiteral("echofind/");
    return f;
}

QString ApplicationFolder() {
    return ChooseFolders(ProgramFolder()).Application;
}

QString ShippedDataFolder() {
    return ChooseFolders(ProgramFolder()).Shipped;
}

QString TreewellLibraryFile(const QString& programFolder) {
    const QString program = QualifyPath(programFolder);
    // By soname: the unversioned name is a link for linking against, not for running.
    const QString name = QStringLiteral(ECHOFIND_TREEWELL_SONAME);
    if (Exists(program + name))
        return program + name;
    return QDir::cleanPath(program + QStringLiteral("../lib/") + name);
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

// An installed program's application folder starts empty; it gets the documents a build
// has beside its program. config.xml goes last: its presence means the copy is complete,
// so a start that failed half-way copies again.
void CopyShippedDocuments(const QString& shipped) {
    const QString config = QStringLiteral("config.xml");
    if (shipped == AppPath || Exists(AppPath + config) || !Exists(shipped + config))
        return;
    const QString profile = QStringLiteral("Default Profile.xml");
    for (const QString& name : {profile, config}) {
        // After a lost config.xml, a template the user already has stays the only one.
        if (!Exists(shipped + name) || (name == profile && Exists(ProfileFolder + name)))
            continue;
        // The shipped files are read-only; the user's copies are the user's to change.
        if (modAPI::MyCopyFile(shipped + name, AppPath + name, false) == Success)
            modAPI::MyMakeWritable(AppPath + name);
    }
}

} // namespace

int InitApp(MessageService& messages) {
    return InitApp(messages, ChooseFolders(ProgramFolder()));
}

int InitApp(MessageService& messages, const Folders& folders) {
    QString detail; // a second line naming what was missing
    try {
        AppLogFile.clear(); // so that the lookup's line waits for this start's log
        HeldLogLines held;
        QString userName;
        const int userStatus = modAPI::MyGetUserName(userName);
        SetPaths(folders.Application, UserFolderName(userStatus, userName));

        EnsureFolder(UserPath, 515, QStringLiteral("Could not create user folder ") + UserPath);
        EnsureFolder(ProfileFolder, 516,
                     QStringLiteral("Could not create profile folder ") + ProfileFolder);
        EnsureFolder(LogPath, 517, QStringLiteral("Could not create log folder ") + LogPath);
        EnsureFolder(AppLogFile, 518, QStringLiteral("Could not create log folder ") + AppLogFile);
        // Every application folder that is not the shipped one starts from its documents:
        // an installed program's, and a build's run with ECHOFIND_HOME alike.
        CopyShippedDocuments(folders.Shipped);

        bool exists = false;
        modAPI::MyPathFileExists(AppPath + QStringLiteral("config.xml"), exists);
        if (!exists) {
            detail = QStringLiteral("Not found: ") + AppPath + QStringLiteral("config.xml");
            throw AppError{518,
                           QStringLiteral("Configuration file could not be found. Please "
                                          "contact Halvane support. "),
                           QStringLiteral("ModCommon.InitApp")};
        }

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
        messages.Present({e.Description, MessageService::Icon::Critical,
                          MessageService::Buttons::Ok, MessageService::Answer::Ok, detail});
        modLog::LogProcedureError(QStringLiteral("modCommon.InitApp"), e.Number,
                                  detail.isEmpty() ? e.Description : e.Description + u' ' + detail);
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
