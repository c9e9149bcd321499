#include "clsCleanup.h"

#include "ReportWriter.h"
#include "cls7z.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "app/modXML.h"

#include <QBuffer>
#include <QSet>

#include <cerrno>
#include <utility>

namespace {

const QString Separator = QStringLiteral(" - ");
const QString LinkFailedText = QStringLiteral("Error occured while replacing by a hard link");

void CountError() {
    ++modLog::RunStats.ErrorCount;
}

AppError SystemError(const QString& source) {
    return AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError), source};
}

} // namespace

int clsCleanup::GetProfileSettings(const QString& strProfileName) {
    const QString where = QStringLiteral("clsCleanup.GetProfileSettings");
    try {
        ProfileName = modCommon::ProfileNameFromPath(strProfileName);
        const QString path = modCommon::ProfileFolder + strProfileName;
        bool exists = false;
        modAPI::MyPathFileExists(path, exists);
        if (!exists)
            throw AppError{
                532, QStringLiteral("Application could not locate the selected profile."), path};
        modXML::Document doc;
        if (modXML::ReadProfile(path, doc) != Success || !doc.Root())
            throw AppError{531, QStringLiteral("Error occured while reading the selected profile"),
                           path};
        if (!doc.HasChildNodes())
            return Success;
        if (const pugi::xml_node n =
                modXML::SelectFirst(doc.Dom(), QStringLiteral("//removeoption/criteria"))) {
            DeleteTo = modXML::AttributeText(n, QStringLiteral("delto"));
            TargetFolder = modXML::AttributeText(n, QStringLiteral("folder"));
            DeleteEmptyFolder =
                modXML::AttributeText(n, QStringLiteral("deleteemptyfolder")).toLower() == u"yes";
        }
        ProtectedFolders.clear();
        for (const pugi::xml_node& n :
             modXML::SelectAll(doc.Dom(), QStringLiteral("//protect/protectedfolder")))
            ProtectedFolders << modXML::AttributeText(n, QStringLiteral("path"));
        if (const pugi::xml_node n =
                modXML::SelectFirst(doc.Dom(), QStringLiteral("//singlecopy/criteria")))
            SingleCopyFolder = modXML::AttributeText(n, QStringLiteral("createin"));
        if (const pugi::xml_node n =
                modXML::SelectFirst(doc.Dom(), QStringLiteral("//export/exportreport"))) {
            ExportLocation = modXML::AttributeText(n, QStringLiteral("location"));
            ExportFormat = modXML::AttributeText(n, QStringLiteral("format"));
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
    try {
        if (RemovalQueued()) {
            // Its folder can only go once the file has gone, at the commit.
            m_zipQueue.push_back(strFilePath);
            return Success;
        }
        if (DeleteTo == u"hardlink") {
            // Which file to link to is the run's to say; without it the file stays, and
            // its folder, which keeps the name anyway, is never tidied away.
            LogFailure(strFilePath, LinkFailedText);
            return Success;
        }
        if (DeleteTo == u"zip")
            ZipFile(strFilePath);
        else if (DeleteTo == u"move")
            MoveToFolder(strFilePath);
        else if (DeleteTo == u"permanent")
            DeletePermanently(strFilePath);
        else
            MoveToRecyclebin(strFilePath);
        if (DeleteEmptyFolder)
            RemoveEmptyFolder(strFilePath);
        return Success;
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.DeleteFile"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}

clsCleanup::LinkResult clsCleanup::ReplaceByHardLink(const QString& strFilePath,
                                                     const QString& strKeptPath) {
    try {
        // Equal keys only say the files are probably the same; a link makes them one, so
        // only bytes compared here, now, may decide.
        switch (modAPI::CompareContents(strKeptPath, strFilePath)) {
        case modAPI::ContentMatch::Same:
            break;
        case modAPI::ContentMatch::Different:
            LogFailure(strFilePath,
                       QStringLiteral("Not replaced by a hard link: its contents differ from ") +
                           strKeptPath);
            return LinkResult::NotLinked;
        case modAPI::ContentMatch::Unreadable:
            modAPI::ReportAPIError(QStringLiteral("CompareContents"), strFilePath,
                                   modAPI::LastAPIError);
            LogFailure(strFilePath, QStringLiteral("Error occured while comparing the file with ") +
                                        strKeptPath);
            return LinkResult::NotLinked;
        }
        bool already = false;
        if (modAPI::MyReplaceByHardLink(strKeptPath, strFilePath, &already) != Success) {
            LogFailure(strFilePath, LinkFailedText + QStringLiteral(" (") +
                                        modAPI::SystemMessage(modAPI::LastAPIError) +
                                        QStringLiteral(")"));
            return LinkResult::NotLinked;
        }
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

void clsCleanup::LogActionDetails(const QString& strDetails) {
    modLog::LogActionDetails(strDetails);
}

void clsCleanup::LogFailure(const QString& path, const QString& what) {
    LogActionDetails(path + Separator + what);
    CountError();
}

int clsCleanup::MoveToRecyclebin(const QString& path) {
    // The trash wrapper counts success only when the file has really left its path for a
    // trash folder; a trash that cannot take it is a failure, never a deletion instead.
    if (modAPI::MyMoveToTrash(path) == Success)
        LogActionDetails(path + Separator + QStringLiteral("Moved to Recyclebin"));
    else
        LogFailure(path, QStringLiteral("Error occured while moving to Recyclebin"));
    return Success;
}

int clsCleanup::DeletePermanently(const QString& path) {
    try {
        if (modAPI::MyMakeWritable(path) != Success || modAPI::MyDeleteFile(path) != Success)
            throw SystemError(path);
        LogActionDetails(path + Separator + QStringLiteral("Deleted permanently"));
        return Success;
    } catch (const AppError& e) {
        LogFailure(path, QStringLiteral("Error occured while deleting file"));
        modLog::LogProcedureError(QStringLiteral("clsCleanup.DeletePermanently"), e.Number,
                                  e.Description);
    }
    return Failed;
}

QString clsCleanup::ZipPath() const {
    return modCommon::QualifyPath(TargetFolder) + ProfileName;
}

int clsCleanup::CommitZipBatch(const cls7z::Progress& progress) {
    m_batching = false;
    m_zipCancelled = false;
    const QStringList files = std::exchange(m_zipQueue, {});
    if (files.isEmpty())
        return Success;
    const QString archive = ZipPath();
    cls7z::Batch batch;
    const int result = cls7z().ArchiveAll(archive, files, batch, progress);
    if (batch.Cancelled) {
        m_zipCancelled = true;
        return Failed;
    }
    const QSet<QString> added(batch.Added.cbegin(), batch.Added.cend());
    for (const QString& path : files) {
        if (!added.contains(path)) {
            LogFailure(path, QStringLiteral("Error occured while zipping file"));
            continue;
        }
        LogActionDetails(path + Separator + QStringLiteral("moved to ") + archive +
                         QStringLiteral(".zip"));
        DeletePermanently(path);
        if (DeleteEmptyFolder)
            RemoveEmptyFolder(path);
    }
    return result;
}

void clsCleanup::DiscardZipBatch() {
    m_batching = false;
    m_zipQueue.clear();
}

int clsCleanup::ZipFile(const QString& path) {
    const QString archive = ZipPath();
    if (cls7z().Archive(archive, path) != Success) {
        LogFailure(path, QStringLiteral("Error occured while zipping file"));
        return Failed;
    }
    LogActionDetails(path + Separator + QStringLiteral("moved to ") + archive +
                     QStringLiteral(".zip"));
    // Only now, with the archive committed, does the file leave its folder.
    return DeletePermanently(path);
}

QString clsCleanup::DestinationUnder(const QString& folder, const QString& filePath) {
    return modCommon::QualifyPath(folder) + cls7z::EntryName(filePath);
}

int clsCleanup::MoveToFolder(const QString& path) {
    const QString destination = DestinationUnder(TargetFolder, path);
    const QString moveFailed = QStringLiteral("Error occured while moving the file");
    modAPI::MyMakeSureDirectoryPathExists(destination);

    // A destination that is the file itself (an empty target folder, a bind mount, a hard
    // link) must not be "replaced": deleting it would delete the only copy.
    modAPI::FileInfo source, target;
    if (modAPI::MyStat(path, source) == Success && modAPI::MyStat(destination, target) == Success &&
        source.Device == target.Device && source.Inode == target.Inode) {
        LogFailure(path, moveFailed);
        return Failed;
    }

    const QString moved = path + Separator + QStringLiteral("moved to ") + destination;
    if (modAPI::MyMoveFile(path, destination) == Success) {
        LogActionDetails(moved);
        return Success;
    }
    // Only an occupied destination may give way. When the move failed for another reason
    // (the source vanished, a copy across file systems failed) an existing destination is
    // an unrelated file that nobody asked to remove.
    bool occupied = false;
    modAPI::MyPathFileExists(destination, occupied);
    if (occupied && modAPI::LastAPIError != EEXIST) {
        LogFailure(path, moveFailed);
        return Failed;
    }
    if (DeletePermanently(destination) != Success) {
        LogFailure(path, moveFailed);
        return Failed;
    }
    if (modAPI::MyMoveFile(path, destination) != Success) {
        LogFailure(path, moveFailed);
        return Failed;
    }
    LogActionDetails(moved);
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
    try {
        const QString destination = DestinationUnder(modCommon::QualifyPath(SingleCopyFolder) +
                                                         modCommon::QualifyPath(ProfileName),
                                                     strSourceFilePath);
        // A copy that was not made is said like any other failed action, so that nobody
        // relies on a single copy that does not exist.
        if (modAPI::MyMakeSureDirectoryPathExists(destination) != Success ||
            modAPI::MyCopyFile(strSourceFilePath, destination, false) != Success)
            LogFailure(strSourceFilePath,
                       QStringLiteral("Error occured while creating single copy"));
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
        if (modAPI::SaveFileAtomically(ReportPath(), buffer.data()) != Success)
            throw SystemError(ReportPath());
        return Success;
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.Export"), e.Number, e.Description);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("clsCleanup.Export"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}
