#include "UndoRun.h"

#include "RunLock.h"
#include "cls7z.h"

#include "app/AppError.h"
#include "app/HeldFile.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modLog.h"
#include "engine/clsCRC.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <map>

namespace {

const QString Separator = QStringLiteral(" - ");

bool SameInode(const modAPI::FileInfo& a, const modAPI::FileInfo& b) {
    return a.Device == b.Device && a.Inode == b.Inode;
}

bool IsShared(const QString& verb) {
    return verb == u"link" || verb == u"clone";
}

// What an undo makes of one act of the run, before looking at the disk.
UndoRun::State Classify(const RunJournal::Act& act) {
    if (act.Undone)
        return UndoRun::State::AlreadyBack;
    if (!act.Done)
        return UndoRun::State::Unknown;
    if (act.Verb == u"delete")
        return UndoRun::State::Deleted;
    modAPI::FileInfo info;
    qint64 size = 0;
    quint32 crc = 0;
    if (act.Verb == u"trash" || act.Verb == u"move")
        return act.Where.isEmpty() ? UndoRun::State::Unknown : UndoRun::State::Back;
    // Without what the run left behind, a link or an archive entry cannot be told from
    // anything put there since; journals of earlier versions did not say.
    if (IsShared(act.Verb))
        return RunJournal::ParseIdentity(act.After, info) ? UndoRun::State::Back
                                                          : UndoRun::State::Unknown;
    if (act.Verb == u"zip")
        return RunJournal::ParseEntry(act.After, size, crc) ? UndoRun::State::Back
                                                            : UndoRun::State::Unknown;
    return UndoRun::State::Unknown;
}

// Acts that changed nothing: refused, or a name that already led to the kept file.
bool Untouched(const RunJournal::Act& act) {
    return (act.Failed && !act.Done) || (act.Done && IsShared(act.Verb) && act.Where.isEmpty());
}

QString UnknownText(const RunJournal::Act& act) {
    if (!act.Done)
        return QStringLiteral("Not undone: the run was stopped while acting on it; look for it "
                              "where the run put files");
    return QStringLiteral("Not undone: the journal does not say enough about where it went (\"") +
           act.Verb + QStringLiteral("\")");
}

} // namespace

bool UndoRun::Look(const QString& profileName, Preview& preview, QString& error) {
    preview = Preview{};
    RunJournal journal(RunJournal::FileFor(profileName));
    RunJournal::Run run;
    if (!journal.ReadLastRun(run)) {
        error = journal.Error();
        return false;
    }
    preview.Found = run.Found;
    preview.Started = run.Started;
    preview.Method = run.Method;
    for (const RunJournal::Act& act : run.Acts) {
        if (Untouched(act))
            continue;
        switch (Classify(act)) {
        case State::Back:
            ++preview.CanComeBack;
            break;
        case State::AlreadyBack:
            ++preview.AlreadyBack;
            break;
        case State::Deleted:
            ++preview.Deleted;
            break;
        default:
            ++preview.Unknown;
            break;
        }
    }
    return true;
}

qint64 UndoRun::CountOf(State state) const {
    return std::count_if(m_results.begin(), m_results.end(),
                         [state](const FileResult& r) { return r.What == state; });
}

qint64 UndoRun::NotBack() const {
    return qint64(m_results.size()) - CountOf(State::Back) - CountOf(State::AlreadyBack);
}

UndoRun::Outcome UndoRun::Execute(const QString& profileName, bool waitForLock) {
    m_results.clear();
    m_error.clear();
    m_stopped = false;
    m_runLogFailed = false;
    RunLock lock;
    switch (lock.Take(waitForLock)) {
    case RunLock::Result::Taken:
        break;
    case RunLock::Result::Busy:
        return Outcome::Busy;
    case RunLock::Result::Failed:
        m_error = QStringLiteral("the action lock ") + lock.Error() +
                  QStringLiteral(" could not be taken");
        return Outcome::NotRecorded;
    }
    RunJournal journal(RunJournal::FileFor(profileName));
    RunJournal::Run run;
    if (!journal.ReadLastRun(run)) {
        m_error =
            QStringLiteral("the journal ") + journal.Error() + QStringLiteral(" could not be read");
        return Outcome::NotRecorded;
    }
    if (!run.Found)
        return Outcome::NothingToUndo;

    // The undo's run log is its own: the statistics of whatever scan the window holds
    // belong to that scan and come back afterwards.
    const modLog::RunStatsRecord held = modLog::RunStats;
    modLog::ResetRunStats();
    modLog::RunStats.StartedAt = modLog::Now();
    modLog::RunStats.EndedAt = modLog::RunStats.StartedAt;
    modLog::RunStats.RunStatus = QStringLiteral("Success");
    modLog::LogActionDetails(QStringLiteral("Undo of the action run begun at ") + run.Started);
    Outcome outcome = Outcome::Finished;
    try {
        Restore(journal, run);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("UndoRun.Execute"), 0,
                                  QString::fromUtf8(e.what()));
        m_stopped = true;
    }
    if (m_stopped) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("an unexpected error (see the application log)");
        modLog::LogActionDetails(QStringLiteral("Undo stopped: ") + m_error);
        outcome = Outcome::NotRecorded;
    }
    modLog::LogActionDetails(QStringLiteral("finished"));
    m_runLogFailed = !modLog::WriteRunLog(profileName);
    modLog::RunStats = held;
    return outcome;
}

