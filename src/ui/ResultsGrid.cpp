#include "ResultsGrid.h"

#include "ResultsDelegate.h"

#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "app/MessageService.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Draws the column header row in the grid's own colours, which the platform style would
// otherwise replace with its button look.
class ResultsHeader final : public QHeaderView {
public:
    explicit ResultsHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        const ResultsDelegate::Colours c =
            ResultsDelegate::HeaderColours(palette(), model(), logicalIndex);
        painter->save();
        painter->fillRect(rect, c.Back);
        painter->setPen(c.Back.darker(130));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->setPen(c.Text);
        QString text =
            model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
        if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex)
            text += sortIndicatorOrder() == Qt::AscendingOrder ? QStringLiteral(" \u25B2")
                                                               : QStringLiteral(" \u25BC");
        const QRect area = rect.adjusted(3, 0, -3, 0);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                          fontMetrics().elidedText(text, Qt::ElideRight, area.width()));
        painter->restore();
    }
};

} // namespace

ResultsGrid::ResultsGrid(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("flxResultGrid"));
    setAccessibleName(QStringLiteral("Duplicates List"));
    setHorizontalHeader(new ResultsHeader(this));
    setItemDelegate(new ResultsDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    // One height for every row: the view never measures a row, and the 15-point glyphs of
    // the group headers still fit.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultSectionSize(ColumnWidthTwips(ResultsModel::ColumnCount - 1) /
                                              TwipsPerPixel);
    connect(this, &QAbstractItemView::clicked, this, &ResultsGrid::OnClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, &ResultsGrid::OnDoubleClicked);
}

ResultsGrid::~ResultsGrid() = default;

int ResultsGrid::ColumnWidthTwips(int column) {
    static constexpr int Widths[] = {300, 350, 2000, 4000};
    // The grid's default width, wide enough for a date and time in the default font.
    constexpr int DefaultWidth = 2400;
    return column >= 0 && column < 4 ? Widths[column] : DefaultWidth;
}

void ResultsGrid::ApplyColumnWidths() {
    // The narrow glyph and mark columns were sized for a smaller font than desktops use
    // here; they grow just enough that "[X]" and the 15-point glyph are never cut.
    QFont bold = font();
    bold.setBold(true);
    QFont glyph = font();
    glyph.setPointSize(15);
    const int padding = 8;
    const int fits[] = {QFontMetrics(glyph).horizontalAdvance(QStringLiteral("+")) + padding,
                        QFontMetrics(bold).horizontalAdvance(ResultsModel::Marked) + padding};
    for (int c = 0; c < ResultsModel::ColumnCount; ++c) {
        const int width = ColumnWidthTwips(c) / TwipsPerPixel;
        setColumnWidth(c, c < 2 ? std::max(width, fits[c]) : width);
    }
}

void ResultsGrid::SetResultsModel(ResultsModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::modelReset, this, &ResultsGrid::OnModelReset);
    connect(model, &QAbstractItemModel::dataChanged, this, &ResultsGrid::OnDataChanged);
    ApplyColumnWidths();
    OnModelReset();
}

void ResultsGrid::OnModelReset() {
    // A reset shows every row again; only the rows the model keeps collapsed go back.
    const int rows = model()->rowCount();
    for (int r = 0; r < rows; ++r) {
        if (m_model->IsHidden(m_model->GridRow(r)))
            setRowHidden(r, true);
    }
    SyncCurrentFromModel();
}

void ResultsGrid::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
        const bool hidden = m_model->IsHidden(m_model->GridRow(r));
        if (isRowHidden(r) != hidden)
            setRowHidden(r, hidden);
    }
}

void ResultsGrid::SyncCurrentFromModel() {
    if (!m_model || !selectionModel())
        return;
    const QModelIndex target =
        m_model->index(m_model->QtRow(m_model->CurrentRow()), m_model->CurrentCol());
    if (!target.isValid() || target == currentIndex())
        return;
    m_programmatic = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    m_programmatic = false;
}

void ResultsGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // Only the user's own moves of the current cell highlight; the program moves it while
    // it fills the grid and walks it for actions.
    if (m_programmatic || !m_model || !current.isValid())
        return;
    m_model->SetCurrent(m_model->GridRow(current.row()), current.column());
    RowHighlight(QStringLiteral("Key"));
}

