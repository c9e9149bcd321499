#pragma once

#include "app/modAPI_scan.h"

#include <QByteArray>

#include <functional>
#include <string>
#include <vector>

// What one folder holds, read in one go: every entry that can matter, with the status the
// filters need. Listing is independent of the walk's order, so several folders can be
// listed at once while the walk consumes them in order.
struct ListedEntry {
    std::string Name;
    modAPI::EntryType Type = modAPI::EntryType::Unknown;
    quint32 Attributes = 0; // from name, type and mount point; from the mode once stated
    bool HasStat = false;
    int Error = 0; // errno of a failed status, reported by the walk
    modAPI::ScanStat Stat;
};

struct FolderListing {
    std::string Path;  // raw bytes ending in "/"
    int OpenError = 0; // errno when the folder could not be listed
    quint64 Device = 0;
    quint64 Inode = 0;
    bool HasIdentity = false;
    bool Stopped = false;             // cut short because the run was cancelled
    std::vector<ListedEntry> Entries; // listing order, without "." and ".." and links
};

// The settings that decide which entries need a status.
struct ListingRules {
    bool IncludeSubFolder = false;
    bool IncludeHidden = false;
    bool IncludeSystem = false;
    bool IncludeReadOnly = false;
    std::vector<QByteArray> VirtualMounts;
    std::vector<QByteArray> Automounts; // only the points themselves are kept out
    std::vector<QByteArray> OrdinaryUnderVirtual;

    // The hidden and system filters, which need no status.
    bool PassesCheapFilters(quint32 attributes) const;
};

// Called every few dozen entries of a listing; false stops it (the run was cancelled).
using ListingTick = std::function<bool()>;

// Lists the folder at path. Files that pass the cheap filters and, when sub-folders are
// walked, folders get their status; nothing is reported here. A folder of hundreds of
// thousands of entries takes seconds, so the tick, when given, keeps the caller live.
// With a usable batch the statuses are asked for together once the names are read, a few
// dozen to a call to the kernel.
void ListFolder(const std::string& path, const ListingRules& rules, FolderListing& out,
                const ListingTick& tick = {}, modAPI::ScanBatch* batch = nullptr);
