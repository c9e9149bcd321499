#include "FileList.h"

#include "clsCRC.h"
#include "clsFileDetails.h"
#include "clsMD5.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modLog.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <numeric>

// A scan holds hundreds of thousands of these; the benchmark's memory target counts on it.
static_assert(sizeof(FileRecord) <= 64);

void FileList::clear() {
    m_records.clear();
    m_folders.clear();
    m_folderIds.clear();
    m_folderRanks.clear();
    m_names.clear();
    m_signatures.clear();
    m_devices.clear();
    m_lastDevice = 0;
}

quint32 FileList::AddFolder(std::string_view folder, FolderIdentity identity) {
    m_folders.emplace_back(folder);
    m_folderIds.push_back(identity);
    return quint32(m_folders.size() - 1);
}

bool FileList::Append(FileRecord record, std::string_view name, quint64 device) {
    if (name.size() > MaxNameBytes ||
        m_names.size() + name.size() + 2 > std::numeric_limits<quint32>::max())
        return false;
    // A folder's files nearly always share its device, so the last one is asked first.
    if (m_devices.empty() || m_devices[m_lastDevice] != device) {
        size_t index =
            size_t(std::find(m_devices.begin(), m_devices.end(), device) - m_devices.begin());
        if (index == m_devices.size()) {
            if (index > std::numeric_limits<quint16>::max())
                return false;
            m_devices.push_back(device);
        }
        m_lastDevice = quint16(index);
    }
    record.DeviceIndex = m_lastDevice;
    record.NameOffset = quint32(m_names.size());
    record.NameKey = 0;
    record.Flags |= FileRecord::FlagAsciiKey;
    for (size_t i = 0; i < 8; ++i) {
        unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
        if (c >= 0x80) {
            record.Flags &= quint8(~FileRecord::FlagAsciiKey);
            break;
        }
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        record.NameKey = (record.NameKey << 8) | c;
    }
    const unsigned char length[2] = {
        static_cast<unsigned char>(name.size() < 0x80 ? name.size() : (name.size() & 0x7f) | 0x80),
        static_cast<unsigned char>(name.size() >> 7)};
    m_names.append(reinterpret_cast<const char*>(length), name.size() < 0x80 ? 1 : 2);
    m_names.append(name.data(), name.size());
    m_records.push_back(record);
    return true;
}

std::string FileList::PathBytes(const FileRecord& r) const {
    std::string path;
    const std::string& folder = m_folders[r.Folder];
    const std::string_view name = Name(r);
    path.reserve(folder.size() + name.size());
    path.append(folder);
    path.append(name);
    return path;
}

QString FileList::Path(const FileRecord& r) const {
    const std::string path = PathBytes(r);
    return PathCodec::Decode(QByteArray::fromRawData(path.data(), qsizetype(path.size())));
}

QString FileList::FileName(const FileRecord& r) const {
    const std::string_view name = Name(r);
    return PathCodec::Decode(QByteArray::fromRawData(name.data(), qsizetype(name.size())));
}

void FileList::RankFolders() {
    std::vector<quint32> order(m_folders.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [this](quint32 a, quint32 b) { return m_folders[a] < m_folders[b]; });
    m_folderRanks.assign(m_folders.size(), 0);
    for (quint32 rank = 0; rank < order.size(); ++rank)
        m_folderRanks[order[rank]] = rank;
}

quint32 FileList::AddSignature(const Signature& s) {
    m_signatures.push_back(s);
    return quint32(m_signatures.size() - 1);
}

clsFileDetails FileList::Details(size_t i, bool withKey) const {
    const FileRecord& r = m_records[i];
    clsFileDetails d;
    d.FileName = FileName(r);
    d.FilePath = Path(r);
    d.FileSize = r.Size;
    d.CreateDateTime = modLog::DateTextFromSecs(r.CreatedSecs);
    d.ModifiedDateTime = modLog::DateTextFromSecs(r.ModifiedSecs());
    d.FileAttributes = modAPI::AttributeLetters(r.Attributes);
    QString xxh;
    if (r.HasSignature()) {
        const Signature& s = SignatureOf(r);
        if (Content == ContentKind::Crc) {
            d.CRC32 = clsCRC::Text(s.Crc);
            if (withKey)
                xxh = clsMD5::Text(s.Digest); // a 128-bit digest in the same hexadecimal form
        } else if (Content == ContentKind::Md5) {
            d.MD5 = clsMD5::Text(s.Digest);
        }
    }
    if (!withKey)
        return d;
    QStringList parts;
    if (KeyName)
        parts << d.FileName;
    if (KeySize || Content != ContentKind::None)
        parts << QString::number(d.FileSize);
    if (KeyCreated)
        parts << d.CreateDateTime;
    if (KeyModified)
        parts << d.ModifiedDateTime;
    if (Content == ContentKind::Crc)
        parts << d.CRC32 << xxh;
    else if (Content == ContentKind::Md5)
        parts << d.MD5;
    d.FileKey = parts.join(u'/');
    return d;
}
