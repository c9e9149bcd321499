#pragma once

#include "FlatArray.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class clsFileDetails;

// A file's content signature. Digest is the XXH3-128 companion of the CRC-32 in "crc" mode
// and the MD5 digest in "md5" mode.
struct Signature {
    quint32 Crc = 0;
    quint8 Digest[16] = {};
};

// One stored file, kept small because a scan holds hundreds of thousands of them: the
// folder is an index into the list's folder table, the device one into its short device
// table, the name lives in one shared byte arena behind its length, times are formatted
// only when a record is handed on.
struct FileRecord {
    quint32 Folder = 0;
    quint32 NameOffset = 0; // where the name's length, then its bytes, start in the arena
    quint32 SignatureIndex = NoSignature;
    quint16 DeviceIndex = 0;
    quint8 Attributes = 0; // modAPI attribute bits of the low byte (R, H, S, N)
    quint8 Flags = 0;
    qint64 Size = 0;
    // Nanoseconds, for the hash cache: a rewrite within the same second must not pass for
    // the file it replaced. Shown and compared in whole seconds.
    qint64 ModifiedNs = 0;
    qint64 CreatedSecs = 0;
    quint64 Inode = 0;
    qint64 ChangedNs = 0; // status change time, nanoseconds since the epoch
    // The name's first eight bytes, ASCII letters in lower case, big-endian, so most name
    // comparisons of the sort are one integer comparison. Valid when Flags has
    // FlagAsciiKey: those bytes (or the whole shorter name) are ASCII.
    quint64 NameKey = 0;

    static constexpr quint32 NoSignature = 0xffffffffu;
    static constexpr quint8 FlagAsciiKey = 0x02;
    bool HasSignature() const { return SignatureIndex != NoSignature; }
    // Rounded down, also before 1970.
    qint64 ModifiedSecs() const {
        return ModifiedNs >= 0 ? ModifiedNs / 1000000000 : -((999999999 - ModifiedNs) / 1000000000);
    }
};

// Which folder, as the walk saw it: device and inode, zero when not known.
struct FolderIdentity {
    quint64 Device = 0;
    quint64 Inode = 0;
};

// The result list of a scan: records plus the tables they point into.
class FileList {
public:
    enum class ContentKind { None, Crc, Md5 };

    size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    void clear();

    const FileRecord& operator[](size_t i) const { return m_records[i]; }
    FileRecord& operator[](size_t i) { return m_records[i]; }
    FlatArray<FileRecord>& Records() { return m_records; }
    const FlatArray<FileRecord>& Records() const { return m_records; }

    // Gives back the room the walk grew into and did not fill.
    void Compact() {
        m_records.shrink_to_fit();
        m_names.shrink_to_fit();
    }

    // Folder paths are raw bytes ending in "/". Returns the new folder's index.
    quint32 AddFolder(std::string_view folder, FolderIdentity identity = {});
    const FolderIdentity& FolderOf(const FileRecord& r) const { return m_folderIds[r.Folder]; }
    // False when the record cannot be stored: the name arena is full (4 GiB of names), the
    // name is longer than MaxNameBytes, or the scan met more devices than the table holds.
    bool Append(FileRecord record, std::string_view name, quint64 device);
    // Linux names stop at 255 bytes; a CIFS name of 255 UTF-16 units can take 765.
    static constexpr size_t MaxNameBytes = 0x7fff;

    // The length comes first in the arena: one byte below 128, else two, low bits first.
    std::string_view Name(const FileRecord& r) const {
        const auto* at = reinterpret_cast<const unsigned char*>(m_names.data() + r.NameOffset);
        if (at[0] < 0x80)
            return std::string_view(reinterpret_cast<const char*>(at + 1), at[0]);
        return std::string_view(reinterpret_cast<const char*>(at + 2),
                                size_t(at[0] & 0x7f) | size_t(at[1]) << 7);
    }
    quint64 DeviceOf(const FileRecord& r) const { return m_devices[r.DeviceIndex]; }
    std::string_view FolderBytes(const FileRecord& r) const { return m_folders[r.Folder]; }
    size_t FolderCount() const { return m_folders.size(); }
    std::string_view FolderAt(quint32 index) const { return m_folders[index]; }
    std::string PathBytes(const FileRecord& r) const;
    QString Path(const FileRecord& r) const;
    QString FileName(const FileRecord& r) const;

    // The rank of a folder among all folders in byte order, so that files of equal keys can
    // be ordered by path without comparing path strings.
    void RankFolders();
    quint32 FolderRank(const FileRecord& r) const { return m_folderRanks[r.Folder]; }

    quint32 AddSignature(const Signature& s);
    const Signature& SignatureOf(const FileRecord& r) const {
        return m_signatures[r.SignatureIndex];
    }

    // Which signature the records carry, fixed by the scan that filled the list.
    ContentKind Content = ContentKind::None;
    // The criteria the keys are built from; size is always part of a content key.
    bool KeyName = true;
    bool KeySize = false;
    bool KeyCreated = false;
    bool KeyModified = false;

    // The record as the rest of the program sees it, texts formatted now. The comparison
    // key text only when asked: the list is already sorted, and nothing shown reads it.
    clsFileDetails Details(size_t i, bool withKey = true) const;

private:
    FlatArray<FileRecord> m_records;
    std::vector<std::string> m_folders;
    std::vector<FolderIdentity> m_folderIds;
    std::vector<quint32> m_folderRanks;
    FlatArray<char> m_names;
    FlatArray<Signature> m_signatures;
    std::vector<quint64> m_devices;
    quint16 m_lastDevice = 0;
};
