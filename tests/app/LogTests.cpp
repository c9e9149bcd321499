// The run log as the golden files hold it, written safely whatever the names; the
// application log's line forms; the dates both show.

#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <ctime>
#include <tuple>
#include <vector>

using namespace testing_support;
using namespace Qt::StringLiterals;
using modLog::RunStatsRecord;

namespace {

const QString kStarted = u"2026-12-06 10:00:00"_s;
const QString kNow = u"2026-12-06 10:00:03"_s;

RunStatsRecord Stats(qint64 files, qint64 dups, const char* secs, qint64 errors) {
    RunStatsRecord s;
    s.StartedAt = kStarted;
    s.FilesProcessed = files;
    s.DuplicatesFound = dups;
    s.TimeTaken = QString::fromLatin1(secs);
    s.ErrorCount = errors;
    return s;
}

} // namespace

TEST(RunLog, MatchesGoldenFiles) {
    // No errors, no actions: header, statistics, success status, closing lines only.
    EXPECT_EQ(modLog::BuildRunLog(u"Photos"_s, Stats(120, 7, "3", 0), kNow),
              Golden("runlog_clean.rtf"));

    // Error details in red with their backslashes doubled, then the error status.
    RunStatsRecord errors = Stats(5, 0, "1", 2);
    errors.ErrorDetails << u"/home/ann/locked.txt -  details could not be retrieved"_s
                        << u"/srv/odd\\name.txt -  details could not be retrieved"_s;
    EXPECT_EQ(modLog::BuildRunLog(u"Work"_s, errors, kNow), Golden("runlog_errors.rtf"));

    // Two action batches, each closed by a hyphen line.
    RunStatsRecord actions = Stats(40, 2, "2", 1);
    actions.ActionDetails << u"/data/a/x.txt - Moved to Recyclebin"_s << u"finished"_s
                          << u"/data/b/y.txt - Deleted permanently"_s
                          << u"/data/b/z.txt - Error occured while deleting file"_s
                          << u"finished"_s;
    EXPECT_EQ(modLog::BuildRunLog(u"Photos"_s, actions, kNow), Golden("runlog_actions.rtf"));

    // An error count without any detail still turns the status into "Error".
    EXPECT_EQ(modLog::BuildRunLog(u"Photos"_s, Stats(3, 1, "1", 1), kNow),
              Golden("runlog_error_count_only.rtf"));

    // A 70-character name leaves no blank before " Started at : ".
    const QString name70 = QString(60, u'N') + u"0123456789"_s;
    EXPECT_EQ(modLog::BuildRunLog(name70, Stats(0, 0, "1", 0), kNow), Golden("runlog_name70.rtf"));
    // Nor does a longer one, which is not cut either.
    const QString name75 = QString(75, u'x');
    EXPECT_TRUE(modLog::BuildRunLog(name75, Stats(0, 0, "1", 0), kNow)
                    .contains(name75.toLatin1() + " Started at : " + kStarted.toLatin1()));
}

