#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <ctime>
#include <vector>

using namespace testing_support;
using modLog::RunStatsRecord;

namespace {

const QString kStarted = QStringLiteral("2026-12-06 10:00:00");
const QString kNow = QStringLiteral("2026-12-06 10:00:03");

QByteArray Golden(const char* name) {
    QFile f(QStringLiteral(ECHOFIND_TEST_DATA "/golden/") + QString::fromLatin1(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

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
    EXPECT_EQ(modLog::BuildRunLog(QStringLiteral("Photos"), Stats(120, 7, "3", 0), kNow),
              Golden("runlog_clean.rtf"));

    // Error details in red with their backslashes doubled, then the error status.
    RunStatsRecord errors = Stats(5, 0, "1", 2);
    errors.ErrorDetails << QStringLiteral("/home/ann/locked.txt -  details could not be retrieved")
                        << QStringLiteral("/srv/odd\\name.txt -  details could not be retrieved");
    EXPECT_EQ(modLog::BuildRunLog(QStringLiteral("Work"), errors, kNow),
              Golden("runlog_errors.rtf"));

    // Two action batches, each closed by a hyphen line.
    RunStatsRecord actions = Stats(40, 2, "2", 1);
    actions.ActionDetails << QStringLiteral("/data/a/x.txt - Moved to Recyclebin")
                          << QStringLiteral("finished")
                          << QStringLiteral("/data/b/y.txt - Deleted permanently")
                          << QStringLiteral("/data/b/z.txt - Error occured while deleting file")
                          << QStringLiteral("finished");
    EXPECT_EQ(modLog::BuildRunLog(QStringLiteral("Photos"), actions, kNow),
              Golden("runlog_actions.rtf"));

    // An error count without any detail still turns the status into "Error".
    EXPECT_EQ(modLog::BuildRunLog(QStringLiteral("Photos"), Stats(3, 1, "1", 1), kNow),
              Golden("runlog_error_count_only.rtf"));

    // A 70-character name leaves no blank before " Started at : ".
    const QString name70 = QString(60, u'N') + QStringLiteral("0123456789");
    EXPECT_EQ(modLog::BuildRunLog(name70, Stats(0, 0, "1", 0), kNow), Golden("runlog_name70.rtf"));
}

TEST(RunLog, LongerNameGetsNoPadding) {
    const QString name = QString(75, u'x');
    const QByteArray log = modLog::BuildRunLog(name, Stats(0, 0, "1", 0), kNow);
    EXPECT_TRUE(log.contains(name.toLatin1() + " Started at : " + kStarted.toLatin1()));
}

TEST(RunLog, BracesAndAccentsStayValidRtf) {
    AppFolder app;
    modLog::RunStats = Stats(1, 0, "1", 1);
    modLog::RunStats.ErrorDetails << QStringLiteral(
        "/home/zoë/{draft}.txt -  details could not be retrieved");
    modLog::RunStats.ActionDetails << QStringLiteral("/home/zoë/日本 - Moved to Recyclebin")
                                   << QStringLiteral("finished");
    modLog::WriteRunLog(QStringLiteral("Café {1}"));

    QFile f(modCommon::LogPath + QStringLiteral("Café {1}.log"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray log = f.readAll();

    for (char c : log)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "non-ASCII byte in the run log";
    EXPECT_TRUE(log.contains("Profile : Caf\\u233? \\{1\\}"));
    EXPECT_TRUE(log.contains("/home/zo\\u235?/\\{draft\\}.txt"));
    EXPECT_TRUE(log.contains("/home/zo\\u235?/\\u26085?\\u26412? - Moved to Recyclebin"));

    // Unescaped braces must balance or an RTF reader drops the rest of the document.
    int depth = 0;
    for (qsizetype i = 0; i < log.size(); ++i) {
        if (log[i] == '\\') {
            ++i;
            continue;
        }
        if (log[i] == '{')
            ++depth;
        if (log[i] == '}')
            --depth;
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
    modLog::RunStats.ErrorDetails << raw + QStringLiteral(" -  details could not be retrieved");
    modLog::RunStats.ActionDetails << raw + QStringLiteral(" - Deleted permanently")
                                   << QStringLiteral("finished");
    modLog::WriteRunLog(QStringLiteral("P"));
    const QByteArray log =
        app.Tree().Read(modCommon::LogPath.mid(app.Tree().Root().size()) + QStringLiteral("P.log"));
    EXPECT_TRUE(log.contains("/srv/caf\\\\xE9\\\\u000Afake line.txt -  details"))
        << log.constData();
    EXPECT_TRUE(log.contains("/srv/caf\\\\xE9\\\\u000Afake line.txt - Deleted permanently"));
    EXPECT_EQ(log.count("fake line"), 2);
    EXPECT_FALSE(log.contains("\\u-"));

    modAPI::MyDeleteFile(raw);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("/srv/caf\\xE9\\u000Afake line.txt at:")))
        << lines[0].toStdString();
}

TEST(RunLog, FailedRewriteKeepsThePreviousLog) {
    AppFolder app;
    const QString path = modCommon::LogPath + QStringLiteral("Photos.log");
    modLog::RunStats = Stats(1, 0, "1", 0);
    modLog::WriteRunLog(QStringLiteral("Photos"));
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray previous = before.readAll();
    before.close();

    modLog::RunStats.ErrorDetails << QString(2000, u'e');
    modLog::RunStats.ErrorCount = 1;
    {
        FileSizeLimit limit(512);
        modLog::WriteRunLog(QStringLiteral("Photos"));
    }

    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), previous);
    EXPECT_EQ(QDir(modCommon::LogPath).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file may be left behind";
}

TEST(RunStats, ResetClearsCountsButKeepsRunTimes) {
    modLog::RunStats = Stats(9, 9, "9", 9);
    modLog::RunStats.EndedAt = kNow;
    modLog::RunStats.RunStatus = QStringLiteral("Success");
    modLog::RunStats.FilesActedOn = 4;
    modLog::LogErrDetails(QStringLiteral("e"));
    modLog::LogActionDetails(QStringLiteral("a"));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 9) << "appending details never counts errors";

    modLog::ResetRunStats();
    const RunStatsRecord& s = modLog::RunStats;
    EXPECT_EQ(s.FilesProcessed, 0);
    EXPECT_EQ(s.DuplicatesFound, 0);
    EXPECT_EQ(s.ErrorCount, 0);
    EXPECT_EQ(s.FilesActedOn, 0);
    EXPECT_EQ(s.TimeTaken, QStringLiteral("0"));
    EXPECT_EQ(s.ActionDetailsUpperBound(), -1);
    EXPECT_EQ(s.ErrorDetailsUpperBound(), -1);
    EXPECT_EQ(s.StartedAt, kStarted);
    EXPECT_EQ(s.EndedAt, kNow);
    EXPECT_EQ(s.RunStatus, QStringLiteral("Success"));
}

TEST(AppLog, LineForms) {
    AppFolder app;
    modLog::LogProcedureError(QStringLiteral("clsCleanup.DeleteFile"), 53,
                              QStringLiteral("File not found"));
    modLog::LogProcedureError(QStringLiteral("frmProfile.AddRow"), 9, QStringLiteral("Bad index"),
                              true);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 2);
    const QRegularExpression date(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral(
        "Error occured in clsCleanup.DeleteFile. Error No : 53 Desc : File not found at:")));
    EXPECT_TRUE(lines[1].startsWith(
        QStringLiteral("Error occued in frmProfile.AddRow. Error No : 9 Desc : Bad index at:")));
    EXPECT_TRUE(date.match(lines[0]).hasMatch());
}

