#pragma once

#include <QWidget>

class QPushButton;
class RunLogPane;

// The run log of the profile selected in the main window, read-only.
class frmLog final : public QWidget {
    Q_OBJECT

public:
    explicit frmLog(QWidget* parent = nullptr);

    // Shows the run log of that profile; empty when it never ran.
    void LoadLog(const QString& profileName);
    RunLogPane* Pane() const { return m_pane; }

private:
    RunLogPane* m_pane = nullptr;
    QPushButton* m_cmdClose = nullptr;
};
