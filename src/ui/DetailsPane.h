#pragma once

#include <QString>
#include <QWidget>

#include <array>

class PreviewLoader;
class QLabel;
class QLineEdit;
class ResultsModel;
struct Preview;

// Beside the results grid: the highlighted file and the file its group keeps, side by side,
// with what the file system says of each now (which may no longer be what the scan saw)
// and a preview under each. The facts in which the two differ stand out, since they are
// what a person weighs before marking one of them.
class DetailsPane final : public QWidget {
    Q_OBJECT

public:
    enum Side { Highlighted = 0, Kept = 1 };
    enum Field { Path, Size, Modified, Created, Owner, Mode, Checksum, FieldCount };

    DetailsPane(ResultsModel& model, QWidget* parent = nullptr);
    ~DetailsPane() override;

    // The grid row followed, 0 when the pane is empty.
    qint64 Row() const { return m_row; }
    // The grid row of the file on a side, 0 when that side is empty.
    qint64 ShownRow(Side side) const { return m_shown[side]; }
    QLineEdit* FieldBox(Side side, Field field) const { return m_sides[side].Fields[field]; }
    QLabel* PreviewBox(Side side) const { return m_sides[side].Preview; }
    // Whether a field stands out because the other side differs.
    bool Differs(Field field) const { return m_differs[field]; }

public Q_SLOTS:
    // Shows the row's file beside its group's kept file; a header row shows the group's
    // first two files, row 0 or one out of range empties the pane. A hidden pane only notes
    // the row and catches up when it is shown.
    void Follow(qint64 gridRow);
    void Clear();

Q_SIGNALS:
    // A side's preview was put on screen for the file at the path.
    void PreviewShown(int side, const QString& path);

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct SideBoxes {
        QLabel* Caption = nullptr;
        std::array<QLineEdit*, FieldCount> Fields{};
        QLabel* Preview = nullptr;
        QString PreviewKey; // the file whose preview is shown or on its way
        QString PreviewPath;
    };

    void ShowFile(Side side, qint64 row);
    void ShowPreview(int side, const QString& path, const Preview& preview);
    void Restyle();

    ResultsModel& m_model;
    PreviewLoader* m_loader = nullptr;
    std::array<SideBoxes, 2> m_sides;
    std::array<qint64, 2> m_shown{};
    std::array<bool, FieldCount> m_differs{};
    qint64 m_row = 0;
    bool m_behind = false; // Follow was called while the pane was hidden
};
