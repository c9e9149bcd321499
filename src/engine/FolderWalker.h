#pragma once

#include "FileList.h"
#include "FolderListing.h"

#include <chrono>
#include <memory>
#include <string>
#include <unordered_set>

class clsFindFile;
class ListingPool;

// The walk of one scan run, depth first in listing order; folders are listed ahead on a
// few threads, but every decision, report and record is made here, in walk order. It
// outlives each root folder so that a folder or file met again (a folder listed twice, a
// parent and its child both listed, a bind mount, a hard link) becomes no second record:
// the first path met wins.
class FolderWalker {
public:
    explicit FolderWalker(clsFindFile& scan);
    ~FolderWalker();

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

    bool IsVirtualRoot() const;
    void ReportSkippedRoot();
    void Visit(ListingPool& pool);
    void WalkFolder(ListingPool& pool, const FolderListing& listing);
    void HandleFolder(ListingPool& pool, const ListedEntry& entry);
    void HandleFile(const ListedEntry& entry, qint64 entryNo);
    bool PassesAttributes(quint32 attrs) const;
    bool PassesPatterns(const std::string& name) const;
    bool MetBefore(const modAPI::ScanStat& st);
    void StoreRecord(const modAPI::ScanStat& st, const std::string& name, quint32 attrs);
    void ReportEntryFailure(const std::string& name, int error);
    void ReportListingFailure(int error);
    QString CurrentPath(const std::string& name) const;
    void MaybeYield(bool recordStored, qint64 entryNo);
    void YieldIfDue();

    clsFindFile& m_scan;
    FileList* m_list = nullptr;
    ListingRules m_rules;
    std::string m_path;        // the folder being walked, raw bytes ending in "/"
    qint64 m_folderIndex = -1; // its index in the list's folder table, made on first record
    FolderIdentity m_folderId; // of the folder being walked, for the actions
    std::unordered_set<Identity, IdentityHash> m_folders;
    std::unordered_set<Identity, IdentityHash> m_linkedFiles;
    // Files mounted over another path. Their other path has one link like any file, so
    // only once such a mount is met does every file need its identity looked up.
    std::unordered_set<Identity, IdentityHash> m_mountedFiles;
    qint64 m_foldersNotListed = 0;
    std::chrono::steady_clock::time_point m_lastYield;
};
