// The review commands over whole groups: filter, sort, take out of the list, choose the
// kept file. They rearrange the rows the scan filled; the rows' own texts stay as stored.

#include "ResultsModel.h"

#include "app/PathCodec.h"

#include <QRegularExpression>

#include <algorithm>
#include <numeric>

namespace {

bool IsAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A case-insensitive search for ASCII text in a path's stored bytes: no byte of a
// multi-byte character can equal an ASCII one, so nothing needs decoding.
bool ContainsAscii(QByteArrayView haystack, const QByteArray& lowerNeedle) {
    const qsizetype n = lowerNeedle.size();
    for (qsizetype i = 0; i + n <= haystack.size(); ++i) {
        qsizetype k = 0;
        while (k < n && Lower(haystack[i + k]) == lowerNeedle[k])
            ++k;
        if (k == n)
            return true;
    }
    return false;
}

} // namespace

qint64 ResultsModel::GridRow(int qtRow) const {
    if (!m_filterActive)
        return qint64(qtRow) + 1;
    return qtRow >= 0 && size_t(qtRow) < m_shown.size() ? m_shown[size_t(qtRow)] : 0;
}

int ResultsModel::QtRow(qint64 gridRow) const {
    if (!ValidRow(gridRow))
        return -1;
    if (!m_filterActive)
        return int(gridRow - 1);
    const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), gridRow);
    return at != m_shown.end() && *at == gridRow ? int(at - m_shown.begin()) : -1;
}

std::vector<ResultsModel::GroupSpan> ResultsModel::Groups(bool withMembers) const {
    std::vector<GroupSpan> groups;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!(m_rows[i].Flags & FlagHeader) ||
            (withMembers && (m_rows[i].Flags & FlagMember) && !groups.empty()))
            continue;
        if (!groups.empty())
            groups.back().End = i;
        groups.push_back({i, m_rows.size()});
    }
    return groups;
}

size_t ResultsModel::OwnEnd(const GroupSpan& g) const {
    size_t end = g.First + 1;
    while (end < g.End && !(m_rows[end].Flags & FlagMember))
        ++end;
    return end;
}

std::pair<qint64, qint64> ResultsModel::FolderRows(qint64 header) const {
    if (!ValidRow(header) || !HasFlag(header, FlagHeader) || !IsFolderRow(header + 1))
        return {0, -1};
    qint64 last = header + 1;
    while (last < RowCount() && IsFolderRow(last + 1))
        ++last;
    return {header + 1, last};
}

std::vector<qint64> ResultsModel::FolderFiles(qint64 row) const {
    std::vector<qint64> files;
    if (!ValidRow(row) || !IsFolderRow(row))
        return files;
    qint64 header = row;
    while (IsFolderRow(header))
        --header;
    // By path, not by place: a file taken out of the list or made the kept one moves the
    // places in its group.
    const QByteArray prefix = Cell(row, 3).toByteArray() + '/';
    for (qint64 r = FolderRows(header).second + 1;
         r <= RowCount() && (!IsGroupHeader(r) || HasFlag(r, FlagMember)); ++r) {
        if (!HasEmptyMark(r) && Cell(r, 3).startsWith(prefix))
            files.push_back(r);
    }
    return files;
}

std::pair<qint64, qint64> ResultsModel::GroupFiles(qint64 row) const {
    const qint64 header = GroupHeaderOf(row);
    if (header == 0)
        return {0, -1};
    qint64 last = header;
    while (last < RowCount() && !HasEmptyMark(last + 1))
        ++last;
    return {header + 1, last};
}

bool ResultsModel::SetFilter(const QString& text, bool regex) {
    QRegularExpression expression;
    if (regex && !text.isEmpty()) {
        expression = QRegularExpression(text, QRegularExpression::CaseInsensitiveOption);
        if (!expression.isValid()) {
            SetFilter(QString(), false);
            return false;
        }
    }
    const bool ascii = !regex && IsAscii(text);
    const QByteArray needle = text.toLatin1().toLower();
    const auto matches = [&](qint64 row) {
        if (ascii)
            return ContainsAscii(Cell(row, 3), needle);
        const QString path = Text(row, 3);
        return regex ? expression.match(path).hasMatch() : path.contains(text, Qt::CaseInsensitive);
    };
    beginResetModel();
    m_filterActive = !text.isEmpty();
    for (const GroupSpan& g : Groups()) {
        bool shown = !m_filterActive;
        for (size_t i = g.First + 1; !shown && i < g.End; ++i)
            shown = matches(qint64(i) + 1);
        for (size_t i = g.First; i < g.End; ++i)
            m_rows[i].Flags = shown ? quint8(m_rows[i].Flags & ~FlagFiltered)
                                    : quint8(m_rows[i].Flags | FlagFiltered);
    }
    RebuildShown();
    endResetModel();
    return true;
}

