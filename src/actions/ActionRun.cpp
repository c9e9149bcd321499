#include "ActionRun.h"

#include "MarkRules.h"
#include "ResultsModel.h"
#include "RunLock.h"
#include "clsCleanup.h"

#include "app/AppError.h"
#include "app/HeldFile.h"
#include "app/PathCodec.h"
#include "app/RunJournal.h"
#include "app/TextEscape.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ActionWords.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

// A marked file and the kept copy it goes against, both open through their folders and
// locked until the act is done: the file exclusively, the kept copy shared, so two runs
// (of two users, or two application folders) can never each remove the other's kept copy.
struct ActionRun::Held {
    modAPI::HeldFile File;
    modAPI::HeldFile Kept;
    modAPI::FileInfo KeptSeen; // the kept file's status when the comparison ended
};

namespace {

modAPI::FolderId FolderOf(const FileIdentity& id) {
    return {id.FolderDevice, id.FolderInode};
}

bool SameInode(const modAPI::FileInfo& a, const modAPI::FileInfo& b) {
    return a.Device == b.Device && a.Inode == b.Inode;
}

bool IsRemoval(const QString& action) {
    return action == u"Delete" || action == u"DeleteAll" || action == u"DeleteGroup";
}

} // namespace

ActionRun::ActionRun(ResultsModel& model, ActionObserver* observer, MessageService& messages)
    : m_model(model), m_observer(observer), m_messages(messages) {}

void ActionRun::UseShownSettings(const ProfileSettings& shown) {
    m_shown = shown;
    m_rule = RemoveRule{shown.DeleteTo, shown.RemoveFolder, shown.DeleteEmptyFolder};
    m_protectedFolders = shown.ProtectedFolders;
}

QString ActionRun::Unusable(const clsCleanup& cleanup) const {
    const auto relative = [](const QString& folder) {
        return QStringLiteral("The folder \"") + folder +
               QStringLiteral("\" of the profile is not a full path. Nothing was done.");
    };
    const auto isFull = [](const QString& folder) { return folder.startsWith(u'/'); };
    for (const QString& folder : cleanup.ProtectedFolders + m_protectedFolders)
        if (!isFull(folder))
            return relative(folder);
    if (IsRemoval(Action)) {
        if (!RemoveRule::Known(cleanup.DeleteTo))
            return RemoveRule::UnknownText(cleanup.DeleteTo) +
                   QStringLiteral(". Nothing was removed.");
        if (ActionWords::HasFolder(ActionWords::MethodOf(cleanup.DeleteTo)) &&
            !isFull(cleanup.TargetFolder))
            return relative(cleanup.TargetFolder);
    }
    if (Action == u"SingleCopy" && !isFull(cleanup.SingleCopyFolder))
        return relative(cleanup.SingleCopyFolder);
    // An export that would write nothing must not be taken for one that did.
    if (Action == u"Export" && cleanup.ReportPath().isEmpty())
        return QStringLiteral("No report was exported: the profile does not say in which format "
                              "to write it.");
    if (Action == u"Export" && !isFull(cleanup.ExportLocation))
        return relative(cleanup.ExportLocation);
    return {};
}

