#include "ResultsModel.h"

#include "app/PathCodec.h"
#include "app/TextEscape.h"

#include <algorithm>

namespace {

const QString HeaderTexts[ResultsModel::ColumnCount] = {
    QString(),
    QString(),
    QStringLiteral("File Name"),
    QStringLiteral("Path"),
    QStringLiteral("Size"),
    QStringLiteral("Created"),
    QStringLiteral("Modified"),
    QStringLiteral("Attributes"),
    QStringLiteral("CRC32"),
    QStringLiteral("MD5"),
};

QByteArray JoinCells(const QString (&texts)[ResultsModel::ColumnCount]) {
    QByteArray cells;
    qsizetype size = ResultsModel::ColumnCount;
    for (const QString& t : texts)
        size += t.size();
    cells.reserve(size);
    for (const QString& t : texts) {
        cells.append(PathCodec::Encode(t));
        cells.append('\0');
    }
    cells.squeeze();
    return cells;
}

} // namespace

QString ResultsModel::SizeText(qint64 size) {
    return QString::number(size) + QStringLiteral(" bytes");
}

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsModel::ClearRecs() {
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_currentRow = 0;
    m_currentCol = 0;
    m_column0Centred = true;
    m_highlightedRow = 0;
    m_previousHighlightedRow = 0;
    m_highlightedCol = 0;
    m_marks = {};
    m_markAnchor = 0;
    m_groupsAdded = 0;
    m_groupCount = 0;
    m_filterActive = false;
    m_shown.clear();
    m_shownGroups = 0;
    m_sortedBy = GroupSort::Original;
    endResetModel();
    NoteMarksChanged();
}

qint64 ResultsModel::AddHeader(const QString& fileName) {
    const QString texts[ColumnCount] = {QStringLiteral("-"), QString(), fileName, fileName};
    const qint64 row = Append(texts, FlagHeader);
    m_column0Centred = true;
    return row;
}

void ResultsModel::AddRow(bool firstRecord, const clsFileDetails& details,
                          const FileIdentity& identity) {
    const QString texts[ColumnCount] = {
        QString(),
        firstRecord ? Unmarked : Marked,
        details.FileName,
        details.FilePath,
        SizeText(details.FileSize),
        details.CreateDateTime,
        details.ModifiedDateTime,
        details.FileAttributes,
        details.CRC32,
        details.MD5,
    };
    Append(texts, 0, identity);
    m_column0Centred = false;
}

void ResultsModel::AddFolderRow(bool, const clsFileDetails& details) {
    const QString texts[ColumnCount] = {
        QString(), QString(), details.FileName,       details.FilePath, SizeText(details.FileSize),
        QString(), QString(), details.FileAttributes,
    };
    Append(texts, FlagFolder);
    m_column0Centred = false;
}

qint64 ResultsModel::AddMemberHeader(const QString& fileName) {
    const QString texts[ColumnCount] = {QStringLiteral("-"), QString(), fileName, fileName};
    return Append(texts, FlagHeader | FlagMember);
}

void ResultsModel::UpdateHeadTotal(qint64 rowNo, qint64 total) {
    SetCurrent(rowNo, m_currentCol);
    SetText(rowNo, 4, SizeText(total));
}

qint64 ResultsModel::UpdateHeader(qint64 rowNo, const QString& text) {
    SetCurrent(rowNo, m_currentCol);
    const QString suffix = QStringLiteral("   (") + text + QStringLiteral(" copies)");
    SetText(rowNo, 2, Text(rowNo, 2) + suffix);
    SetText(rowNo, 3, Text(rowNo, 3) + suffix);
    return 0;
}

void ResultsModel::SetRedraw(bool on) {
    if (!on) {
        if (m_redrawOff++ == 0)
            beginResetModel();
    } else if (m_redrawOff > 0 && --m_redrawOff == 0) {
        endResetModel();
        if (m_marksDirty && m_markBatch == 0) {
            m_marksDirty = false;
            Q_EMIT MarksChanged();
        }
    }
}

