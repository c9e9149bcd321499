#include "ActionRun.h"

#include "ResultsModel.h"
#include "clsCleanup.h"

#include "app/AppError.h"
#include "app/TextEscape.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <utility>
#include <vector>

namespace {

bool IsRegularFile(const QString& path, modAPI::FileInfo& info) {
    return modAPI::MyStat(path, info) == Success && info.Type == modAPI::EntryType::File;
}

} // namespace

ActionRun::ActionRun(ResultsModel& model, ActionObserver* observer, MessageService& messages)
    : m_model(model), m_observer(observer), m_messages(messages) {}

ActionRun::Outcome ActionRun::Execute(const QString& profileNameText) {
    m_cancel = false;
    m_reportPath.clear();
    m_exportFailed = false;
    m_zipRows.clear();
    const qint64 savedRow = m_model.CurrentRow();
    const int savedCol = m_model.CurrentCol();

    QString document = profileNameText.trimmed();
    if (!document.toLower().contains(QStringLiteral(".xml")))
        document += QStringLiteral(".xml");
    const QString profileName = modCommon::ProfileNameFromPath(document);

    Outcome outcome = Outcome::Finished;
    try {
        clsCleanup cleanup(m_messages);
        if (cleanup.GetProfileSettings(document) != Success) {
            outcome = Outcome::SettingsUnreadable;
        } else {
            if (m_rule) {
                cleanup.DeleteTo = m_rule->DeleteTo;
                cleanup.TargetFolder = m_rule->TargetFolder;
                cleanup.DeleteEmptyFolder = m_rule->DeleteEmptyFolder;
            }
            m_protected = ProtectedFolders(cleanup.ProtectedFolders + m_protectedFolders);
            if (FileCount > 0 && m_observer)
                m_observer->SetMaximum(FileCount);
            cleanup.BeginZipBatch();
            outcome = Walk(cleanup);
            // Files only queued for the archive are left where they are by a cancel.
            if (outcome == Outcome::Finished)
                outcome = CommitZip(cleanup);
            if (outcome == Outcome::NotMarked || outcome == Outcome::Cancelled)
                return outcome;
            cleanup.LogActionDetails(QStringLiteral("finished"));
        }
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("frmActionProgress.tmrstart"), 0,
                                  QString::fromUtf8(e.what()), true);
        outcome = Outcome::Failed;
    }
    modLog::WriteRunLog(profileName);
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

void ActionRun::RemoveRow(clsCleanup& cleanup, qint64 row, qint64 iteration) {
    const QString path = m_model.Text(row, 3);
    // Asked before anything else about the file: a protected file is never acted on,
    // whatever the method, and keeping it is what the person wanted, not a failure.
    if (m_protected.Covers(path)) {
        cleanup.LogActionDetails(path + QStringLiteral(" - ") + ProtectedText);
        return;
    }
    bool exists = false;
    modAPI::MyPathFileExists(path, exists);
    if (!exists) {
        cleanup.LogFailure(path, QStringLiteral("Could not be found"));
        m_model.SetFlag(row, ResultsModel::FlagRed, true);
        return;
    }
    if (cleanup.DeleteTo == u"hardlink") {
        LinkRow(cleanup, row, iteration);
        return;
    }
    if (!SafeToRemove(row)) {
        cleanup.LogFailure(path, SkippedText);
        m_model.SetFlag(row, ResultsModel::FlagRed, true);
        return;
    }
    // A move replaces a file already at its destination; in a protected folder that file
    // must stay, so this file cannot be moved and is not.
    if (cleanup.DeleteTo == u"move") {
        const QString destination = clsCleanup::DestinationUnder(cleanup.TargetFolder, path);
        bool occupied = false;
        modAPI::MyPathFileExists(destination, occupied);
        if (occupied && m_protected.Covers(destination)) {
            cleanup.LogFailure(path, ProtectedDestinationText);
            m_model.SetFlag(row, ResultsModel::FlagRed, true);
            return;
        }
    }
    if (Action == u"Delete")
        ShowProgress(path, iteration);
    const bool queued = cleanup.RemovalQueued();
    cleanup.DeleteFile(path);
    if (queued)
        m_zipRows.push_back(row);
    else
        MarkRemoval(row);
}

void ActionRun::LinkRow(clsCleanup& cleanup, qint64 row, qint64 iteration) {
    const QString path = m_model.Text(row, 3);
    const qint64 keptRow = KeptRowOf(row);
    modAPI::FileInfo kept, file;
    // A name that already leads to the kept file loses nothing whatever else changed about
    // it; any other file must still be the one the scan compared.
    const bool sound =
        keptRow > 0 && StillAsScanned(keptRow, kept) && IsRegularFile(path, file) &&
        ((file.Device == kept.Device && file.Inode == kept.Inode) || StillAsScanned(row, file));
    if (!sound) {
        cleanup.LogFailure(path, SkippedText);
        m_model.SetFlag(row, ResultsModel::FlagRed, true);
        return;
    }
    if (Action == u"Delete")
        ShowProgress(path, iteration);
    ++modLog::RunStats.FilesActedOn;
    const QString keptPath = m_model.Text(keptRow, 3);
    cleanup.ReplaceByHardLink(path, keptPath);
    // The row is struck when the copy is gone, that is when its name now leads to the kept
    // file; the name itself stays, so the path's existence tells nothing here.
    modAPI::FileInfo now, keptNow;
    const bool linked = modAPI::MyStat(path, now) == Success &&
                        modAPI::MyStat(keptPath, keptNow) == Success &&
                        now.Device == keptNow.Device && now.Inode == keptNow.Inode;
    m_model.SetFlag(row, linked ? ResultsModel::FlagStruck : ResultsModel::FlagRed, true);
    RefreshGroupIdentities(row, kept, file);
}

