#include "OptionWidgets.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
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

} // namespace OptionWidgets