ActionRun::Outcome ActionRun::Execute(const QString& profileNameText) {
    m_cancel = false;
    m_reportPath.clear();
    m_copied = 0;
    m_exportFailed = false;
    m_runLogFailed = false;
    m_zipRows.clear();
    m_space.clear();
    m_sharedFiles = 0;
    m_sharedBytes = 0;
    m_spaceFreed = -1;
    const qint64 savedRow = m_model.CurrentRow();
    const int savedCol = m_model.CurrentCol();

    QString document = profileNameText.trimmed();
    if (!document.toLower().contains(QStringLiteral(".xml")))
        document += QStringLiteral(".xml");
    const QString profileName = modCommon::ProfileNameFromPath(document);

    RunLock lock;
    switch (lock.Take(false)) {
    case RunLock::Result::Taken:
        break;
    case RunLock::Result::Busy:
        m_messages.Inform(RunLock::BusyText);
        return Outcome::Busy;
    case RunLock::Result::Failed:
        m_messages.Inform(QStringLiteral("Nothing was done: the action lock ") + lock.Error() +
                          QStringLiteral(" could not be taken."));
        return Outcome::NotRecorded;
    }

    Outcome outcome = Outcome::Finished;
    RunJournal journal(RunJournal::FileFor(profileName));
    const bool removal = IsRemoval(Action);
    try {
        clsCleanup cleanup(m_messages);
        cleanup.SetJournal(&journal);
        if (cleanup.GetProfileSettings(document) != Success) {
            outcome = Outcome::SettingsUnreadable;
        } else {
            if (m_rule) {
                cleanup.DeleteTo = m_rule->DeleteTo;
                cleanup.TargetFolder = m_rule->TargetFolder;
                cleanup.DeleteEmptyFolder = m_rule->DeleteEmptyFolder;
            }
            if (m_shown) {
                cleanup.SingleCopyFolder =
                    m_shown->SingleCopyCreate ? m_shown->SingleCopyFolder : QString();
                cleanup.ExportLocation = m_shown->DoExport ? m_shown->ExportLocation : QString();
                cleanup.ExportFormat = m_shown->DoExport ? m_shown->ExportFormat : QString();
            }
            m_ruleUsed = cleanup.DeleteTo;
            m_protected = ProtectedFolders(cleanup.ProtectedFolders + m_protectedFolders);
            m_scanFolders = cleanup.ScanFolders;
            m_scanSubFolders = cleanup.ScanSubFolders;
            m_scanByContent = cleanup.ScanByContent;
            const RemoveMethod method = ActionWords::MethodOf(cleanup.DeleteTo);
            m_hardLinks = method == RemoveMethod::HardLink;
            m_clone = method == RemoveMethod::Clone;
            m_keepsNames = ActionWords::KeepsNames(method);
            if (const QString why = Unusable(cleanup); !why.isEmpty()) {
                m_messages.Inform(why);
                outcome = Outcome::SettingsUnreadable;
            } else if (removal && !journal.Begin(Action, cleanup.DeleteTo)) {
                // Nothing is removed that would not be on record.
                m_messages.Inform(QStringLiteral("Nothing was done: the record of this run could "
                                                 "not be written to ") +
                                  journal.Error() + u'.');
                return Outcome::NotRecorded;
            } else {
                if (FileCount > 0 && m_observer)
                    m_observer->SetMaximum(FileCount);
                cleanup.BeginZipBatch();
                outcome = Walk(cleanup);
                // Files only queued for the archive are left where they are by a cancel.
                if (outcome == Outcome::Finished && !cleanup.Stopped())
                    outcome = CommitZip(cleanup);
                else
                    cleanup.DiscardZipBatch();
                if (removal && !m_keepsNames)
                    RemoveEmptiedFolders();
                if (cleanup.Stopped()) {
                    m_messages.Inform(QStringLiteral("The run stopped before the next file: its "
                                                     "record could not be written to ") +
                                      journal.Error() + u'.');
                    outcome = Outcome::NotRecorded;
                }
                if (removal)
                    journal.End(outcome == Outcome::Finished    ? QStringLiteral("finished")
                                : outcome == Outcome::Cancelled ? QStringLiteral("cancelled")
                                                                : QStringLiteral("stopped"));
                if (outcome == Outcome::NotMarked || outcome == Outcome::Cancelled)
                    return outcome;
                if (m_clone && !m_space.isEmpty()) {
                    m_spaceFreed = FreedSince();
                    cleanup.LogActionDetails(
                        QString::number(m_sharedFiles) +
                        QStringLiteral(" files now share their blocks with their kept copies (") +
                        MarkRules::SizeText(m_sharedBytes) + QStringLiteral("); space freed: ") +
                        (m_spaceFreed < 0 ? QStringLiteral("not known")
                                          : MarkRules::SizeText(m_spaceFreed)));
                }
                if (outcome == Outcome::Finished)
                    cleanup.LogActionDetails(QStringLiteral("finished"));
            }
        }
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("frmActionProgress.tmrstart"), 0,
                                  QString::fromUtf8(e.what()), true);
        outcome = Outcome::Failed;
    }
    if (!modLog::WriteRunLog(profileName)) {
        m_runLogFailed = true;
        m_messages.Inform(
            QStringLiteral("The run log ") +
            PathCodec::Display(modCommon::LogPath + profileName + QStringLiteral(".log")) +
            QStringLiteral(" could not be written (") +
            modAPI::SystemMessage(modAPI::LastAPIError) + QStringLiteral(")."));
    }
    m_model.SetCurrent(savedRow, savedCol);
    SetValue(FileCount);
    return outcome;
}

