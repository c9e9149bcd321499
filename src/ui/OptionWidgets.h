#pragma once

#include <QList>
#include <QString>

#include <initializer_list>

class QAbstractButton;
class QLabel;
class QPushButton;
class QWidget;

// Small pieces the option windows are built from, so that every page looks and reads
// alike.
namespace OptionWidgets {

inline QString S(const char* text) {
    return QString::fromUtf8(text);
}

// Gives a control the name the program and its tests find it by.
template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(S(name));
    return widget;
}

// An options page: a bold title over a vertical layout.
QWidget* Page(const char* title);
QLabel* WrappedLabel(const char* text);
// A small "..." button that opens a folder browser; its prompt is its tool tip and, for
// screen readers, its name.
QPushButton* BrowseButton(const char* name, const QString& prompt);
// Tab visits the widgets in the order given.
void ChainTabOrder(const QList<QWidget*>& widgets);
// Leaves none of the buttons checked, even where they are exclusive.
void Uncheck(std::initializer_list<QAbstractButton*> buttons);

} // namespace OptionWidgets