void UndoRun::Note(const RunJournal::Act& act, State state, const QString& text) {
    m_results.push_back({act.Path, state, text});
    modLog::LogActionDetails(act.Path + Separator + text);
    if (state == State::Skipped || state == State::Failed)
        ++modLog::RunStats.ErrorCount;
}

bool UndoRun::Back(RunJournal& journal, const RunJournal::Act& act, const QString& from,
                   const QString& text) {
    Note(act, State::Back, text);
    if (journal.Undone(act.Path, from))
        return true;
    m_error =
        QStringLiteral("the journal ") + journal.Error() + QStringLiteral(" could not be written");
    m_stopped = true;
    return false;
}

void UndoRun::Restore(RunJournal& journal, RunJournal::Run& run) {
    bool pending = false;
    for (const RunJournal::Act& act : run.Acts)
        pending = pending || (!Untouched(act) && Classify(act) == State::Back);
    // Nothing is touched that would not be on record.
    if (pending && !journal.BeginUndo()) {
        m_error = QStringLiteral("the journal ") + journal.Error() +
                  QStringLiteral(" could not be written");
        m_stopped = true;
        return;
    }
    // Zipped files come out of each archive together, for one rewrite of it.
    std::map<QString, std::vector<const RunJournal::Act*>> zipped;
    for (const RunJournal::Act& act : run.Acts) {
        if (m_stopped)
            return;
        if (Untouched(act))
            continue;
        switch (Classify(act)) {
        case State::AlreadyBack:
            m_results.push_back({act.Path, State::AlreadyBack,
                                 QStringLiteral("Already back from an earlier undo")});
            continue;
        case State::Deleted:
            Note(act, State::Deleted, DeletedText);
            continue;
        case State::Back:
            break;
        default:
            Note(act, State::Unknown, UnknownText(act));
            continue;
        }
        if (act.Verb == u"zip")
            zipped[act.To].push_back(&act);
        else if (IsShared(act.Verb))
            RestoreShared(journal, act);
        else
            RestoreRenamed(journal, act);
    }
    for (const auto& [archive, acts] : zipped)
        if (m_stopped || !RestoreZipped(journal, archive, acts))
            return;
    if (pending)
        journal.End(m_stopped ? QStringLiteral("undo stopped") : QStringLiteral("undo finished"));
}

bool UndoRun::RestoreRenamed(RunJournal& journal, const RunJournal::Act& act) {
    const bool trash = act.Verb == u"trash";
    const QString& stored = act.Where;
    modAPI::FileInfo after;
    // An earlier version noted only the file before the act: a rename kept all of it but
    // its change time; a copy across file systems kept its size and time.
    const bool exact = RunJournal::ParseIdentity(act.After, after);
    const auto unchanged = [&](const modAPI::FileInfo& now) {
        if (exact)
            return SameInode(now, after) && now.Size == after.Size &&
                   now.ModifiedNs == after.ModifiedNs && now.ChangedNs == after.ChangedNs;
        return now.Size == act.Before.Size && now.ModifiedNs == act.Before.ModifiedNs &&
               (now.Device != act.Before.Device || now.Inode == act.Before.Inode);
    };
    const QString backText = QStringLiteral("Back from ") + stored;
    const auto finish = [&] {
        if (trash)
            modAPI::MyRemoveTrashInfo(stored);
    };

    modAPI::FileInfo here;
    modAPI::HeldFile copy;
    int opened = copy.Open(stored);
    // The home trash may be a link to another disk, which the trash follows.
    if (opened == ELOOP) {
        const QString real = modAPI::CanonicalPath(stored);
        opened = real.isEmpty() ? ELOOP : copy.Open(real);
    }
    if (modAPI::MyStat(act.Path, here) == Success) {
        // An undo stopped after the rename and before its journal line: the file is there.
        if (opened == ENOENT && SameInode(here, exact ? after : act.Before)) {
            finish();
            return Back(journal, act, stored, backText);
        }
        // Or stopped between the copy across file systems and the removal of the stored
        // one: the same bytes at both places, the stored copy is spare.
        if (opened == 0 && unchanged(copy.Info()) && here.Device != copy.Info().Device &&
            here.Size == act.Before.Size && here.ModifiedNs == act.Before.ModifiedNs &&
            modAPI::CompareContents(act.Path, stored) == modAPI::ContentMatch::Same &&
            modAPI::MyDeleteHeld(copy) == Success) {
            finish();
            return Back(journal, act, stored, backText);
        }
        Note(act, State::Skipped, TakenText);
        return true;
    }
    if (opened == ENOENT) {
        Note(act, State::Skipped, GoneText + stored);
        return true;
    }
    if (opened != 0 || !unchanged(copy.Info())) {
        Note(act, State::Skipped, ChangedText + stored);
        return true;
    }
    QString placed;
    if (modAPI::MyMoveHeld(copy, act.Path, placed, false) != Success) {
        const int err = modAPI::LastAPIError;
        Note(act, err == EEXIST ? State::Skipped : State::Failed,
             err == EEXIST ? TakenText
                           : QStringLiteral("Error occured while putting it back from ") + stored +
                                 QStringLiteral(" (") + modAPI::SystemMessage(err) + u')');
        return true;
    }
    finish();
    return Back(journal, act, stored, backText);
}

