#pragma once

#include "app/RunJournal.h"

#include <QString>

#include <vector>

// Puts back what the last action run of a profile took away, as its journal tells: trashed
// and moved files back to their places, zipped files out of the archive, linked and cloned
// files into files of their own. Nothing is ever put over a file that has taken a place
// since, nor anything brought back that changed since the run; such a file stays where it
// is, and the undo can be run again once the way is clear. What came back is written into
// the journal, so a second undo (or a rerun of one that was stopped) does only what is left.
class UndoRun {
public:
    enum class Outcome {
        Finished,      // every file was tried; Results says how each went
        NothingToUndo, // the profile's journal holds no action run
        Busy,          // another action run holds the lock; nothing was done
        NotRecorded,   // the journal could not be read or written (Error says why)
    };
    enum class State {
        Back,        // at its place again
        AlreadyBack, // brought back by an earlier undo
        Skipped,     // left as it is: its place is taken, or its stored copy is gone or changed
        Failed,      // tried, and could not be put back; everything is as it was
        Deleted,     // deleted for good by the run: it cannot come back
        Unknown,     // the run stopped while acting on it, or wrote what this undo cannot use
    };
    struct FileResult {
        QString Path;
        State What;
        QString Text; // the run log's line
    };
    // What an undo of the last run would find before it starts.
    struct Preview {
        bool Found = false; // there is an action run
        QString Started;    // when it began
        QString Method;     // its remove rule
        qint64 CanComeBack = 0;
        qint64 Deleted = 0;
        qint64 AlreadyBack = 0;
        qint64 Unknown = 0;
        qint64 CannotComeBack() const { return Deleted + AlreadyBack + Unknown; }
    };

    // The counts for a confirmation; false with error set when the journal cannot be read.
    static bool Look(const QString& profileName, Preview& preview, QString& error);

    // Undoes the profile's last action run under the action lock (waiting for another run
    // to end when asked), and rewrites the profile's run log with what it did.
    Outcome Execute(const QString& profileName, bool waitForLock = false);

    const std::vector<FileResult>& Results() const { return m_results; }
    qint64 CountOf(State state) const;
    // Everything that was to come back and did not: skipped, failed, deleted, unknown.
    qint64 NotBack() const;
    const QString& Error() const { return m_error; }
    // Whether the run log could not be rewritten at the end.
    bool RunLogFailed() const { return m_runLogFailed; }

    static inline const QString TakenText =
        QStringLiteral("Skipped: another file has taken its place; move that away and undo again");
    static inline const QString ChangedText =
        QStringLiteral("Skipped: its stored copy changed since the run: ");
    static inline const QString GoneText = QStringLiteral("Skipped: its stored copy is gone: ");
    static inline const QString DeletedText =
        QStringLiteral("Deleted permanently by the run: it cannot come back");

private:
    void Restore(RunJournal& journal, RunJournal::Run& run);
    // Each records its file's outcome; false when the journal could not be written.
    bool RestoreRenamed(RunJournal& journal, const RunJournal::Act& act);
    bool RestoreShared(RunJournal& journal, const RunJournal::Act& act);
    bool RestoreZipped(RunJournal& journal, const QString& archive,
                       const std::vector<const RunJournal::Act*>& acts);
    bool Back(RunJournal& journal, const RunJournal::Act& act, const QString& from,
              const QString& text);
    void Note(const RunJournal::Act& act, State state, const QString& text);

    std::vector<FileResult> m_results;
    QString m_error;
    bool m_stopped = false;
    bool m_runLogFailed = false;
};
