#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace modLog {

// The record of the current scan and of every action taken on its results since. It is
// the only source of the run log.
struct RunStatsRecord {
    QString StartedAt;
    QString EndedAt;
    qint64 FilesProcessed = 0;
    qint64 DuplicatesFound = 0; // groups, not files
    QString TimeTaken = QStringLiteral("0");
    qint64 ErrorCount = 0;
    qint64 FilesActedOn = 0; // never written to the run log
    QString RunStatus;
    QStringList ActionDetails; // "finished" closes one action batch
    QStringList ErrorDetails;

    // Index of the last entry, -1 when there is none.
    qsizetype ActionDetailsUpperBound() const { return ActionDetails.size() - 1; }
    qsizetype ErrorDetailsUpperBound() const { return ErrorDetails.size() - 1; }
};

extern RunStatsRecord RunStats;

// Counts and details go back to zero before every scan; StartedAt, EndedAt and RunStatus
// stay until the scan sets them.
void ResetRunStats();
// Neither touches ErrorCount: every caller counts its own errors.
void LogErrDetails(const QString& text);
void LogActionDetails(const QString& text);

// The one date form of every log, document and report: local time, whole seconds.
QString DateText(const QDateTime& when);
QString DateTextFromSecs(qint64 secsSinceEpoch);
QString Now();

// Appends one line; a log that cannot be written is simply missing, never an error.
void WriteAppLog(const QString& logFile, const QString& text);
// As a log file: the lines go to the standard error descriptor the process already has,
// whatever it leads to (a file, a pipe, a socket), never reopened by name.
inline const QString StandardErrorLog = QStringLiteral("-");
// Start-up looks the user name up before the application log has a place. While held,
// lines written to no log file are kept, and ReleaseAppLogLines writes them to the log
// once it exists (and stops holding).
void HoldAppLogLines();
void ReleaseAppLogLines(const QString& logFile);

// "Error occured in <where>. Error No : <n> Desc : <d> at:<now>"; the procedures of the
// profile and scan windows historically spell it "occued", which readers of old logs match.
QString ProcedureErrorLine(const QString& where, qint64 number, const QString& description,
                           bool occuedSpelling = false);
// Writes ProcedureErrorLine to the application log.
void LogProcedureError(const QString& where, qint64 number, const QString& description,
                       bool occuedSpelling = false);

// Escapes a text for the run log: backslashes and braces, and everything outside
// printable ASCII as an RTF Unicode escape, so any path survives and the file stays RTF.
QByteArray RtfText(const QString& text);

// The run log's bytes for a profile, the statistics and the end time.
QByteArray BuildRunLog(const QString& profileName, const RunStatsRecord& stats, const QString& now);
// Rewrites LogPath + profileName + ".log" from RunStats; a failure keeps the previous file
// and returns false (LastAPIError says why).
bool WriteRunLog(const QString& profileName);

} // namespace modLog