ActionRun::Outcome ActionRun::Walk(clsCleanup& cleanup) {
    if (Action == u"Delete")
        return RemoveCurrentRow(cleanup);
    if (Action == u"DeleteAll")
        return RemoveRows(cleanup, 1);
    if (Action == u"DeleteGroup")
        return RemoveRows(cleanup, m_model.CurrentRow() + 1);
    if (Action == u"SingleCopy")
        return SingleCopyRows(cleanup);
    if (Action == u"Export")
        return ExportRows(cleanup);
    return Outcome::Finished;
}

void ActionRun::RemoveEmptiedFolders() {
    for (qint64 row = 1; row <= m_model.RowCount(); ++row) {
        if (!m_model.IsFolderRow(row) || m_model.IsStruck(row))
            continue;
        const std::vector<qint64> files = m_model.FolderFiles(row);
        if (files.empty() || !std::all_of(files.begin(), files.end(),
                                          [this](qint64 file) { return m_model.IsStruck(file); }))
            continue;
        // Only what the run itself emptied goes: a file put there since keeps the folder,
        // and with it every folder above it.
        const QString folder = m_model.Text(row, 3);
        if (modAPI::MyRemoveEmptyTree(folder) == Success) {
            m_model.SetFlag(row, ResultsModel::FlagStruck, true);
            modLog::LogActionDetails(QStringLiteral("Removed the emptied folder ") + folder);
        } else {
            const int err = modAPI::LastAPIError;
            modLog::LogActionDetails(QStringLiteral("Kept the folder ") + folder +
                                     (err == ENOTEMPTY
                                          ? QStringLiteral(": it still holds files")
                                          : QStringLiteral(": ") + modAPI::SystemMessage(err)));
        }
    }
}

ActionRun::Outcome ActionRun::RemoveCurrentRow(clsCleanup& cleanup) {
    SetValue(1);
    const qint64 row = m_model.CurrentRow();
    if (!m_model.IsMarked(row)) {
        m_messages.Inform(QStringLiteral("Please select a marked item to delete and try again."));
        return Outcome::NotMarked;
    }
    RemoveRow(cleanup, row, 1);
    return Outcome::Finished;
}

ActionRun::Outcome ActionRun::RemoveRows(clsCleanup& cleanup, qint64 firstRow) {
    for (qint64 i = 1; i <= FileCount; ++i) {
        if (m_cancel)
            return Outcome::Cancelled;
        // A file that could not be put on record is the last one tried.
        if (cleanup.Stopped())
            return Outcome::Finished;
        SetValue(i);
        const qint64 row = firstRow + i - 1;
        if (m_model.IsMarked(row)) {
            m_model.SetCurrent(row, m_model.CurrentCol());
            ShowProgress(m_model.Text(row, 3), i);
            RemoveRow(cleanup, row, i);
        }
        Yield();
    }
    return Outcome::Finished;
}

bool ActionRun::Refused(clsCleanup& cleanup, qint64 row, Verdict verdict, const Held& held) {
    const QString path = m_model.Text(row, 3);
    const QString kept = held.Kept.Path();
    switch (verdict) {
    case Verdict::Go:
        return false;
    case Verdict::Missing:
        cleanup.LogFailure(path, QStringLiteral("Could not be found"));
        break;
    case Verdict::Changed:
        cleanup.LogFailure(path, SkippedText);
        break;
    case Verdict::Busy:
        cleanup.LogFailure(path, BusyText);
        break;
    case Verdict::Outside:
        cleanup.LogFailure(path, OutsideText);
        break;
    case Verdict::Differs:
        cleanup.LogFailure(path,
                           (m_hardLinks ? QStringLiteral("Not replaced by a hard link: its "
                                                         "contents differ from ")
                            : m_clone   ? QStringLiteral("Not shared: its contents differ from ")
                                        : DiffersText) +
                               kept);
        break;
    case Verdict::Unreadable:
        modAPI::ReportAPIError(QStringLiteral("CompareContents"), path, modAPI::LastAPIError);
        cleanup.LogFailure(path,
                           QStringLiteral("Error occured while comparing the file with ") + kept);
        break;
    }
    m_model.SetFlag(row, ResultsModel::FlagRed, true);
    return true;
}

