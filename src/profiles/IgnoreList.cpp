#include "IgnoreList.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"

#include <algorithm>

namespace {

const QByteArray Heading = QByteArrayLiteral(
    "# Echofind ignore list: size, a tab, the path (%, tab and line breaks as %XX)\n");

bool NeedsEscape(char c) {
    return c == '%' || (unsigned char)(c) < 0x20 || c == 0x7f;
}

} // namespace

QString IgnoreList::FileBeside(const QString& documentPath) {
    QString file = documentPath;
    if (file.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        file.chop(4);
    return file + QStringLiteral(".ignore");
}

QByteArray IgnoreList::Line(const Entry& entry) {
    QByteArray line = QByteArray::number(entry.Size) + '\t';
    for (const char c : PathCodec::Encode(entry.Path)) {
        if (NeedsEscape(c))
            line += '%' + QByteArray(1, c).toHex().toUpper();
        else
            line += c;
    }
    return line + '\n';
}

bool IgnoreList::ParseLine(QByteArrayView line, Entry& entry) {
    const qsizetype tab = line.indexOf('\t');
    if (tab <= 0 || line.startsWith('#'))
        return false;
    bool ok = false;
    entry.Size = line.first(tab).toLongLong(&ok);
    const QByteArray path = QByteArray::fromPercentEncoding(line.sliced(tab + 1).toByteArray());
    if (!ok || entry.Size < 0 || !path.startsWith('/'))
        return false;
    entry.Path = PathCodec::Decode(path);
    return true;
}

int IgnoreList::Load(const QString& file, QString* error) {
    m_entries.clear();
    m_index.clear();
    bool exists = false;
    modAPI::MyPathFileExists(file, exists);
    if (!exists)
        return Success;
    QByteArray data;
    if (modAPI::MyReadFile(file, data) != Success) {
        if (error)
            *error = file + QStringLiteral(": ") + modAPI::SystemMessage(modAPI::LastAPIError);
        return Failed;
    }
    for (const QByteArray& line : data.split('\n')) {
        Entry entry;
        if (ParseLine(line.endsWith('\r') ? line.chopped(1) : line, entry))
            Add(entry);
    }
    return Success;
}

int IgnoreList::Save(const QString& file) const {
    if (m_entries.empty()) {
        bool exists = false;
        modAPI::MyPathFileExists(file, exists);
        return exists ? modAPI::MyDeleteFile(file) : Success;
    }
    QByteArray data = Heading;
    for (const Entry& entry : m_entries)
        data += Line(entry);
    return modAPI::SaveFileAtomically(file, data);
}

bool IgnoreList::Add(const Entry& entry) {
    if (Contains(entry.Path, entry.Size))
        return false;
    m_entries.push_back(entry);
    m_index.insert(entry.Path, entry.Size);
    return true;
}

void IgnoreList::Remove(size_t index) {
    if (index >= m_entries.size())
        return;
    m_entries.erase(m_entries.begin() + qsizetype(index));
    m_index.clear();
    for (const Entry& entry : m_entries)
        m_index.insert(entry.Path, entry.Size);
}

bool IgnoreList::Contains(const QString& path, qint64 size) const {
    const auto found = m_index.constFind(path);
    return found != m_index.constEnd() && found.value() == size;
}

qint64 IgnoreList::DropFolderGroups(std::vector<FolderGroups::Group>& groups) const {
    if (IsEmpty())
        return 0;
    return qint64(std::erase_if(groups, [this](const FolderGroups::Group& group) {
        return std::all_of(group.begin(), group.end(), [this](const FolderGroups::Folder& f) {
            return Contains(f.Path, f.TotalSize);
        });
    }));
}

void IgnoringSink::ClearRecs() {
    m_rows.clear();
    m_dropped = 0;
    m_next.ClearRecs();
}

qint64 IgnoringSink::AddHeader(const QString& fileName) {
    m_header = fileName;
    m_rows.clear();
    m_total = 0;
    return 1;
}

void IgnoringSink::AddRow(bool firstRecord, const clsFileDetails& details,
                          const FileIdentity& identity) {
    m_rows.push_back({details, identity, firstRecord});
}

void IgnoringSink::UpdateHeadTotal(qint64, qint64 total) {
    m_total = total;
}

qint64 IgnoringSink::UpdateHeader(qint64, const QString& text) {
    bool listed = !m_rows.empty();
    for (const HeldRow& row : m_rows)
        listed = listed && m_list.Contains(row.Details.FilePath, row.Details.FileSize);
    if (listed) {
        ++m_dropped;
        return 0;
    }
    const qint64 header = m_next.AddHeader(m_header);
    for (const HeldRow& row : m_rows)
        m_next.AddRow(row.First, row.Details, row.Identity);
    m_next.UpdateHeadTotal(header, m_total);
    return m_next.UpdateHeader(header, text);
}
