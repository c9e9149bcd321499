#include "RunRecord.h"

#include "Catalogue.h"

#include "app/modLog.h"

RecordedRun RecordRun(const QString& profileName, const ScanSummary& scan) {
    RecordedRun recorded;
    if (!scan.Succeeded) {
        recorded.Status = QStringLiteral("Error");
        recorded.LastRun = modLog::Now();
    } else {
        modLog::RunStatsRecord& stats = modLog::RunStats;
        stats.FilesProcessed = scan.Files;
        stats.TimeTaken = QString::number(qMax<qint64>(1, scan.Seconds));
        stats.DuplicatesFound = scan.Groups;
        stats.EndedAt = modLog::Now();
        stats.RunStatus = QStringLiteral("Success");
        recorded.RunLogWritten = modLog::WriteRunLog(profileName);
        recorded.Status = stats.RunStatus;
        recorded.LastRun = stats.EndedAt;
    }
    Catalogue::UpdateProfile(profileName, recorded.Status, recorded.LastRun);
    return recorded;
}