void ActionRun::RemoveRow(clsCleanup& cleanup, qint64 row, qint64 iteration) {
    const QString path = m_model.Text(row, 3);
    // Asked before anything else about the file: a protected file is never acted on,
    // whatever the method, and keeping it is what the person wanted, not a failure.
    if (m_protected.Covers(path)) {
        cleanup.LogActionDetails(path + QStringLiteral(" - ") + ProtectedText);
        return;
    }
    Held held;
    if (Refused(cleanup, row, HoldRow(row, held), held))
        return;
    if (Action == u"Delete")
        ShowProgress(path, iteration);
    if (m_hardLinks) {
        LinkRow(cleanup, row, held);
        return;
    }
    if (m_clone) {
        ShareRow(cleanup, row, held);
        return;
    }
    if (cleanup.RemovalQueued()) {
        // Counted when the archive is written; a cancel before leaves them untouched.
        cleanup.DeleteHeld(held.File);
        m_zipRows.push_back(row);
        return;
    }
    ++modLog::RunStats.FilesActedOn;
    cleanup.DeleteHeld(held.File);
    MarkRemoval(row, !held.File.StillNamed());
}

bool ActionRun::ByContent(qint64 row) const {
    // A report may carry no signature at all; the profile still says what makes a copy.
    return m_scanByContent || !m_model.Text(row, 8).isEmpty() || !m_model.Text(row, 9).isEmpty();
}

bool ActionRun::UnderProfileFolders(const QString& path) const {
    // Lexically clean paths only: "a/../b" would pass a prefix test and lead elsewhere.
    if (!path.startsWith(u'/') || path.contains(QStringLiteral("//")) ||
        path.contains(QStringLiteral("/./")) || path.contains(QStringLiteral("/../")) ||
        path.endsWith(QStringLiteral("/.")) || path.endsWith(QStringLiteral("/..")))
        return false;
    const QString folderOfFile = path.left(path.lastIndexOf(u'/') + 1);
    for (const QString& scanned : m_scanFolders) {
        if (!scanned.startsWith(u'/'))
            continue;
        const QString folder = modCommon::QualifyPath(scanned);
        if (m_scanSubFolders ? folderOfFile.startsWith(folder) : folderOfFile == folder)
            return true;
    }
    return false;
}

ActionRun::Verdict ActionRun::HoldRow(qint64 row, Held& held) const {
    const QString path = m_model.Text(row, 3);
    const FileIdentity seen = m_model.Identity(row);
    if (!seen.Known() && !UnderProfileFolders(path))
        return Verdict::Outside;
    switch (held.File.Open(path, FolderOf(seen))) {
    case 0:
        break;
    case ENOENT:
        return Verdict::Missing;
    default:
        return Verdict::Changed;
    }
    if (held.File.Lock(true) == modAPI::LockResult::Busy)
        return Verdict::Busy;
    bool busy = false;
    if (!HoldKept(row, held, busy))
        return busy ? Verdict::Busy : Verdict::Changed;
    // A name that already leads to the kept file loses nothing, whatever else changed.
    if (SameInode(held.File.Info(), held.Kept.Info())) {
        held.KeptSeen = held.Kept.Info();
        return Verdict::Go;
    }
    if (!SameFile(row, held.File.Info()))
        return Verdict::Changed;
    if (ByContent(row)) {
        // Whatever the scan, the hash cache or a report said: only the bytes, now.
        switch (modAPI::CompareHeld(held.File, held.Kept)) {
        case modAPI::ContentMatch::Same:
            break;
        case modAPI::ContentMatch::Different:
            return Verdict::Differs;
        case modAPI::ContentMatch::Unreadable:
            return Verdict::Unreadable;
        }
    }
    held.Kept.Refresh();
    held.KeptSeen = held.Kept.Info();
    // Written while being compared: what was compared is no longer what is there.
    if (held.File.Refresh() != 0 || !SameFile(row, held.File.Info()))
        return Verdict::Changed;
    return Verdict::Go;
}

