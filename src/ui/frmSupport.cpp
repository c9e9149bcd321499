#include "frmSupport.h"

#include "LinkLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* Text(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

LinkLabel* Link(const char* name, const QString& shown, const QString& url, QWidget* parent) {
    auto* label = new LinkLabel(shown, QUrl(url), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

QString frmSupport::SupportAddress() {
    return QStringLiteral("support@echofind.example");
}

QString frmSupport::HelpDeskUrl() {
    return QStringLiteral("https://echofind.example/helpdesk");
}

frmSupport::frmSupport(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmSupport"));
    setWindowTitle(QStringLiteral("Support center"));
    auto* layout = new QVBoxLayout(this);

    auto* heading = Text(QStringLiteral("Echofind Support Center"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(Text(QStringLiteral("You can contact Echofind support at"), this));
    m_lblSupport =
        Link("lblSupport", SupportAddress(), QStringLiteral("mailto:") + SupportAddress(), this);
    mailRow->addWidget(m_lblSupport);
    mailRow->addStretch(1);
    layout->addLayout(mailRow);
    layout->addWidget(Text(QStringLiteral("Contact us through mail"), this));
    layout->addWidget(Text(QStringLiteral("Contact us through our website"), this));

    auto* webRow = new QHBoxLayout;
    webRow->addWidget(
        Text(QStringLiteral("Alternatively you can contact our helpdesk via "), this));
    m_lblURL = Link("lblURL", HelpDeskUrl(), HelpDeskUrl(), this);
    webRow->addWidget(m_lblURL);
    webRow->addStretch(1);
    layout->addLayout(webRow);
    layout->addWidget(
        Text(QStringLiteral(
                 "(Please provide all available information while contacting our support center)"),
             this));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cmdCancel = new QPushButton(QStringLiteral("Close"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(m_cmdCancel);
    layout->addLayout(buttons);
    setTabOrder(m_lblSupport, m_lblURL);
    setTabOrder(m_lblURL, m_cmdCancel);
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
            frame->close();
        else
            close();
    });
}
