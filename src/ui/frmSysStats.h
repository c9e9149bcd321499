#pragma once

#include "app/DriveSpace.h"

#include <QWidget>

class QChartView;
class QPushButton;
class QTabBar;

// Free and used space of each fixed drive, one tab per drive above a chart.
class frmSysStats final : public QWidget {
    Q_OBJECT

public:
    explicit frmSysStats(QWidget* parent = nullptr);

    // Builds one tab per fixed drive; 1 when done.
    int FormInit();
    QTabBar* Tabs() const { return m_tbsSystemInfo; }
    // What the chart shows now.
    const DriveSpace::Chart& Shown() const { return m_shown; }
    void ShowChart(const DriveSpace::Chart& chart);

private:
    void tbsSystemInfo_Click();

    QTabBar* m_tbsSystemInfo = nullptr;
    QChartView* m_mscSysStats = nullptr;
    QPushButton* m_cmdClose = nullptr;
    QString m_defaultDrive;
    DriveSpace::Chart m_shown;
};
