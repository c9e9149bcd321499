#include "OptionWidgets.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace OptionWidgets {

QWidget* Page(const char* title) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* heading = new QLabel(S(title));
    QFont font = heading->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    heading->setFont(font);
    layout->addWidget(heading);
    page->setAccessibleName(S(title));
    return page;
}

QLabel* WrappedLabel(const char* text) {
    auto* label = new QLabel(S(text));
    label->setWordWrap(true);
    return label;
}

QPushButton* BrowseButton(const char* name, const QString& prompt) {
    auto* button = Named(new QPushButton(S("...")), name);
    button->setToolTip(prompt);
    button->setAccessibleName(prompt);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(S("....")) + 16);
    return button;
}

void ChainTabOrder(const QList<QWidget*>& widgets) {
    for (qsizetype i = 1; i < widgets.size(); ++i)
        QWidget::setTabOrder(widgets[i - 1], widgets[i]);
}

void Uncheck(std::initializer_list<QAbstractButton*> buttons) {
    for (QAbstractButton* b : buttons) {
        QButtonGroup* group = b->group();
        const bool exclusive = group && group->exclusive();
        const bool autoExclusive = b->autoExclusive();
        if (exclusive)
            group->setExclusive(false);
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(autoExclusive);
        if (exclusive)
            group->setExclusive(true);
    }
}

PageTree::PageTree(std::initializer_list<Node> nodes)
    : m_tree(Named(new QTreeWidget, "tvwOptions")),
      m_pages(Named(new QStackedWidget, "fraOptions")) {
    m_tree->setHeaderHidden(true);
    m_tree->setAccessibleName(S("Options"));
    m_tree->setFixedWidth(220);
    for (const Node& n : nodes)
        m_nodes.push_back(n.Parent < 0
                              ? new QTreeWidgetItem(m_tree, {S(n.Text)})
                              : new QTreeWidgetItem(m_nodes[size_t(n.Parent)], {S(n.Text)}));
    // Bound to the pages, not to this object, so a signal sent while the dialog takes its
    // widgets down never reaches a tree or pages already gone.
    QObject::connect(m_tree, &QTreeWidget::currentItemChanged, m_pages,
                     [nodes = m_nodes, pages = m_pages](QTreeWidgetItem* item) {
                         for (size_t i = 0; i < nodes.size(); ++i)
                             if (nodes[i] == item && int(i) < pages->count())
                                 pages->setCurrentIndex(int(i));
                     });
}

void PageTree::Show(int page) const {
    if (page >= 0 && page < m_pages->count())
        m_pages->setCurrentIndex(page);
}

void PageTree::Select(int page) const {
    if (page >= 0 && size_t(page) < m_nodes.size())
        m_tree->setCurrentItem(m_nodes[size_t(page)]);
}

void PageTree::LayOut(QDialog* dialog, QPushButton* ok, QPushButton* cancel) const {
    auto* body = new QHBoxLayout;
    body->addWidget(m_tree);
    body->addWidget(m_pages, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

} // namespace OptionWidgets
