#pragma once

#include "ActionObserver.h"
#include "ProtectedFolders.h"
#include "RemoveRule.h"
#include "app/MessageService.h"
#include "app/modAPI.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <optional>
#include <vector>

class ResultsModel;
class clsCleanup;
namespace modAPI {
class HeldFile;
}

// One action command over the rows of the results: "Delete" (the current row),
// "DeleteAll", "DeleteGroup" (the FileCount rows under the current group header),
// "SingleCopy" and "Export". The window sets Action and FileCount, calls Execute from its
// start tick and closes when it returns; the command line does the same without a window.
class ActionRun {
public:
    enum class Outcome {
        Finished,           // "finished" logged, run log rewritten
        SettingsUnreadable, // the user was told; run log rewritten, nothing done
        NotMarked,          // "Delete" on a row that is not marked; the user was told
        Cancelled,          // stopped between rows; no "finished", no run log
        Failed,             // an unexpected error, logged; run log rewritten
        Busy,               // another action run holds the lock; nothing done, user told
        NotRecorded,        // the record of the run could not be written; stopped, user told
    };

    static inline const QString SkippedText =
        QStringLiteral("Skipped: the file or its kept copy changed since the scan");
    // A marked file under a protected folder is left alone on purpose: no error, no colour.
    static inline const QString ProtectedText =
        QStringLiteral("Skipped: the file is in a protected folder");
    // Another run holds the file or its kept copy: it is left to that run.
    static inline const QString BusyText =
        QStringLiteral("Skipped: another run is acting on the file or its kept copy");
    // A row read back from a report that names a file the profile does not scan.
    static inline const QString OutsideText =
        QStringLiteral("Skipped: the file is not under the profile's folders");
    // Equal by the scan (or a report) but not byte for byte now: not a copy of the kept file.
    static inline const QString DiffersText = QStringLiteral("Skipped: its contents differ from ");

    explicit ActionRun(ResultsModel& model, ActionObserver* observer = nullptr,
                       MessageService& messages = Messages());

    QString Action;
    qint64 FileCount = 0;

    // The remove rule the user confirmed; without it the profile's saved rule applies.
    void SetRemoveRule(const RemoveRule& rule) { m_rule = rule; }
    // Folders whose files this run must not remove, on top of those the saved profile
    // protects (which are always honoured): the window's unsaved list, the command line's
    // --protect folders.
    void SetProtectedFolders(const QStringList& folders) { m_protectedFolders = folders; }
    // What the window's options show at the moment of the command, saved or not: its
    // buttons were built from them and the person confirmed what those offered, so the
    // remove rule, the single copy folder, the report and the protected folders all come
    // from here and never from an older document.
    void UseShownSettings(const ProfileSettings& shown);

    // Runs the action for the profile named in the window's name box (".xml" optional).
    Outcome Execute(const QString& profileNameText);

    // Heard at the start of the next row.
    void Cancel() { m_cancel = true; }
    bool CancelRequested() const { return m_cancel; }

    // The report file of a finished "Export"; empty when none was written.
    QString ReportPath() const { return m_reportPath; }
    // The remove rule the run went by, from the document or the shown options.
    QString RemoveRuleUsed() const { return m_ruleUsed; }
    // The single copies a "SingleCopy" made.
    qint64 Copied() const { return m_copied; }
    // Whether "Export" failed to write its report (the user was told).
    bool ExportFailed() const { return m_exportFailed; }
    // Whether the run log could not be rewritten at the end (the user was told).
    bool RunLogFailed() const { return m_runLogFailed; }
    // Of a "clone" run: the files that came to share their blocks with their kept copies,
    // their size, and the free space the file systems gained, measured before and after
    // (-1 when it could not be; shared extents that existed before free nothing).
    qint64 SharedFiles() const { return m_sharedFiles; }
    qint64 SharedBytes() const { return m_sharedBytes; }
    qint64 SpaceFreed() const { return m_spaceFreed; }

private:
    struct Held;
    enum class Verdict { Go, Missing, Changed, Busy, Outside, Differs, Unreadable };

