#pragma once

#include "HeldFile.h"
#include "modAPI.h"

#include <QString>

// The record an action run keeps of every file it touches, written before the file is
// touched: a run that cannot write it does nothing more. One file per profile beside its
// run log (LogPath + profile + ".journal"), appended to by every run, one line per event:
//
//   run   <time> <action> <method>          the start of a run, on disk before anything
//   act   <verb> <path> <to> <identity>     about to act (verb: trash, delete, move, zip,
//                                           link); to is the move folder, the archive or
//                                           the kept file; identity is dev:ino:size:
//                                           mtime-ns:ctime-ns:mode:uid:gid before the act
//   done  <path> <where>                    it happened; where the file now is, if anywhere
//   fail  <path> <why>                      it did not; the file is as it was
//   end   <time> <how>                      finished, cancelled or stopped
//
// Fields are separated by tabs. Paths are the names' own bytes, with "\" written "\\",
// a tab "\t", a line feed "\n" and a carriage return "\r".
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
    bool Done(const QString& path, const QString& where = {});
    bool Fail(const QString& path, const QString& why);
    bool End(const QString& how);

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
