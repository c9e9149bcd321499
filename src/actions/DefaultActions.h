#pragma once

#include "ActionRun.h"

#include <QString>
#include <QStringList>

#include <vector>

class ResultsModel;

// What one headless action did, for the command line's summary.
struct ActionSummary {
    ActionRun::Outcome Outcome = ActionRun::Outcome::Finished;
    qint64 FilesActedOn = 0;   // files the remove rule was applied to
    qint64 Errors = 0;         // added to the run's error count by this action
    qint64 Removed = 0;        // rows struck through by this action
    qint64 Flagged = 0;        // rows turned red by this action
    QStringList Lines;         // the action-log lines this action wrote
    qint64 Copied = 0;         // single copies made by this action
    qint64 FreedBytes = 0;     // the sizes of the rows struck through by this action
    QString ReportPath;        // the report written by "Export"
    bool ExportFailed = false; // "Export" could not write its report
    bool RunLogFailed = false; // the run log could not be rewritten afterwards

    QString DeleteTo; // the remove rule the action went by
    // Of a "clone" run: the files that came to share blocks, their size, and the free space
    // measured on their file systems (-1 when not known).
    qint64 SharedFiles = 0;
    qint64 SharedBytes = 0;
    qint64 SpaceFreed = -1;

    // One line for the status bar: "57 files sent to the trash, 68.7 MB freed, 0 errors",
    // "Report written to /x/P.html".
    QString Text(const QString& action) const;
};

// Counts what one action run does to the rows and to the run's statistics: taken before
// the run, finished after it.
class ActionTally {
public:
    explicit ActionTally(const ResultsModel& model);
    ActionSummary Finish(const ResultsModel& model, const ActionRun& run,
                         ActionRun::Outcome outcome) const;

private:
    qint64 m_errors = 0;
    qint64 m_acted = 0;
    qsizetype m_lines = 0;
    std::vector<bool> m_struck;
    qint64 m_red = 0;
};

// What a command is about to act on, for its confirmation: "57 files, 68.7 MB".
struct Concerned {
    qint64 Files = 0;
    qint64 Bytes = 0;
    qint64 Hidden = 0; // of the files, those the grid's filter hides: acted on unseen
    QString Text() const;
};
// For a run of the action over count rows as ActionRun walks them from the current row:
// the marked files not yet removed; for "SingleCopy" the unmarked ones; for "Export" all.
Concerned ConcernedBy(const ResultsModel& model, const QString& action, qint64 count);

// Runs "DeleteAll", "SingleCopy" or "Export" over every row of a freshly scanned model
// with the marks the scan gave (every file after the first of a group marked), using the
// saved rules of the profile (name with or without ".xml"). Like the window's run it
// rewrites the profile's run log when it finishes. Messages go to the given service.
// protectedFolders are protected on top of the profile's own for this action.
ActionSummary RunDefaultAction(ResultsModel& model, const QString& profileName,
                               const QString& action, ActionObserver* observer = nullptr,
                               MessageService& messages = Messages(),
                               const QStringList& protectedFolders = {});
