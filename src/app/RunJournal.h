#pragma once

#include "HeldFile.h"
#include "modAPI.h"

#include <QString>

#include <vector>

// The record an action run keeps of every file it touches, written before the file is
// touched: a run that cannot write it does nothing more. One file per profile beside its
// run log (LogPath + profile + ".journal"), appended to by every run, one line per event:
//
//   run    <time> <action> <method>         the start of a run, on disk before anything
//   act    <verb> <path> <to> <identity>    about to act (verb: trash, delete, move, zip,
//                                           link, clone); to is the move folder, the archive
//                                           or the kept file; identity is dev:ino:size:
//                                           mtime-ns:ctime-ns:mode:uid:gid before the act.
//                                           A delete is for good: no undo brings it back
//   done   <path> <where> <after>           it happened; where the file now is, if anywhere
//                                           (for a link: empty when the name already led to
//                                           the kept file, so nothing changed); after is
//                                           what stands there now: the identity of the
//                                           trashed, moved, linked or cloned file, or
//                                           "crc:<size>:<crc-32 hex>" of the archive entry
//   fail   <path> <why>                     it did not; the file is as it was
//   end    <time> <how>                     finished, cancelled or stopped
//
// An undo of the last run appends to the same file, so that an undo stopped half way can
// be run again and does only what is left:
//
//   undo   <time>                           an undo of the run above begins
//   undone <path> <from>                    the file is back at its path
//   end    <time> <how>                     the undo ended
//
// Fields are separated by tabs. Paths are the names' own bytes, with "\" written "\\",
// a tab "\t", a line feed "\n" and a carriage return "\r". Journals of earlier versions
// have no "after" field and wrote a zipped file as "delete"; both still read.
class RunJournal {
public:
    static QString FileFor(const QString& profileName);
    // Past this size the journal is moved aside (one earlier journal is kept) when a run
    // begins, so it never grows without end.
    static constexpr qint64 RotateBytes = 8 << 20;

    explicit RunJournal(QString file) : m_file(std::move(file)) {}
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    bool Begin(const QString& action, const QString& method);
    bool Intent(const QString& verb, const QString& path, const QString& to,
                const modAPI::FileInfo& before);
    bool Done(const QString& path, const QString& where = {}, const QByteArray& after = {});
    bool Fail(const QString& path, const QString& why);
    bool End(const QString& how);
    bool BeginUndo();
    bool Undone(const QString& path, const QString& from);

    // The "after" field for a file, and for an archive entry.
    static QByteArray IdentityText(const modAPI::FileInfo& info);
    static QByteArray EntryText(qint64 size, quint32 crc);
    // Back from text; false when it is not of that form.
    static bool ParseIdentity(QByteArrayView text, modAPI::FileInfo& info);
    static bool ParseEntry(QByteArrayView text, qint64& size, quint32& crc);

    // One act of a run as read back, with what became of it.
    struct Act {
        QString Verb;
        QString Path;
        QString To;
        modAPI::FileInfo Before;
        bool Done = false;
        bool Failed = false;
        QString Where;
        QByteArray After; // empty in journals of earlier versions
        bool Undone = false;
    };
    // The last run of a journal and its acts, in their order.
    struct Run {
        bool Found = false;
        QString Started;
        QString Action;
        QString Method;
        bool Ended = false;
        std::vector<Act> Acts;
    };
    // Reads the run that began last, from the journal and the earlier one moved aside
    // (file + ".1"), with the undos recorded after it. False with Error() set when neither
    // can be read; a journal that does not exist is no error and holds no run.
    bool ReadLastRun(Run& run);

    const QString& File() const { return m_file; }
    bool Failed() const { return !m_error.isEmpty(); }
    // What stopped the journal: its path and the system's reason.
    const QString& Error() const { return m_error; }

private:
    bool Write(const QByteArray& line, bool durable = false);

    QString m_file;
    modAPI::AppendFile m_out;
    QString m_error;
};
