#include "ProfileList.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <algorithm>
#include <cerrno>

namespace ProfileList {

namespace {

bool DocumentExists(const QString& name) {
    bool exists = false;
    modAPI::MyPathFileExists(modCommon::ProfileFolder + name + QStringLiteral(".xml"), exists);
    return exists;
}

// Dates of the fixed form compare in time order as text.
bool IsLaterRun(const QString& candidate, const QString& current) {
    return !candidate.trimmed().isEmpty() && candidate.trimmed() > current.trimmed();
}

} // namespace

int GetProfiles(const QString& folder, QStringList& paths, QStringList& dates) {
    paths.clear();
    dates.clear();
    const QString base = modCommon::QualifyPath(folder);
    modAPI::ScanFolder dir;
    const QByteArray encoded = PathCodec::Encode(base);
    if (const int err = dir.Open(encoded.constData()); err != 0) {
        modAPI::ReportAPIError(QStringLiteral("MyFindFirstFile"), base + QStringLiteral("*.*"),
                               err);
        return Failed;
    }
    std::string_view raw;
    modAPI::EntryType type = modAPI::EntryType::Unknown;
    while (dir.Next(raw, type)) {
        const QString name = PathCodec::Decode(QByteArrayView(raw.data(), qsizetype(raw.size())));
        if (name == u"." || name == u".." || name == u"AllProfiles.xml" ||
            !name.contains(QStringLiteral(".xml")))
            continue;
        modAPI::ScanStat st;
        int error = 0;
        if (dir.StatEntry(raw, st, error) != Success)
            continue;
        const quint32 attributes = modAPI::AttributesFor(name, st.Type, st.Mode, false);
        constexpr quint32 hiddenSystem = modAPI::AttrHidden | modAPI::AttrSystem;
        if ((attributes & hiddenSystem) == hiddenSystem)
            continue;
        paths.append(base + name);
        dates.append(modLog::DateTextFromSecs(st.ModifiedSecs));
    }
    return Success;
}

std::vector<Row> ListRows(int& listResult) {
    QStringList paths;
    QStringList dates;
    listResult = GetProfiles(modCommon::ProfileFolder, paths, dates);
    // The folder's own order changes with every save; the list keeps the names' order,
    // and of "Work.xml" and "Work.old.xml" the profile's own document comes first.
    std::vector<qsizetype> order(size_t(paths.size()));
    for (qsizetype i = 0; i < paths.size(); ++i)
        order[size_t(i)] = i;
    const auto fileOf = [&](qsizetype i) { return paths[i].mid(paths[i].lastIndexOf(u'/') + 1); };
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const QString x = fileOf(a);
        const QString y = fileOf(b);
        const QString nx = x.left(x.indexOf(u'.'));
        const QString ny = y.left(y.indexOf(u'.'));
        if (const int c = nx.compare(ny, Qt::CaseInsensitive); c != 0)
            return c < 0;
        if (nx != ny)
            return nx < ny;
        return x.size() < y.size();
    });
    QStringList sortedPaths, sortedDates;
    for (const qsizetype i : order) {
        sortedPaths << paths[i];
        sortedDates << dates[i];
    }
    paths = std::move(sortedPaths);
    dates = std::move(sortedDates);
    std::vector<Catalogue::Entry> entries;
    const bool catalogueRead = Catalogue::ReadEntries(entries) == Success;
    std::vector<Row> rows;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString file = paths[i].mid(paths[i].lastIndexOf(u'/') + 1);
        const QString name = file.left(file.indexOf(u'.'));
        // "Work.old.xml" reads as "Work" too; one row per profile is enough.
        if (name.isEmpty() || !DocumentExists(name) || FindRow(rows, name) >= 0)
            continue;
        Row row{name, dates[i], QString(), QString()};
        if (catalogueRead) {
            // The catalogue's lookup matches the name exactly.
            const auto it = std::find_if(entries.begin(), entries.end(),
                                         [&](const Catalogue::Entry& e) { return e.Name == name; });
            if (it != entries.end()) {
                row.LastRun = it->LastRun;
                row.Status = it->Status;
            } else {
                row.Status = QStringLiteral("Never");
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

qsizetype FindRow(const std::vector<Row>& rows, const QString& name) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return qsizetype(i);
    return -1;
}

std::vector<Catalogue::Entry> MergeForSave(const std::vector<Row>& rows,
                                           const std::vector<Catalogue::Entry>& onDisk) {
    std::vector<Catalogue::Entry> merged;
    merged.reserve(rows.size() + onDisk.size());
    for (const Row& row : rows) {
        Catalogue::Entry entry{row.Name, row.LastRun, row.Status};
        for (const Catalogue::Entry& disk : onDisk) {
            if (disk.Name.compare(row.Name, Qt::CaseInsensitive) == 0 &&
                IsLaterRun(disk.LastRun, entry.LastRun)) {
                entry.LastRun = disk.LastRun;
                entry.Status = disk.Status;
            }
        }
        merged.push_back(std::move(entry));
    }
    for (const Catalogue::Entry& disk : onDisk) {
        const bool listed =
            std::any_of(merged.begin(), merged.end(), [&](const Catalogue::Entry& e) {
                return e.Name.compare(disk.Name, Qt::CaseInsensitive) == 0;
            });
        // A profile deleted from the list has no document any more and is dropped here.
        if (!listed && !disk.Name.isEmpty() && DocumentExists(disk.Name))
            merged.push_back(disk);
    }
    return merged;
}

int SaveRows(const std::vector<Row>& rows) {
    if (rows.empty())
        return Success;
    std::vector<Catalogue::Entry> onDisk;
    // An unreadable catalogue has nothing to add; the list is written as it is.
    if (Catalogue::ReadEntries(onDisk) != Success)
        onDisk.clear();
    return Catalogue::SaveEntries(MergeForSave(rows, onDisk));
}

double LastRunColumnTwips(qsizetype rowCount) {
    // The narrow width is the single-precision value the list was always given.
    return rowCount < 20 ? 1400.0 : double(1150.189f);
}

} // namespace ProfileList