qint64 ActionRun::KeptRowOf(qint64 row) const {
    const qint64 header = m_model.GroupHeaderOf(row);
    for (qint64 i = header + 1; i <= m_model.RowCount() && !m_model.HasEmptyMark(i); ++i)
        if (i != row && m_model.IsUnmarked(i) && !m_model.IsStruck(i))
            return i;
    return 0;
}

bool ActionRun::StillAsScanned(qint64 row, modAPI::FileInfo& now) const {
    return IsRegularFile(m_model.Text(row, 3), now) && SameFile(row, now) &&
           modLog::DateTextFromSecs(now.ModifiedSecs) == m_model.Text(row, 6);
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

void ActionRun::MarkRemoval(qint64 row) {
    ++modLog::RunStats.FilesActedOn;
    // Struck through means removed: a report calls it "deleted" and the mark is locked.
    // A file still at its path was not removed (the action log says why), so it is shown
    // red and stays markable instead.
    bool exists = false;
    modAPI::MyPathFileExists(m_model.Text(row, 3), exists);
    m_model.SetFlag(row, exists ? ResultsModel::FlagRed : ResultsModel::FlagStruck, true);
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
    cleanup.CommitZipBatch([this](double) {
        Yield();
        return !m_cancel;
    });
    if (cleanup.ZipCancelled()) {
        m_zipRows.clear();
        return Outcome::Cancelled;
    }
    for (const qint64 row : std::exchange(m_zipRows, {}))
        MarkRemoval(row);
    return Outcome::Finished;
}

bool ActionRun::SafeToRemove(qint64 row) const {
    modAPI::FileInfo file;
    if (!IsRegularFile(m_model.Text(row, 3), file) || !SameFile(row, file) ||
        modLog::DateTextFromSecs(file.ModifiedSecs) != m_model.Text(row, 6))
        return false;
    // Walk the group by its mark cells, as the marking rule does; a kept copy must still be
    // the very file the scan compared, and be another file than the one to remove.
    const qint64 header = m_model.GroupHeaderOf(row);
    for (qint64 i = header + 1; i <= m_model.RowCount() && !m_model.HasEmptyMark(i); ++i) {
        if (i == row || !m_model.IsUnmarked(i))
            continue;
        modAPI::FileInfo kept;
        if (IsRegularFile(m_model.Text(i, 3), kept) && SameFile(i, kept) &&
            !(kept.Device == file.Device && kept.Inode == file.Inode) && ContentStillEqual(row, i))
            return true;
    }
    return false;
}

bool ActionRun::SameFile(qint64 row, const modAPI::FileInfo& now) const {
    // Size and time alone pass a file replaced by a copy that kept both (cp -a, rsync -t);
    // the inode and the change time do not survive a replacement or a rewrite.
    const FileIdentity seen = m_model.Identity(row);
    if (!seen.Known())
        return ReportedFileUnchanged(row, now);
    return seen == FileIdentity{now.Device, now.Inode, now.ChangedNs} &&
           ResultsModel::SizeText(now.Size) == m_model.Text(row, 4);
}

bool ActionRun::ReportedFileUnchanged(qint64 row, const modAPI::FileInfo& now) const {
    // Only a row read back from a saved report has no identity. Size and time as the
    // report shows them are all that is left to check here; ContentStillEqual makes up
    // for the identity before anything is removed.
    const QString modified = m_model.Text(row, 6);
    return !modified.isEmpty() && modLog::DateTextFromSecs(now.ModifiedSecs) == modified &&
           ResultsModel::SizeText(now.Size) == m_model.Text(row, 4);
}

bool ActionRun::ContentStillEqual(qint64 row, qint64 keptRow) const {
    // The scan compared the files it saw, and their identities prove they are still those.
    // Rows from a report have only their shown signatures, which a changed file may still
    // match in size and time: where the group was formed by content the two files are
    // compared byte for byte now.
    if (m_model.Identity(row).Known() && m_model.Identity(keptRow).Known())
        return true;
    const bool byContent = !m_model.Text(row, 8).isEmpty() || !m_model.Text(row, 9).isEmpty();
    return !byContent || modAPI::CompareContents(m_model.Text(row, 3), m_model.Text(keptRow, 3)) ==
                             modAPI::ContentMatch::Same;
}

ActionRun::Outcome ActionRun::SingleCopyRows(clsCleanup& cleanup) {
    for (qint64 i = 1; i <= FileCount; ++i) {
        if (m_cancel)
            return Outcome::Cancelled;
        SetValue(i);
        if (m_model.IsUnmarked(i)) {
            const QString path = m_model.Text(i, 3);
            ShowProgress(path, i);
            cleanup.CreateSingleCopy(path);
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
        m_messages.Inform(QStringLiteral("Error occured while exporting the report"));
    } else {
        m_reportPath = cleanup.ReportPath();
        cleanup.LogActionDetails(QStringLiteral("Duplicate results list exported"));
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
