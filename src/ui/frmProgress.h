#pragma once

#include "profiles/RunRecord.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class ResultsModel;
class ScanRun;

// The modal window in which one scan runs from start to end. The walk, the signatures and
// the grouping run on a worker thread that knows no widgets; this window only listens to
// its counters, asks the cancel question and, at the end, fills the results grid on the
// GUI thread and closes itself. What follows (recording the run, showing the results) is
// the caller's, from the result it returns.
class frmProgress final : public QDialog {
    Q_OBJECT

public:
    explicit frmProgress(QWidget* parent = nullptr);
    ~frmProgress() override;

    enum class Ending {
        Finished, // the groups are in the results
        Failed,   // the profile could not be scanned; the user was told
        Stopped,  // cancelled, or an unexpected error (logged): nothing to record
    };
    struct Result {
        Ending How = Ending::Stopped;
        ScanSummary Summary; // for a finished or failed run
    };

    // The profile document to scan: the profile folder + name + ".xml".
    void SetProfilePath(const QString& path);
    // Where the groups go.
    void SetResults(ResultsModel* model);

    // Runs the whole scan and returns once the window has closed: Accepted when finished.
    int exec() override;
    // How the last run ended.
    const Result& Outcome() const { return m_result; }

    // True once the user confirmed the cancel question, or the run failed.
    bool CancelOperation() const;
    // The worst pause of the scan between two chances to hear Cancel, in milliseconds.
    qint64 LongestYieldGapMs() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void tmrStart_Timer();
    void tmrDisplayProgress_Timer();
    void tmrElapsed_Timer();
    void tmrUnloadForm_Timer();
    void cmdCancel_Click();
    void ShowProgress();
    void ScanFinished();
    void FillNextChunk();
    void FinishRun();
    void FailStartTick(qint64 number, const QString& description);
    void ShowNow(QLabel* label, const QString& text);

    QString m_profilePath;
    ResultsModel* m_results = nullptr;
    Result m_result;

    QProgressBar* pbrExecution = nullptr;
    QLabel* lblProgress = nullptr;
    QLabel* lblFileCount = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* tmrStart = nullptr;
    QTimer* tmrDisplayProgress = nullptr;
    QTimer* tmrElapsed = nullptr;
    QTimer* tmrUnloadForm = nullptr;
    QTimer* m_refresh = nullptr; // shows the worker's counters a few times a second
    QTimer* m_fill = nullptr;    // fills the grid in slices so the window keeps painting

    std::unique_ptr<ScanRun> m_run;
    QThread* m_worker = nullptr;
    qint64 m_fileCounter = 0;
    int m_elapsedSeconds = 1;
    int m_activity = 1;
    qint64 m_groupCounter = 0;
    size_t m_replayed = 0;
    quint64 m_shownSequence = 0;
    qint64 m_longestYieldGapMs = 0;
    bool m_cancelOperation = false;
    bool m_redrawHeld = false; // the model's redraw is off while the fill runs
    bool m_analysing = false;
    bool m_closing = false;
};
