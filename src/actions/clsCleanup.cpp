#include "clsCleanup.h"

#include "RemoveRule.h"
#include "ReportWriter.h"
#include "cls7z.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ActionWords.h"
#include "profiles/ProfileDocument.h"

#include <QBuffer>
#include <QDateTime>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

const QString Separator = QStringLiteral(" - ");
const QString LinkFailedText = QStringLiteral("Error occured while replacing by a hard link");
const QString NotSharedText = QStringLiteral("Not shared: the file system cannot share blocks");

void CountError() {
    ++modLog::RunStats.ErrorCount;
}

// What now stands at the path, for the journal; empty when nothing can be seen there.
QByteArray AfterText(const QString& path) {
    modAPI::FileInfo info;
    return modAPI::MyStat(path, info) == Success ? RunJournal::IdentityText(info) : QByteArray();
}

AppError SystemError(const QString& source) {
    return AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError), source};
}

} // namespace

clsCleanup::clsCleanup(MessageService& messages)
    : m_messages(messages), m_started(QDateTime::currentSecsSinceEpoch()) {}

clsCleanup::~clsCleanup() = default;

int clsCleanup::GetProfileSettings(const QString& strProfileName) {
    const QString where = QStringLiteral("clsCleanup.GetProfileSettings");
    try {
        ProfileName = modCommon::ProfileNameFromPath(strProfileName);
        const QString path = modCommon::ProfileFolder + strProfileName;
        ProfileContents c;
        switch (ProfileDocument::Read(path, c)) {
        case ProfileDocument::Found::Missing:
            throw AppError{
                532, QStringLiteral("Application could not locate the selected profile."), path};
        case ProfileDocument::Found::Unreadable:
            throw AppError{531, QStringLiteral("Error occured while reading the selected profile"),
                           path};
        case ProfileDocument::Found::Read:
            break;
        }
        if (c.Remove) {
            // As written: a rule this version does not know is refused by the run, never
            // taken for another one.
            DeleteTo = c.Remove->DeleteTo;
            TargetFolder = c.Remove->Folder;
            DeleteEmptyFolder = c.Remove->DeleteEmptyFolder;
        }
        ProtectedFolders = c.ProtectedFolders;
        ScanFolders.clear();
        for (const QString& folder : c.Folders)
            ScanFolders << ProfileDocument::ResolveFolder(folder);
        if (c.Find)
            ScanByContent = c.Find->Content;
        if (c.IncludeSubFolder)
            ScanSubFolders = *c.IncludeSubFolder;
        if (c.Copy)
            SingleCopyFolder = c.Copy->Folder;
        if (c.Exports) {
            ExportLocation = c.Exports->Location;
            ExportFormat = c.Exports->Format;
        }
        return Success;
    } catch (const AppError& e) {
        m_messages.Inform(e.Number == 531 || e.Number == 532
                              ? e.Description
                              : QStringLiteral("Error occured while retrieving profile settings"));
        modLog::LogProcedureError(where, e.Number, e.Description);
    } catch (const std::exception& e) {
        m_messages.Inform(QStringLiteral("Error occured while retrieving profile settings"));
        modLog::LogProcedureError(where, 0, QString::fromUtf8(e.what()));
    }
    return Failed;
}

int clsCleanup::DeleteFile(const QString& strFilePath) {
    modAPI::HeldFile file;
    if (const int err = file.Open(strFilePath)) {
        // As each method's own failure, so the lines say what could not be done.
        static const struct {
            RemoveMethod Method;
            const char* Wrapper;
            const char* Failure;
        } methods[] = {
            {RemoveMethod::Zip, "MyDeleteFile", "Error occured while zipping file"},
            {RemoveMethod::Move, "MyMoveFile", "Error occured while moving the file"},
            {RemoveMethod::Permanent, "MyDeleteFile", "Error occured while deleting file"},
            {RemoveMethod::HardLink, "MyReplaceByHardLink",
             "Error occured while replacing by a hard link"},
            {RemoveMethod::Clone, "MyShareBlocks", "Not shared: the file could not be opened"},
            {RemoveMethod::Trash, "MyMoveToTrash", "Error occured while moving to Recyclebin"},
        };
        const RemoveMethod asked = ActionWords::MethodOf(DeleteTo);
        const auto* method = std::find_if(std::begin(methods), std::end(methods) - 1,
                                          [&](const auto& m) { return m.Method == asked; });
        modAPI::ReportAPIError(QLatin1String(method->Wrapper), strFilePath, err);
        const QString what = QLatin1String(method->Failure);
        LogFailure(strFilePath, what);
        if (DeleteEmptyFolder)
            RemoveEmptyFolder(strFilePath);
        return Success;
    }
    return DeleteHeld(file);
}

