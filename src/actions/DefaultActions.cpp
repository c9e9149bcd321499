#include "DefaultActions.h"

#include "ResultsModel.h"

#include "app/modLog.h"

namespace {

struct RowStyles {
    qint64 Struck = 0;
    qint64 Red = 0;
};

RowStyles CountStyles(const ResultsModel& model) {
    RowStyles s;
    for (qint64 r = 1; r <= model.RowCount(); ++r) {
        s.Struck += model.IsStruck(r) ? 1 : 0;
        s.Red += model.IsRed(r) ? 1 : 0;
    }
    return s;
}

} // namespace

ActionSummary RunDefaultAction(ResultsModel& model, const QString& profileName,
                               const QString& action, ActionObserver* observer,
                               MessageService& messages, const QStringList& protectedFolders) {
    const modLog::RunStatsRecord& stats = modLog::RunStats;
    const qint64 errorsBefore = stats.ErrorCount;
    const qint64 actedBefore = stats.FilesActedOn;
    const qsizetype linesBefore = stats.ActionDetails.size();
    const RowStyles before = CountStyles(model);

    ActionRun run(model, observer, messages);
    run.Action = action;
    run.FileCount = model.RowCount();
    run.SetProtectedFolders(protectedFolders);
    model.SetCurrent(model.RowCount() > 0 ? 1 : 0, 1);

    ActionSummary summary;
    summary.Outcome = run.Execute(profileName);
    const RowStyles after = CountStyles(model);
    summary.FilesActedOn = stats.FilesActedOn - actedBefore;
    summary.Errors = stats.ErrorCount - errorsBefore;
    summary.Removed = after.Struck - before.Struck;
    summary.Flagged = after.Red - before.Red;
    summary.Lines = stats.ActionDetails.mid(linesBefore);
    summary.ReportPath = run.ReportPath();
    summary.ExportFailed = run.ExportFailed();
    summary.RunLogFailed = run.RunLogFailed();
    return summary;
}
