#pragma once

#include "app/MessageService.h"
#include "engine/ResultSink.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>
#include <vector>

// The only store of a run's results once the scan has ended: group membership, marks and
// what the actions did live in these rows, and everything after the scan reads them back
// from here. The grid widget only draws it.
//
// Row numbers: the program's own calls (Text, SetText, the marking rules, the action run)
// use the grid's numbering, row 0 the column-header row and rows 1..RowCount() the data rows.
// Qt's interface (rowCount, index, data) sees only the data rows, so Qt row q is grid row q+1
// and the column headers come from headerData.
class ResultsModel final : public QAbstractTableModel, public ResultSink {
    Q_OBJECT

public:
    static constexpr int ColumnCount = 10;

    // Styles the program writes; the view maps them to fonts and colours.
    enum RowFlag : quint8 {
        FlagHeader = 0x01,   // filled by AddHeader: bold, blue-grey caption, merged cells
        FlagStruck = 0x02,   // an action removed the file; it can no longer be unmarked
        FlagRed = 0x04,      // an action could not find the file, or refused to touch it
        FlagHidden = 0x08,   // collapsed under its group header
        FlagFiltered = 0x10, // its group does not match the filter: not in the view at all
        FlagFolder = 0x20,   // a folder of a group of duplicate folders: no file of its own
        FlagMember = 0x40,   // heads a group of files that belongs to the folder group above
    };

    // Orders of the groups; files keep their order inside a group.
    enum class GroupSort { Original, Size, Count, Name, KeptPath };

    // Roles beyond Qt's own, so the model stays free of QtGui types.
    enum Role {
        StruckRole = Qt::UserRole + 1, // bool
        BoldRole,                      // bool
        TextColorRole,                 // 0xRRGGBB as uint; invalid for the default colour
        BackColorRole,                 // 0xRRGGBB as uint; invalid for the default colour
        FontSizeRole,                  // points as int; invalid for the default size
        HiddenRole,                    // bool: the row is drawn at height 0
        MergedRole,                    // bool: equal neighbouring cells are drawn as one
        HighlightedRole,               // bool: drawn in the button-face colour
    };

    enum class ClickOutcome { Nothing, Marked, Unmarked, RefusedDeleted, RefusedLastCopy, Toggled };

    static inline const QString Marked = QStringLiteral("[X]");
    static inline const QString Unmarked = QStringLiteral("[  ]");
    static constexpr quint32 CaptionColor = 0x4B4B91;    // RGB(75,75,145)
    static constexpr quint32 RedColor = 0xFF0000;        // RGB(255,0,0)
    static constexpr quint32 HeaderBackColor = 0x9C9CAD; // RGB(156,156,173)
    static constexpr quint32 WhiteColor = 0xFFFFFF;

    // A size as the Size column shows it: "12 bytes".
    static QString SizeText(qint64 size);

    explicit ResultsModel(QObject* parent = nullptr);

    // ResultSink: the grouping pass fills the model through these.
    void ClearRecs() override;
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;
    // A folder row has an empty mark cell, as a header has: no click, rule or command can
    // mark it, and every action passes over it. Removing a folder's files because its
    // row looked marked would take files no one chose.
    void AddFolderRow(bool firstRecord, const clsFileDetails& details) override;
    // The files of a folder group come as groups of their own, marked and acted on as any
    // file group, but ordered, filtered, collapsed and taken out of the list with their
    // folder group, and not counted as groups themselves.
    qint64 AddMemberHeader(const QString& fileName) override;

    // Redraw off while a scan fills hundreds of thousands of rows: views hear one reset
    // instead of a signal per row. Calls nest.
    void SetRedraw(bool on);

