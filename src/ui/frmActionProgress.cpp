#include "frmActionProgress.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

int ToBar(qint64 value) {
    return int(std::clamp<qint64>(value, 0, std::numeric_limits<int>::max()));
}

} // namespace

class frmActionProgress::Observer final : public ActionObserver {
public:
    explicit Observer(frmActionProgress& window) : m_window(window) {}

    void SetMaximum(qint64 maximum) override { m_window.pbrExecution->setMaximum(ToBar(maximum)); }
    void SetValue(qint64 value) override {
        m_window.pbrExecution->setValue(qMin(ToBar(value), m_window.pbrExecution->maximum()));
    }
    void ShowProgress(const QString& processing, const QString& processed) override {
        // After a confirmed Cancel the window says so until the run has stopped.
        if (m_window.m_run && m_window.m_run->CancelRequested())
            return;
        m_window.lblProgress->setText(processing);
        m_window.lblFileCount->setText(processed);
    }
    void Yield() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

private:
    frmActionProgress& m_window;
};

frmActionProgress::frmActionProgress(ResultsModel& results, QString profileName, QWidget* parent)
    : QDialog(parent), m_results(results), m_profileName(std::move(profileName)) {
    setObjectName(QStringLiteral("frmActionProgress"));
    setWindowTitle(QStringLiteral("Echofind"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("vcFRAME1"));
    frame->setFrameShape(QFrame::StyledPanel);
    lblProgress = new QLabel(frame);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    // A long path must not widen the window past the screen.
    lblProgress->setMinimumWidth(420);
    lblProgress->setWordWrap(true);
    lblProgress->setTextFormat(Qt::PlainText);
    lblFileCount = new QLabel(frame);
    lblFileCount->setObjectName(QStringLiteral("lblFileCount"));
    pbrExecution = new QProgressBar(frame);
    pbrExecution->setObjectName(QStringLiteral("pbrExecution"));
    pbrExecution->setTextVisible(false);
    pbrExecution->setAccessibleName(QStringLiteral("Progress"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), frame);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(lblProgress);
    inner->addWidget(lblFileCount);
    inner->addWidget(pbrExecution);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCancel);
    inner->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);

    tmrStart = new QTimer(this);
    tmrStart->setObjectName(QStringLiteral("tmrStart"));
    tmrStart->setInterval(1);
    tmrUnloadForm = new QTimer(this);
    tmrUnloadForm->setObjectName(QStringLiteral("tmrUnloadForm"));
    tmrUnloadForm->setInterval(1);
    connect(tmrStart, &QTimer::timeout, this, &frmActionProgress::tmrStart_Timer);
    connect(tmrUnloadForm, &QTimer::timeout, this, [this] {
        tmrUnloadForm->stop();
        m_done = true;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &frmActionProgress::cmdCancel_Click);
}

frmActionProgress::~frmActionProgress() = default;

void frmActionProgress::SetAction(const QString& action) {
    m_action = action;
}

void frmActionProgress::SetFileCount(qint64 count) {
    m_fileCount = count;
}

void frmActionProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_summary && !m_run)
        tmrStart->start();
}

void frmActionProgress::tmrStart_Timer() {
    tmrStart->stop();
    Observer observer(*this);
    ActionRun withObserver(m_results, &observer);
    withObserver.Action = m_action;
    withObserver.FileCount = m_fileCount;
    if (m_shown)
        withObserver.UseShownSettings(*m_shown);
    m_run = &withObserver;
    QWidget* owner = parentWidget();
    if (owner)
        owner->setCursor(Qt::WaitCursor);
    const QPointer<frmActionProgress> alive(this);
    const ActionTally tally(m_results);
    const ActionRun::Outcome outcome = withObserver.Execute(m_profileName);
    if (!alive)
        return;
    m_run = nullptr;
    m_summary = tally.Finish(m_results, withObserver, outcome);
    if (owner)
        owner->unsetCursor();
    tmrUnloadForm->start();
}

void frmActionProgress::cmdCancel_Click() {
    if (!m_run || m_run->CancelRequested())
        return;
    if (!Messages().Ask(QStringLiteral("Do you want to cancel the operation?"),
                        MessageService::Answer::No))
        return;
    // The run may have ended while the question was open.
    if (!m_run)
        return;
    m_run->Cancel();
    lblProgress->setText(QStringLiteral("Cancelling the operation..."));
}

void frmActionProgress::closeEvent(QCloseEvent* event) {
    // Closing the frame while files are being processed is the Cancel button.
    if (!m_done) {
        event->ignore();
        cmdCancel_Click();
        return;
    }
    QDialog::closeEvent(event);
}

void frmActionProgress::reject() {
    if (!m_done) {
        cmdCancel_Click();
        return;
    }
    QDialog::reject();
}
