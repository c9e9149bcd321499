#pragma once

#include <QString>
#include <QWidget>

class DetailsPane;
class QAction;
class ResultsGrid;
class ResultsModel;
class ReviewBar;

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

    ReviewBar* Review() const { return m_review; }
    DetailsPane* Details() const { return m_details; }
    // The commands on the highlighted row that change only the list (make kept, remove from
    // the list, ignore the group) or look at files (compare), for the popup menu too.
    QList<QAction*> ReviewActions() const { return m_reviewActions; }
    void MakeKept();
    void RemoveFromList();
    void Compare();
    void IgnoreGroup();

Q_SIGNALS:
    // "Ignore this group" on the group whose header is the row; the profile keeps the list.
    void IgnoreGroupRequested(qint64 header);

private:
    void UpdateReviewActions();

    ResultsModel* m_model = nullptr;
    ResultsGrid* m_grid = nullptr;
    QWidget* m_actions = nullptr;
    ReviewBar* m_review = nullptr;
    DetailsPane* m_details = nullptr;
    QList<QAction*> m_reviewActions;
    QAction* m_makeKept = nullptr;
    QAction* m_remove = nullptr;
    QAction* m_ignore = nullptr;
    QAction* m_compare = nullptr;
};