bool UndoRun::RestoreShared(RunJournal& journal, const RunJournal::Act& act) {
    modAPI::FileInfo after;
    RunJournal::ParseIdentity(act.After, after);
    const QString backText =
        QStringLiteral("Has a file of its own again (was sharing with ") + act.To + u')';
    modAPI::HeldFile file;
    switch (file.Open(act.Path)) {
    case 0:
        break;
    case ENOENT:
        Note(act, State::Skipped, QStringLiteral("Skipped: there is no file at its place now"));
        return true;
    default:
        Note(act, State::Skipped, ChangedText + act.Path);
        return true;
    }
    const modAPI::FileInfo& now = file.Info();
    if (!SameInode(now, after)) {
        // Another file at the name with the file's own size and time is the copy of an undo
        // stopped before its journal line; anything else was put there by someone.
        if (now.Size == act.Before.Size && now.ModifiedNs == act.Before.ModifiedNs)
            return Back(journal, act, act.To, backText);
        Note(act, State::Skipped, ChangedText + act.Path);
        return true;
    }
    // The data it shares may have been written through the kept file's name since.
    if (now.Size != after.Size || now.ModifiedNs != after.ModifiedNs) {
        Note(act, State::Skipped, ChangedText + act.To);
        return true;
    }
    if (modAPI::MyUnshareHeld(file, act.Before) != Success) {
        const int err = modAPI::LastAPIError;
        Note(act, err == ECANCELED ? State::Skipped : State::Failed,
             err == ECANCELED
                 ? ChangedText + act.To
                 : QStringLiteral("Error occured while giving it a file of its own (") +
                       modAPI::SystemMessage(err) + u')');
        return true;
    }
    return Back(journal, act, act.To, backText);
}

bool UndoRun::RestoreZipped(RunJournal& journal, const QString& archive,
                            const std::vector<const RunJournal::Act*>& acts) {
    const QString backText = QStringLiteral("Back from ") + archive;
    std::vector<const RunJournal::Act*> out; // at their places, to leave the archive
    {
        cls7z::Reader reader;
        const bool readable = reader.Open(archive);
        for (const RunJournal::Act* act : acts) {
            qint64 size = 0;
            quint32 crc = 0;
            RunJournal::ParseEntry(act->After, size, crc);
            modAPI::FileInfo here;
            if (modAPI::MyStat(act->Path, here) == Success) {
                // Written out by an undo stopped before the archive was rewritten.
                if (here.Type == modAPI::EntryType::File && here.Size == size &&
                    here.ModifiedNs == act->Before.ModifiedNs &&
                    quint32(clsCRC().Calculate_Crc32(act->Path)) == crc)
                    out.push_back(act);
                else
                    Note(*act, State::Skipped, TakenText);
                continue;
            }
            cls7z::Entry entry;
            if (!readable || !reader.Find(act->Path, entry)) {
                Note(*act, State::Skipped,
                     GoneText + archive +
                         (readable ? QString() : QStringLiteral(" (") + reader.Error() + u')'));
                continue;
            }
            if (entry.Size != size || entry.Crc != crc) {
                Note(*act, State::Skipped, ChangedText + archive);
                continue;
            }
            if (reader.Extract(act->Path, act->Before) != Success) {
                const int err = modAPI::LastAPIError;
                Note(*act, err == EEXIST ? State::Skipped : State::Failed,
                     err == EEXIST
                         ? TakenText
                         : QStringLiteral("Error occured while taking it out of ") + archive +
                               QStringLiteral(" (") + modAPI::SystemMessage(err) + u')');
                continue;
            }
            out.push_back(act);
        }
    }
    if (out.empty())
        return true;
    QStringList paths;
    for (const RunJournal::Act* act : out)
        paths << act->Path;
    QString why;
    if (cls7z::Remove(archive, paths, why) != Success) {
        // Back at their places all the same; the journal leaves them to the next undo,
        // which finds them there and tries the archive again.
        for (const RunJournal::Act* act : out) {
            m_results.push_back({act->Path, State::Back, backText});
            modLog::LogActionDetails(act->Path + Separator + backText +
                                     QStringLiteral(", which still holds it: it could not be "
                                                    "rewritten (") +
                                     why + u')');
            ++modLog::RunStats.ErrorCount;
        }
        return true;
    }
    for (const RunJournal::Act* act : out)
        if (!Back(journal, *act, archive, backText))
            return false;
    return true;
}
