#pragma once

#include <QWidget>

class QTextBrowser;
class QPushButton;

// The user guide shipped beside the program, read in a window of its own so its links
// between pages work without a browser.
class frmHelp final : public QWidget {
    Q_OBJECT

public:
    explicit frmHelp(QWidget* parent = nullptr);

    // The guide's first page in the application folder.
    static QString HelpFile();
    // 1 when the guide was found and shown, 3 when it is missing (logged).
    int OpenContents();
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser = nullptr;
    QPushButton* m_cmdBack = nullptr;
    QPushButton* m_cmdHome = nullptr;
    QPushButton* m_cmdClose = nullptr;
};
