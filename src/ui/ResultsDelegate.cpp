#include "ResultsDelegate.h"

#include "actions/ResultsModel.h"

#include <QPainter>
#include <QTableView>

#include <cmath>

namespace {

constexpr int PathColumn = 3;

double Channel(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

QColor Mix(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

QColor FromRgb(const QVariant& v) {
    return QColor::fromRgb(QRgb(v.toUInt()));
}

QColor GridLineColour(const QPalette& palette) {
    return Mix(palette.color(QPalette::Base), palette.color(QPalette::Text), 0.18);
}

} // namespace

ResultsDelegate::ResultsDelegate(QTableView* view) : QStyledItemDelegate(view), m_view(view) {}

bool ResultsDelegate::IsDark(const QPalette& palette) {
    return Luminance(palette.color(QPalette::Base)) < 0.18;
}

double ResultsDelegate::Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ResultsDelegate::Readable(const QColor& colour, const QColor& background, double ratio) {
    if (Contrast(colour, background) >= ratio)
        return colour;
    const bool lighten = Luminance(background) < 0.18;
    float h = 0, s = 0, l = 0, a = 0;
    colour.toHsl().getHslF(&h, &s, &l, &a);
    for (int step = 0; step < 50; ++step) {
        l = lighten ? std::min(1.0f, l + 0.02f) : std::max(0.0f, l - 0.02f);
        const QColor candidate = QColor::fromHslF(h, s, l, a).toRgb();
        if (Contrast(candidate, background) >= ratio)
            return candidate;
    }
    return Contrast(Qt::white, background) > Contrast(Qt::black, background) ? QColor(Qt::white)
                                                                             : QColor(Qt::black);
}

ResultsDelegate::Colours ResultsDelegate::CellColours(const QPalette& palette,
                                                      const QModelIndex& index) {
    const bool dark = IsDark(palette);
    const QColor base = palette.color(QPalette::Base);
    Colours c;
    const QVariant text = index.data(ResultsModel::TextColorRole);
    if (index.data(ResultsModel::HighlightedRole).toBool()) {
        // The row the "this item" commands act on must be told from the others at a
        // glance, whatever the theme: the selection colour, kept at 3:1 from the rows.
        c.Back = Readable(palette.color(QPalette::Highlight), dark ? base : QColor(Qt::white),
                          RowContrast);
        c.Text = text.isValid() ? FromRgb(text) : palette.color(QPalette::HighlightedText);
    } else {
        const QVariant back = index.data(ResultsModel::BackColorRole);
        c.Back = back.isValid() && !dark ? FromRgb(back) : base;
        c.Text = text.isValid() ? FromRgb(text) : palette.color(QPalette::Text);
    }
    // Coloured text (red failures, blue captions) and the highlighted row's keep their hue
    // and at least 3:1; the rest is held to the contrast of body text.
    const bool body = !text.isValid() && !index.data(ResultsModel::HighlightedRole).toBool();
    c.Text = Readable(c.Text, c.Back, body ? 4.5 : RowContrast);
    return c;
}

ResultsDelegate::Colours ResultsDelegate::HeaderColours(const QPalette& palette,
                                                        const QAbstractItemModel* model,
                                                        int section) {
    Colours c{palette.color(QPalette::ButtonText), palette.color(QPalette::Button)};
    if (!model)
        return c;
    const QVariant back = model->headerData(section, Qt::Horizontal, ResultsModel::BackColorRole);
    const QVariant text = model->headerData(section, Qt::Horizontal, ResultsModel::TextColorRole);
    if (back.isValid())
        c.Back = FromRgb(back);
    if (text.isValid())
        c.Text = FromRgb(text);
    if (IsDark(palette))
        c.Back = c.Back.darker(200);
    c.Text = Readable(c.Text, c.Back, RowContrast);
    return c;
}

std::pair<int, int> ResultsDelegate::MergedRun(const QModelIndex& index) {
    const int col = index.column();
    if (!index.data(ResultsModel::MergedRole).toBool())
        return {col, col};
    const QString text = index.data(Qt::DisplayRole).toString();
    const int columns = index.model()->columnCount(index.parent());
    int first = col;
    while (first > 0 && index.siblingAtColumn(first - 1).data(Qt::DisplayRole).toString() == text)
        --first;
    int last = col;
    while (last + 1 < columns &&
           index.siblingAtColumn(last + 1).data(Qt::DisplayRole).toString() == text)
        ++last;
    return {first, last};
}

void ResultsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const auto [first, last] = MergedRun(index);
    // A merged run is drawn as one cell: each cell paints its own slice of the run's text,
    // so the run reads the same whichever of its cells are scrolled into view.
    const QModelIndex lead = index.siblingAtColumn(first);
    const Colours colours = CellColours(option.palette, lead);
    painter->save();
    painter->fillRect(option.rect, colours.Back);

    const QString text = lead.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        QRect area = option.rect;
        if (first != last && m_view) {
            area.setLeft(m_view->columnViewportPosition(first));
            area.setRight(m_view->columnViewportPosition(last) + m_view->columnWidth(last) - 1);
        }
        QFont font = option.font;
        font.setBold(lead.data(ResultsModel::BoldRole).toBool());
        font.setStrikeOut(lead.data(ResultsModel::StruckRole).toBool());
        const QVariant size = lead.data(ResultsModel::FontSizeRole);
        if (size.isValid())
            font.setPointSize(size.toInt());
        painter->setFont(font);
        painter->setPen(colours.Text);
        painter->setClipRect(option.rect, Qt::IntersectClip);
        const QRect textArea = area.adjusted(3, 0, -3, 0);
        const int alignment = lead.data(Qt::TextAlignmentRole).toInt();
        // A path shows its end, where copies differ; its whole text is the cell's tool tip.
        const Qt::TextElideMode elide =
            first == last && first == PathColumn ? Qt::ElideMiddle : Qt::ElideRight;
        painter->drawText(
            textArea, alignment,
            QFontMetrics(font).elidedText(text, elide, std::max(0, textArea.width())));
    }
    painter->restore();

    painter->save();
    painter->setPen(GridLineColour(option.palette));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    if (index.column() == last)
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}