qint64 ResultsModel::Append(const QString (&texts)[ColumnCount], quint8 flags,
                            const FileIdentity& identity) {
    const qint64 row = RowCount() + 1;
    if ((flags & FlagHeader) && !(flags & FlagMember)) {
        ++m_groupsAdded;
        ++m_groupCount;
        m_shownGroups += m_filterActive ? 1 : 0;
    }
    // A group added under a filter is shown until the filter is set again.
    const int at = m_filterActive ? int(m_shown.size()) : int(row - 1);
    if (m_redrawOff == 0)
        beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back(Row{JoinCells(texts), identity, flags, m_groupsAdded});
    if (m_filterActive)
        m_shown.push_back(row);
    if (m_redrawOff == 0)
        endInsertRows();
    m_currentRow = row;
    if (IsMarked(row)) {
        CountMarks(row, +1);
        NoteMarksChanged();
    }
    return row;
}

QByteArrayView ResultsModel::Cell(qint64 row, int col) const {
    if (!ValidRow(row) || col < 0 || col >= ColumnCount)
        return {};
    const QByteArray& cells = m_rows[size_t(row - 1)].Cells;
    qsizetype start = 0;
    for (int c = 0; c < col; ++c)
        start = cells.indexOf('\0', start) + 1;
    const qsizetype end = cells.indexOf('\0', start);
    return QByteArrayView(cells.constData() + start, end - start);
}

QString ResultsModel::Text(qint64 row, int col) const {
    if (row == 0 && col >= 0 && col < ColumnCount)
        return HeaderTexts[col];
    return PathCodec::Decode(Cell(row, col));
}

FileIdentity ResultsModel::Identity(qint64 row) const {
    return ValidRow(row) ? m_rows[size_t(row - 1)].Identity : FileIdentity{};
}

void ResultsModel::SetIdentity(qint64 row, const FileIdentity& identity) {
    if (ValidRow(row))
        m_rows[size_t(row - 1)].Identity = identity;
}

void ResultsModel::SetText(qint64 row, int col, const QString& text) {
    if (!ValidRow(row) || col < 0 || col >= ColumnCount)
        return;
    QString texts[ColumnCount];
    for (int c = 0; c < ColumnCount; ++c)
        texts[c] = c == col ? text : Text(row, c);
    const bool counts = col == 1 || col == 4;
    if (counts)
        CountMarks(row, -1);
    m_rows[size_t(row - 1)].Cells = JoinCells(texts);
    if (counts) {
        CountMarks(row, +1);
        NoteMarksChanged();
    }
    RowChanged(row, col, col);
}

qint64 ResultsModel::FileSize(qint64 row) const {
    if (HasEmptyMark(row) && !IsFolderRow(row))
        return 0;
    qint64 size = 0;
    for (const char c : Cell(row, 4)) {
        if (c < '0' || c > '9')
            break;
        size = size * 10 + (c - '0');
    }
    return size;
}

void ResultsModel::CountMarks(qint64 row, int sign) {
    // A removed file frees nothing more, though it keeps its mark.
    if (!IsMarked(row) || IsStruck(row))
        return;
    m_marks.Files += sign;
    m_marks.Bytes += sign * FileSize(row);
}

void ResultsModel::NoteMarksChanged() {
    if (m_redrawOff > 0 || m_markBatch > 0) {
        m_marksDirty = true;
        return;
    }
    m_marksDirty = false;
    Q_EMIT MarksChanged();
}

bool ResultsModel::SetMark(qint64 row, bool marked) {
    const QByteArrayView now = Cell(row, 1);
    const bool isMarked = now == QByteArrayView("[X]");
    if (now.isEmpty() || (isMarked == marked && (isMarked || now == QByteArrayView("[  ]"))))
        return false;
    CountMarks(row, -1);
    // Only the mark cell's bytes change; the row's other cells stay as they are.
    QByteArray& cells = m_rows[size_t(row - 1)].Cells;
    const qsizetype start = cells.indexOf('\0') + 1;
    cells.replace(start, now.size(), marked ? QByteArrayView("[X]") : QByteArrayView("[  ]"));
    CountMarks(row, +1);
    if (m_markBatch > 0) {
        m_batchFirst = m_batchFirst == 0 ? row : qMin(m_batchFirst, row);
        m_batchLast = qMax(m_batchLast, row);
    } else {
        RowChanged(row, 1, 1);
    }
    NoteMarksChanged();
    return true;
}

