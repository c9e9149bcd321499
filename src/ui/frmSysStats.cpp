#include "frmSysStats.h"

#include "Trap.h"
#include "app/MessageService.h"
#include "app/modLog.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QMdiSubWindow>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <exception>

frmSysStats::frmSysStats(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmSysStats"));
    setWindowTitle(QStringLiteral("System Statistics"));
    auto* layout = new QVBoxLayout(this);
    m_tbsSystemInfo = new QTabBar(this);
    m_tbsSystemInfo->setObjectName(QStringLiteral("tbsSystemInfo"));
    m_tbsSystemInfo->setAccessibleName(QStringLiteral("Drives"));
    m_tbsSystemInfo->setExpanding(false);
    layout->addWidget(m_tbsSystemInfo);

    m_mscSysStats = new QChartView(this);
    m_mscSysStats->setObjectName(QStringLiteral("mscSysStats"));
    m_mscSysStats->setAccessibleName(QStringLiteral("Drive space chart"));
    m_mscSysStats->setRenderHint(QPainter::Antialiasing);
    m_mscSysStats->setMinimumSize(520, 340);
    layout->addWidget(m_mscSysStats, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cmdClose = new QPushButton(QStringLiteral("Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    buttons->addWidget(m_cmdClose);
    layout->addLayout(buttons);
    setTabOrder(m_tbsSystemInfo, m_cmdClose);

    connect(m_tbsSystemInfo, &QTabBar::currentChanged, this,
            [this](int) { tbsSystemInfo_Click(); });
    connect(m_cmdClose, &QPushButton::clicked, this, [this] {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
            frame->close();
        else
            close();
    });
}

int frmSysStats::FormInit() {
    Trap(QStringLiteral("frmSysStats.FormInit"), [this] {
        const QSignalBlocker quiet(m_tbsSystemInfo);
        while (m_tbsSystemInfo->count() > 0)
            m_tbsSystemInfo->removeTab(0);
        for (const QString& entry : DriveSpace::DriveList()) {
            const qsizetype blank = entry.indexOf(u' ');
            const QString drive = blank < 0 ? entry : entry.left(blank);
            const QString label = DriveSpace::GetDriveLabel(drive, entry, m_defaultDrive);
            if (label.isEmpty())
                continue;
            const int index = m_tbsSystemInfo->addTab(label);
            m_tbsSystemInfo->setTabData(index, drive);
            if (drive == m_defaultDrive)
                m_tbsSystemInfo->setCurrentIndex(index);
        }
    });
    // The selected drive is drawn at once rather than after the first click.
    tbsSystemInfo_Click();
    return 1;
}

void frmSysStats::tbsSystemInfo_Click() {
    const int index = m_tbsSystemInfo->currentIndex();
    if (index < 0)
        return;
    Trap(QStringLiteral("frmSysStats.tbsSystemInfo_Click"),
         [&] {
             ShowChart(DriveSpace::ChartForDrive(m_tbsSystemInfo->tabText(index),
                                                 m_tbsSystemInfo->tabData(index).toString()));
         },
         {QStringLiteral("Error occured while retrieving the drive information"),
          MessageService::Icon::Information, true});
}

void frmSysStats::ShowChart(const DriveSpace::Chart& chart) {
    m_shown = chart;
    auto* pie = new QPieSeries;
    QPieSlice* freeSlice =
        pie->append(chart.LegendVisible ? chart.FreeLabel : QString(), chart.FreeValue);
    QPieSlice* usedSlice =
        pie->append(chart.LegendVisible ? chart.UsedLabel : QString(), qMax(0.0, chart.UsedValue));
    freeSlice->setColor(QColor(205, 255, 204));
    usedSlice->setColor(QColor(179, 226, 254));
    freeSlice->setBorderColor(QColor(96, 96, 96));
    usedSlice->setBorderColor(QColor(96, 96, 96));
    usedSlice->setExploded(true);
    pie->setPieSize(0.7);

    auto* view = new QChart;
    view->addSeries(pie);
    view->setTitle(chart.RowLabel);
    view->setBackgroundBrush(QColor(224, 224, 224));
    view->setBackgroundRoundness(0);
    view->legend()->setVisible(chart.LegendVisible);
    view->legend()->setAlignment(Qt::AlignBottom);
    // The legend is read on a fixed light backdrop whatever the desktop's colours are.
    view->legend()->setLabelColor(Qt::black);
    view->setTitleBrush(QBrush(Qt::black));
    QChart* old = m_mscSysStats->chart();
    m_mscSysStats->setChart(view);
    delete old;
    m_mscSysStats->setAccessibleDescription(
        chart.LegendVisible ? chart.RowLabel + QStringLiteral(": ") + chart.FreeLabel +
                                  QStringLiteral(", ") + chart.UsedLabel
                            : chart.RowLabel);
}
