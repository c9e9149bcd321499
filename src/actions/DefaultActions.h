#pragma once

#include "ActionRun.h"

#include <QString>
#include <QStringList>

class ResultsModel;

// What one headless action did, for the command line's summary.
struct ActionSummary {
    ActionRun::Outcome Outcome = ActionRun::Outcome::Finished;
    qint64 FilesActedOn = 0;   // files the remove rule was applied to
    qint64 Errors = 0;         // added to the run's error count by this action
    qint64 Removed = 0;        // rows struck through by this action
    qint64 Flagged = 0;        // rows turned red by this action
    QStringList Lines;         // the action-log lines this action wrote
    QString ReportPath;        // the report written by "Export"
    bool ExportFailed = false; // "Export" could not write its report
    bool RunLogFailed = false; // the run log could not be rewritten afterwards
};

// Runs "DeleteAll", "SingleCopy" or "Export" over every row of a freshly scanned model
// with the marks the scan gave (every file after the first of a group marked), using the
// saved rules of the profile (name with or without ".xml"). Like the window's run it
// rewrites the profile's run log when it finishes. Messages go to the given service.
// protectedFolders are protected on top of the profile's own for this action.
ActionSummary RunDefaultAction(ResultsModel& model, const QString& profileName,
                               const QString& action, ActionObserver* observer = nullptr,
                               MessageService& messages = Messages(),
                               const QStringList& protectedFolders = {});
