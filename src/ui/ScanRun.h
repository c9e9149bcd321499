#pragma once

#include "GroupRecorder.h"

#include "engine/ScanObserver.h"
#include "engine/clsFindFile.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <chrono>

// One scan as the scan window runs it on a worker thread: the profile's walk and sort,
// then the grouping pass into a recorder. It knows no widget. The window reads the
// counters below from the GUI thread a few times a second and sets the cancel flag; the
// recorded groups and the outcome are read only after the worker has ended.
class ScanRun final : public ScanObserver {
public:
    enum class Phase { Starting, Scanning, Analysing, Done };
    // Where a run spends its time, for the longest-pause figures below.
    enum class Stage { Walk, Signatures, Grouping };
    static constexpr int StageCount = 3;

    explicit ScanRun(const QString& profilePath);

    // The whole run; call it on the worker thread, once.
    void Run();

    std::atomic<bool>& CancelOperation() { return m_scan.CancelOperation; }

    // Readable from any thread while the run works.
    Phase CurrentPhase() const { return m_phase.load(std::memory_order_acquire); }
    qint64 FilesCounted() const { return m_files.load(std::memory_order_relaxed); }
    // Bytes read for the signatures so far, growing within a large file too.
    qint64 BytesRead() const { return m_scan.BytesRead().load(std::memory_order_relaxed); }
    Stage CurrentStage() const { return m_stage.load(std::memory_order_relaxed); }
    // The last file name or phase text and a number that grows with each new one, so a
    // reader repaints only what changed.
    QString LatestText(quint64* sequence = nullptr) const;
    // The longest time the engine went without a chance to hear Cancel, so far, over the
    // whole run or within one stage.
    qint64 LongestYieldGapMs() const;
    qint64 LongestYieldGapMs(Stage stage) const {
        return m_longestGapUs[int(stage)].load(std::memory_order_relaxed) / 1000;
    }

    // Valid once Run has returned.
    int Status() const { return m_status; }
    // Whether the walk ended because Cancel was confirmed before it finished; the groups
    // are then not formed.
    bool CancelledDuringScan() const { return m_cancelledDuringScan; }
    qint64 GroupCount() const { return m_groups; }
    GroupRecorder& Groups() { return m_recorder; }
    // An error nothing below trapped: the run step ends and the window logs it.
    bool Failed() const { return m_failed; }
    qint64 ErrorNumber() const { return m_errorNumber; }
    QString ErrorDescription() const { return m_errorDescription; }

    // ScanObserver, called on the worker thread.
    void DisplayFileName(const QString& path) override;
    void DisplayStatus(const QString& text) override;
    void Yield() override;

private:
    void SetLatest(const QString& text);

    QString m_profilePath;
    clsFindFile m_scan;
    GroupRecorder m_recorder;

    std::atomic<Phase> m_phase{Phase::Starting};
    std::atomic<qint64> m_files{0};
    std::atomic<Stage> m_stage{Stage::Walk};
    std::atomic<qint64> m_longestGapUs[StageCount] = {};
    std::chrono::steady_clock::time_point m_lastYield;

    mutable QMutex m_textLock;
    QString m_latest;
    quint64 m_sequence = 0;

    int m_status = 3;
    bool m_cancelledDuringScan = false;
    qint64 m_groups = 0;
    bool m_failed = false;
    qint64 m_errorNumber = 0;
    QString m_errorDescription;
};
