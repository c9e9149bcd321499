#include "DuplicatesPane.h"

#include "DesktopOpen.h"
#include "ResultsGrid.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

DuplicatesPane::DuplicatesPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fraRunResult"));
    m_model = new ResultsModel(this);
    m_grid = new ResultsGrid(this);
    m_grid->SetResultsModel(m_model);
    m_actions = new QWidget(this);
    m_actions->setObjectName(QStringLiteral("fraActions"));
    auto* actionsLayout = new QHBoxLayout(m_actions);
    actionsLayout->setContentsMargins(0, 0, 0, 0);
    actionsLayout->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_actions);
    setFocusProxy(m_grid);
    connect(m_grid, &ResultsGrid::FileOpenRequested, this, &DuplicatesPane::OpenFile);
}

DuplicatesPane::~DuplicatesPane() = default;

ResultsModel& DuplicatesPane::Model() {
    return *m_model;
}

const ResultsModel& DuplicatesPane::Model() const {
    return *m_model;
}

void DuplicatesPane::RowHighlight(const QString& source) {
    m_grid->RowHighlight(source);
}

void DuplicatesPane::OpenFile(qint64 row) {
    // A struck file was removed from its path; the desktop would only say it is missing.
    if (m_model->IsStruck(row)) {
        Messages().Inform(
            QStringLiteral("Cannot open the selected file as it has already been deleted"));
        return;
    }
    const QString path = m_model->Text(row, 3);
    if (!DesktopOpen::Open(path))
        Messages().Inform(QStringLiteral("Could not open ") + PathCodec::Display(path));
}
