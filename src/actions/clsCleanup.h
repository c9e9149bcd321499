#pragma once

#include "ExportRecord.h"
#include "app/MessageService.h"
#include "cls7z.h"

#include <QString>

#include <vector>

// Carries out, one file at a time, what the user chose to do with the duplicates: the
// profile's remove rule, single copies and the report. Every outcome becomes one line of
// the run's action details; every failure adds one to the run's error count.
class clsCleanup {
public:
    explicit clsCleanup(MessageService& messages = Messages()) : m_messages(messages) {}

    // Loads the action settings from ProfileFolder + strProfileName (a file name with
    // ".xml"). 1, or 3 after telling the user and writing the application log.
    int GetProfileSettings(const QString& strProfileName);

    // Applies the remove rule to one file (full path), then removes its folder when that
    // became empty and the profile asks for it. 1; 3 only for an unexpected error.
    int DeleteFile(const QString& strFilePath);
    void LogActionDetails(const QString& strDetails);

    // What replacing a file by a hard link came to.
    enum class LinkResult {
        Linked,        // the file's name now leads to the kept file
        AlreadyLinked, // it already did; nothing was changed
        NotLinked,     // refused or failed; the file is as it was (logged, one error)
    };
    // The "hardlink" removal: after a byte-for-byte comparison with the kept file, replaces
    // the file by a hard link to it. Files that differ in a single byte, or that cannot be
    // read, are never linked; neither are files on different file systems.
    LinkResult ReplaceByHardLink(const QString& strFilePath, const QString& strKeptPath);

    // From here on a zip removal only queues its file: CommitZipBatch then writes them all
    // in one archive write, so a run's cost grows with its files, not with their square.
    void BeginZipBatch() { m_batching = true; }
    // Whether a removal now waits for CommitZipBatch instead of happening at once.
    bool RemovalQueued() const { return m_batching && DeleteTo == u"zip"; }
    // Writes the queued files; each is deleted (and logged) only once the archive holding
    // it is on disk. A failed write leaves the archive and every queued file as they were,
    // each with its failure line. Stopped by the progress callback: nothing is logged,
    // nothing removed, and 3 is returned with ZipCancelled set. Ends the batch.
    int CommitZipBatch(const cls7z::Progress& progress = {});
    // Forgets the queued files; they stay where they are.
    void DiscardZipBatch();
    bool ZipCancelled() const { return m_zipCancelled; }
    // Copies one file into SingleCopyFolder/ProfileName/ keeping its whole path, replacing an
    // earlier copy. A copy that cannot be made is the failure line and one error (after the
    // platform layer's application-log line). 1; 3 only for an unexpected error.
    int CreateSingleCopy(const QString& strSourceFilePath);
    // Writes the report in ExportFormat to ExportLocation/ProfileName + extension. An unknown
    // format writes nothing and succeeds. A failure keeps any earlier report and returns 3.
    int Export(const std::vector<ExportRecord>& records);

    // Where a moved file goes: its absolute path, less the leading "/", under the folder.
    static QString DestinationUnder(const QString& folder, const QString& filePath);
    // The report's full path for the current settings; empty for an unknown format.
    QString ReportPath() const;

    QString DeleteTo;
    QString TargetFolder;
    bool DeleteEmptyFolder = false;
    QString SingleCopyFolder;
    QString ExportLocation;
    QString ExportFormat;
    QString ProfileName;
    // Folders the profile protects: an action run never removes a file under them.
    QStringList ProtectedFolders;

    // Logs path + " - " + what and counts one error of the run.
    void LogFailure(const QString& path, const QString& what);

private:
    int MoveToRecyclebin(const QString& path);
    int DeletePermanently(const QString& path);
    int ZipFile(const QString& path);
    int MoveToFolder(const QString& path);
    void RemoveEmptyFolder(const QString& path);
    QString ZipPath() const;

    MessageService& m_messages;
    bool m_batching = false;
    bool m_zipCancelled = false;
    QStringList m_zipQueue;
};