    qint64 RowCount() const { return qint64(m_rows.size()); }
    // Grid numbering; row 0 gives the column headers, rows out of range the empty text.
    QString Text(qint64 row, int col) const;
    void SetText(qint64 row, int col, const QString& text);
    bool IsMarked(qint64 row) const { return Cell(row, 1) == QByteArrayView("[X]"); }
    bool IsUnmarked(qint64 row) const { return Cell(row, 1) == QByteArrayView("[  ]"); }
    // Group boundaries as the marking rule sees them: an empty mark cell.
    bool HasEmptyMark(qint64 row) const { return Cell(row, 1).isEmpty(); }
    // As collapsing sees them: a non-empty column 0.
    bool IsGroupHeader(qint64 row) const { return !Cell(row, 0).isEmpty(); }

    // The file the scan saw for the row; unknown for headers and rows out of range.
    FileIdentity Identity(qint64 row) const;
    // After the program itself changed the file in a way the scan could not foresee (a
    // hard link to it adds a name and so moves its change time).
    void SetIdentity(qint64 row, const FileIdentity& identity);

    // Marked files that no action has removed yet, and the bytes removing them would free.
    struct MarkTotals {
        qint64 Files = 0;
        qint64 Bytes = 0;
    };
    MarkTotals Marks() const { return m_marks; }
    // The file's size as its Size cell reads, a folder's total for a folder row; 0 for a
    // header.
    qint64 FileSize(qint64 row) const;
    // A cell's stored bytes, undecoded (a path's own bytes in column 3); valid until the
    // row changes.
    QByteArrayView RawText(qint64 row, int col) const { return Cell(row, col); }
    // Sets or clears one file row's mark and touches nothing else; false when the row is no
    // file row or already shows it. Between BeginMarks and EndMarks the views hear of every
    // change at once, so a rule over half a million rows repaints once.
    bool SetMark(qint64 row, bool marked);
    void BeginMarks();
    void EndMarks();
    // The file row whose mark was last clicked or toggled by key; 0 for none. Range marking
    // starts there.
    qint64 MarkAnchor() const { return m_markAnchor; }

    bool HasFlag(qint64 row, RowFlag flag) const;
    void SetFlag(qint64 row, RowFlag flag, bool on);
    bool IsStruck(qint64 row) const { return HasFlag(row, FlagStruck); }
    bool IsRed(qint64 row) const { return HasFlag(row, FlagRed); }
    bool IsHidden(qint64 row) const { return HasFlag(row, FlagHidden); }
    bool IsFolderRow(qint64 row) const { return HasFlag(row, FlagFolder); }
    // The file rows of the folder row's folder in the groups of its folder group: one per
    // member group, none for a row that is no folder row.
    std::vector<qint64> FolderFiles(qint64 row) const;
    // The folder rows of the folder group the header opens; {0, -1} for any other header.
    std::pair<qint64, qint64> FolderRows(qint64 header) const;

    // The grid's current cell; the action run and the single-row commands act on it.
    qint64 CurrentRow() const { return m_currentRow; }
    int CurrentCol() const { return m_currentCol; }
    void SetCurrent(qint64 row, int col);
    bool Column0Centred() const { return m_column0Centred; }

    // Highlight bookkeeping of the window; returns false when the row already was highlighted.
    bool RowHighlight(qint64 row, int col);
    qint64 HighlightedRow() const { return m_highlightedRow; }
    qint64 PreviousHighlightedRow() const { return m_previousHighlightedRow; }
    int HighlightedCol() const { return m_highlightedCol; }

    // Whether the file in the row may be marked: its group keeps another unmarked file.
    bool ValidateSelection(qint64 row) const;
    // A click on a cell: toggles a mark within the marking rules (telling the user when a
    // rule refuses) or collapses and expands a group from its header's column 0.
    ClickOutcome Click(qint64 row, int col, MessageService& messages = Messages());
    // Collapses or expands the group whose header is the row.
    void CollExpRows(qint64 row);
    // The first row of the group holding the row (its header), 0 when there is none.
    qint64 GroupHeaderOf(qint64 row) const;
    // The copy count from a header caption such as "a.txt   (3 copies)".
    static qint64 GetGroupFileCount(const QString& caption);