void ResultsGrid::RowHighlight(const QString& source) {
    if (!m_model)
        return;
    qint64 row = m_model->CurrentRow();
    int col = m_model->CurrentCol();
    if (source != QLatin1String("Key")) {
        const QModelIndex under = indexAt(m_lastMouse);
        row = under.isValid() ? m_model->GridRow(under.row()) : 0;
        col = under.isValid() ? under.column() : 0;
    }
    if (!m_model->RowHighlight(row, col))
        return;
    SyncCurrentFromModel();
    Q_EMIT HighlightMoved(row);
}

void ResultsGrid::OnClicked(const QModelIndex& index) {
    if (!m_model || !index.isValid())
        return;
    m_model->Click(m_model->GridRow(index.row()), index.column(), Messages());
    SyncCurrentFromModel();
}

bool ResultsGrid::IsFileRow(qint64 row) const {
    return m_model && row >= 1 && row <= m_model->RowCount() && !m_model->IsGroupHeader(row) &&
           !m_model->HasEmptyMark(row);
}

void ResultsGrid::OnDoubleClicked(const QModelIndex& index) {
    // The first click of a double click already collapsed a group (column 0) or toggled a
    // mark (column 1); there the double click means nothing more, as it always did.
    const qint64 row = m_model && index.isValid() ? m_model->GridRow(index.row()) : 0;
    if (index.column() >= 2 && IsFileRow(row))
        Q_EMIT FileOpenRequested(row);
}

void ResultsGrid::mousePressEvent(QMouseEvent* event) {
    m_lastMouse = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (m_model && m_model->RowCount() >= 1 && indexAt(m_lastMouse).isValid()) {
            RowHighlight(QStringLiteral("Mouse"));
            Q_EMIT ResultPopupRequested(event->globalPosition().toPoint());
        }
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void ResultsGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && m_model) {
        const qint64 row = m_model->HighlightedRow();
        if (row >= 1 && row <= m_model->RowCount()) {
            // A header row toggles its group, a file row its mark, as the matching click.
            m_model->Click(row, m_model->IsGroupHeader(row) ? 0 : 1, Messages());
            SyncCurrentFromModel();
        }
        event->accept();
        return;
    }
    if (m_model && m_model->IsGroupHeader(m_model->HighlightedRow()) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // On a group's header Left and "-" fold the group, Right and "+" unfold it.
        const qint64 row = m_model->HighlightedRow();
        const bool open = m_model->RawText(row, 0) == QByteArrayView("-");
        const int key = event->key();
        const bool fold = key == Qt::Key_Left || key == Qt::Key_Minus;
        const bool unfold = key == Qt::Key_Right || key == Qt::Key_Plus;
        if (fold || unfold) {
            if (fold == open) {
                m_model->CollExpRows(row);
                SyncCurrentFromModel();
            }
            event->accept();
            return;
        }
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && m_model &&
        IsFileRow(m_model->HighlightedRow())) {
        Q_EMIT FileOpenRequested(m_model->HighlightedRow());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::ShiftModifier && m_model) {
        // Marks from the last file toggled to the highlighted row, as far as the rule that
        // keeps one copy per group allows; without a toggle yet, just the highlighted row.
        const qint64 row = m_model->HighlightedRow();
        if (row >= 1 && row <= m_model->RowCount()) {
            const qint64 anchor = m_model->MarkAnchor() >= 1 ? m_model->MarkAnchor() : row;
            MarkRules::MarkRange(*m_model, anchor, row,
                                 m_protectedFolders ? m_protectedFolders() : QStringList());
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex ResultsGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Home and End go to the first and last row people can see, not along the row.
    if ((action == MoveHome || action == MoveEnd) && model() && model()->rowCount() > 0) {
        const int col = currentIndex().isValid() ? currentIndex().column() : 0;
        const int rows = model()->rowCount();
        if (action == MoveHome) {
            for (int r = 0; r < rows; ++r) {
                if (!isRowHidden(r))
                    return model()->index(r, col);
            }
        } else {
            for (int r = rows - 1; r >= 0; --r) {
                if (!isRowHidden(r))
                    return model()->index(r, col);
            }
        }
        return currentIndex();
    }
    return QTableView::moveCursor(action, modifiers);
}
