#pragma once

#include "ExportRecord.h"
#include "app/HeldFile.h"
#include "app/MessageService.h"
#include "app/RunJournal.h"
#include "cls7z.h"
#include "profiles/ActionWords.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

// Carries out, one file at a time, what the user chose to do with the duplicates: the
// profile's remove rule, single copies and the report. Every outcome becomes one line of
// the run's action details; every failure adds one to the run's error count.
class clsCleanup {
public:
    explicit clsCleanup(MessageService& messages = Messages());
    ~clsCleanup();

    // Loads the action settings from ProfileFolder + strProfileName (a file name with
    // ".xml"). 1, or 3 after telling the user and writing the application log.
    int GetProfileSettings(const QString& strProfileName);

    // Applies the remove rule to one file (full path), then removes its folder when that
    // became empty and the profile asks for it. 1; 3 only for an unexpected error.
    int DeleteFile(const QString& strFilePath);
    // The same for a file the caller holds open through its folder and has checked.
    int DeleteHeld(const modAPI::HeldFile& file);
    void LogActionDetails(const QString& strDetails);

    // What replacing a file by a hard link came to.
    enum class LinkResult {
        Linked,        // the file's name now leads to the kept file
        AlreadyLinked, // it already did; nothing was changed
        NotLinked,     // refused or failed; the file is as it was (logged, one error)
    };
    // The "hardlink" removal: replaces the file by a hard link to the kept file, which the
    // caller has compared with it byte for byte through these very descriptors; keptSeen
    // is the kept file's status at the end of that comparison. Only files of one owner,
    // group and mode are linked: a link gives both names the kept file's, and another
    // user's file (or a private one made readable) must not be handed over so.
    LinkResult ReplaceByHardLink(const modAPI::HeldFile& file, const modAPI::HeldFile& kept,
                                 const modAPI::FileInfo& keptSeen);

    // What sharing a file's blocks with its kept copy came to.
    enum class ShareResult {
        Shared,        // the file's data now lies in the kept file's blocks
        AlreadyShared, // it already did; nothing was changed and nothing is counted
        NotShared,     // refused or failed; the file is as it was (logged, one error)
    };
    // The "clone" removal: the file keeps its name, inode, owner, mode and dates and gives
    // up its own copy of the data for the kept file's, which the caller has compared with
    // it through these descriptors. Where the file system cannot share blocks the file is
    // skipped: never linked or copied instead.
    ShareResult ShareBlocks(const modAPI::HeldFile& file, const modAPI::HeldFile& kept);

    // From here on a zip removal only queues its file: CommitZipBatch then writes them all
    // in one archive write, so a run's cost grows with its files, not with their square.
    void BeginZipBatch() { m_batching = true; }
    // Whether a removal now waits for CommitZipBatch instead of happening at once.
    bool RemovalQueued() const {
        return m_batching && ActionWords::MethodOf(DeleteTo) == RemoveMethod::Zip;
    }
    // Writes the queued files into the archive. Returns those now in the committed archive,
    // which the caller removes (FinishZip) once it has checked them again; each file that
    // could not be added has its failure line and stays. Stopped by the progress callback:
    // nothing is logged, nothing is added, and ZipCancelled is set. Ends the batch.
    std::vector<cls7z::Item> CommitZipBatch(const cls7z::Progress& progress = {});
    // Removes a file the committed archive holds: its "moved to" line, then the delete.
    void FinishZip(const modAPI::HeldFile& file);
    // Forgets the queued files; they stay where they are.
    void DiscardZipBatch();
    bool ZipCancelled() const { return m_zipCancelled; }
    // Copies one file into SingleCopyFolder/ProfileName/ keeping its whole path, replacing an
    // earlier copy. A copy that cannot be made is the failure line and one error (after the
    // platform layer's application-log line). 1; 3 only for an unexpected error.
    int CreateSingleCopy(const QString& strSourceFilePath);
    int CopyHeld(const modAPI::HeldFile& source);
    // Writes the report in ExportFormat to ExportLocation/ProfileName + extension. An unknown
    // format writes nothing and succeeds. A failure keeps any earlier report and returns 3.
    int Export(const std::vector<ExportRecord>& records);
    // Why the last Export failed: the report's path and the system's reason.
    QString ExportError() const { return m_exportError; }

    // Where a moved file goes: its absolute path, less the leading "/", under the folder.
    static QString DestinationUnder(const QString& folder, const QString& filePath);
    // The report's full path for the current settings; empty for an unknown format.
    QString ReportPath() const;

    // Every file acted on is recorded here first; without it (as for a lone DeleteFile) the
    // profile's own journal is used.
    void SetJournal(RunJournal* journal) { m_journal = journal; }
    // Whether a record could not be written: from then on nothing more is done.
    bool Stopped() const;

    QString DeleteTo;
    QString TargetFolder;
    bool DeleteEmptyFolder = false;
    QString SingleCopyFolder;
    QString ExportLocation;
    QString ExportFormat;
    QString ProfileName;
    // Folders the profile protects: an action run never removes a file under them.
    QStringList ProtectedFolders;
    // The folders the profile scans and whether their sub-folders are scanned too.
    QStringList ScanFolders;
    bool ScanSubFolders = false;
    // Whether the profile groups files by their content.
    bool ScanByContent = false;

    // Logs path + " - " + what and counts one error of the run.
    void LogFailure(const QString& path, const QString& what);

private:
    int MoveToRecyclebin(const modAPI::HeldFile& file);
    // The verb and its "to" say in the journal why the file goes: "delete" for good, "zip"
    // with the archive that now holds it and what its entry holds.
    int DeletePermanently(const modAPI::HeldFile& file,
                          const QString& verb = QStringLiteral("delete"), const QString& to = {},
                          const QByteArray& after = {});
    // Notes what the archive holds of each added file, for the journal's "done" lines.
    void NoteEntries(const std::vector<cls7z::Item>& added);
    int ZipFile(const modAPI::HeldFile& file);
    int MoveToFolder(const modAPI::HeldFile& file);
    void RemoveEmptyFolder(const QString& path);
    QString ZipPath() const;
    RunJournal& Journal();
    // Writes the journal's line before a file is touched; false when it could not be.
    bool Record(const QString& verb, const modAPI::HeldFile& file, const QString& to);
    // Clears what a killed earlier run left in a folder this run writes to, once per run.
    void ClearLeftovers(const QString& folder, const QByteArray& archivePrefix = {});

    MessageService& m_messages;
    RunJournal* m_journal = nullptr;
    std::unique_ptr<RunJournal> m_ownJournal;
    qint64 m_started = 0;
    QSet<QString> m_cleared;
    bool m_batching = false;
    bool m_zipCancelled = false;
    std::vector<cls7z::Item> m_zipQueue;
    QHash<QString, QByteArray> m_zipEntries; // path: the journal's text of its entry
    QString m_exportError;
};