void ResultsModel::RebuildShown() {
    m_shown.clear();
    m_shownGroups = 0;
    if (!m_filterActive)
        return;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].Flags & FlagFiltered)
            continue;
        m_shown.push_back(qint64(i) + 1);
        m_shownGroups += (m_rows[i].Flags & (FlagHeader | FlagMember)) == FlagHeader ? 1 : 0;
    }
}

ResultsModel::MarkTotals ResultsModel::HiddenMarks() const {
    MarkTotals hidden;
    if (!m_filterActive)
        return hidden;
    for (qint64 row = 1; row <= RowCount(); ++row) {
        if (IsFiltered(row) && IsMarked(row) && !IsStruck(row)) {
            ++hidden.Files;
            hidden.Bytes += FileSize(row);
        }
    }
    return hidden;
}

void ResultsModel::SortGroups(GroupSort by, bool descending) {
    const std::vector<GroupSpan> groups = Groups();
    struct Key {
        qint64 Number = 0;
        QString Text;
    };
    std::vector<Key> keys(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        const qint64 header = qint64(groups[g].First) + 1;
        // A folder group goes by its folder rows, not by the files that follow them.
        const qint64 first = header + 1, last = qint64(OwnEnd(groups[g]));
        Key& k = keys[g];
        switch (by) {
        case GroupSort::Original:
            k.Number = m_rows[groups[g].First].Group;
            break;
        case GroupSort::Size:
            for (qint64 r = first; r <= last; ++r)
                k.Number += FileSize(r);
            break;
        case GroupSort::Count:
            k.Number = last - first + 1;
            break;
        case GroupSort::Name:
            // Folded once here, so the sort compares plain code units.
            k.Text = Text(header, 2).toCaseFolded();
            break;
        case GroupSort::KeptPath: {
            qint64 kept = first;
            while (kept <= last && !IsUnmarked(kept))
                ++kept;
            k.Text = Text(kept <= last ? kept : first, 3).toCaseFolded();
            break;
        }
        }
    }
    std::vector<size_t> order(groups.size());
    std::iota(order.begin(), order.end(), size_t(0));
    // Equal keys keep the scan's order, whichever way the rest goes.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const int c = by == GroupSort::Name || by == GroupSort::KeptPath
                          ? keys[a].Text.compare(keys[b].Text)
                          : (keys[a].Number > keys[b].Number) - (keys[a].Number < keys[b].Number);
        return descending ? c > 0 : c < 0;
    });

    beginResetModel();
    // Where each row goes, then the rows put there in place: a second half-million-row
    // vector would cost more in fresh pages than the sort itself.
    std::vector<qint64> moved(m_rows.size() + 1, 0); // old grid row -> new
    qint64 next = 1;
    const size_t lead = groups.empty() ? m_rows.size() : groups.front().First;
    for (size_t i = 0; i < lead; ++i)
        moved[i + 1] = next++;
    for (const size_t g : order)
        for (size_t i = groups[g].First; i < groups[g].End; ++i)
            moved[i + 1] = next++;
    std::vector<size_t> to(m_rows.size());
    for (size_t i = 0; i < to.size(); ++i)
        to[i] = size_t(moved[i + 1] - 1);
    for (size_t i = 0; i < to.size(); ++i) {
        while (to[i] != i) {
            std::swap(m_rows[i], m_rows[to[i]]);
            std::swap(to[i], to[to[i]]);
        }
    }
    m_currentRow = moved[size_t(qMax<qint64>(0, m_currentRow))];
    m_highlightedRow = moved[size_t(qMax<qint64>(0, m_highlightedRow))];
    m_previousHighlightedRow = 0;
    m_markAnchor = moved[size_t(qMax<qint64>(0, m_markAnchor))];
    m_sortedBy = by;
    RebuildShown();
    endResetModel();
}

void ResultsModel::Recaption(qint64 header) {
    const auto [first, last] =
        FolderRows(header).first > 0 ? FolderRows(header) : GroupFiles(header + 1);
    qint64 total = 0;
    for (qint64 r = first; r <= last; ++r)
        total += FileSize(r);
    const QString count = QStringLiteral("   (%1 copies)").arg(last - first + 1);
    for (const int col : {2, 3}) {
        QString caption = Text(header, col);
        const qsizetype suffix = caption.lastIndexOf(QStringLiteral("   ("));
        if (suffix >= 0)
            caption.truncate(suffix);
        SetText(header, col, caption + count);
    }
    SetText(header, 4, SizeText(total));
}