TEST(RunLog, BracesAndAccentsStayValidRtf) {
    AppFolder app;
    modLog::RunStats = Stats(1, 0, "1", 1);
    modLog::RunStats.ErrorDetails << u"/home/zoë/{draft}.txt -  details could not be retrieved"_s;
    modLog::RunStats.ActionDetails << u"/home/zoë/日本 - Moved to Recyclebin"_s << u"finished"_s;
    modLog::WriteRunLog(u"Café {1}"_s);

    const QByteArray log = ReadFile(modCommon::LogPath + u"Café {1}.log"_s);

    for (char c : log)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII byte in the run log";
    EXPECT_TRUE(log.contains("Profile : Caf\\u233? \\{1\\}"));
    EXPECT_TRUE(log.contains("/home/zo\\u235?/\\{draft\\}.txt"));
    EXPECT_TRUE(log.contains("/home/zo\\u235?/\\u26085?\\u26412? - Moved to Recyclebin"));

    // Unescaped braces must balance or an RTF reader drops the rest of the document.
    int depth = 0;
    for (qsizetype i = 0; i < log.size(); ++i) {
        depth += log[i] == '{' ? 1 : log[i] == '}' ? -1 : 0;
        i += log[i] == '\\'; // what a backslash escapes is no brace
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
}

// A name that is not UTF-8 or holds a line break is shown readably in both logs and never
// makes a line of its own.
TEST(RunLog, OddNamesAreShownReadablyOnTheirOwnLine) {
    AppFolder app;
    const QString raw = PathCodec::Decode(QByteArray("/srv/caf\xe9\nfake line.txt"));
    modLog::RunStats = Stats(1, 0, "1", 1);
    modLog::RunStats.ErrorDetails << raw + u" -  details could not be retrieved"_s;
    modLog::RunStats.ActionDetails << raw + u" - Deleted permanently"_s << u"finished"_s;
    modLog::WriteRunLog(u"P"_s);
    const QByteArray log = ReadFile(modCommon::LogPath + u"P.log"_s);
    EXPECT_TRUE(Holds(log, "/srv/caf\\\\xE9\\\\u000Afake line.txt -  details"));
    EXPECT_TRUE(log.contains("/srv/caf\\\\xE9\\\\u000Afake line.txt - Deleted permanently"));
    EXPECT_EQ(log.count("fake line"), 2);
    EXPECT_FALSE(log.contains("\\u-"));

    modAPI::MyDeleteFile(raw);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(Holds(lines[0], u"/srv/caf\\xE9\\u000Afake line.txt at:"_s));
}

TEST(RunLog, FailedRewriteKeepsThePreviousLog) {
    AppFolder app;
    const QString path = modCommon::LogPath + u"Photos.log"_s;
    modLog::RunStats = Stats(1, 0, "1", 0);
    modLog::WriteRunLog(u"Photos"_s);
    const QByteArray previous = ReadFile(path);
    ASSERT_TRUE(previous.startsWith("{\\rtf"));

    modLog::RunStats.ErrorDetails << QString(2000, u'e');
    modLog::RunStats.ErrorCount = 1;
    {
        FileSizeLimit limit(512);
        modLog::WriteRunLog(u"Photos"_s);
    }

    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(QDir(modCommon::LogPath).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file may be left behind";
}

TEST(RunStats, ResetClearsCountsButKeepsRunTimes) {
    modLog::RunStats = Stats(9, 9, "9", 9);
    modLog::RunStats.EndedAt = kNow;
    modLog::RunStats.RunStatus = u"Success"_s;
    modLog::RunStats.FilesActedOn = 4;
    modLog::LogErrDetails(u"e"_s);
    modLog::LogActionDetails(u"a"_s);
    EXPECT_EQ(modLog::RunStats.ErrorCount, 9) << "appending details never counts errors";

    modLog::ResetRunStats();
    const RunStatsRecord& s = modLog::RunStats;
    EXPECT_EQ(std::tuple(s.FilesProcessed, s.DuplicatesFound, s.ErrorCount, s.FilesActedOn,
                         s.ActionDetailsUpperBound(), s.ErrorDetailsUpperBound()),
              std::tuple(0, 0, 0, 0, -1, -1));
    EXPECT_EQ(QStringList({s.TimeTaken, s.StartedAt, s.EndedAt, s.RunStatus}),
              QStringList({u"0"_s, kStarted, kNow, u"Success"_s}));
}

TEST(AppLog, LineForms) {
    AppFolder app;
    modLog::LogProcedureError(u"clsCleanup.DeleteFile"_s, 53, u"File not found"_s);
    modLog::LogProcedureError(u"frmProfile.AddRow"_s, 9, u"Bad index"_s, true);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 2);
    const QRegularExpression date(u"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"_s);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral(
        "Error occured in clsCleanup.DeleteFile. Error No : 53 Desc : File not found at:")));
    EXPECT_TRUE(lines[1].startsWith(
        u"Error occued in frmProfile.AddRow. Error No : 9 Desc : Bad index at:"_s));
    EXPECT_TRUE(date.match(lines[0]).hasMatch());
}

// Dates are shown as Qt shows local time, whatever the zone: half-hour and 45-minute
// offsets, the moments either side of a change of summer time, the ends of the range the
// short road takes and what lies beyond it on either side.
TEST(LogDates, ShownDatesAreThoseOfQtsLocalTimeInEveryZone) {
    std::vector<qint64> moments = {0,          1,           59,         86399,      951782400,
                                   1711846799, 1711846800,  1729987199, 1729987200, 1743901200,
                                   2147483647, 2147483648,  -1,         -86400,     -2208988800,
                                   4102444800, 253402300799};
    for (qint64 s = 0; s < 2147483647 - 7777777; s += 7777777 + s / 97)
        moments.push_back(s);
    for (const char* zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe",
                             "Asia/Kathmandu", "America/Sao_Paulo"}) {
        const EnvVar tz("TZ", QString::fromLatin1(zone));
        ::tzset();
        for (const qint64 s : moments)
            EXPECT_EQ(
                modLog::DateTextFromSecs(s),
                QDateTime::fromSecsSinceEpoch(s).toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s))
                << zone << " " << s;
    }
    ::tzset(); // the zone of the run again
}