// Dates are shown as Qt shows local time, whatever the zone: half-hour and 45-minute
// offsets, the moments either side of a change of summer time, the ends of the range the
// short road takes and what lies beyond it on either side.
TEST(LogDates, ShownDatesAreThoseOfQtsLocalTimeInEveryZone) {
    const QByteArray savedTz = qgetenv("TZ");
    const bool hadTz = qEnvironmentVariableIsSet("TZ");
    std::vector<qint64> moments = {0,          1,           59,         86399,      951782400,
                                   1711846799, 1711846800,  1729987199, 1729987200, 1743901200,
                                   2147483647, 2147483648,  -1,         -86400,     -2208988800,
                                   4102444800, 253402300799};
    for (qint64 s = 0; s < 2147483647 - 7777777; s += 7777777 + s / 97)
        moments.push_back(s);
    for (const char* zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Australia/Lord_Howe",
                             "Asia/Kathmandu", "America/Sao_Paulo"}) {
        qputenv("TZ", zone);
        ::tzset();
        for (const qint64 s : moments)
            EXPECT_EQ(modLog::DateTextFromSecs(s),
                      QDateTime::fromSecsSinceEpoch(s).toLocalTime().toString(
                          QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                << zone << " " << s;
    }
    if (hadTz)
        qputenv("TZ", savedTz);
    else
        qunsetenv("TZ");
    ::tzset();
}
