#include "frmProgress.h"

#include "ScanRun.h"

#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modLog.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <new>

namespace {

const QString StartTick = QStringLiteral("frmProgress.tmrStart_Timer");

// How long one slice of the grid fill may hold the GUI thread. Well under the 100 ms in
// which Cancel must be heard, and long enough that the fill is not dominated by the
// event loop's own cost.
constexpr qint64 FillSliceMs = 25;
constexpr size_t FillBatch = 2048;

// Interval at which the worker's counters are shown; a label per file would be slower
// than the scan.
constexpr int RefreshMs = 100;

} // namespace

frmProgress::frmProgress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Echofind"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setTextFormat(Qt::PlainText);
    lblProgress->setMinimumWidth(420);
    pbrExecution = new QProgressBar(this);
    pbrExecution->setObjectName(QStringLiteral("pbrExecution"));
    pbrExecution->setRange(0, 100);
    pbrExecution->setValue(0);
    pbrExecution->setTextVisible(false);
    pbrExecution->setAccessibleName(QStringLiteral("Activity"));
    lblFileCount = new QLabel(this);
    lblFileCount->setObjectName(QStringLiteral("lblFileCount"));
    lblFileCount->setTextFormat(Qt::PlainText);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblProgress);
    layout->addWidget(pbrExecution);
    layout->addWidget(lblFileCount);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const auto makeTimer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        return t;
    };
    tmrStart = makeTimer("tmrStart", 1);
    tmrDisplayProgress = makeTimer("tmrDisplayProgress", 500);
    tmrElapsed = makeTimer("tmrElapsed", 1000);
    tmrUnloadForm = makeTimer("tmrUnloadForm", 1);
    m_refresh = makeTimer("refresh", RefreshMs);
    m_fill = makeTimer("fill", 0);

    connect(tmrStart, &QTimer::timeout, this, &frmProgress::tmrStart_Timer);
    connect(tmrDisplayProgress, &QTimer::timeout, this, &frmProgress::tmrDisplayProgress_Timer);
    connect(tmrElapsed, &QTimer::timeout, this, &frmProgress::tmrElapsed_Timer);
    connect(tmrUnloadForm, &QTimer::timeout, this, &frmProgress::tmrUnloadForm_Timer);
    connect(m_refresh, &QTimer::timeout, this, &frmProgress::ShowProgress);
    connect(m_fill, &QTimer::timeout, this, &frmProgress::FillNextChunk);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProgress::cmdCancel_Click);
}

frmProgress::~frmProgress() {
    // The worker must not outlive the run object it writes to.
    if (m_run)
        m_run->CancelOperation().store(true);
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
    if (m_redrawHeld && m_results)
        m_results->SetRedraw(true);
}

void frmProgress::SetProfilePath(const QString& path) {
    m_profilePath = path;
}

void frmProgress::SetResults(ResultsModel* model) {
    m_results = model;
}

int frmProgress::exec() {
    m_fileCounter = 0;
    m_elapsedSeconds = 1;
    m_result = {};
    tmrStart->start();
    return QDialog::exec();
}

bool frmProgress::CancelOperation() const {
    return m_cancelOperation;
}

qint64 frmProgress::LongestYieldGapMs() const {
    return m_run ? m_run->LongestYieldGapMs() : m_longestYieldGapMs;
}

void frmProgress::ShowNow(QLabel* label, const QString& text) {
    label->setText(label == lblProgress
                       ? label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width())
                       : text);
    label->repaint();
}

