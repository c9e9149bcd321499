#include "clsFindFile.h"

#include "AcrossFolders.h"
#include "FolderWalker.h"
#include "HashCache.h"
#include "ScanAnalysis.h"
#include "ScanObserver.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ProfileDocument.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace {

const QString kProcessingText =
    QStringLiteral("Processing. This could take a couple of minutes. Please wait...");

AppError ProfileError() {
    return AppError{536, QStringLiteral("Error in profile details"), QString()};
}

// Whether the scan must refuse the document for the issue: it takes every value of its own
// parts as written and guesses none. "across" is read leniently, as it is written only when
// on, and an unknown content comparison is named by UnusableCriteria.
bool RefusedForScan(const ProfileIssue& issue) {
    static const QStringList scanElements = {
        QStringLiteral("subfolder"),     QStringLiteral("findduplicates"),
        QStringLiteral("ignore"),        QStringLiteral("folder"),
        QStringLiteral("includefilter"), QStringLiteral("excludefilter")};
    if (!scanElements.contains(issue.Element) || issue.Attribute == u"across")
        return false;
    return issue.What == ProfileIssue::Kind::Missing || issue.Attribute != u"matchtype";
}

void NoteError(const QString& text) {
    modLog::LogErrDetails(text);
    modLog::RunStats.ErrorCount += 1;
}

void FailProfile(const QString& profilePath, int number, const QString& description, int& status) {
    modLog::LogProcedureError(QStringLiteral("clsFindFile.ExecuteProfile"), number, description);
    NoteError(profilePath + QStringLiteral(" - ") + QStringLiteral(" error in executing profile "));
    status = Failed;
}

} // namespace

clsFindFile::clsFindFile() : m_walker(std::make_unique<FolderWalker>(*this)) {}

clsFindFile::~clsFindFile() = default;

int clsFindFile::ThreadCount() const {
    if (ReadThreads > 0)
        return ReadThreads;
    // Most of a thread's time goes to waiting for the disk when the files are not in
    // memory: more requests in flight let the disk order and overlap them (a cold run over
    // 100,000 files took a third of the time with eight threads instead of two on two
    // cores). From memory, the extra threads cost nothing measurable.
    return int(std::clamp(std::thread::hardware_concurrency() * 4, 4u, 16u));
}

int clsFindFile::ListingThreadCount() const {
    return std::min(ThreadCount(),
                    int(std::clamp(std::thread::hardware_concurrency() * 2, 1u, 4u)));
}

void clsFindFile::NoteFileNotRetrieved(const QString& path) {
    NoteError(path + QStringLiteral(" - ") + QStringLiteral(" details could not be retrieved"));
}

QString clsFindFile::DefaultHashCacheFile() {
    return modCommon::UserPath.isEmpty() ? QString()
                                         : modCommon::UserPath + QStringLiteral("HashCache.sqlite");
}

qint64 clsFindFile::FoldersNotListed() const {
    return m_walker->FoldersNotListed();
}

QString clsFindFile::UnusableCriteria() const {
    const bool knownMethod = MatchType.compare(u"crc", Qt::CaseInsensitive) == 0 ||
                             MatchType.compare(u"md5", Qt::CaseInsensitive) == 0;
    if (ContentMatch && !knownMethod)
        return QStringLiteral(" profile details name an unknown content comparison \"%1\"")
            .arg(MatchType);
    if (!ContentMatch && !MatchName && !MatchSize && !CreateDateTime && !ModifiedDateTime)
        return QStringLiteral(" profile details set no duplicate criterion");
    return QString();
}

void clsFindFile::PrepareList(FileList& list) const {
    list.KeyName = MatchName;
    list.KeySize = MatchSize;
    list.KeyCreated = CreateDateTime;
    list.KeyModified = ModifiedDateTime;
    list.Content = FileList::ContentKind::None;
    if (ContentMatch && MatchType.compare(u"md5", Qt::CaseInsensitive) == 0)
        list.Content = FileList::ContentKind::Md5;
    else if (ContentMatch && MatchType.compare(u"crc", Qt::CaseInsensitive) == 0)
        list.Content = FileList::ContentKind::Crc;
}

void clsFindFile::GetFiles(const QString& folder, FileList& list) {
    PrepareList(list);
    m_walker->Walk(folder, list);
}