int clsCleanup::DeleteHeld(const modAPI::HeldFile& file) {
    const QString& strFilePath = file.Path();
    try {
        if (RemovalQueued()) {
            // Its folder can only go once the file has gone, at the commit.
            m_zipQueue.push_back({strFilePath, file.Folder().Id(), file.Info()});
            return Success;
        }
        const RemoveMethod method = ActionWords::MethodOf(DeleteTo);
        if (ActionWords::KeepsNames(method)) {
            // Which file to link to or share with is the run's to say; without it the file
            // stays, and its folder, which keeps the name anyway, is never tidied away.
            LogFailure(strFilePath,
                       method == RemoveMethod::Clone
                           ? QStringLiteral("Not shared: there is no kept file to share with")
                           : LinkFailedText);
            return Success;
        }
        if (method == RemoveMethod::Unknown) {
            // A rule of a later version, perhaps: never guessed at.
            LogFailure(strFilePath, RemoveRule::UnknownText(DeleteTo));
            return Success;
        }
        switch (method) {
        case RemoveMethod::Zip:
            ZipFile(file);
            break;
        case RemoveMethod::Move:
            MoveToFolder(file);
            break;
        case RemoveMethod::Permanent:
            DeletePermanently(file);
            break;
        default:
            MoveToRecyclebin(file);
            break;
        }
        if (DeleteEmptyFolder && !Stopped())
            RemoveEmptyFolder(strFilePath);
        return Success;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.DeleteFile"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}

RunJournal& clsCleanup::Journal() {
    if (m_journal)
        return *m_journal;
    if (!m_ownJournal)
        m_ownJournal = std::make_unique<RunJournal>(RunJournal::FileFor(ProfileName));
    return *m_ownJournal;
}

bool clsCleanup::Stopped() const {
    return (m_journal && m_journal->Failed()) || (m_ownJournal && m_ownJournal->Failed());
}

bool clsCleanup::Record(const QString& verb, const modAPI::HeldFile& file, const QString& to) {
    return !Stopped() && Journal().Intent(verb, file.Path(), to, file.Info());
}

void clsCleanup::ClearLeftovers(const QString& folder, const QByteArray& archivePrefix) {
    if (m_cleared.contains(folder))
        return;
    m_cleared.insert(folder);
    modAPI::MyRemoveStaleTemporaries(folder, archivePrefix, m_started);
}

clsCleanup::LinkResult clsCleanup::ReplaceByHardLink(const modAPI::HeldFile& file,
                                                     const modAPI::HeldFile& kept,
                                                     const modAPI::FileInfo& keptSeen) {
    const QString& strFilePath = file.Path();
    const QString& strKeptPath = kept.Path();
    try {
        const modAPI::FileInfo& a = file.Info();
        if (!(a.Device == keptSeen.Device && a.Inode == keptSeen.Inode) &&
            (a.Uid != keptSeen.Uid || a.Gid != keptSeen.Gid ||
             (a.Mode & 07777) != (keptSeen.Mode & 07777))) {
            LogFailure(strFilePath,
                       QStringLiteral("Not replaced by a hard link: its owner, group or "
                                      "permissions differ from ") +
                           strKeptPath);
            return LinkResult::NotLinked;
        }
        if (!Record(QStringLiteral("link"), file, strKeptPath))
            return LinkResult::NotLinked;
        bool already = false;
        if (modAPI::MyLinkHeld(kept, file, keptSeen, &already) != Success) {
            const QString why =
                modAPI::LastAPIError == ECANCELED
                    ? QStringLiteral("Skipped: the file or its kept copy changed since the scan")
                    : LinkFailedText + QStringLiteral(" (") +
                          modAPI::SystemMessage(modAPI::LastAPIError) + QStringLiteral(")");
            Journal().Fail(strFilePath, why);
            LogFailure(strFilePath, why);
            return LinkResult::NotLinked;
        }
        // An undo gives a linked name a file of its own again, but must leave one that
        // already was a link as it found it: that one has no "where".
        Journal().Done(strFilePath, already ? QString() : strKeptPath, AfterText(strFilePath));
        LogActionDetails(strFilePath + Separator +
                         (already ? QStringLiteral("Already a hard link to ")
                                  : QStringLiteral("Replaced by a hard link to ")) +
                         strKeptPath);
        return already ? LinkResult::AlreadyLinked : LinkResult::Linked;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.ReplaceByHardLink"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return LinkResult::NotLinked;
}

clsCleanup::ShareResult clsCleanup::ShareBlocks(const modAPI::HeldFile& file,
                                                const modAPI::HeldFile& kept) {
    const QString& path = file.Path();
    try {
        if (!Record(QStringLiteral("clone"), file, kept.Path()))
            return ShareResult::NotShared;
        bool already = false;
        if (modAPI::MyShareBlocksHeld(kept, file, &already) != Success) {
            const int err = modAPI::LastAPIError;
            const QString why =
                modAPI::CannotShareBlocks(err) ? NotSharedText
                : err == ECANCELED
                    ? QStringLiteral("Skipped: the file or its kept copy changed since the scan")
                    : QStringLiteral("Not shared: ") + modAPI::SystemMessage(err);
            Journal().Fail(path, why);
            LogFailure(path, why);
            return ShareResult::NotShared;
        }
        Journal().Done(path, already ? QString() : kept.Path(), AfterText(path));
        LogActionDetails(path + Separator +
                         (already ? QStringLiteral("Already shares its blocks with ")
                                  : QStringLiteral("Shares its blocks with ")) +
                         kept.Path());
        return already ? ShareResult::AlreadyShared : ShareResult::Shared;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.ShareBlocks"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return ShareResult::NotShared;
}

void clsCleanup::LogActionDetails(const QString& strDetails) {
    modLog::LogActionDetails(strDetails);
}

void clsCleanup::LogFailure(const QString& path, const QString& what) {
    LogActionDetails(path + Separator + what);
    CountError();
}

int clsCleanup::MoveToRecyclebin(const modAPI::HeldFile& file) {
    const QString& path = file.Path();
    if (!Record(QStringLiteral("trash"), file, QString()))
        return Failed;
    // The trash wrapper counts success only when the file has really left its path for a
    // trash folder; a trash that cannot take it is a failure, never a deletion instead.
    QString placed;
    if (modAPI::MyTrashHeld(file, &placed) == Success) {
        Journal().Done(path, placed, AfterText(placed));
        LogActionDetails(path + Separator + QStringLiteral("Moved to Recyclebin"));
    } else {
        Journal().Fail(path, modAPI::SystemMessage(modAPI::LastAPIError));
        LogFailure(path, QStringLiteral("Error occured while moving to Recyclebin"));
    }
    return Success;
}

int clsCleanup::DeletePermanently(const modAPI::HeldFile& file, const QString& verb,
                                  const QString& to, const QByteArray& after) {
    const QString& path = file.Path();
    if (!Record(verb, file, to))
        return Failed;
    if (modAPI::MyDeleteHeld(file) == Success) {
        Journal().Done(path, to, after);
        LogActionDetails(path + Separator + QStringLiteral("Deleted permanently"));
        return Success;
    }
    const int err = modAPI::LastAPIError;
    Journal().Fail(path, modAPI::SystemMessage(err));
    LogFailure(path, QStringLiteral("Error occured while deleting file"));
    modLog::LogProcedureError(QStringLiteral("clsCleanup.DeletePermanently"), err,
                              modAPI::SystemMessage(err));
    return Failed;
}

QString clsCleanup::ZipPath() const {
    return modCommon::QualifyPath(TargetFolder) + ProfileName;
}

std::vector<cls7z::Item> clsCleanup::CommitZipBatch(const cls7z::Progress& progress) {
    m_batching = false;
    m_zipCancelled = false;
    const std::vector<cls7z::Item> files = std::exchange(m_zipQueue, {});
    if (files.empty())
        return {};
    const QString archive = ZipPath();
    ClearLeftovers(modCommon::UnQualifyPath(modCommon::QualifyPath(TargetFolder)),
                   PathCodec::Encode(ProfileName + QStringLiteral(".zip")));
    cls7z::Batch batch;
    cls7z().ArchiveAll(archive, files, batch, progress);
    if (batch.Cancelled) {
        m_zipCancelled = true;
        return {};
    }
    QSet<QString> added;
    for (const cls7z::Item& item : batch.Added)
        added.insert(item.Path);
    for (const cls7z::Item& item : files)
        if (!added.contains(item.Path))
            LogFailure(item.Path, QStringLiteral("Error occured while zipping file"));
    NoteEntries(batch.Added);
    return batch.Added;
}

void clsCleanup::NoteEntries(const std::vector<cls7z::Item>& added) {
    // Read back from the committed archive once, so that an undo can tell whether the
    // entry it finds is still the one written now.
    m_zipEntries.clear();
    cls7z::Reader reader;
    if (added.empty() || !reader.Open(ZipPath() + QStringLiteral(".zip")))
        return;
    for (const cls7z::Item& item : added) {
        cls7z::Entry entry;
        if (reader.Find(item.Path, entry))
            m_zipEntries.insert(item.Path, RunJournal::EntryText(entry.Size, entry.Crc));
    }
}

void clsCleanup::FinishZip(const modAPI::HeldFile& file) {
    const QString archive = ZipPath() + QStringLiteral(".zip");
    LogActionDetails(file.Path() + Separator + QStringLiteral("moved to ") + archive);
    if (DeletePermanently(file, QStringLiteral("zip"), archive, m_zipEntries.value(file.Path())) ==
            Success &&
        DeleteEmptyFolder)
        RemoveEmptyFolder(file.Path());
}

void clsCleanup::DiscardZipBatch() {
    m_batching = false;
    m_zipQueue.clear();
}

int clsCleanup::ZipFile(const modAPI::HeldFile& file) {
    const QString archive = ZipPath();
    ClearLeftovers(modCommon::UnQualifyPath(modCommon::QualifyPath(TargetFolder)),
                   PathCodec::Encode(ProfileName + QStringLiteral(".zip")));
    cls7z::Batch batch;
    if (cls7z().ArchiveAll(archive, {{file.Path(), file.Folder().Id(), file.Info()}}, batch) !=
            Success ||
        batch.Added.empty()) {
        LogFailure(file.Path(), QStringLiteral("Error occured while zipping file"));
        return Failed;
    }
    // Only now, with the archive committed, does the file leave its folder.
    LogActionDetails(file.Path() + Separator + QStringLiteral("moved to ") + archive +
                     QStringLiteral(".zip"));
    NoteEntries(batch.Added);
    return DeletePermanently(file, QStringLiteral("zip"), archive + QStringLiteral(".zip"),
                             m_zipEntries.value(file.Path()));
}

QString clsCleanup::DestinationUnder(const QString& folder, const QString& filePath) {
    return modCommon::QualifyPath(folder) + cls7z::EntryName(filePath);
}

int clsCleanup::MoveToFolder(const modAPI::HeldFile& file) {
    const QString& path = file.Path();
    const QString destination = DestinationUnder(TargetFolder, path);
    const QString moveFailed = QStringLiteral("Error occured while moving the file");
    const qsizetype slash = destination.lastIndexOf(u'/');
    ClearLeftovers(destination.left(slash));
    if (!Record(QStringLiteral("move"), file, destination))
        return Failed;
    // Nothing at the destination is ever replaced: an earlier moved copy there may be the
    // last one left. The new one takes the first free "name (n)" beside it instead.
    QString placed;
    if (modAPI::MyMoveHeld(file, destination, placed) != Success) {
        Journal().Fail(path, modAPI::SystemMessage(modAPI::LastAPIError));
        LogFailure(path, moveFailed);
        return Failed;
    }
    Journal().Done(path, placed, AfterText(placed));
    if (placed != destination)
        LogActionDetails(destination + Separator +
                         QStringLiteral("Kept: a file of that name was already in the move "
                                        "folder; the new one was given a name of its own"));
    LogActionDetails(path + Separator + QStringLiteral("moved to ") + placed);
    return Success;
}

void clsCleanup::RemoveEmptyFolder(const QString& path) {
    // rmdir refuses a folder that still holds anything, which is exactly the test wanted;
    // checking first would only open a race with whoever writes into it.
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash > 0)
        modAPI::MyRemoveDirectory(path.left(slash));
}

int clsCleanup::CreateSingleCopy(const QString& strSourceFilePath) {
    modAPI::HeldFile file;
    if (const int err = file.Open(strSourceFilePath)) {
        modAPI::ReportAPIError(QStringLiteral("MyCopyFile"), strSourceFilePath, err);
        LogFailure(strSourceFilePath, QStringLiteral("Error occured while creating single copy"));
        return Success;
    }
    return CopyHeld(file);
}

int clsCleanup::CopyHeld(const modAPI::HeldFile& source) {
    try {
        const QString destination = DestinationUnder(modCommon::QualifyPath(SingleCopyFolder) +
                                                         modCommon::QualifyPath(ProfileName),
                                                     source.Path());
        // A copy that was not made is said like any other failed action, so that nobody
        // relies on a single copy that does not exist.
        if (modAPI::MyCopyHeld(source, destination) != Success)
            LogFailure(source.Path(), QStringLiteral("Error occured while creating single copy"));
        return Success;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.CreateSingleCopy"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}

QString clsCleanup::ReportPath() const {
    const QString extension = ReportWriter::Extension(ExportFormat);
    if (extension.isEmpty())
        return {};
    return modCommon::QualifyPath(ExportLocation) + ProfileName + extension;
}

int clsCleanup::Export(const std::vector<ExportRecord>& records) {
    try {
        const std::unique_ptr<ReportWriter> writer = ReportWriter::ForFormat(ExportFormat);
        if (!writer)
            return Success;
        // The report is built in memory and replaces the earlier one only when complete.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        bool ok = writer->Begin(buffer);
        for (size_t i = 0; ok && i < records.size(); ++i)
            ok = records[i].IsGroup() ? writer->Group(records[i]) : writer->File(records[i]);
        if (ok)
            ok = writer->End();
        if (!ok)
            throw AppError{0, writer->Error(), ReportPath()};
        // Made like the folders of a move, a zip or a single copy.
        if (modAPI::MyMakeSureDirectoryPathExists(modCommon::QualifyPath(ExportLocation)) !=
                Success ||
            modAPI::SaveFileAtomically(ReportPath(), buffer.data()) != Success)
            throw SystemError(ReportPath());
        return Success;
    } catch (const AppError& e) {
        m_exportError = PathCodec::Display(ReportPath()) + QStringLiteral(": ") + e.Description;
        modLog::LogProcedureError(QStringLiteral("clsCleanup.Export"), e.Number, e.Description);
    } catch (const std::exception& e) {
        m_exportError =
            PathCodec::Display(ReportPath()) + QStringLiteral(": ") + QString::fromUtf8(e.what());
        modLog::LogProcedureError(QStringLiteral("clsCleanup.Export"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}
