#pragma once

#include <QWidget>

class LinkLabel;
class QPushButton;

// Where to ask for help: the support mail address and the help-desk web page, each opened
// by the desktop when clicked.
class frmSupport final : public QWidget {
    Q_OBJECT

public:
    explicit frmSupport(QWidget* parent = nullptr);

    static QString SupportAddress();
    static QString HelpDeskUrl();

private:
    LinkLabel* m_lblSupport = nullptr;
    LinkLabel* m_lblURL = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