void frmProgress::tmrStart_Timer() {
    try {
        modLog::RunStats.StartedAt = modLog::Now();
        tmrStart->stop();
        ShowNow(lblProgress, QStringLiteral("Processing..."));
        ShowNow(lblFileCount, QStringLiteral("Time elapsed : %1 seconds").arg(m_elapsedSeconds));
        m_run = std::make_unique<ScanRun>(m_profilePath);
        if (m_cancelOperation)
            m_run->CancelOperation().store(true);
        tmrElapsed->start();
        m_activity = 1;
        m_groupCounter = 0;
        tmrDisplayProgress->start();
        m_refresh->start();
        // The run statistics belong to the worker until it ends: the GUI thread touches
        // them again only after the join in ScanFinished.
        ScanRun* run = m_run.get();
        m_worker = QThread::create([run] { run->Run(); });
        m_worker->setObjectName(QStringLiteral("scan"));
        connect(m_worker, &QThread::finished, this, &frmProgress::ScanFinished,
                Qt::QueuedConnection);
        m_worker->start();
    } catch (const std::bad_alloc&) {
        FailStartTick(7, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        FailStartTick(0, QString::fromLocal8Bit(e.what()));
    }
}

void frmProgress::ShowProgress() {
    if (!m_run)
        return;
    m_fileCounter = m_run->FilesCounted();
    const ScanRun::Phase phase = m_run->CurrentPhase();
    if (phase == ScanRun::Phase::Analysing || m_analysing) {
        if (!m_analysing) {
            m_analysing = true;
            ShowNow(lblProgress, QStringLiteral("Analysing the scan result. This could take a "
                                                "couple of minutes. Please wait..."));
        }
        ShowNow(lblFileCount, QStringLiteral("Time elapsed : %1 seconds").arg(m_elapsedSeconds));
        return;
    }
    quint64 sequence = 0;
    const QString text = m_run->LatestText(&sequence);
    if (sequence != m_shownSequence) {
        m_shownSequence = sequence;
        ShowNow(lblProgress, text);
    }
    QString count =
        QStringLiteral("Processed %1 files in %2 seconds").arg(m_fileCounter).arg(m_elapsedSeconds);
    // Within a large file the count of files stands still; the bytes read do not.
    if (const qint64 bytes = m_run->BytesRead(); bytes > 0)
        count += QStringLiteral(", ") + MarkRules::SizeText(bytes) + QStringLiteral(" read");
    ShowNow(lblFileCount, count);
}

void frmProgress::ScanFinished() {
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    m_refresh->stop();
    ShowProgress();
    try {
        if (m_run->Failed()) {
            FailStartTick(m_run->ErrorNumber(), m_run->ErrorDescription());
            return;
        }
        if (m_run->Status() != Success) {
            Messages().Inform(QStringLiteral("Error occured while executing the selected profile"));
            m_cancelOperation = true;
            m_run->CancelOperation().store(true);
            m_result.How = Ending::Failed;
            m_result.Summary = {false, m_fileCounter, 0, m_elapsedSeconds};
            tmrUnloadForm->start();
            return;
        }
        if (m_run->CancelledDuringScan()) {
            m_cancelOperation = true;
            tmrUnloadForm->start();
            return;
        }
        m_groupCounter = m_run->GroupCount();
        if (!m_analysing) {
            m_analysing = true;
            ShowNow(lblProgress, QStringLiteral("Analysing the scan result. This could take a "
                                                "couple of minutes. Please wait..."));
        }
        ShowNow(lblFileCount, QStringLiteral("Time elapsed : %1 seconds").arg(m_elapsedSeconds));
        ResultsModel* model = m_results;
        if (!model) {
            FinishRun();
            return;
        }
        // One reset for the whole fill: the views hear nothing until the last row is in.
        model->ClearRecs();
        model->SetRedraw(false);
        m_redrawHeld = true;
        m_replayed = 0;
        m_fill->start();
    } catch (const std::bad_alloc&) {
        FailStartTick(7, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        FailStartTick(0, QString::fromLocal8Bit(e.what()));
    }
}

void frmProgress::FillNextChunk() {
    try {
        ResultsModel* model = m_results;
        GroupRecorder& groups = m_run->Groups();
        QElapsedTimer slice;
        slice.start();
        while (m_replayed < groups.Size() && slice.elapsed() < FillSliceMs)
            m_replayed = groups.Replay(*model, m_replayed, FillBatch);
        if (m_replayed < groups.Size())
            return;
        m_fill->stop();
        m_redrawHeld = false;
        model->SetRedraw(true);
        FinishRun();
    } catch (const std::bad_alloc&) {
        FailStartTick(7, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        FailStartTick(0, QString::fromLocal8Bit(e.what()));
    }
}

void frmProgress::FinishRun() {
    ShowNow(lblProgress, QStringLiteral("Processing over"));
    tmrDisplayProgress->stop();
    pbrExecution->setValue(100);

    // A Cancel heard while the grid was filled still stops the run.
    m_result.How = m_cancelOperation ? Ending::Stopped : Ending::Finished;
    m_result.Summary = {true, m_fileCounter, m_groupCounter, m_elapsedSeconds};
    if (m_results && m_results->RowCount() > 0)
        m_results->SetCurrent(1, 1);
    tmrUnloadForm->start();
}

void frmProgress::FailStartTick(qint64 number, const QString& description) {
    // The tick ends here, but the window must still close: it goes along the cancelled
    // path, so nothing of this run is recorded as a success.
    modLog::LogProcedureError(StartTick, number, description, true);
    m_fill->stop();
    if (m_redrawHeld) {
        m_redrawHeld = false;
        if (m_results)
            m_results->SetRedraw(true);
    }
    m_refresh->stop();
    tmrStart->stop();
    tmrDisplayProgress->stop();
    m_cancelOperation = true;
    m_result.How = Ending::Stopped;
    if (m_run)
        m_run->CancelOperation().store(true);
    if (!m_worker)
        tmrUnloadForm->start();
}

void frmProgress::tmrDisplayProgress_Timer() {
    if (m_activity % 100 == 0)
        m_activity = 1;
    pbrExecution->setValue(m_activity);
    ++m_activity;
}

void frmProgress::tmrElapsed_Timer() {
    ++m_elapsedSeconds;
}

void frmProgress::tmrUnloadForm_Timer() {
    tmrUnloadForm->stop();
    tmrElapsed->stop();
    tmrDisplayProgress->stop();
    m_refresh->stop();
    m_closing = true;
    done(m_cancelOperation ? QDialog::Rejected : QDialog::Accepted);
    if (m_run) {
        m_longestYieldGapMs = m_run->LongestYieldGapMs();
        m_run.reset();
    }
}

void frmProgress::cmdCancel_Click() {
    if (m_closing)
        return;
    if (!Messages().Ask(QStringLiteral("Do you want to cancel the operation?")))
        return;
    if (m_closing)
        return; // the run ended while the question was open
    m_cancelOperation = true;
    m_result.How = Ending::Stopped;
    if (m_run)
        m_run->CancelOperation().store(true);
    ShowNow(lblProgress, QStringLiteral("Cancelling the operation..."));
}

void frmProgress::closeEvent(QCloseEvent* event) {
    // The window's close button is another way to ask for Cancel; the run closes it.
    if (!m_closing) {
        event->ignore();
        cmdCancel_Click();
        return;
    }
    QDialog::closeEvent(event);
}

void frmProgress::reject() {
    if (m_closing) {
        QDialog::reject();
        return;
    }
    cmdCancel_Click();
}