bool ActionRun::HoldKept(qint64 row, Held& held, bool& busy) const {
    // Walk the group by its mark cells, as the marking rule does; a kept copy must still be
    // the very file the scan compared. A link goes to the first one, a removal needs any.
    const qint64 header = m_model.GroupHeaderOf(row);
    for (qint64 i = header + 1; i <= m_model.RowCount() && !m_model.HasEmptyMark(i); ++i) {
        if (i == row || !m_model.IsUnmarked(i) || m_model.IsStruck(i))
            continue;
        const FileIdentity id = m_model.Identity(i);
        const QString keptPath = m_model.Text(i, 3);
        if ((!id.Known() && !UnderProfileFolders(keptPath)) ||
            held.Kept.Open(keptPath, FolderOf(id)) != 0 || !SameFile(i, held.Kept.Info()) ||
            (!m_keepsNames && SameInode(held.Kept.Info(), held.File.Info()))) {
            held.Kept.Close();
        } else if (!SameInode(held.Kept.Info(), held.File.Info()) &&
                   held.Kept.Lock(false) == modAPI::LockResult::Busy) {
            // (Another name of the very file held is not locked again: it would conflict
            // with this run's own lock.)
            busy = true;
            held.Kept.Close();
        } else {
            return true;
        }
        if (m_keepsNames)
            return false;
    }
    return false;
}

void ActionRun::LinkRow(clsCleanup& cleanup, qint64 row, Held& held) {
    ++modLog::RunStats.FilesActedOn;
    const modAPI::FileInfo keptBefore = held.Kept.Info();
    const modAPI::FileInfo fileBefore = held.File.Info();
    const clsCleanup::LinkResult result =
        cleanup.ReplaceByHardLink(held.File, held.Kept, held.KeptSeen);
    // The row is struck when the copy is gone, that is when its name now leads to the kept
    // file; the name itself stays, so the path's existence tells nothing here.
    m_model.SetFlag(row,
                    result == clsCleanup::LinkResult::NotLinked ? ResultsModel::FlagRed
                                                                : ResultsModel::FlagStruck,
                    true);
    RefreshGroupIdentities(row, keptBefore, fileBefore);
}

void ActionRun::ShareRow(clsCleanup& cleanup, qint64 row, Held& held) {
    ++modLog::RunStats.FilesActedOn;
    const modAPI::FileInfo keptBefore = held.Kept.Info();
    const modAPI::FileInfo fileBefore = held.File.Info();
    NoteFreeSpace(held.File);
    const clsCleanup::ShareResult result = cleanup.ShareBlocks(held.File, held.Kept);
    if (result == clsCleanup::ShareResult::Shared) {
        ++m_sharedFiles;
        m_sharedBytes += fileBefore.Size;
    }
    // Struck, as a linked row is: the copy no longer holds space of its own, and its mark
    // is done with, though the name stays.
    m_model.SetFlag(row,
                    result == clsCleanup::ShareResult::NotShared ? ResultsModel::FlagRed
                                                                 : ResultsModel::FlagStruck,
                    true);
    RefreshGroupIdentities(row, keptBefore, fileBefore);
}

void ActionRun::NoteFreeSpace(const modAPI::HeldFile& file) {
    const quint64 device = file.Info().Device;
    if (m_space.contains(device))
        return;
    m_space.insert(
        device, {PathCodec::Decode(file.Folder().RealPath()), modAPI::MyFreeBytes(file.Folder())});
}

qint64 ActionRun::FreedSince() const {
    qint64 freed = 0;
    for (const Space& space : m_space) {
        modAPI::HeldFolder folder;
        if (space.FreeBefore < 0 || space.Folder.isEmpty() ||
            folder.Open(PathCodec::Encode(space.Folder)) != 0)
            return -1;
        const qint64 now = modAPI::MyFreeBytes(folder);
        if (now < 0)
            return -1;
        // Whatever else wrote to the file system meanwhile may outweigh what was freed.
        freed += std::max<qint64>(0, now - space.FreeBefore);
    }
    return freed;
}