    // Each returns the outcome that ends the run early, or Finished to go on.
    Outcome Walk(clsCleanup& cleanup);
    Outcome RemoveCurrentRow(clsCleanup& cleanup);
    Outcome RemoveRows(clsCleanup& cleanup, qint64 firstRow);
    void RemoveRow(clsCleanup& cleanup, qint64 row, qint64 iteration);
    Outcome SingleCopyRows(clsCleanup& cleanup);
    Outcome ExportRows(clsCleanup& cleanup);
    // Settings this run cannot act on, said to the user; empty when it can.
    QString Unusable(const clsCleanup& cleanup) const;
    // Opens and locks the row's file and a kept copy of its group, both still the files
    // the scan saw, and for a group formed by content compares their bytes now.
    Verdict HoldRow(qint64 row, Held& held) const;
    // Logs and colours a row that HoldRow refused; false when it was not refused.
    bool Refused(clsCleanup& cleanup, qint64 row, Verdict verdict, const Held& held);
    bool HoldKept(qint64 row, Held& held, bool& busy) const;
    // Whether the file now at the row's path is the one the scan saw, with the shown size.
    bool SameFile(qint64 row, const modAPI::FileInfo& now) const;
    // For a row without identity (read back from a report): size and time as shown.
    bool ReportedFileUnchanged(qint64 row, const modAPI::FileInfo& now) const;
    // A row read back from a report may name any file; only those the profile scans count.
    bool UnderProfileFolders(const QString& path) const;
    bool ByContent(qint64 row) const;
    // The "hardlink" removal of one row: replaced by a link to the kept file of its group.
    void LinkRow(clsCleanup& cleanup, qint64 row, Held& held);
    // The "clone" removal of one row: its blocks shared with the kept file of its group.
    void ShareRow(clsCleanup& cleanup, qint64 row, Held& held);
    // The free space of each file system a "clone" run shares blocks on, before its first
    // file there; FreedSince then measures them again.
    void NoteFreeSpace(const modAPI::HeldFile& file);
    qint64 FreedSince() const;
    // Takes in the change times that linking gave the files of the row's group.
    void RefreshGroupIdentities(qint64 row, const modAPI::FileInfo& kept,
                                const modAPI::FileInfo& replaced);
    // Writes the zip archive of the run and removes its rows' files; Cancelled when stopped.
    Outcome CommitZip(clsCleanup& cleanup);
    // After a removal: each folder of a folder group whose every file this or an earlier
    // run removed goes too, with the empty folders below it.
    void RemoveEmptiedFolders();
    void MarkRemoval(qint64 row, bool removed);
    void ShowProgress(const QString& path, qint64 n);
    void SetValue(qint64 value);
    void Yield();

    ResultsModel& m_model;
    ActionObserver* m_observer;
    MessageService& m_messages;
    std::optional<RemoveRule> m_rule;
    std::optional<ProfileSettings> m_shown;
    QStringList m_protectedFolders;
    ProtectedFolders m_protected; // the run's whole list, profile and caller together
    QStringList m_scanFolders;    // the profile's, for rows read back from a report
    bool m_scanSubFolders = false;
    bool m_scanByContent = false;
    bool m_hardLinks = false;
    bool m_clone = false;
    bool m_keepsNames = false; // links or shared blocks: every name stays where it was
    struct Space {
        QString Folder;
        qint64 FreeBefore = 0;
    };
    QHash<quint64, Space> m_space; // by device
    qint64 m_sharedFiles = 0;
    qint64 m_sharedBytes = 0;
    qint64 m_spaceFreed = -1;
    std::atomic<bool> m_cancel = false;
    QString m_reportPath;
    QString m_ruleUsed;
    qint64 m_copied = 0;
    std::vector<qint64> m_zipRows; // queued for the run's one archive write
    bool m_exportFailed = false;
    bool m_runLogFailed = false;
};
