#pragma once

#include <QString>
#include <QWidget>

class ResultsGrid;
class ResultsModel;

// The duplicates page of the profile window: the results grid over the run's results,
// and below it the strip that will hold the commands acting on the marked files.
class DuplicatesPane final : public QWidget {
    Q_OBJECT

public:
    explicit DuplicatesPane(QWidget* parent = nullptr);
    ~DuplicatesPane() override;

    // The grid's only store.
    ResultsModel& Model();
    const ResultsModel& Model() const;
    ResultsGrid* Grid() const { return m_grid; }
    // The empty strip ("fraActions") for the action commands.
    QWidget* Actions() const { return m_actions; }

    // "Key": highlight the grid's current row; anything else: the row under the mouse.
    void RowHighlight(const QString& source);
    // Opens the file of a row with the desktop's default program.
    void OpenFile(qint64 row);

private:
    ResultsModel* m_model = nullptr;
    ResultsGrid* m_grid = nullptr;
    QWidget* m_actions = nullptr;
};