void ActionRun::RefreshGroupIdentities(qint64 row, const modAPI::FileInfo& kept,
                                       const modAPI::FileInfo& replaced) {
    // A link adds a name to the kept file and takes one from the replaced file, and both
    // move the file's change time. Without this the next row of the group would take its
    // kept copy, or another name of the file just replaced, for one changed behind the scan.
    // Only rows that were still exact just before the link are brought up to date, so a
    // change made by anyone else stays visible.
    const auto touched = [&](const FileIdentity& id) {
        return id == FileIdentity{kept.Device, kept.Inode, kept.ChangedNs} ||
               id == FileIdentity{replaced.Device, replaced.Inode, replaced.ChangedNs};
    };
    const qint64 header = m_model.GroupHeaderOf(row);
    for (qint64 i = header + 1; i <= m_model.RowCount() && !m_model.HasEmptyMark(i); ++i) {
        FileIdentity id = m_model.Identity(i);
        modAPI::FileInfo now;
        if (!id.Known() || !touched(id) || modAPI::MyStat(m_model.Text(i, 3), now) != Success ||
            now.Device != id.Device || now.Inode != id.Inode)
            continue;
        id.ChangedNs = now.ChangedNs;
        m_model.SetIdentity(i, id);
    }
}

void ActionRun::MarkRemoval(qint64 row, bool removed) {
    // Struck through means removed: a report calls it "deleted" and the mark is locked.
    // A file still at its path was not removed (the action log says why), so it is shown
    // red and stays markable instead.
    m_model.SetFlag(row, removed ? ResultsModel::FlagStruck : ResultsModel::FlagRed, true);
}

ActionRun::Outcome ActionRun::CommitZip(clsCleanup& cleanup) {
    if (m_zipRows.empty()) {
        cleanup.DiscardZipBatch();
        return Outcome::Finished;
    }
    if (m_observer)
        m_observer->ShowProgress(QStringLiteral("Currently processing ") +
                                     modCommon::QualifyPath(cleanup.TargetFolder) +
                                     cleanup.ProfileName + QStringLiteral(".zip"),
                                 QStringLiteral("Processed ") + QString::number(FileCount) +
                                     QStringLiteral(" of ") + QString::number(FileCount));
    // The archive write reports its progress, and a Cancel heard there stops it with the
    // earlier archive and every queued file untouched.
    const std::vector<cls7z::Item> added = cleanup.CommitZipBatch([this](double) {
        Yield();
        return !m_cancel;
    });
    if (cleanup.ZipCancelled()) {
        m_zipRows.clear();
        return Outcome::Cancelled;
    }
    QHash<QString, const cls7z::Item*> archived;
    for (const cls7z::Item& item : added)
        archived.insert(item.Path, &item);
    for (const qint64 row : std::exchange(m_zipRows, {})) {
        ++modLog::RunStats.FilesActedOn;
        const cls7z::Item* item = archived.value(m_model.Text(row, 3));
        if (!item) {
            MarkRemoval(row, false);
            continue;
        }
        // The file leaves its folder only while it is still the one the archive holds and
        // its kept copy is still there, equal to it.
        Held held;
        if (Refused(cleanup, row, HoldRow(row, held), held))
            continue;
        const modAPI::FileInfo& now = held.File.Info();
        if (!SameInode(now, item->Seen) || now.Size != item->Seen.Size ||
            now.ModifiedNs != item->Seen.ModifiedNs || now.ChangedNs != item->Seen.ChangedNs) {
            Refused(cleanup, row, Verdict::Changed, held);
            continue;
        }
        if (cleanup.Stopped())
            break;
        cleanup.FinishZip(held.File);
        MarkRemoval(row, !held.File.StillNamed());
    }
    return Outcome::Finished;
}

bool ActionRun::SameFile(qint64 row, const modAPI::FileInfo& now) const {
    // Size and time alone pass a file replaced by a copy that kept both (cp -a, rsync -t);
    // the inode and the change time do not survive a replacement or a rewrite.
    const FileIdentity seen = m_model.Identity(row);
    if (!seen.Known())
        return ReportedFileUnchanged(row, now);
    return seen == FileIdentity{now.Device, now.Inode, now.ChangedNs} &&
           ResultsModel::SizeText(now.Size) == m_model.Text(row, 4) &&
           modLog::DateTextFromSecs(now.ModifiedSecs) == m_model.Text(row, 6);
}

