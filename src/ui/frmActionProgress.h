#pragma once

#include "actions/ActionRun.h"
#include "actions/DefaultActions.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class ResultsModel;

// Carries out one confirmed command over the profile window's results and shows how far
// it got. The run stays on the window's thread: the results model is only ever touched
// there, and the run lets the window's events through between files (and while an
// archive is written), which is where a repaint or a click on Cancel gets in.
class frmActionProgress final : public QDialog {
    Q_OBJECT

public:
    // Acts on the rows of the results for the named profile (".xml" optional); the parent
    // shows the wait cursor while it runs.
    frmActionProgress(ResultsModel& results, QString profileName, QWidget* parent);
    ~frmActionProgress() override;

    void SetAction(const QString& action);
    void SetFileCount(qint64 count);
    // The options the command was offered from, saved or not; without them the profile's
    // saved ones apply.
    void UseShownSettings(const ProfileSettings& shown) { m_shown = shown; }

    // How the last run ended; empty until it has.
    std::optional<ActionRun::Outcome> Outcome() const {
        return m_summary ? std::optional(m_summary->Outcome) : std::nullopt;
    }
    // What it did; empty until it has ended.
    const std::optional<ActionSummary>& Summary() const { return m_summary; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    class Observer;

    void tmrStart_Timer();
    void cmdCancel_Click();

    ResultsModel& m_results;
    QString m_profileName;
    QString m_action;
    qint64 m_fileCount = 0;
    std::optional<ProfileSettings> m_shown;
    std::optional<ActionSummary> m_summary;
    ActionRun* m_run = nullptr; // while running
    bool m_done = false;

    QLabel* lblProgress = nullptr;
    QLabel* lblFileCount = nullptr;
    QProgressBar* pbrExecution = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* tmrStart = nullptr;
    QTimer* tmrUnloadForm = nullptr;
};
