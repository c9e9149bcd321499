#pragma once

#include <QString>

// How an action run talks to whoever drives it: the window shows the texts and its progress
// bar and pumps its event loop in Yield (where a click on Cancel gets through); the command
// line prints or stays silent; tests record and cancel.
class ActionObserver {
public:
    virtual ~ActionObserver() = default;

    virtual void SetMaximum(qint64 maximum) = 0;
    virtual void SetValue(qint64 value) = 0;
    // "Currently processing " + path and "Processed n of m".
    virtual void ShowProgress(const QString& processing, const QString& processed) = 0;
    // Called after every row and every progress text; may cancel the run.
    virtual void Yield() = 0;
};