    // Which groups the view holds: those with a file whose path contains the text, ignoring
    // case, or matches it as a regular expression. Marking rules pass over the groups left
    // out; actions still take every marked file. An empty text shows every group. False for
    // an invalid expression, which leaves every group shown.
    bool SetFilter(const QString& text, bool regex);
    bool IsFiltered(qint64 row) const { return HasFlag(row, FlagFiltered); }
    bool FilterActive() const { return m_filterActive; }
    qint64 GroupCount() const { return m_groupCount; }
    qint64 ShownGroupCount() const { return m_filterActive ? m_shownGroups : m_groupCount; }
    // Marked files the filter hides, counted as Marks() counts them.
    MarkTotals HiddenMarks() const;

    // Reorders whole groups (Original: as the scan handed them over), keeping the filter.
    // Grid row numbers change as after a new fill.
    void SortGroups(GroupSort by, bool descending);
    GroupSort SortedBy() const { return m_sortedBy; }

    // The view's rows are the grid's rows less the filtered ones.
    qint64 GridRow(int qtRow) const;
    // -1 for a row the filter hides.
    int QtRow(qint64 gridRow) const;

    // Takes rows out of the list, not off the disk: a header takes its whole group, and a
    // group left with fewer than two files leaves with them. Headers follow what is left.
    void RemoveFromList(const std::vector<qint64>& rows);
    // Makes the file the group's first file, unmarked, and marks every other file of the
    // group that an action has not already removed. For a folder row, does so for each of
    // its files in their groups and makes it the first folder. False for a header or a
    // removed file (for a folder, when none of its files could be kept).
    bool MakeKept(qint64 row);
    // The first and last file rows of the group that holds the row; {0, -1} for none.
    std::pair<qint64, qint64> GroupFiles(qint64 row) const;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // Marks() may have changed: a mark, a removal, or a new fill.
    void MarksChanged();

private:
    // One row costs one allocation: its ten texts as UTF-8, each ended by a NUL (no path
    // or text the program shows can hold one), plus a byte of style flags and the file's
    // identity. A path's bytes that are not UTF-8 are stored as those very bytes, so the
    // path read back names the same file.
    struct Row {
        QByteArray Cells;
        FileIdentity Identity;
        quint8 Flags = 0;
        qint32 Group = 0; // the group's place in the order the scan handed it over
    };

    QByteArrayView Cell(qint64 row, int col) const;
    qint64 Append(const QString (&texts)[ColumnCount], quint8 flags,
                  const FileIdentity& identity = {});
    void RowChanged(qint64 row, int firstCol = 0, int lastCol = ColumnCount - 1);
    bool ValidRow(qint64 row) const { return row >= 1 && row <= RowCount(); }
    void CountMarks(qint64 row, int sign);
    void NoteMarksChanged();
    void RebuildShown();
    void Recaption(qint64 header);
    struct GroupSpan {
        size_t First; // index into m_rows of the header
        size_t End;   // one past the group's last row
    };
    // Whole groups: a folder group spans its member groups. With members false, every
    // header opens a span of its own.
    std::vector<GroupSpan> Groups(bool withMembers = true) const;
    // The end of the rows a whole group's own keys come from: before its first member.
    size_t OwnEnd(const GroupSpan& g) const;

    std::vector<Row> m_rows; // m_rows[0] is grid row 1
    int m_redrawOff = 0;
    qint64 m_currentRow = 0;
    int m_currentCol = 0;
    bool m_column0Centred = true;
    qint64 m_highlightedRow = 0;
    qint64 m_previousHighlightedRow = 0;
    int m_highlightedCol = 0;
    MarkTotals m_marks;
    bool m_marksDirty = false;
    int m_markBatch = 0;
    qint64 m_batchFirst = 0;
    qint64 m_batchLast = 0;
    qint64 m_markAnchor = 0;
    qint32 m_groupsAdded = 0;
    qint64 m_groupCount = 0;
    // With a filter active, the grid rows the view holds, in order.
    bool m_filterActive = false;
    std::vector<qint64> m_shown;
    qint64 m_shownGroups = 0;
    GroupSort m_sortedBy = GroupSort::Original;
};
