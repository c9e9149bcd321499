#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;
class QTimer;

// The product picture with the version: at start-up it closes itself after two seconds;
// as the About box it stays until OK.
class frmSplash final : public QDialog {
    Q_OBJECT

public:
    enum class Use { StartUp, About };
    explicit frmSplash(Use use, QWidget* parent = nullptr);

    QString VersionText() const;
    // The program's mark, for window frames where the desktop theme has no icon.
    static QIcon ProgramIcon();

private:
    void tmrStay_Timer();

    QLabel* m_pctTop = nullptr;
    QLabel* m_lblVersionInfo = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QTimer* m_tmrStay = nullptr;
};
