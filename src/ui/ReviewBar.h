#pragma once

#include "actions/ResultsModel.h"

#include <QWidget>

class QActionGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class ResultsGrid;

// Above the results grid: the filter box, how many groups it leaves shown, and the sort
// menu, whose orders the grid's column headers choose too.
class ReviewBar final : public QWidget {
    Q_OBJECT

public:
    ReviewBar(ResultsModel& model, ResultsGrid* grid, QWidget* parent = nullptr);

    QLineEdit* FilterBox() const { return m_filter; }
    QToolButton* SortButton() const { return m_sort; }
    QToolButton* DetailsButton() const { return m_details; }
    QString ShowingText() const;
    // Sorts, and shows the order in the menu and on the header.
    void SortBy(ResultsModel::GroupSort by, bool descending);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refilter();
    void ModelReset();
    void HeaderClicked(int column);

    ResultsModel& m_model;
    ResultsGrid* m_grid;
    QLineEdit* m_filter;
    QCheckBox* m_regex;
    QLabel* m_showing;
    QToolButton* m_sort;
    QToolButton* m_details;
    QMenu* m_sortMenu;
    QActionGroup* m_orders;
    QActionGroup* m_directions;
    bool m_invalid = false;
    bool m_busy = false;
};
