#include "DefaultActions.h"

#include "MarkRules.h"
#include "ResultsModel.h"

#include "app/modLog.h"
#include "profiles/ActionWords.h"

ActionTally::ActionTally(const ResultsModel& model)
    : m_errors(modLog::RunStats.ErrorCount), m_acted(modLog::RunStats.FilesActedOn),
      m_lines(modLog::RunStats.ActionDetails.size()) {
    m_struck.reserve(size_t(model.RowCount()));
    for (qint64 r = 1; r <= model.RowCount(); ++r) {
        m_struck.push_back(model.IsStruck(r));
        m_red += model.IsRed(r) ? 1 : 0;
    }
}

ActionSummary ActionTally::Finish(const ResultsModel& model, const ActionRun& run,
                                  ActionRun::Outcome outcome) const {
    const modLog::RunStatsRecord& stats = modLog::RunStats;
    ActionSummary s;
    s.Outcome = outcome;
    s.FilesActedOn = stats.FilesActedOn - m_acted;
    s.Errors = stats.ErrorCount - m_errors;
    qint64 red = 0;
    for (qint64 r = 1; r <= model.RowCount(); ++r) {
        red += model.IsRed(r) ? 1 : 0;
        const bool before = size_t(r - 1) < m_struck.size() && m_struck[size_t(r - 1)];
        // A folder the run emptied and removed is counted in its files.
        if (model.IsStruck(r) && !before && !model.IsFolderRow(r)) {
            ++s.Removed;
            s.FreedBytes += model.FileSize(r);
        }
    }
    s.Flagged = red - m_red;
    s.Lines = stats.ActionDetails.mid(m_lines);
    s.Copied = run.Copied();
    s.DeleteTo = run.RemoveRuleUsed();
    s.SharedFiles = run.SharedFiles();
    s.SharedBytes = run.SharedBytes();
    s.SpaceFreed = run.SpaceFreed();
    s.ReportPath = run.ReportPath();
    s.ExportFailed = run.ExportFailed();
    s.RunLogFailed = run.RunLogFailed();
    return s;
}

QString ActionSummary::Text(const QString& action) const {
    if (action == u"Export")
        return ReportPath.isEmpty() ? QStringLiteral("No report was exported")
                                    : QStringLiteral("Report written to ") + ReportPath;
    const QString errors = QString::number(Errors) +
                           (Errors == 1 ? QStringLiteral(" error") : QStringLiteral(" errors"));
    if (action == u"SingleCopy")
        return MarkRules::FilesText(Copied) + QStringLiteral(" copied, ") + errors;
    const char* done = " removed";
    switch (ActionWords::MethodOf(DeleteTo)) {
    case RemoveMethod::Trash:
        done = " sent to the trash";
        break;
    case RemoveMethod::Permanent:
        done = " deleted";
        break;
    case RemoveMethod::Move:
        done = " moved";
        break;
    case RemoveMethod::Zip:
        done = " zipped";
        break;
    case RemoveMethod::HardLink:
        done = " replaced by hard links";
        break;
    case RemoveMethod::Clone:
        // The size of the copies and the space they held are two figures here: blocks
        // already shared before free nothing again.
        return MarkRules::FilesText(SharedFiles) +
               QStringLiteral(" now sharing blocks with the kept files, ") +
               MarkRules::SizeText(SharedBytes) + QStringLiteral(" shared, ") +
               (SpaceFreed < 0 ? QStringLiteral("space freed not known")
                               : MarkRules::SizeText(SpaceFreed) + QStringLiteral(" freed")) +
               QStringLiteral(", ") + errors;
    case RemoveMethod::Unknown:
        break;
    }
    return MarkRules::FilesText(Removed) + QString::fromLatin1(done) + QStringLiteral(", ") +
           MarkRules::SizeText(FreedBytes) + QStringLiteral(" freed, ") + errors;
}

QString Concerned::Text() const {
    const QString text =
        MarkRules::FilesText(Files) + QStringLiteral(", ") + MarkRules::SizeText(Bytes);
    if (Hidden == 0)
        return text;
    return text + QStringLiteral(" (%1 hidden by the filter)").arg(MarkRules::FilesText(Hidden));
}

Concerned ConcernedBy(const ResultsModel& model, const QString& action, qint64 count) {
    qint64 first = 1;
    qint64 last = model.RowCount();
    if (action == u"Delete")
        first = last = model.CurrentRow();
    else if (action == u"DeleteGroup")
        last = (first = model.CurrentRow() + 1) + count - 1;
    else if (action == u"DeleteAll")
        last = qMin(last, count);
    Concerned c;
    for (qint64 r = qMax<qint64>(first, 1); r <= qMin(last, model.RowCount()); ++r) {
        if (model.HasEmptyMark(r) || model.IsStruck(r))
            continue;
        const bool counted = action == u"Export"       ? true
                             : action == u"SingleCopy" ? model.IsUnmarked(r)
                                                       : model.IsMarked(r);
        if (counted) {
            ++c.Files;
            c.Bytes += model.FileSize(r);
            c.Hidden += model.IsFiltered(r) ? 1 : 0;
        }
    }
    return c;
}

ActionSummary RunDefaultAction(ResultsModel& model, const QString& profileName,
                               const QString& action, ActionObserver* observer,
                               MessageService& messages, const QStringList& protectedFolders) {
    ActionRun run(model, observer, messages);
    run.Action = action;
    run.FileCount = model.RowCount();
    run.SetProtectedFolders(protectedFolders);
    model.SetCurrent(model.RowCount() > 0 ? 1 : 0, 1);
    const ActionTally tally(model);
    const ActionRun::Outcome outcome = run.Execute(profileName);
    return tally.Finish(model, run, outcome);
}