bool ActionRun::ReportedFileUnchanged(qint64 row, const modAPI::FileInfo& now) const {
    // Only a row read back from a saved report has no identity. Size and time as the
    // report shows them are all that is left to check here; the byte comparison with the
    // kept copy makes up for the identity before anything is removed.
    const QString modified = m_model.Text(row, 6);
    return !modified.isEmpty() && modLog::DateTextFromSecs(now.ModifiedSecs) == modified &&
           ResultsModel::SizeText(now.Size) == m_model.Text(row, 4);
}

ActionRun::Outcome ActionRun::SingleCopyRows(clsCleanup& cleanup) {
    for (qint64 i = 1; i <= FileCount; ++i) {
        if (m_cancel)
            return Outcome::Cancelled;
        SetValue(i);
        if (m_model.IsUnmarked(i)) {
            const QString path = m_model.Text(i, 3);
            ShowProgress(path, i);
            modAPI::HeldFile file;
            const FileIdentity id = m_model.Identity(i);
            const int err =
                !id.Known() && !UnderProfileFolders(path) ? EPERM : file.Open(path, FolderOf(id));
            if (err != 0) {
                modAPI::ReportAPIError(QStringLiteral("MyCopyFile"), path, err);
                cleanup.LogFailure(path,
                                   QStringLiteral("Error occured while creating single copy"));
            } else {
                const qint64 errors = modLog::RunStats.ErrorCount;
                cleanup.CopyHeld(file);
                m_copied += modLog::RunStats.ErrorCount == errors ? 1 : 0;
            }
        }
        Yield();
    }
    return Outcome::Finished;
}

ActionRun::Outcome ActionRun::ExportRows(clsCleanup& cleanup) {
    std::vector<ExportRecord> records;
    // A count beyond the last row must not invent empty group records.
    const qint64 last = qMin(FileCount, m_model.RowCount());
    records.reserve(size_t(qMax<qint64>(0, last) + 1));
    for (qint64 i = 1; i <= last; ++i) {
        if (m_cancel)
            return Outcome::Cancelled;
        SetValue(i);
        ExportRecord r;
        if (!m_model.HasEmptyMark(i)) {
            r.FileLocation = m_model.Text(i, 3);
            ShowProgress(r.FileLocation, i);
            r.FileName = m_model.Text(i, 2);
            r.FileSize = m_model.Text(i, 4);
            r.Created = m_model.Text(i, 5);
            r.Modified = m_model.Text(i, 6);
            r.Attributes = m_model.Text(i, 7);
            r.CRC = m_model.Text(i, 8);
            r.MD5 = m_model.Text(i, 9);
            if (m_model.IsStruck(i))
                r.Status = QStringLiteral("deleted");
            r.Marked = m_model.IsMarked(i);
        } else {
            r.FileName = m_model.Text(i, 2);
        }
        records.push_back(std::move(r));
        Yield();
    }
    if (cleanup.Export(records) != Success) {
        m_exportFailed = true;
        m_messages.Present({QStringLiteral("Error occured while exporting the report"),
                            MessageService::Icon::Information, MessageService::Buttons::Ok,
                            MessageService::Answer::Ok, cleanup.ExportError()});
    } else {
        m_reportPath = cleanup.ReportPath();
        cleanup.LogActionDetails(QStringLiteral("Duplicate results list exported"));
        cleanup.LogActionDetails(QStringLiteral("Report written to ") +
                                 PathCodec::Display(m_reportPath));
    }
    return Outcome::Finished;
}

void ActionRun::ShowProgress(const QString& path, qint64 n) {
    if (!m_observer)
        return;
    m_observer->ShowProgress(QStringLiteral("Currently processing ") +
                                 TextEscape::Escape(path, TextEscape::Breaks::Escape),
                             QStringLiteral("Processed ") + QString::number(n) +
                                 QStringLiteral(" of ") + QString::number(FileCount));
    m_observer->Yield();
}

void ActionRun::SetValue(qint64 value) {
    if (m_observer)
        m_observer->SetValue(value);
}

void ActionRun::Yield() {
    if (m_observer)
        m_observer->Yield();
}
