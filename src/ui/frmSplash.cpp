#include "frmSplash.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The product picture: two overlapping pages, the program's mark, with its name.
void DrawPages(QPainter& p, qreal left, qreal top, qreal scale) {
    for (int i = 0; i < 2; ++i) {
        const QRectF page(left + i * 26 * scale, top + i * 18 * scale, 62 * scale, 80 * scale);
        p.setPen(QPen(QColor(255, 255, 255, 220), qMax(1.0, 2 * scale)));
        p.setBrush(QColor(255, 255, 255, i == 0 ? 90 : 170));
        p.drawRoundedRect(page, 6 * scale, 6 * scale);
        p.setPen(QPen(QColor(22, 78, 140, 160), qMax(1.0, 2 * scale)));
        for (int line = 0; line < 4; ++line)
            p.drawLine(QPointF(page.left() + 10 * scale, page.top() + (18 + line * 14) * scale),
                       QPointF(page.right() - 10 * scale, page.top() + (18 + line * 14) * scale));
    }
}

QPixmap ProductPicture(qreal dpr) {
    const QSize size(420, 150);
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(22, 78, 140));
    sky.setColorAt(1, QColor(40, 150, 170));
    p.fillRect(QRect(QPoint(0, 0), size), sky);
    DrawPages(p, 34, 30, 1.0);
    QFont title = QApplication::font();
    title.setPointSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(140, 0, size.width() - 150, size.height()), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Echofind"));
    return pixmap;
}

} // namespace

frmSplash::frmSplash(Use use, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    // No caption; the about box still needs a name for assistive tools.
    setAccessibleName(QStringLiteral("About Echofind"));

    auto* layout = new QVBoxLayout(this);
    m_pctTop = new QLabel(this);
    m_pctTop->setObjectName(QStringLiteral("pctTop"));
    m_pctTop->setPixmap(ProductPicture(devicePixelRatioF()));
    m_pctTop->setAccessibleName(QStringLiteral("Echofind"));
    layout->addWidget(m_pctTop);

    auto* versionRow = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("Version"), this);
    m_lblVersionInfo = new QLabel(VersionText(), this);
    m_lblVersionInfo->setObjectName(QStringLiteral("lblVersionInfo"));
    caption->setBuddy(m_lblVersionInfo);
    versionRow->addWidget(caption);
    versionRow->addWidget(m_lblVersionInfo, 1);
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    versionRow->addWidget(m_cmdOK);
    layout->addLayout(versionRow);
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    m_tmrStay = new QTimer(this);
    m_tmrStay->setObjectName(QStringLiteral("tmrStay"));
    m_tmrStay->setInterval(2000);
    m_tmrStay->setSingleShot(true);
    connect(m_tmrStay, &QTimer::timeout, this, &frmSplash::tmrStay_Timer);

    if (use == Use::StartUp) {
        m_cmdOK->setVisible(false);
        m_tmrStay->start();
    } else {
        m_cmdOK->setVisible(true);
    }
}

QIcon frmSplash::ProgramIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(22, 78, 140));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, side, side), side / 6.0, side / 6.0);
        const qreal scale = side / 130.0;
        DrawPages(p, 20 * scale, 16 * scale, scale);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString frmSplash::VersionText() const {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("Echofind") : QStringLiteral("Echofind ") + version;
}

void frmSplash::tmrStay_Timer() {
    m_tmrStay->stop();
    accept();
}