void ResultsModel::BeginMarks() {
    if (m_markBatch++ == 0)
        m_batchFirst = m_batchLast = 0;
}

void ResultsModel::EndMarks() {
    if (m_markBatch == 0 || --m_markBatch > 0)
        return;
    if (m_batchFirst > 0 && m_redrawOff == 0 && rowCount() > 0) {
        // The shown rows between the first and last changed one; the view repaints only
        // what it shows of them.
        const auto shownFrom = [this](qint64 row) {
            return m_filterActive ? int(std::lower_bound(m_shown.begin(), m_shown.end(), row) -
                                        m_shown.begin())
                                  : int(row - 1);
        };
        const int first = shownFrom(m_batchFirst);
        const int last = qMin(shownFrom(m_batchLast + 1) - 1, rowCount() - 1);
        if (first <= last)
            Q_EMIT dataChanged(index(first, 1), index(last, 1));
    }
    m_batchFirst = m_batchLast = 0;
    if (m_marksDirty && m_redrawOff == 0)
        NoteMarksChanged();
}

bool ResultsModel::HasFlag(qint64 row, RowFlag flag) const {
    return ValidRow(row) && (m_rows[size_t(row - 1)].Flags & flag) != 0;
}

void ResultsModel::SetFlag(qint64 row, RowFlag flag, bool on) {
    if (!ValidRow(row))
        return;
    quint8& flags = m_rows[size_t(row - 1)].Flags;
    const quint8 before = flags;
    if (flag == FlagStruck)
        CountMarks(row, -1);
    flags = on ? quint8(flags | flag) : quint8(flags & ~flag);
    if (flag == FlagStruck) {
        CountMarks(row, +1);
        if (flags != before)
            NoteMarksChanged();
    }
    if (flags != before)
        RowChanged(row);
}

void ResultsModel::RowChanged(qint64 row, int firstCol, int lastCol) {
    const int at = QtRow(row);
    if (m_redrawOff == 0 && at >= 0)
        Q_EMIT dataChanged(index(at, firstCol), index(at, lastCol));
}

void ResultsModel::SetCurrent(qint64 row, int col) {
    m_currentRow = row;
    m_currentCol = col;
}

bool ResultsModel::RowHighlight(qint64 row, int col) {
    if (row == m_highlightedRow)
        return false;
    m_previousHighlightedRow = m_highlightedRow;
    m_highlightedRow = row;
    m_highlightedCol = col;
    if (ValidRow(m_previousHighlightedRow))
        RowChanged(m_previousHighlightedRow);
    if (ValidRow(row))
        RowChanged(row);
    SetCurrent(row, col);
    return true;
}

bool ResultsModel::ValidateSelection(qint64 row) const {
    qint64 start = 0;
    for (qint64 i = row - 1; i >= 1; --i) {
        if (HasEmptyMark(i)) {
            start = i + 1;
            break;
        }
    }
    qint64 end = 0;
    for (qint64 i = row + 1; i <= RowCount(); ++i) {
        if (HasEmptyMark(i)) {
            end = i - 1;
            break;
        }
    }
    if (end == 0)
        end = RowCount();
    int unmarked = 0;
    for (qint64 i = qMax<qint64>(start, 1); i <= end; ++i) {
        if (IsUnmarked(i) && ++unmarked > 1)
            return true;
    }
    return false;
}

ResultsModel::ClickOutcome ResultsModel::Click(qint64 row, int col, MessageService& messages) {
    SetCurrent(row, col);
    if (col == 0 && IsGroupHeader(row)) {
        CollExpRows(row);
        return ClickOutcome::Toggled;
    }
    if (col != 1)
        return ClickOutcome::Nothing;
    if (!HasEmptyMark(row))
        m_markAnchor = row;
    if (IsMarked(row)) {
        if (IsStruck(row)) {
            messages.Inform(
                QStringLiteral("Cannot uncheck the selected file as it has already been deleted"));
            return ClickOutcome::RefusedDeleted;
        }
        SetText(row, 1, Unmarked);
        return ClickOutcome::Unmarked;
    }
    if (IsUnmarked(row)) {
        if (!ValidateSelection(row)) {
            messages.Inform(QStringLiteral(
                "Cannot mark all files as duplicates. At least one file should be unchecked"));
            return ClickOutcome::RefusedLastCopy;
        }
        SetText(row, 1, Marked);
        return ClickOutcome::Marked;
    }
    return ClickOutcome::Nothing;
}

