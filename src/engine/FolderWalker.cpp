#include "FolderWalker.h"
#include "app/PathCodec.h"

#include "ListingPool.h"
#include "ScanObserver.h"
#include "clsFindFile.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <cerrno>

using modAPI::EntryType;

namespace {

// Long listings of skipped entries still give the user interface a chance this often.
constexpr auto kYieldInterval = std::chrono::milliseconds(20);

QString Decode(std::string_view bytes) {
    return PathCodec::Decode(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

FolderWalker::FolderWalker(clsFindFile& scan)
    : m_scan(scan), m_lastYield(std::chrono::steady_clock::now()) {
    m_rules.VirtualMounts = modAPI::VirtualMountPoints();
    m_rules.Automounts = modAPI::AutomountPoints();
    m_rules.OrdinaryUnderVirtual = modAPI::OrdinaryMountsUnderVirtual();
}

FolderWalker::~FolderWalker() = default;

void FolderWalker::Walk(const QString& folder, FileList& list) {
    m_list = &list;
    m_rules.IncludeSubFolder = m_scan.IncludeSubFolder;
    m_rules.IncludeHidden = m_scan.IncludeHiddenFilesFolders;
    m_rules.IncludeSystem = m_scan.IncludeSystemFilesFolders;
    m_rules.IncludeReadOnly = m_scan.IncludeReadOnlyFilesFolders;
    m_path = PathCodec::Encode(modCommon::QualifyPath(folder)).toStdString();
    if (IsVirtualRoot()) {
        ReportSkippedRoot();
        return;
    }
    ListingPool pool(m_rules, m_scan.IncludeSubFolder ? m_scan.ListingThreadCount() : 0,
                     m_scan.CancelOperation);
    Visit(pool);
}

// A root at or under a virtual mount is never entered, whatever the settings. Through a
// link it is where the link leads. A root on an automount is entered like any other:
// the user named it, and opening it mounts what it stands for.
bool FolderWalker::IsVirtualRoot() const {
    if (modAPI::IsUnderVirtualMount(m_path, m_rules.VirtualMounts, m_rules.OrdinaryUnderVirtual))
        return true;
    const std::string real = modAPI::RealFolderPath(m_path);
    return !real.empty() &&
           modAPI::IsUnderVirtualMount(real, m_rules.VirtualMounts, m_rules.OrdinaryUnderVirtual);
}

// A folder the user asked for and got nothing from must not look like an empty one.
void FolderWalker::ReportSkippedRoot() {
    const QString folder = Decode(m_path);
    modLog::LogErrDetails(folder + QStringLiteral(" - ") +
                          QStringLiteral(" not scanned: a kernel virtual file system"));
    modLog::RunStats.ErrorCount += 1;
    modLog::LogProcedureError(QStringLiteral("clsFindFile.GetFiles"), EPERM,
                              modAPI::SystemMessage(EPERM) + QStringLiteral(" ") + folder);
}

// Lists the folder at m_path and walks it unless it was walked before in this run.
void FolderWalker::Visit(ListingPool& pool) {
    const std::unique_ptr<FolderListing> listing = pool.Take(m_path, [this] { YieldIfDue(); });
    if (listing->Stopped)
        return;
    if (listing->OpenError) {
        ReportListingFailure(listing->OpenError);
        return;
    }
    // Without an identity there is nothing to compare with; walking twice beats missing it.
    if (listing->HasIdentity && !m_folders.insert({listing->Device, listing->Inode}).second)
        return;
    WalkFolder(pool, *listing);
}

void FolderWalker::WalkFolder(ListingPool& pool, const FolderListing& listing) {
    m_folderIndex = -1;
    m_folderId =
        listing.HasIdentity ? FolderIdentity{listing.Device, listing.Inode} : FolderIdentity{};
    qint64 entryNo = 2; // "." and ".." count as entries of the folder
    for (const ListedEntry& entry : listing.Entries) {
        if (m_scan.CancelOperation.load(std::memory_order_relaxed))
            break;
        ++entryNo;
        if (entry.Error != 0)
            ReportEntryFailure(entry.Name, entry.Error);
        else if (entry.Type == EntryType::Directory)
            HandleFolder(pool, entry);
        else if (entry.Type == EntryType::File)
            HandleFile(entry, entryNo);
        MaybeYield(false, entryNo);
    }
}

bool FolderWalker::PassesAttributes(quint32 attrs) const {
    if (!m_rules.PassesCheapFilters(attrs))
        return false;
    return !((attrs & modAPI::AttrReadOnly) && !m_scan.IncludeReadOnlyFilesFolders);
}

void FolderWalker::HandleFolder(ListingPool& pool, const ListedEntry& entry) {
    if (!m_scan.IncludeSubFolder || !entry.HasStat || entry.Stat.Type != EntryType::Directory)
        return;
    if (!PassesAttributes(entry.Attributes))
        return;
    const size_t parentLength = m_path.size();
    const qint64 parentIndex = m_folderIndex;
    const FolderIdentity parentId = m_folderId;
    m_path.append(entry.Name);
    m_path.push_back('/');
    Visit(pool);
    m_path.resize(parentLength);
    m_folderIndex = parentIndex;
    m_folderId = parentId;
}

void FolderWalker::HandleFile(const ListedEntry& entry, qint64 entryNo) {
    const modAPI::ScanStat& st = entry.Stat;
    if (!entry.HasStat || st.Type != EntryType::File)
        return; // replaced by a link or a special file since the listing
    if (!PassesAttributes(entry.Attributes))
        return;
    if (ScanObserver* observer = m_scan.Observer())
        observer->DisplayFileName(
            observer->WantsFileNames() ? PathCodec::Display(CurrentPath(entry.Name)) : QString());
    if (!PassesPatterns(entry.Name))
        return;
    if (st.Size == 0 && !m_scan.IncludeZeroByteFiles)
        return;
    if (MetBefore(st))
        return; // another path to a file already stored
    StoreRecord(st, entry.Name, entry.Attributes);
    MaybeYield(true, entryNo);
}

// Hard links are the common way to reach a file twice, and their link count tells. A file
// mounted over another path (a bind mount) does not show in its count: the mount's root is
// marked, and its other path, stored before or met after, is found by its identity.
bool FolderWalker::MetBefore(const modAPI::ScanStat& st) {
    const Identity id{st.Device, st.Inode};
    if (st.LinkCount > 1 && !m_linkedFiles.insert(id).second)
        return true;
    if (st.MountRoot) {
        if (!m_mountedFiles.insert(id).second)
            return true;
        for (const FileRecord& r : m_list->Records()) {
            if (r.Inode == id.Inode && m_list->DeviceOf(r) == id.Device)
                return true;
        }
        return false;
    }
    return !m_mountedFiles.empty() && m_mountedFiles.count(id) != 0;
}

bool FolderWalker::PassesPatterns(const std::string& name) const {
    const QStringList& include = m_scan.IncludePatterns();
    const QStringList& exclude = m_scan.ExcludePatterns();
    if (include.isEmpty() && exclude.isEmpty())
        return true;
    const QString fileName = Decode(name);
    if (!include.isEmpty()) {
        bool matched = false;
        for (const QString& pattern : include) {
            if (modAPI::MyPathMatchSpec(fileName, pattern)) {
                matched = true;
                break;
            }
        }
        if (!matched)
            return false;
    }
    for (const QString& pattern : exclude) {
        if (modAPI::MyPathMatchSpec(fileName, pattern))
            return false;
    }
    return true;
}

void FolderWalker::StoreRecord(const modAPI::ScanStat& st, const std::string& name, quint32 attrs) {
    if (m_folderIndex < 0)
        m_folderIndex = m_list->AddFolder(m_path, m_folderId);
    FileRecord r;
    r.Folder = quint32(m_folderIndex);
    r.Attributes = quint8(attrs);
    r.Size = st.Size;
    r.ModifiedNs = st.ModifiedNs;
    r.CreatedSecs = st.CreatedSecs;
    r.Inode = st.Inode;
    r.ChangedNs = st.ChangedNs;
    if (!m_list->Append(r, name, st.Device))
        ReportEntryFailure(name, name.size() > FileList::MaxNameBytes ? ENAMETOOLONG : ENOMEM);
}

QString FolderWalker::CurrentPath(const std::string& name) const {
    std::string path;
    path.reserve(m_path.size() + name.size());
    path.append(m_path);
    path.append(name);
    return Decode(path);
}

void FolderWalker::ReportEntryFailure(const std::string& name, int error) {
    clsFindFile::NoteFileNotRetrieved(CurrentPath(name));
    modLog::LogProcedureError(QStringLiteral("clsFindFile.GetFiles"), error,
                              modAPI::SystemMessage(error));
}

void FolderWalker::ReportListingFailure(int error) {
    ++m_foldersNotListed;
    modAPI::ReportAPIError(QStringLiteral("MyFindFirstFile"),
                           Decode(m_path) + QStringLiteral("*.*"), error);
}

void FolderWalker::MaybeYield(bool recordStored, qint64 entryNo) {
    ScanObserver* observer = m_scan.Observer();
    if (!observer)
        return;
    if (recordStored && entryNo % 10 == 0) {
        observer->Yield();
        m_lastYield = std::chrono::steady_clock::now();
        return;
    }
    if ((entryNo & 63) == 0)
        YieldIfDue();
}

void FolderWalker::YieldIfDue() {
    ScanObserver* observer = m_scan.Observer();
    if (!observer)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastYield >= kYieldInterval) {
        observer->Yield();
        m_lastYield = now;
    }
}
