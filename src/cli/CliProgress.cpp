#include "CliProgress.h"

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

constexpr auto kRefresh = std::chrono::milliseconds(200);

} // namespace

CliProgress::CliProgress(std::atomic<bool>& cancel, const std::atomic<qint64>& bytesRead, bool show)
    : m_cancel(cancel), m_bytesRead(bytesRead), m_show(show),
      m_last(std::chrono::steady_clock::now()) {
    std::signal(SIGINT, OnInterrupt);
}

CliProgress::~CliProgress() {
    std::signal(SIGINT, SIG_DFL);
}

void CliProgress::DisplayFileName(const QString&) {
    ++m_files;
}

void CliProgress::DisplayStatus(const QString&) {
    m_reading = true;
}

void CliProgress::Yield() {
    if (g_interrupted)
        m_cancel = true;
    if (!m_show)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < kRefresh)
        return;
    m_last = now;
    Show();
}

void CliProgress::Show() {
    if (m_reading)
        std::fprintf(stderr, "\r%lld files, %.1f MiB read for signatures   ",
                     static_cast<long long>(m_files),
                     double(m_bytesRead.load(std::memory_order_relaxed)) / (1024.0 * 1024.0));
    else
        std::fprintf(stderr, "\r%lld files   ", static_cast<long long>(m_files));
    std::fflush(stderr);
    m_shown = true;
}

void CliProgress::Finish() {
    if (m_shown)
        std::fputs("\r\033[K", stderr);
    m_shown = false;
}
