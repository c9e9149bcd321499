#include "ScanRun.h"

#include "app/AppError.h"
#include "app/modLog.h"
#include "engine/FileList.h"
#include "engine/FolderGroups.h"
#include "engine/GroupingPass.h"
#include "profiles/IgnoreList.h"

#include <QMutexLocker>

#include <algorithm>
#include <exception>
#include <new>

ScanRun::ScanRun(const QString& profilePath) : m_profilePath(profilePath) {}

void ScanRun::Run() {
    m_lastYield = std::chrono::steady_clock::now();
    m_phase.store(Phase::Scanning, std::memory_order_release);
    try {
        FileList list;
        m_scan.SetObserver(this);
        m_scan.ExecuteProfile(m_profilePath, list, m_status);
        Yield();
        m_cancelledDuringScan = m_scan.CancelOperation.load();
        if (m_status == Success && !m_cancelledDuringScan) {
            // A Cancel confirmed from here on does not stop the grouping: the window
            // still closes along the cancelled path once the run has been recorded.
            m_phase.store(Phase::Analysing, std::memory_order_release);
            m_stage.store(Stage::Grouping, std::memory_order_relaxed);
            // Groups the person chose to ignore never reach the grid; an unreadable list
            // hides nothing.
            IgnoreList ignored;
            ignored.Load(IgnoreList::FileBeside(m_profilePath));
            IgnoringSink sink(m_recorder, ignored);
            if (m_scan.FindFolders) {
                // Folder rows, each folder group followed by its files, in place of the
                // file groups.
                std::vector<FolderGroups::Group> folders =
                    FolderGroups::Find(list, m_scan.ScannedFolders(), &m_scan.CancelOperation);
                ignored.DropFolderGroups(folders);
                m_groups = FolderGroups::HandOn(folders, m_recorder, &list);
            } else {
                m_groups =
                    GroupingPass(list,
                                 ignored.IsEmpty() ? static_cast<ResultSink&>(m_recorder) : sink,
                                 this) -
                    sink.Dropped();
            }
            modLog::RunStats.DuplicatesFound = m_groups;
            Yield();
        }
    } catch (const AppError& e) {
        m_failed = true;
        m_errorNumber = e.Number;
        m_errorDescription = e.Description;
    } catch (const std::bad_alloc&) {
        m_failed = true;
        m_errorNumber = 7;
        m_errorDescription = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        m_failed = true;
        m_errorDescription = QString::fromLocal8Bit(e.what());
    }
    m_scan.SetObserver(nullptr);
    m_phase.store(Phase::Done, std::memory_order_release);
}

QString ScanRun::LatestText(quint64* sequence) const {
    QMutexLocker lock(&m_textLock);
    if (sequence)
        *sequence = m_sequence;
    return m_latest;
}

void ScanRun::SetLatest(const QString& text) {
    QMutexLocker lock(&m_textLock);
    m_latest = text; // shares the caller's buffer; no copy under the lock
    ++m_sequence;
}

void ScanRun::DisplayFileName(const QString& path) {
    m_files.fetch_add(1, std::memory_order_relaxed);
    SetLatest(path);
}

void ScanRun::DisplayStatus(const QString& text) {
    // The one status text of a walk announces the signatures and the sort.
    m_stage.store(Stage::Signatures, std::memory_order_relaxed);
    SetLatest(text);
}

void ScanRun::Yield() {
    const auto now = std::chrono::steady_clock::now();
    const qint64 gap =
        std::chrono::duration_cast<std::chrono::microseconds>(now - m_lastYield).count();
    m_lastYield = now;
    std::atomic<qint64>& longest = m_longestGapUs[int(m_stage.load(std::memory_order_relaxed))];
    if (gap > longest.load(std::memory_order_relaxed))
        longest.store(gap, std::memory_order_relaxed);
}

qint64 ScanRun::LongestYieldGapMs() const {
    qint64 longest = 0;
    for (int s = 0; s < StageCount; ++s)
        longest = std::max(longest, LongestYieldGapMs(Stage(s)));
    return longest;
}