void ResultsModel::RemoveFromList(const std::vector<qint64>& rows) {
    std::vector<bool> gone(m_rows.size() + 1, false);
    const std::vector<GroupSpan> whole = Groups();
    const auto spanOf = [&](qint64 header) {
        const auto at = std::upper_bound(whole.begin(), whole.end(), size_t(header - 1),
                                         [](size_t i, const GroupSpan& g) { return i < g.First; });
        return *(at - 1);
    };
    for (const qint64 row : rows) {
        if (!ValidRow(row))
            continue;
        if (FolderRows(row).first > 0) {
            // A folder group goes with every group of its files.
            const GroupSpan g = spanOf(row);
            for (size_t i = g.First; i < g.End; ++i)
                gone[i + 1] = true;
        } else if (IsFolderRow(row)) {
            // A folder leaves its group with its files.
            gone[size_t(row)] = true;
            for (const qint64 file : FolderFiles(row))
                gone[size_t(file)] = true;
        } else if (IsGroupHeader(row)) {
            const auto [first, last] = GroupFiles(row + 1);
            for (qint64 r = row; r <= qMax(row, last); ++r)
                gone[size_t(r)] = true;
        } else if (!HasEmptyMark(row)) {
            gone[size_t(row)] = true;
        }
    }
    std::vector<qint64> recaption;
    for (const GroupSpan& g : Groups(false)) {
        const qint64 header = qint64(g.First) + 1;
        if (gone[size_t(header)] || FolderRows(header).first > 0)
            continue;
        qint64 left = 0, taken = 0;
        for (size_t i = g.First + 1; i < g.End; ++i)
            (gone[i + 1] ? taken : left) += 1;
        if (left < 2) {
            for (size_t i = g.First; i < g.End; ++i)
                gone[i + 1] = true;
        } else if (taken > 0) {
            recaption.push_back(header);
        }
    }
    // A folder group whose files have all left the list has nothing left to act on.
    for (const GroupSpan& g : whole) {
        const size_t own = OwnEnd(g);
        if (own == g.End || gone[g.First + 1])
            continue;
        bool any = false;
        for (size_t i = own; i < g.End && !any; ++i)
            any = !gone[i + 1];
        qint64 folders = 0, taken = 0;
        for (size_t i = g.First + 1; i < own; ++i)
            (gone[i + 1] ? taken : folders) += 1;
        if (!any || folders < 2)
            for (size_t i = g.First; i < g.End; ++i)
                gone[i + 1] = true;
        else if (taken > 0)
            recaption.push_back(qint64(g.First) + 1);
    }
    beginResetModel();
    std::vector<qint64> moved(m_rows.size() + 1, 0);
    std::vector<Row> kept;
    kept.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (gone[i + 1]) {
            CountMarks(qint64(i) + 1, -1);
            m_groupCount -= (m_rows[i].Flags & (FlagHeader | FlagMember)) == FlagHeader ? 1 : 0;
            continue;
        }
        moved[i + 1] = qint64(kept.size()) + 1;
        kept.push_back(std::move(m_rows[i]));
    }
    m_rows = std::move(kept);
    // The place a removed row held goes to the row now there.
    const auto follow = [&](qint64 row) {
        if (row <= 0)
            return qint64(0);
        for (size_t r = size_t(row); r < moved.size(); ++r)
            if (moved[r] > 0)
                return moved[r];
        return RowCount();
    };
    m_currentRow = follow(m_currentRow);
    m_highlightedRow = follow(m_highlightedRow);
    m_previousHighlightedRow = 0;
    m_markAnchor = m_markAnchor > 0 ? moved[size_t(m_markAnchor)] : 0;
    for (const qint64 header : recaption)
        Recaption(moved[size_t(header)]);
    RebuildShown();
    endResetModel();
    NoteMarksChanged();
}

bool ResultsModel::MakeKept(qint64 row) {
    if (ValidRow(row) && IsFolderRow(row)) {
        bool kept = false;
        for (const qint64 file : FolderFiles(row))
            kept = MakeKept(file) || kept;
        qint64 first = row;
        while (IsFolderRow(first - 1))
            --first;
        std::rotate(m_rows.begin() + (first - 1), m_rows.begin() + (row - 1), m_rows.begin() + row);
        for (qint64 r = first; r <= row; ++r)
            RowChanged(r);
        return kept;
    }
    if (!ValidRow(row) || HasEmptyMark(row) || IsStruck(row))
        return false;
    const auto [first, last] = GroupFiles(row);
    std::rotate(m_rows.begin() + (first - 1), m_rows.begin() + (row - 1), m_rows.begin() + row);
    BeginMarks();
    SetMark(first, false);
    for (qint64 r = first + 1; r <= last; ++r)
        SetMark(r, true);
    EndMarks();
    for (qint64 r = first; r <= last; ++r)
        RowChanged(r);
    if (m_highlightedRow >= first && m_highlightedRow <= row)
        m_highlightedRow = m_highlightedRow == row ? first : m_highlightedRow + 1;
    if (m_currentRow >= first && m_currentRow <= row)
        m_currentRow = m_currentRow == row ? first : m_currentRow + 1;
    return true;
}
