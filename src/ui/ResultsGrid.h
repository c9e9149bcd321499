#pragma once

#include <QStringList>
#include <QTableView>

#include <functional>

class ResultsModel;

// The view over the results model: draws its rows through one delegate, turns clicks and
// keys into the model's marking, collapsing and highlighting rules, and hides the rows the
// model has collapsed. Rows are all one height and there is no widget per row, so half a
// million rows scroll like a hundred.
class ResultsGrid final : public QTableView {
    Q_OBJECT

public:
    explicit ResultsGrid(QWidget* parent = nullptr);
    ~ResultsGrid() override;

    void SetResultsModel(ResultsModel* model);
    ResultsModel* Results() const { return m_model; }

    // "Key": the current row; anything else: the row under the mouse pointer.
    void RowHighlight(const QString& source);

    // Where range marking (Shift+Space) learns the folders whose files it prefers to keep.
    void SetProtectedFolders(std::function<QStringList()> folders) {
        m_protectedFolders = std::move(folders);
    }

    // Column widths in twips; columns past the fourth take the grid's default width.
    static int ColumnWidthTwips(int column);
    static constexpr int TwipsPerPixel = 15;

Q_SIGNALS:
    // A right click on a data row, after that row was highlighted: the results' commands
    // open their menu here.
    void ResultPopupRequested(const QPoint& globalPos);
    // Enter on a highlighted file row, or a double click on a file row's name, path or
    // details: the person wants to look at the file.
    void FileOpenRequested(qint64 row);
    // The person moved the highlight to another row (0: none).
    void HighlightMoved(qint64 row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void OnClicked(const QModelIndex& index);
    void OnDoubleClicked(const QModelIndex& index);
    bool IsFileRow(qint64 row) const;
    void OnModelReset();
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void SyncCurrentFromModel();
    void ApplyColumnWidths();

    ResultsModel* m_model = nullptr;
    bool m_programmatic = false; // the program moves the current cell: no highlight
    QPoint m_lastMouse;
    std::function<QStringList()> m_protectedFolders;
};
