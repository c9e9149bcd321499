#pragma once

#include <QList>
#include <QString>

#include <initializer_list>
#include <vector>

class QAbstractButton;
class QDialog;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
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

// The tree of page names ("tvwOptions") beside the stacked pages ("fraOptions") of an
// options dialog: node n shows page n, and choosing a node shows its page.
class PageTree {
public:
    struct Node {
        const char* Text;
        int Parent; // page of the parent node, or -1 for a top node
    };
    explicit PageTree(std::initializer_list<Node> nodes);

    QTreeWidget* Tree() const { return m_tree; }
    QStackedWidget* Pages() const { return m_pages; }
    void Show(int page) const;
    void Select(int page) const;
    // The dialog's layout: tree and pages side by side above the OK and Cancel buttons.
    void LayOut(QDialog* dialog, QPushButton* ok, QPushButton* cancel) const;

private:
    QTreeWidget* m_tree;
    QStackedWidget* m_pages;
    std::vector<QTreeWidgetItem*> m_nodes; // by page
};

} // namespace OptionWidgets
