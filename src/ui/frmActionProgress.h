#pragma once

#include "actions/ActionRun.h"
#include "actions/RemoveRule.h"

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
    // The removal the person confirmed; without it the profile's saved one applies.
    void SetRemoveRule(const RemoveRule& rule);
    // Folders protected on top of the saved profile's for this run.
    void SetProtectedFolders(const QStringList& folders) { m_protectedFolders = folders; }

    // How the last run ended; empty until it has.
    std::optional<ActionRun::Outcome> Outcome() const { return m_outcome; }

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
    std::optional<RemoveRule> m_rule;
    QStringList m_protectedFolders;
    std::optional<ActionRun::Outcome> m_outcome;
    ActionRun* m_run = nullptr; // while running
    bool m_done = false;

    QLabel* lblProgress = nullptr;
    QLabel* lblFileCount = nullptr;
    QProgressBar* pbrExecution = nullptr;
    QPushButton* cmdCancel = nullptr;
    QTimer* tmrStart = nullptr;
    QTimer* tmrUnloadForm = nullptr;
};