void clsFindFile::Scan(const QStringList& folders, FileList& list) {
    m_scannedFolders = folders;
    PrepareList(list);
    for (const QString& folder : folders) {
        if (CancelOperation.load())
            break;
        GetFiles(folder, list);
    }
    if (CancelOperation.load() || list.empty())
        return;
    list.Compact();
    modAPI::ReleaseFreeMemory();
    if (m_observer)
        m_observer->DisplayStatus(kProcessingText);
    std::unique_ptr<HashCache> cache;
    if (UseHashCache && Staged && list.Content != FileList::ContentKind::None) {
        const QString file = HashCacheFile.isEmpty() ? DefaultHashCacheFile() : HashCacheFile;
        if (!file.isEmpty())
            cache = std::make_unique<HashCache>(file);
    }
    const bool sorted = AnalyseScan(list, AnalysisSettings{ThreadCount(), Staged, cache.get()},
                                    m_observer, CancelOperation, m_bytesRead);
    // Before any group is handed on, so the group headers and totals count only what is kept.
    if (sorted && AcrossFolders && !CancelOperation.load())
        KeepGroupsAcrossFolders(list, folders);
}

int clsFindFile::ScanFolders(const QStringList& folders, FileList& list) {
    if (const QString why = UnusableCriteria(); !why.isEmpty()) {
        modLog::LogProcedureError(QStringLiteral("clsFindFile.ScanFolders"), 536,
                                  QStringLiteral("Error in profile details:") + why);
        return Failed;
    }
    try {
        Scan(folders, list);
        return Success;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsFindFile.ScanFolders"), 7,
                                  QString::fromLocal8Bit(e.what()));
        return Failed;
    }
}

void clsFindFile::ReadSettings(const QString& profilePath, QStringList& folders) {
    modAPI::FileInfo info;
    if (modAPI::MyStat(profilePath, info) != Success || info.Type != modAPI::EntryType::File) {
        NoteError(profilePath + QStringLiteral(" - ") +
                  QStringLiteral(" profile details could not be found"));
        throw ProfileError();
    }
    ProfileContents c;
    if (ProfileDocument::Read(profilePath, c) != ProfileDocument::Found::Read) {
        NoteError(profilePath + QStringLiteral(" - ") +
                  QStringLiteral(" profile details could not be retrieved"));
        throw ProfileError();
    }
    if (c.Empty)
        return;
    for (const ProfileIssue& issue : c.Issues)
        if (RefusedForScan(issue))
            throw issue.What == ProfileIssue::Kind::Missing
                ? AppError{94, QStringLiteral("Invalid use of Null"), issue.Attribute}
                : AppError{13, QStringLiteral("Type mismatch"), issue.Attribute};
    if (c.IncludeSubFolder)
        IncludeSubFolder = *c.IncludeSubFolder;
    if (c.Find) {
        MatchName = c.Find->Name;
        MatchSize = c.Find->Size;
        CreateDateTime = c.Find->Create;
        ModifiedDateTime = c.Find->Modify;
        ContentMatch = c.Find->Content;
        MatchType = c.Find->MatchType;
        AcrossFolders = AcrossFolders || c.AcrossFolders;
        FindFolders = FindFolders || c.FindFolders;
    }
    if (c.Ignores) {
        IncludeHiddenFilesFolders = !c.Ignores->Hidden;
        IncludeReadOnlyFilesFolders = !c.Ignores->ReadOnly;
        IncludeSystemFilesFolders = !c.Ignores->System;
        IncludeZeroByteFiles = !c.Ignores->ZeroByte;
    }
    m_include = c.IncludeFilters;
    m_exclude = c.ExcludeFilters;
    for (const QString& written : c.Folders) {
        const QString folder = ProfileDocument::ResolveFolder(written);
        // A relative folder would be taken from wherever the program was started, and the
        // actions would then work on files nobody chose.
        if (!folder.startsWith(u'/')) {
            NoteError(profilePath + QStringLiteral(" - ") + QStringLiteral(" the folder \"") +
                      folder + QStringLiteral("\" is not a full path"));
            throw ProfileError();
        }
        folders << folder;
    }
}

void clsFindFile::ExecuteProfile(const QString& profilePath, FileList& list, int& status) {
    try {
        QStringList folders;
        ReadSettings(profilePath, folders);
        if (const QString why = UnusableCriteria(); !why.isEmpty()) {
            NoteError(profilePath + QStringLiteral(" - ") + why);
            throw ProfileError();
        }
        Scan(folders, list);
        status = Success;
    } catch (const AppError& e) {
        FailProfile(profilePath, e.Number, e.Description, status);
    } catch (const std::exception& e) {
        // Memory running out on a huge tree is the one failure expected here.
        FailProfile(profilePath, 7, QString::fromLocal8Bit(e.what()), status);
    }
}
