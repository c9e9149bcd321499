#include "modLog.h"
#include "AppError.h"

#include "TextEscape.h"
#include "modAPI.h"
#include "modCommon.h"

#include <QStringList>

#include <utility>

namespace modLog {

RunStatsRecord RunStats;

void ResetRunStats() {
    RunStats.FilesProcessed = 0;
    RunStats.DuplicatesFound = 0;
    RunStats.ErrorCount = 0;
    RunStats.FilesActedOn = 0;
    RunStats.TimeTaken = QStringLiteral("0");
    RunStats.ActionDetails.clear();
    RunStats.ErrorDetails.clear();
}

void LogErrDetails(const QString& text) {
    RunStats.ErrorDetails.append(text);
}

void LogActionDetails(const QString& text) {
    RunStats.ActionDetails.append(text);
}

QString DateText(const QDateTime& when) {
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DateTextFromSecs(qint64 secsSinceEpoch) {
    // Every row of a result list shows two dates; Qt's conversion looks the zone up anew
    // each time, which cost more than the rest of a scan of names and sizes.
    modAPI::LocalClock c;
    if (!modAPI::LocalTimeOf(secsSinceEpoch, c))
        return DateText(QDateTime::fromSecsSinceEpoch(secsSinceEpoch));
    QChar text[19];
    const auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = QChar(u'0' + value % 10);
    };
    put(0, c.Year, 4);
    text[4] = u'-';
    put(5, c.Month, 2);
    text[7] = u'-';
    put(8, c.Day, 2);
    text[10] = u' ';
    put(11, c.Hour, 2);
    text[13] = u':';
    put(14, c.Minute, 2);
    text[16] = u':';
    put(17, c.Second, 2);
    return QString(text, 19);
}

QString Now() {
    return DateText(QDateTime::currentDateTime());
}

namespace {

bool gHolding = false;
QStringList gHeldLines;

} // namespace

void HoldAppLogLines() {
    gHolding = true;
    gHeldLines.clear();
}

void ReleaseAppLogLines(const QString& logFile) {
    if (!gHolding)
        return;
    gHolding = false;
    const QStringList lines = std::exchange(gHeldLines, {});
    for (const QString& line : lines)
        WriteAppLog(logFile, line);
}

void WriteAppLog(const QString& logFile, const QString& text) {
    if (logFile.isEmpty()) {
        // Bounded, in case nobody ever releases them.
        if (gHolding && gHeldLines.size() < 100)
            gHeldLines.append(text);
        return;
    }
    // Names in the line are shown readably, and one with a line break in it cannot forge
    // a line of its own.
    QByteArray line = TextEscape::Escape(text, TextEscape::Breaks::Escape).toUtf8();
    line.append('\n');
    const int savedError = modAPI::LastAPIError;
    if (logFile == StandardErrorLog)
        modAPI::MyWriteStandardError(line);
    else // one write with O_APPEND, so lines of two processes never interleave mid-line
        modAPI::MyAppendFile(logFile, line);
    modAPI::LastAPIError = savedError;
}

QString ProcedureErrorLine(const QString& where, qint64 number, const QString& description,
                           bool occuedSpelling) {
    return (occuedSpelling ? QStringLiteral("Error occued in ")
                           : QStringLiteral("Error occured in ")) +
           where + QStringLiteral(". Error No : ") + QString::number(number) +
           QStringLiteral(" Desc : ") + description + QStringLiteral(" at:") + Now();
}

void LogProcedureError(const QString& where, qint64 number, const QString& description,
                       bool occuedSpelling) {
    WriteAppLog(modCommon::AppLogFile,
                ProcedureErrorLine(where, number, description, occuedSpelling));
}

QByteArray RtfText(const QString& text) {
    QByteArray out;
    out.reserve(text.size() + 8);
    // A byte of a name that is not UTF-8 shows as "\xHH", never as half a surrogate pair,
    // and a line break in a name stays inside its line.
    for (QChar c : TextEscape::Escape(text, TextEscape::Breaks::Escape)) {
        const char16_t u = c.unicode();
        if (u == u'\\' || u == u'{' || u == u'}') {
            out.append('\\');
            out.append(char(u));
        } else if (u >= 0x20 && u < 0x7f) {
            out.append(char(u));
        } else {
            // RTF takes a signed 16-bit number; each half of a surrogate pair on its own.
            out.append("\\u");
            out.append(QByteArray::number(int(qint16(u))));
            out.append('?');
        }
    }
    return out;
}

namespace {

QByteArray Hyphens(int n) {
    return QByteArray(n, '-');
}

class RtfLines {
public:
    void Add(const QByteArray& line) {
        m_out.append(line);
        m_out.append("\r\n");
    }
    QByteArray Take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

} // namespace

QByteArray BuildRunLog(const QString& profileName, const RunStatsRecord& stats,
                       const QString& now) {
    RtfLines log;
    log.Add(
        R"({\rtf1\ansi\ansicpg1252\deff0\deflang1033{\fonttbl{\f0\fswiss\fprq2\fcharset0 Tahoma;}})");
    log.Add(
        R"({\colortbl ;\red0\green0\blue255;\red0\green0\blue128;\red0\green128\blue128;\red0\green128\blue0;\red128\green0\blue128;\red255\green0\blue0;})");
    log.Add(R"(\par)");

    // The padding counts the characters of the name, not of its escaped form, so the
    // column lines up the same way for every name.
    const QString name = profileName.trimmed();
    const QByteArray padding(qMax<qsizetype>(0, 70 - name.size()), ' ');
    log.Add(R"(\viewkind4\uc1\pard\cf1\b\f0\fs16\tab Profile : )" + RtfText(name) + padding +
            " Started at : " + RtfText(stats.StartedAt.trimmed()) + R"(\par)");
    log.Add(R"(\cf0\b0\tab )" + Hyphens(121) + R"(\par)");
    log.Add(R"(\cf2\b\fs20\tab\tab\tab\tab\tab Find duplicates - Details\cf0\b0\fs16\par)");
    log.Add(R"(\tab)" + Hyphens(122) + R"(\par)");
    log.Add(R"(\par)");
    log.Add(R"(\cf2\b\tab File processed\tab\tab\tab :  )" +
            QByteArray::number(stats.FilesProcessed) + R"(\par)");
    log.Add(R"(\tab No of duplicate files found\tab :  )" +
            QByteArray::number(stats.DuplicatesFound) + R"(\par)");
    log.Add(R"(\tab Time taken for finding duplicates\tab :  )" + RtfText(stats.TimeTaken) +
            R"( Seconds\par)");
    log.Add(R"(\tab No of errors occured\tab\tab :  )" + QByteArray::number(stats.ErrorCount) +
            R"(\par)");
    log.Add(R"(\cf0\b0\par)");
    for (const QString& entry : stats.ErrorDetails)
        log.Add(R"(\cf6\tab )" + RtfText(entry) + R"(\par)");
    if (!stats.ErrorDetails.isEmpty())
        log.Add(R"(\cf0\b0\par)");
    log.Add(R"(\tab )" + Hyphens(120) + R"(\par)");
    if (stats.ErrorCount != 0)
        log.Add(R"(\cf1\b\tab Current Status : \cf6 Error\cf1\tab  \tab\tab\tab Ended at :  )" +
                RtfText(now) + R"(\par)");
    else
        log.Add(R"(\cf1\b\tab Current Status : \cf4 Success\cf1\tab  \tab\tab\tab Ended at : )" +
                RtfText(now) + R"(\par)");
    log.Add(R"(\cf0\b0\tab )" + Hyphens(120) + R"(\par)");
    if (!stats.ActionDetails.isEmpty()) {
        log.Add(R"(\cf2\b\fs20\tab\tab\tab\tab\cf3\tab Action taken - Details\cf0\b0\fs16\par)");
        log.Add(R"(\tab )" + Hyphens(120) + R"(\par)");
        for (const QString& entry : stats.ActionDetails) {
            if (entry == QStringLiteral("finished"))
                log.Add(R"(\cf0\tab )" + Hyphens(120) + R"(\par)");
            else
                log.Add(R"(\cf3\tab )" + RtfText(entry) + R"(\par)");
        }
    }
    log.Add(R"(\cf0\b0\par)");
    log.Add(R"(\cf5\par)");
    log.Add(R"(\cf4\b0\par)");
    log.Add(R"(\par)");
    log.Add(R"(\par)");
    log.Add("}");
    return log.Take();
}

bool WriteRunLog(const QString& profileName) {
    const QString path = modCommon::LogPath + profileName + QStringLiteral(".log");
    return modAPI::SaveFileAtomically(path, BuildRunLog(profileName, RunStats, Now())) == Success;
}

} // namespace modLog
