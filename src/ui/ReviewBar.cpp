#include "ReviewBar.h"

#include "ResultsGrid.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

using Sort = ResultsModel::GroupSort;

struct Order {
    Sort By;
    const char* Caption;
    int Column;           // the header that chooses it; -1 for none
    bool FirstDescending; // the way a first click sorts
};

const Order Orders[] = {
    {Sort::Original, "&Original order", -1, false},       {Sort::Size, "Total &size", 4, true},
    {Sort::Count, "Number of &copies", 1, true},          {Sort::Name, "&Name", 2, false},
    {Sort::KeptPath, "&Path of the kept file", 3, false},
};

const Order& OrderOf(Sort by) {
    for (const Order& o : Orders)
        if (o.By == by)
            return o;
    return Orders[0];
}

} // namespace

ReviewBar::ReviewBar(ResultsModel& model, ResultsGrid* grid, QWidget* parent)
    : QWidget(parent), m_model(model), m_grid(grid) {
    setObjectName(QStringLiteral("fraReview"));
    auto* label = new QLabel(QStringLiteral("&Filter:"), this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("txtFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter"));
    m_filter->setPlaceholderText(QStringLiteral("Part of a path"));
    m_filter->setToolTip(QStringLiteral("Shows the groups with a file whose path holds this "
                                        "text (Ctrl+F; Esc clears it)"));
    m_filter->setClearButtonEnabled(true);
    label->setBuddy(m_filter);
    m_filter->installEventFilter(this);

    m_regex = new QCheckBox(QStringLiteral("Regular e&xpression"), this);
    m_regex->setObjectName(QStringLiteral("chkFilterRegex"));
    m_showing = new QLabel(this);
    m_showing->setObjectName(QStringLiteral("lblShowing"));

    m_sort = new QToolButton(this);
    m_sort->setObjectName(QStringLiteral("cmdSort"));
    m_sort->setText(QStringLiteral("Sort"));
    m_sort->setAccessibleName(QStringLiteral("Sort"));
    m_sort->setToolTip(QStringLiteral("The order of the groups"));
    m_sort->setPopupMode(QToolButton::InstantPopup);
    m_sort->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_sortMenu = new QMenu(m_sort);
    m_orders = new QActionGroup(m_sortMenu);
    for (const Order& o : Orders) {
        QAction* a = m_sortMenu->addAction(QLatin1String(o.Caption));
        a->setCheckable(true);
        a->setData(int(o.By));
        m_orders->addAction(a);
        if (o.By == Sort::Original)
            m_sortMenu->addSeparator();
    }
    m_sortMenu->addSeparator();
    m_directions = new QActionGroup(m_sortMenu);
    for (const char* caption : {"&Ascending", "&Descending"}) {
        QAction* a = m_sortMenu->addAction(QLatin1String(caption));
        a->setCheckable(true);
        m_directions->addAction(a);
    }
    m_sort->setMenu(m_sortMenu);
    const auto chosen = [this] {
        const Sort by = Sort(m_orders->checkedAction()->data().toInt());
        SortBy(by, m_directions->actions().at(1)->isChecked());
    };
    connect(m_orders, &QActionGroup::triggered, this, [this, chosen](QAction* a) {
        // A new order starts the way its header's first click would.
        m_directions->actions()
            .at(OrderOf(Sort(a->data().toInt())).FirstDescending ? 1 : 0)
            ->setChecked(true);
        chosen();
    });
    connect(m_directions, &QActionGroup::triggered, this, chosen);

    m_details = new QToolButton(this);
    m_details->setObjectName(QStringLiteral("cmdDetails"));
    m_details->setText(QStringLiteral("Details"));
    m_details->setAccessibleName(QStringLiteral("Details pane"));
    m_details->setToolTip(QStringLiteral("Show the highlighted file beside its group's kept file "
                                         "(Ctrl+Shift+D)"));
    m_details->setCheckable(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_filter, 1);
    layout->addWidget(m_regex);
    layout->addWidget(m_showing);
    layout->addStretch();
    layout->addWidget(m_sort);
    layout->addWidget(m_details);

    connect(m_filter, &QLineEdit::textChanged, this, &ReviewBar::Refilter);
    connect(m_regex, &QCheckBox::toggled, this, &ReviewBar::Refilter);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ReviewBar::ModelReset);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this] { m_showing->setText(ShowingText()); });
    QHeaderView* header = m_grid->horizontalHeader();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &ReviewBar::HeaderClicked);
    ModelReset();
}

bool ReviewBar::eventFilter(QObject* watched, QEvent* event) {
    // Esc empties the box rather than reaching the window, which would close.
    if (watched == m_filter && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_filter->text().isEmpty()) {
        m_filter->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString ReviewBar::ShowingText() const {
    if (m_invalid)
        return QStringLiteral("Not a valid regular expression");
    return QStringLiteral("Showing %1 of %2 groups")
        .arg(m_model.ShownGroupCount())
        .arg(m_model.GroupCount());
}

void ReviewBar::Refilter() {
    m_busy = true;
    m_invalid = !m_model.SetFilter(m_filter->text(), m_regex->isChecked());
    m_busy = false;
    m_showing->setText(ShowingText());
}

void ReviewBar::ModelReset() {
    if (m_busy)
        return;
    // A new run's results come unfiltered and in the order found.
    if (m_model.GroupCount() == 0 && !m_filter->text().isEmpty()) {
        const QSignalBlocker quiet(m_filter);
        m_filter->clear();
        m_invalid = false;
    }
    const Order& o = OrderOf(m_model.SortedBy());
    for (QAction* a : m_orders->actions())
        a->setChecked(Sort(a->data().toInt()) == o.By);
    if (!m_directions->checkedAction())
        m_directions->actions().at(0)->setChecked(true);
    QHeaderView* header = m_grid->horizontalHeader();
    header->setSortIndicatorShown(o.Column >= 0);
    m_showing->setText(ShowingText());
}

void ReviewBar::SortBy(ResultsModel::GroupSort by, bool descending) {
    const Order& o = OrderOf(by);
    m_busy = true;
    m_model.SortGroups(by, descending);
    m_busy = false;
    for (QAction* a : m_orders->actions())
        a->setChecked(Sort(a->data().toInt()) == by);
    m_directions->actions().at(descending ? 1 : 0)->setChecked(true);
    QHeaderView* header = m_grid->horizontalHeader();
    header->setSortIndicatorShown(o.Column >= 0);
    if (o.Column >= 0)
        header->setSortIndicator(o.Column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    header->viewport()->update();
}

void ReviewBar::HeaderClicked(int column) {
    for (const Order& o : Orders) {
        if (o.Column != column)
            continue;
        // The same header again turns the order round.
        const bool again = m_model.SortedBy() == o.By;
        const bool descending =
            again ? !m_directions->actions().at(1)->isChecked() : o.FirstDescending;
        SortBy(o.By, descending);
        return;
    }
}
