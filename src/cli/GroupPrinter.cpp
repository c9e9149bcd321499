#include "GroupPrinter.h"

#include "app/PathCodec.h"
#include "engine/FileList.h"
#include "engine/clsMD5.h"
#include <algorithm>

#include <QFile>

#include <unordered_map>

qint64 GroupPrinter::AddHeader(const QString&) {
    if (m_tally.Groups > 0 && m_out)
        std::fputc(m_end, m_out);
    return ++m_tally.Groups;
}

void GroupPrinter::AddRow(bool firstRecord, const clsFileDetails& details, const FileIdentity&) {
    if (m_out) {
        // The path as the file system spells it, so the output can be fed back to other
        // tools.
        const QByteArray path = PathCodec::Encode(details.FilePath);
        std::fwrite(path.constData(), 1, size_t(path.size()), m_out);
        std::fputc(m_end, m_out);
    }
    m_tally.Row(firstRecord, details.FileSize);
}

// The path's bytes as the list holds them are what AddRow writes: Encode(Decode(b)) == b.
void GroupPrinter::AddListRow(bool firstRecord, const FileList& list, size_t index) {
    const FileRecord& r = list[index];
    if (m_out) {
        const std::string path = list.PathBytes(r);
        std::fwrite(path.data(), 1, path.size(), m_out);
        std::fputc(m_end, m_out);
    }
    m_tally.Row(firstRecord, r.Size);
}

void GroupPrinter::UpdateHeadTotal(qint64, qint64) {}

qint64 GroupPrinter::UpdateHeader(qint64, const QString&) {
    return 1;
}

// ---- JSON ------------------------------------------------------------------------------

namespace {

QByteArray JsonString(const QByteArray& utf8) {
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out.append('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out.append("\\u00").append(hex[u >> 4]).append(hex[u & 0xf]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
    return out;
}

QByteArray Number(qint64 n) {
    return QByteArray::number(n);
}

// The criteria of the list, in the order the comparison key takes them.
QByteArray CriteriaJson(const FileList& list) {
    QByteArrayList criteria;
    if (list.KeyName)
        criteria << "\"name\"";
    if (list.KeySize || list.Content != FileList::ContentKind::None)
        criteria << "\"size\"";
    if (list.KeyCreated)
        criteria << "\"created\"";
    if (list.KeyModified)
        criteria << "\"modified\"";
    if (list.Content == FileList::ContentKind::Crc)
        criteria << "\"crc32\"";
    else if (list.Content == FileList::ContentKind::Md5)
        criteria << "\"md5\"";
    return "[" + criteria.join(',') + "]";
}

} // namespace

struct JsonGroupPrinter::Index {
    struct Hash {
        size_t operator()(const std::pair<quint64, quint64>& k) const {
            return std::hash<quint64>()(k.second * 0x9E3779B97F4A7C15ull ^ k.first);
        }
    };
    std::unordered_map<std::pair<quint64, quint64>, size_t, Hash> Records;
};

JsonGroupPrinter::JsonGroupPrinter(std::FILE* out, const FileList& list)
    : m_out(out), m_list(list) {}

JsonGroupPrinter::~JsonGroupPrinter() = default;

void JsonGroupPrinter::Write(const QByteArray& text) {
    std::fwrite(text.constData(), 1, size_t(text.size()), m_out);
}

QByteArray JsonGroupPrinter::PathValue(const QString& path) {
    if (!PathCodec::HasRawBytes(path))
        return JsonString(path.toUtf8());
    QByteArray out("[");
    const QByteArray bytes = PathCodec::Encode(path);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out.append(',');
        out.append(Number(static_cast<unsigned char>(bytes[i])));
    }
    out.append(']');
    return out;
}

void JsonGroupPrinter::Begin() {
    Write("{\"version\":1,\"criteria\":" + CriteriaJson(m_list) + ",\"groups\":[\n");
    m_begun = true;
}

qint64 JsonGroupPrinter::AddHeader(const QString&) {
    if (!m_begun)
        Begin();
    else
        Write("]},\n");
    return ++m_tally.Groups;
}

