#pragma once

#include <QString>

// One action run at a time per application folder, whichever window, command line or
// profile starts it: two runs with opposite marks each see the other's kept copy still in
// place and would together delete both. Held for the whole run; a process that already
// holds it (the command line around its actions) takes it again at once.
class RunLock {
public:
    enum class Result { Taken, Busy, Failed };

    // The lock file in the application folder.
    static QString File();

    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Waits for the other run to end when asked; Failed when the lock file cannot be had at
    // all (Error says why), which no action run goes on without.
    Result Take(bool wait);
    QString Error() const { return m_error; }

    static inline const QString BusyText =
        QStringLiteral("Another action run is in progress. Nothing was done; please try again "
                       "when it has finished.");

private:
    bool m_mine = false;
    QString m_error;
};
