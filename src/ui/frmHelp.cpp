#include "frmHelp.h"

#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Echofind Help"));
    resize(760, 620);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_cmdBack = new QPushButton(QStringLiteral("&Back"), this);
    m_cmdBack->setObjectName(QStringLiteral("cmdBack"));
    m_cmdHome = new QPushButton(QStringLiteral("C&ontents"), this);
    m_cmdHome->setObjectName(QStringLiteral("cmdHome"));
    bar->addWidget(m_cmdBack);
    bar->addWidget(m_cmdHome);
    bar->addStretch(1);
    layout->addLayout(bar);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setAccessibleName(QStringLiteral("Help text"));
    m_browser->setOpenExternalLinks(true);
    layout->addWidget(m_browser, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    m_cmdClose = new QPushButton(QStringLiteral("Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    bottom->addWidget(m_cmdClose);
    layout->addLayout(bottom);
    setTabOrder(m_cmdBack, m_cmdHome);
    setTabOrder(m_cmdHome, m_browser);
    setTabOrder(m_browser, m_cmdClose);

    m_cmdBack->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_cmdBack, &QPushButton::setEnabled);
    connect(m_cmdBack, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_cmdHome, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

// The application folder's own guide first (a portable copy may carry an edited one),
// then the guide shipped with the program, which an installed copy keeps apart from the
// user's data.
QString frmHelp::HelpFile() {
    const QString name = QStringLiteral("help/Echofind.html");
    for (const QString& folder : {modCommon::AppPath, modCommon::ShippedDataFolder()}) {
        bool exists = false;
        modAPI::MyPathFileExists(folder + name, exists);
        if (exists)
            return folder + name;
    }
    return modCommon::AppPath + name;
}

int frmHelp::OpenContents() {
    bool exists = false;
    modAPI::MyPathFileExists(HelpFile(), exists);
    if (!exists) {
        modAPI::ReportAPIError(QStringLiteral("MyHtmlHelp"), HelpFile(), ENOENT);
        return 3;
    }
    m_browser->setSource(QUrl::fromLocalFile(HelpFile()));
    return 1;
}
