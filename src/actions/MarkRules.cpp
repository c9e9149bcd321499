#include "MarkRules.h"

#include "app/modAPI.h"
#include "app/modCommon.h"

#include <string_view>
#include <vector>

namespace MarkRules {

namespace {

bool UnderAny(const QString& path, const QStringList& folders) {
    for (const QString& folder : folders)
        if (modCommon::IsUnderFolder(path, folder))
            return true;
    return false;
}

// Characters, not bytes: an accented name is no longer than its plain twin to a reader.
qint64 Characters(QByteArrayView bytes) {
    qint64 n = 0;
    for (const char c : bytes)
        n += (uchar(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

int Compare(QByteArrayView a, QByteArrayView b) {
    return std::string_view(a.data(), size_t(a.size()))
        .compare(std::string_view(b.data(), size_t(b.size())));
}

// Calls f(first, last) with the file rows of each shown group that holds a row in
// [from, to].
// Groups are told apart as the click rule tells them: by an empty mark cell.
template <class F> void ForEachGroup(const ResultsModel& m, qint64 from, qint64 to, F&& f) {
    qint64 row = qMax<qint64>(1, m.GroupHeaderOf(from));
    const qint64 end = qMin(to, m.RowCount());
    while (row <= m.RowCount()) {
        if (m.HasEmptyMark(row)) {
            if (row > end)
                return;
            ++row;
            continue;
        }
        const qint64 first = row;
        while (row <= m.RowCount() && !m.HasEmptyMark(row))
            ++row;
        if (first > end)
            return;
        // What the filter hides is not the person's to mark unseen.
        if (!m.IsFiltered(first))
            f(first, row - 1);
    }
}

class Marker {
public:
    Marker(ResultsModel& model, const QStringList& protectedFolders)
        : m(model), m_protected(protectedFolders) {}

    bool Protected(qint64 row) const {
        return !m_protected.isEmpty() && UnderAny(m.Text(row, 3), m_protected);
    }

    // The kept file of a group by the rule: still there (not struck) first of all; then,
    // for "first under", under the chosen folder; then protected, then not flagged red (a
    // file an action could not find or trust), then the rule's own order, then list order.
    void Keep(const Request& r, qint64 first, qint64 last) {
        const bool byAge = r.What == Rule::KeepNewest || r.What == Rule::KeepOldest;
        // Exact times when the scan handed them over for every file; rows read back from
        // elsewhere are ordered by their shown time, whose fixed form sorts as text.
        bool bySecs = byAge;
        for (qint64 row = first; bySecs && row <= last; ++row)
            bySecs = m.IsStruck(row) || m.Identity(row).ModifiedSecs != 0;

        qint64 best = 0;
        bool bestUnder = false, bestProtected = false, bestRed = false;
        for (qint64 row = first; row <= last; ++row) {
            if (m.IsStruck(row))
                continue;
            const bool under = r.What == Rule::KeepFirstUnder &&
                               modCommon::IsUnderFolder(m.Text(row, 3), r.Folder);
            const bool prot = Protected(row);
            const bool red = m.IsRed(row);
            if (best == 0 ||
                Better(r, bySecs, row, under, prot, red, best, bestUnder, bestProtected, bestRed)) {
                best = row;
                bestUnder = under;
                bestProtected = prot;
                bestRed = red;
            }
        }
        if (best == 0 || (r.What == Rule::KeepFirstUnder && !bestUnder))
            return;
        BeginGroup();
        for (qint64 row = first; row <= last; ++row)
            if (!m.IsStruck(row))
                Set(row, row != best);
        EndGroup();
    }

    // Marks the group's files the predicate names; when that would leave no unmarked file
    // that is still there, one of them stays unmarked (protected first, then one that was
    // unmarked already, then not red, then the first in the list). A marking rule never
    // unmarks a file it was not asked about.
    template <class P> void MarkWhere(qint64 first, qint64 last, P&& named) {
        m_targets.clear();
        bool otherKept = false;
        for (qint64 row = first; row <= last; ++row) {
            if (m.IsStruck(row))
                continue;
            if (named(row))
                m_targets.push_back(row);
            else if (m.IsUnmarked(row))
                otherKept = true;
        }
        if (m_targets.empty())
            return;
        qint64 spare = 0;
        if (!otherKept) {
            int bestScore = -1;
            for (const qint64 row : m_targets) {
                const int score =
                    (Protected(row) ? 4 : 0) + (m.IsUnmarked(row) ? 2 : 0) + (m.IsRed(row) ? 0 : 1);
                if (score > bestScore) {
                    bestScore = score;
                    spare = row;
                }
            }
            ++m_out.Spared;
        }
        BeginGroup();
        for (const qint64 row : m_targets)
            Set(row, row != spare);
        EndGroup();
    }

    template <class P> void UnmarkWhere(qint64 first, qint64 last, P&& named) {
        BeginGroup();
        for (qint64 row = first; row <= last; ++row)
            if (!m.IsStruck(row) && named(row))
                Set(row, false);
        EndGroup();
    }

    Outcome Finish() {
        m_out.Marked = m.Marks();
        return m_out;
    }

private:
    bool Better(const Request& r, bool bySecs, qint64 a, bool aUnder, bool aProt, bool aRed,
                qint64 b, bool bUnder, bool bProt, bool bRed) const {
        if (aUnder != bUnder)
            return aUnder;
        if (aProt != bProt)
            return aProt;
        if (aRed != bRed)
            return !aRed;
        int order = 0; // < 0: a comes first by the rule
        switch (r.What) {
        case Rule::KeepNewest:
        case Rule::KeepOldest: {
            int older = 0; // < 0: a is older
            if (bySecs) {
                const qint64 sa = m.Identity(a).ModifiedSecs, sb = m.Identity(b).ModifiedSecs;
                older = sa < sb ? -1 : sa > sb ? 1 : 0;
            } else {
                older = Compare(m.RawText(a, 6), m.RawText(b, 6));
            }
            order = r.What == Rule::KeepOldest ? older : -older;
            break;
        }
        case Rule::KeepShortestPath:
        case Rule::KeepLongestPath: {
            const qint64 la = Characters(m.RawText(a, 3)), lb = Characters(m.RawText(b, 3));
            const int shorter = la < lb ? -1 : la > lb ? 1 : 0;
            order = r.What == Rule::KeepShortestPath ? shorter : -shorter;
            break;
        }
        default:
            break;
        }
        // Rows are met in list order, so a tie keeps the earlier one.
        return order < 0;
    }

    void BeginGroup() { m_groupChanged = false; }
    void EndGroup() {
        if (m_groupChanged)
            ++m_out.Groups;
    }
    void Set(qint64 row, bool marked) {
        if (m.SetMark(row, marked)) {
            ++m_out.Changed;
            m_groupChanged = true;
        }
    }

    ResultsModel& m;
    const QStringList& m_protected;
    Outcome m_out;
    bool m_groupChanged = false;
    std::vector<qint64> m_targets;
};

} // namespace

Outcome Apply(ResultsModel& model, const Request& r) {
    Marker marker(model, r.Protected);
    model.BeginMarks();
    const qint64 rows = model.RowCount();
    const QString pattern = r.Pattern.trimmed();
    ForEachGroup(model, 1, rows, [&](qint64 first, qint64 last) {
        const auto under = [&](qint64 row) {
            return modCommon::IsUnderFolder(model.Text(row, 3), r.Folder);
        };
        const auto matching = [&](qint64 row) {
            return modAPI::MyPathMatchSpec(model.Text(row, 2), pattern);
        };
        switch (r.What) {
        case Rule::MarkUnder:
            marker.MarkWhere(first, last, under);
            break;
        case Rule::UnmarkUnder:
            marker.UnmarkWhere(first, last, under);
            break;
        case Rule::MarkMatching:
            // An empty pattern names no file rather than every nameless one.
            if (!pattern.isEmpty())
                marker.MarkWhere(first, last, matching);
            break;
        case Rule::UnmarkMatching:
            if (!pattern.isEmpty())
                marker.UnmarkWhere(first, last, matching);
            break;
        default:
            marker.Keep(r, first, last);
            break;
        }
    });
    model.EndMarks();
    return marker.Finish();
}

Outcome MarkRange(ResultsModel& model, qint64 from, qint64 to,
                  const QStringList& protectedFolders) {
    if (from > to)
        std::swap(from, to);
    from = qMax<qint64>(from, 1);
    to = qMin(to, model.RowCount());
    Marker marker(model, protectedFolders);
    if (from > to)
        return marker.Finish();
    model.BeginMarks();
    ForEachGroup(model, from, to, [&](qint64 first, qint64 last) {
        marker.MarkWhere(first, last, [&](qint64 row) {
            return row >= from && row <= to && !model.IsHidden(row);
        });
    });
    model.EndMarks();
    return marker.Finish();
}

bool ParseKeep(const QString& text, Request& request, QString& error) {
    static const struct {
        const char* Name;
        Rule What;
    } rules[] = {{"newest", Rule::KeepNewest},
                 {"oldest", Rule::KeepOldest},
                 {"shortest", Rule::KeepShortestPath},
                 {"longest", Rule::KeepLongestPath}};
    for (const auto& rule : rules) {
        if (text == QLatin1String(rule.Name)) {
            request.What = rule.What;
            return true;
        }
    }
    const QString firstUnder = QStringLiteral("first-under:");
    if (!text.startsWith(firstUnder)) {
        error = QStringLiteral("unknown rule \"%1\" for --keep (newest, oldest, shortest, "
                               "longest or first-under:DIR)")
                    .arg(text);
        return false;
    }
    const QString given = text.mid(firstUnder.size());
    if (given.isEmpty()) {
        error = QStringLiteral("--keep first-under: needs a folder");
        return false;
    }
    QString folder;
    if (!AbsoluteFolder(given, folder, error))
        return false;
    request.What = Rule::KeepFirstUnder;
    request.Folder = folder;
    return true;
}

bool AbsoluteFolder(const QString& given, QString& folder, QString& error) {
    QString path = given;
    if (!path.startsWith(u'/')) {
        const QString here = modAPI::CurrentFolder();
        if (here.isEmpty()) {
            error = QStringLiteral("the working folder cannot be read to place ") + given;
            return false;
        }
        path = modCommon::QualifyPath(here) + path;
    }
    // By the names alone, as a shell's cd does: the listing holds the paths as the scan
    // walked them, links and all, not as the file system resolves them. Blanks are part of
    // a name here.
    QStringList parts;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != u".") {
            parts << part;
        }
    }
    folder = u'/' + parts.join(u'/');
    return true;
}

QString SizeText(qint64 bytes) {
    if (bytes < 1000)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    // Decimal units, as the desktop's file manager counts them.
    static const char* units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1000.0;
    int unit = 0;
    while (value >= 999.95 && unit < 5) {
        value /= 1000.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + u' ' + QLatin1String(units[unit]);
}

QString FilesText(qint64 files) {
    return files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files);
}

QString TotalsText(const ResultsModel::MarkTotals& totals) {
    return FilesText(totals.Files) + QStringLiteral(" marked, ") + SizeText(totals.Bytes) +
           QStringLiteral(" to free");
}

} // namespace MarkRules
