#pragma once

#include <QColor>
#include <QStyledItemDelegate>

class QTableView;

// Paints every cell of the results grid from the model's style roles: the caption colour
// and bold of group headers, strike-through and red of files an action handled, the
// highlighted row, and the merging of equal neighbouring cells of a header row into one.
// The grid draws no lines of its own; this draws them, leaving out the ones inside a
// merged run.
class ResultsDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    struct Colours {
        QColor Text;
        QColor Back;
    };

    explicit ResultsDelegate(QTableView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The colours a cell is drawn in. On a light palette these are the grid's own colours;
    // on a dark one the white background becomes the palette's base and every text colour
    // is shifted until it reads against the background it is drawn on.
    static Colours CellColours(const QPalette& palette, const QModelIndex& index);
    // Likewise for the column header row.
    static Colours HeaderColours(const QPalette& palette, const QAbstractItemModel* model,
                                 int section);
    static bool IsDark(const QPalette& palette);
    // WCAG contrast ratio of two colours, 1 to 21.
    static double Contrast(const QColor& a, const QColor& b);
    // The least contrast of the highlighted row against the others, and of coloured text.
    static constexpr double RowContrast = 3.0;
    // The colour itself when it reads well enough on the background, else the same hue made
    // lighter or darker until it does.
    static QColor Readable(const QColor& colour, const QColor& background, double ratio = 4.5);

    // The first and last column of the merged run that the cell belongs to (the cell
    // itself when its row is not merged or no neighbour has its text).
    static std::pair<int, int> MergedRun(const QModelIndex& index);

private:
    QTableView* m_view;
};
