#include "FolderListing.h"

#include "app/AppError.h"

#include <algorithm>
#include <array>
#include <string_view>

using modAPI::EntryType;

bool ListingRules::PassesCheapFilters(quint32 attributes) const {
    const bool system = attributes & modAPI::AttrSystem;
    const bool hidden = attributes & modAPI::AttrHidden;
    if (system && hidden)
        return false;
    if (system && !IncludeSystem)
        return false;
    return !(hidden && !IncludeHidden);
}

namespace {

constexpr quint32 kModeUnknown = 0200;

bool IsVirtualMount(const ListingRules& rules, const std::string& folder, std::string_view name) {
    if (rules.VirtualMounts.empty() && rules.Automounts.empty())
        return false;
    const std::string path = folder + std::string(name) + '/';
    for (const QByteArray& point : rules.Automounts) {
        if (std::string_view(point.constData(), size_t(point.size())) == path)
            return true;
    }
    return modAPI::IsUnderVirtualMount(path, rules.VirtualMounts, rules.OrdinaryUnderVirtual);
}

// The attributes once the entry's status is known: from its mode, not the name alone.
void TakeStatus(const ListingRules& rules, const std::string& folder, ListedEntry& e) {
    const bool virtualMount =
        e.Type == EntryType::Directory && IsVirtualMount(rules, folder, e.Name);
    e.Attributes =
        modAPI::AttributesFor(e.Name.front() == '.', e.Stat.Type, e.Stat.Mode, virtualMount);
}

} // namespace

void ListFolder(const std::string& path, const ListingRules& rules, FolderListing& out,
                const ListingTick& tick, modAPI::ScanBatch* batch) {
    out.Path = path;
    modAPI::ScanFolder dir;
    out.OpenError = dir.Open(path.c_str());
    if (out.OpenError)
        return;
    modAPI::ScanStat self;
    int err = 0;
    if (dir.StatSelf(self, err) == Success) {
        out.Device = self.Device;
        out.Inode = self.Inode;
        out.HasIdentity = true;
    }
    const bool together = batch && batch->Usable();
    std::vector<size_t> unstated; // entries whose status is asked for together
    std::string_view name;
    EntryType type;
    unsigned seen = 0;
    while (dir.Next(name, type)) {
        if (tick && (++seen & 63) == 0 && !tick()) {
            out.Stopped = true;
            return;
        }
        if (name == "." || name == "..")
            continue;
        ListedEntry e;
        if (type == EntryType::Unknown) {
            e.HasStat = dir.StatEntry(name, e.Stat, e.Error) == Success;
            type = e.HasStat ? e.Stat.Type : EntryType::Unknown;
        }
        if (type == EntryType::Link)
            continue; // never followed, never a record
        e.Type = type;
        const bool dotName = name.front() == '.';
        const bool virtualMount = type == EntryType::Directory && IsVirtualMount(rules, path, name);
        // Without a status the mode is unknown; a write bit keeps read-only out until then.
        e.Attributes = modAPI::AttributesFor(dotName, type, kModeUnknown, virtualMount);
        if (!rules.PassesCheapFilters(e.Attributes))
            continue;
        const bool wantStat =
            type == EntryType::File || (type == EntryType::Directory && rules.IncludeSubFolder);
        if (wantStat && !e.HasStat && e.Error == 0) {
            if (together)
                unstated.push_back(out.Entries.size());
            else
                e.HasStat = dir.StatEntry(name, e.Stat, e.Error) == Success;
        }
        e.Name.assign(name);
        if (e.HasStat)
            TakeStatus(rules, path, e);
        out.Entries.push_back(std::move(e));
    }
    constexpr size_t kMost = modAPI::ScanBatch::Most;
    std::array<const char*, kMost> names;
    std::array<int, kMost> errors;
    std::array<modAPI::ScanStat, kMost> stats;
    for (size_t first = 0; first < unstated.size(); first += kMost) {
        if (tick && !tick()) {
            out.Stopped = true;
            return;
        }
        const size_t count = std::min(kMost, unstated.size() - first);
        for (size_t k = 0; k < count; ++k)
            names[k] = out.Entries[unstated[first + k]].Name.c_str();
        batch->StatIn(dir, count, names.data(), stats.data(), errors.data());
        for (size_t k = 0; k < count; ++k) {
            ListedEntry& e = out.Entries[unstated[first + k]];
            e.Error = errors[k];
            e.HasStat = errors[k] == 0;
            if (!e.HasStat)
                continue;
            e.Stat = stats[k];
            TakeStatus(rules, path, e);
        }
    }
}
