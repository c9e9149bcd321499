#pragma once

#include <QWidget>

class QLabel;
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
    QLabel* m_lblSupport = nullptr;
    QLabel* m_lblURL = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
