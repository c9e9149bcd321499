#include "DuplicatesPane.h"

#include "CompareTool.h"
#include "DesktopOpen.h"
#include "DetailsPane.h"
#include "ResultsGrid.h"
#include "ReviewBar.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
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

    m_review = new ReviewBar(*m_model, m_grid, this);

    // The details sit under the grid, shown while the Details button is down; the choice is
    // remembered with the desktop's settings.
    m_details = new DetailsPane(*m_model, this);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splDetails"));
    split->setChildrenCollapsible(false);
    split->addWidget(m_grid);
    // Scrolled, so the pane never makes the window taller than the grid leaves room for.
    auto* detailsArea = new QScrollArea(split);
    detailsArea->setObjectName(QStringLiteral("scrDetails"));
    detailsArea->setWidget(m_details);
    detailsArea->setWidgetResizable(true);
    detailsArea->setFrameShape(QFrame::NoFrame);
    split->addWidget(detailsArea);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    const QString key = QStringLiteral("Results/Details");
    const bool details = QSettings(QStringLiteral("Echofind"), QStringLiteral("Echofind"))
                             .value(key, false)
                             .toBool();
    detailsArea->setVisible(details);
    m_review->DetailsButton()->setChecked(details);
    connect(m_review->DetailsButton(), &QToolButton::toggled, this,
            [this, key, detailsArea](bool on) {
                detailsArea->setVisible(on);
                QSettings(QStringLiteral("Echofind"), QStringLiteral("Echofind")).setValue(key, on);
            });
    connect(m_grid, &ResultsGrid::HighlightMoved, m_details, &DetailsPane::Follow);
    auto* toggle = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+D")), this);
    toggle->setContext(Qt::WidgetWithChildrenShortcut);
    connect(toggle, &QShortcut::activated, m_review->DetailsButton(), &QToolButton::toggle);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_review);
    layout->addWidget(split, 1);
    layout->addWidget(m_actions);
    setFocusProxy(m_grid);
    setTabOrder(m_review->DetailsButton(), m_grid);
    connect(m_grid, &ResultsGrid::FileOpenRequested, this, &DuplicatesPane::OpenFile);

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_review->FilterBox()->setFocus(Qt::ShortcutFocusReason);
        m_review->FilterBox()->selectAll();
    });
    const auto command = [this](const char* name, const char* caption, const char* keys,
                                void (DuplicatesPane::*run)()) {
        auto* a = new QAction(QLatin1String(caption), this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(QKeySequence(QLatin1String(keys)));
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, run);
        addAction(a);
        m_reviewActions << a;
        return a;
    };
    m_makeKept = command("mnuPopupMakeKept", "Make this the &kept file", "Ctrl+K",
                         &DuplicatesPane::MakeKept);
    m_remove = command("mnuPopupRemoveFromList", "Remove from the &list", "Ctrl+Shift+Del",
                       &DuplicatesPane::RemoveFromList);
    m_ignore = command("mnuPopupIgnoreGroup", "&Ignore this group", "Ctrl+I",
                       &DuplicatesPane::IgnoreGroup);
    m_compare = command("mnuPopupCompare", "&Compare with the kept file", "Ctrl+Shift+C",
                        &DuplicatesPane::Compare);
    connect(m_grid, &ResultsGrid::HighlightMoved, this, &DuplicatesPane::UpdateReviewActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DuplicatesPane::UpdateReviewActions);
    connect(m_model, &ResultsModel::MarksChanged, this, &DuplicatesPane::UpdateReviewActions);
    // The compare command may have been set since: the popup asks again as it opens.
    connect(m_grid, &ResultsGrid::ResultPopupRequested, this, &DuplicatesPane::UpdateReviewActions);
    UpdateReviewActions();
}

namespace {

// The file a row is compared with: its group's first unmarked file, else its first file;
// for that very file, the next one.
qint64 KeptFileFor(const ResultsModel& m, qint64 row) {
    const auto [first, last] = m.GroupFiles(row);
    qint64 kept = first;
    while (kept <= last && !m.IsUnmarked(kept))
        ++kept;
    if (kept > last)
        kept = first;
    if (kept == row)
        kept = row < last ? row + 1 : first == row ? 0 : first;
    return kept;
}

} // namespace

void DuplicatesPane::UpdateReviewActions() {
    const qint64 row = m_model->HighlightedRow();
    const bool valid = row >= 1 && row <= m_model->RowCount();
    const bool file = valid && !m_model->HasEmptyMark(row);
    const bool folder = valid && m_model->IsFolderRow(row);
    // The file commands are no group's: a header shows only the list commands. A folder
    // of a folder group can be the kept one, which keeps each of its files.
    m_makeKept->setVisible(file || folder);
    m_makeKept->setText(folder ? QStringLiteral("Make this the &kept folder")
                               : QStringLiteral("Make this the &kept file"));
    m_compare->setVisible(file);
    m_makeKept->setEnabled((file || folder) && !m_model->IsStruck(row));
    m_remove->setEnabled(valid);
    m_ignore->setEnabled(valid && m_model->GroupHeaderOf(row) > 0);
    const bool tool = !CompareTool::Command().isEmpty();
    m_compare->setEnabled(file && tool);
    m_compare->setToolTip(tool ? QStringLiteral("Shows this file beside its group's kept file")
                               : QStringLiteral("No compare command is set in the default "
                                                "options (Tools > Default options)"));
}

void DuplicatesPane::IgnoreGroup() {
    if (const qint64 header = m_model->GroupHeaderOf(m_model->HighlightedRow()))
        Q_EMIT IgnoreGroupRequested(header);
}

void DuplicatesPane::MakeKept() {
    m_model->MakeKept(m_model->HighlightedRow());
    UpdateReviewActions();
}

void DuplicatesPane::RemoveFromList() {
    const qint64 row = m_model->HighlightedRow();
    if (row >= 1 && row <= m_model->RowCount())
        m_model->RemoveFromList({row});
}

void DuplicatesPane::Compare() {
    const qint64 row = m_model->HighlightedRow();
    if (row < 1 || row > m_model->RowCount() || m_model->HasEmptyMark(row))
        return;
    const qint64 kept = KeptFileFor(*m_model, row);
    if (kept == 0)
        return;
    const QString problem =
        CompareTool::Run(CompareTool::Command(), m_model->Text(kept, 3), m_model->Text(row, 3));
    if (!problem.isEmpty())
        Messages().Inform(problem);
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
