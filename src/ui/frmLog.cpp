#include "frmLog.h"

#include "RunLogPane.h"

#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

frmLog::frmLog(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log"));
    auto* layout = new QVBoxLayout(this);
    m_pane = new RunLogPane(this);
    layout->addWidget(m_pane, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cmdClose = new QPushButton(QStringLiteral("Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(m_cmdClose);
    layout->addLayout(buttons);
    setTabOrder(m_pane->TextBox(), m_cmdClose);
    connect(m_cmdClose, &QPushButton::clicked, this, [this] {
        // Hosted, the frame goes with the window.
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
            frame->close();
        else
            close();
    });
}

void frmLog::LoadLog(const QString& profileName) {
    m_pane->LoadRunLog(profileName);
}
