#pragma once

#include "engine/ScanObserver.h"

#include <QString>

#include <atomic>
#include <chrono>

// The command line's scan observer: counts the files, shows a progress line on a terminal
// a few times a second, and turns Ctrl+C into the scan's cancel.
class CliProgress final : public ScanObserver {
public:
    CliProgress(std::atomic<bool>& cancel, const std::atomic<qint64>& bytesRead, bool show);
    ~CliProgress() override;

    void DisplayFileName(const QString& path) override;
    bool WantsFileNames() const override { return false; }
    void DisplayStatus(const QString& text) override;
    void Yield() override;

    qint64 FilesProcessed() const { return m_files; }
    // Clears the progress line before the summary is written.
    void Finish();

private:
    void Show();

    std::atomic<bool>& m_cancel;
    const std::atomic<qint64>& m_bytesRead;
    bool m_show;
    bool m_shown = false;
    bool m_reading = false;
    qint64 m_files = 0;
    std::chrono::steady_clock::time_point m_last;
};