void ResultsModel::CollExpRows(qint64 row) {
    if (!ValidRow(row))
        return;
    // A folder group folds away with its member groups, which open again as they were.
    const bool folders = HasFlag(row + 1, FlagFolder);
    const auto inGroup = [&](qint64 i) {
        return i <= RowCount() && (!IsGroupHeader(i) || (folders && HasFlag(i, FlagMember)));
    };
    if (Cell(row, 0) == QByteArrayView("-")) {
        SetText(row, 0, QStringLiteral("+"));
        for (qint64 i = row + 1; inGroup(i); ++i)
            SetFlag(i, FlagHidden, true);
    } else {
        SetText(row, 0, QStringLiteral("-"));
        bool folded = false;
        for (qint64 i = row + 1; inGroup(i) && IsHidden(i); ++i) {
            if (IsGroupHeader(i))
                folded = Cell(i, 0) == QByteArrayView("+");
            SetFlag(i, FlagHidden, folded && !IsGroupHeader(i));
        }
    }
    SetCurrent(row, 0);
}

qint64 ResultsModel::GroupHeaderOf(qint64 row) const {
    for (qint64 i = qMin(row, RowCount()); i >= 1; --i) {
        if (HasEmptyMark(i) && !IsFolderRow(i))
            return i;
    }
    return 0;
}

qint64 ResultsModel::GetGroupFileCount(const QString& caption) {
    const qsizetype open = caption.lastIndexOf(u'(');
    const qsizetype close = caption.lastIndexOf(QStringLiteral("copies)"));
    if (open < 0 || close <= open)
        return 0;
    // A caption that carries no count (or a garbled one) walks nothing rather than guess.
    return caption.mid(open + 1, close - open - 2).trimmed().toLongLong();
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || m_redrawOff > 0)
        return 0;
    return int(m_filterActive ? m_shown.size() : m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const qint64 row = GridRow(index.row());
    const int col = index.column();
    const bool header = HasFlag(row, FlagHeader);
    switch (role) {
    case Qt::DisplayRole:
        // Names that are not UTF-8 or hold line breaks are shown readably, in the form the
        // logs and reports use; the actions read Text(), never this.
        return TextEscape::Escape(Text(row, col), TextEscape::Breaks::Escape);
    case Qt::CheckStateRole:
        // The mark as a state too, for assistive tools; the cell still shows its text.
        if (col == 1 && !header && !HasEmptyMark(row))
            return IsMarked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ToolTipRole:
        // The path column is elided in the middle; hovering shows all of it.
        if (col == 3 && !header)
            return TextEscape::Escape(Text(row, col), TextEscape::Breaks::Escape);
        return {};
    case Qt::TextAlignmentRole:
        if (col == 1 || (col == 0 && m_column0Centred))
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case StruckRole:
        return col >= 1 && IsStruck(row);
    case BoldRole:
        return header ? (col >= 2 && col <= 5) : col == 1;
    case TextColorRole:
        if (col >= 1 && IsRed(row))
            return QVariant::fromValue(RedColor);
        if (header && col >= 2 && col <= 5)
            return QVariant::fromValue(CaptionColor);
        return {};
    case BackColorRole:
        return row == m_highlightedRow ? QVariant() : QVariant::fromValue(WhiteColor);
    case HighlightedRole:
        return row == m_highlightedRow;
    case FontSizeRole:
        if (col != 0)
            return {};
        return Cell(row, 0) == QByteArrayView("+") ? 10 : 15;
    case HiddenRole:
        return IsHidden(row);
    case MergedRole:
        return header;
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return HeaderTexts[section];
    case TextColorRole:
        return QVariant::fromValue(WhiteColor);
    case BackColorRole:
        return QVariant::fromValue(HeaderBackColor);
    default:
        return {};
    }
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