void JsonGroupPrinter::AddRow(bool firstRecord, const clsFileDetails& details,
                              const FileIdentity& identity) {
    if (!m_index) {
        m_index = std::make_unique<Index>();
        m_index->Records.reserve(m_list.size());
        for (size_t i = 0; i < m_list.size(); ++i)
            m_index->Records.emplace(std::pair(m_list.DeviceOf(m_list[i]), m_list[i].Inode), i);
    }
    const FileRecord* record = nullptr;
    if (const auto it = m_index->Records.find({identity.Device, identity.Inode});
        it != m_index->Records.end())
        record = &m_list[it->second];

    QByteArray file =
        "{\"path\":" + PathValue(details.FilePath) + ",\"size\":" + Number(details.FileSize);
    QByteArray signature;
    if (record) {
        file += ",\"modified\":" + Number(record->ModifiedSecs()) +
                ",\"created\":" + Number(record->CreatedSecs);
        if (record->HasSignature()) {
            const Signature& s = m_list.SignatureOf(*record);
            if (m_list.Content == FileList::ContentKind::Crc)
                signature = ",\"crc32\":" + QByteArray::number(s.Crc);
            else if (m_list.Content == FileList::ContentKind::Md5)
                signature = ",\"md5\":\"" + clsMD5::Text(s.Digest).toLatin1() + '"';
        }
        file += signature;
    }
    file += '}';

    if (firstRecord) {
        // What the group's files share: the values of the criteria, from its first file.
        QByteArrayList key;
        if (m_list.KeyName)
            key << "\"name\":" + PathValue(details.FileName);
        if (m_list.KeySize || m_list.Content != FileList::ContentKind::None)
            key << "\"size\":" + Number(details.FileSize);
        if (record && m_list.KeyCreated)
            key << "\"created\":" + Number(record->CreatedSecs);
        if (record && m_list.KeyModified)
            key << "\"modified\":" + Number(record->ModifiedSecs());
        if (!signature.isEmpty())
            key << signature.mid(1);
        Write("{\"key\":{" + key.join(',') + "},\"files\":[\n" + file);
    } else {
        Write(",\n" + file);
    }
    m_tally.Row(firstRecord, details.FileSize);
}

void JsonGroupPrinter::UpdateHeadTotal(qint64, qint64) {}

qint64 JsonGroupPrinter::UpdateHeader(qint64, const QString&) {
    return 1;
}

void JsonGroupPrinter::Finish() {
    if (!m_begun)
        Begin();
    else if (m_tally.Groups > 0)
        Write("]}\n");
    Write("],\"summary\":{\"groups\":" + Number(m_tally.Groups) +
          ",\"duplicate_files\":" + Number(m_tally.DuplicateFiles) +
          ",\"bytes_to_free\":" + Number(m_tally.BytesToFree) + "}}\n");
}

void SortingSink::ClearRecs() {
    m_groups.clear();
    m_next.ClearRecs();
}

qint64 SortingSink::AddHeader(const QString& fileName) {
    m_groups.push_back({fileName, {}, 0, {}});
    return qint64(m_groups.size());
}

void SortingSink::AddRow(bool firstRecord, const clsFileDetails& details,
                         const FileIdentity& identity) {
    if (!m_groups.empty())
        m_groups.back().Rows.push_back({details, identity, firstRecord});
}

void SortingSink::UpdateHeadTotal(qint64 rowNo, qint64 total) {
    if (rowNo >= 1 && size_t(rowNo) <= m_groups.size())
        m_groups[size_t(rowNo - 1)].Total = total;
}

qint64 SortingSink::UpdateHeader(qint64 rowNo, const QString& text) {
    if (rowNo >= 1 && size_t(rowNo) <= m_groups.size())
        m_groups[size_t(rowNo - 1)].Count = text;
    return 0;
}

void SortingSink::Finish() {
    std::stable_sort(m_groups.begin(), m_groups.end(), [this](const Group& a, const Group& b) {
        if (m_by == u"size")
            return a.Total > b.Total;
        if (m_by == u"count")
            return a.Rows.size() > b.Rows.size();
        return a.Name.compare(b.Name, Qt::CaseInsensitive) < 0;
    });
    for (const Group& g : m_groups) {
        const qint64 header = m_next.AddHeader(g.Name);
        for (const HeldRow& row : g.Rows)
            m_next.AddRow(row.First, row.Details, row.Identity);
        m_next.UpdateHeadTotal(header, g.Total);
        m_next.UpdateHeader(header, g.Count);
    }
    m_groups.clear();
}

GroupTally WriteFolderGroupsJson(std::FILE* out, const std::vector<FolderGroups::Group>& groups,
                                 const FileList& list) {
    GroupTally tally;
    QByteArray text = "{\"version\":1,\"criteria\":" + CriteriaJson(list) + ",\"folder_groups\":[";
    for (const FolderGroups::Group& group : groups) {
        text += tally.Groups++ > 0 ? ",\n" : "\n";
        // Every folder of a group holds the same, so the first one speaks for them all.
        text += "{\"size\":" + Number(group.front().TotalSize) +
                ",\"files\":" + Number(group.front().FileCount) + ",\"folders\":[";
        bool first = true;
        for (const FolderGroups::Folder& folder : group) {
            text += first ? "\n" : ",\n";
            text += "{\"path\":" + JsonGroupPrinter::PathValue(folder.Path) +
                    ",\"size\":" + Number(folder.TotalSize) +
                    ",\"files\":" + Number(folder.FileCount) + "}";
            tally.Row(first, folder.TotalSize);
            first = false;
        }
        text += "]}";
        std::fwrite(text.constData(), 1, size_t(text.size()), out);
        text.clear();
    }
    if (tally.Groups > 0)
        text += "\n";
    text += "],\"summary\":{\"groups\":" + Number(tally.Groups) +
            ",\"duplicate_folders\":" + Number(tally.DuplicateFiles) +
            ",\"bytes_to_free\":" + Number(tally.BytesToFree) + "}}\n";
    std::fwrite(text.constData(), 1, size_t(text.size()), out);
    return tally;
}
