#pragma once

#include "FileList.h"

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class clsFindFile;
namespace modAPI {
class ScanFolder;
struct ScanStat;
} // namespace modAPI

// The walk of one scan run, depth first in listing order. It outlives each root folder so
// that a folder or file met again (a folder listed twice, a parent and its child both
// listed, a bind mount, a hard link) becomes no second record: the first path met wins.
class FolderWalker {
public:
    explicit FolderWalker(clsFindFile& scan);

    void Walk(const QString& folder, FileList& list);
    qint64 FoldersNotListed() const { return m_foldersNotListed; }

private:
    struct Identity {
        quint64 Device;
        quint64 Inode;
        bool operator==(const Identity&) const = default;
    };
    struct IdentityHash {
        size_t operator()(const Identity& id) const {
            return std::hash<quint64>()(id.Inode * 0x9E3779B97F4A7C15ull ^ id.Device);
        }
    };

    void WalkFolder(modAPI::ScanFolder& dir);
    // False when the folder was entered before in this run.
    bool FirstVisit(const modAPI::ScanFolder& dir);
    void HandleFolder(const modAPI::ScanFolder& parent, std::string_view name, quint32 attrs);
    void HandleFile(const modAPI::ScanFolder& dir, std::string_view name, quint32 attrs,
                    qint64 entryNo);
    bool PassesAttributes(quint32 attrs) const;
    bool PassesPatterns(std::string_view name) const;
    bool IsVirtualMount(std::string_view name) const;
    void StoreRecord(const modAPI::ScanStat& st, std::string_view name, quint32 attrs);
    void ReportEntryFailure(std::string_view name, int error);
    void ReportListingFailure(int error);
    QString CurrentPath(std::string_view name) const;
    void MaybeYield(bool recordStored, qint64 entryNo);

    clsFindFile& m_scan;
    FileList* m_list = nullptr;
    std::string m_path;        // the folder being walked, raw bytes ending in "/"
    qint64 m_folderIndex = -1; // its index in the list's folder table, made on first record
    std::unordered_set<Identity, IdentityHash> m_folders;
    std::unordered_set<Identity, IdentityHash> m_linkedFiles;
    std::vector<QByteArray> m_virtualMounts;
    qint64 m_foldersNotListed = 0;
    std::chrono::steady_clock::time_point m_lastYield;
};
