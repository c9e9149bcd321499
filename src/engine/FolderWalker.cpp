#include "FolderWalker.h"

#include "ScanObserver.h"
#include "clsFindFile.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFile>

using modAPI::EntryType;

namespace {

// Long listings of skipped entries still give the user interface a chance this often.
constexpr auto kYieldInterval = std::chrono::milliseconds(20);

QString Decode(std::string_view bytes) {
    return QFile::decodeName(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

FolderWalker::FolderWalker(clsFindFile& scan)
    : m_scan(scan), m_virtualMounts(modAPI::VirtualMountPoints()),
      m_lastYield(std::chrono::steady_clock::now()) {}

void FolderWalker::Walk(const QString& folder, FileList& list) {
    m_list = &list;
    m_path = QFile::encodeName(modCommon::QualifyPath(folder)).toStdString();
    modAPI::ScanFolder dir;
    if (const int err = dir.Open(m_path.c_str())) {
        ReportListingFailure(err);
        return;
    }
    if (FirstVisit(dir))
        WalkFolder(dir);
}

bool FolderWalker::FirstVisit(const modAPI::ScanFolder& dir) {
    modAPI::ScanStat st;
    int err = 0;
    if (dir.StatSelf(st, err) != Success)
        return true; // nothing to compare with; walking it twice beats missing it
    return m_folders.insert({st.Device, st.Inode}).second;
}

void FolderWalker::WalkFolder(modAPI::ScanFolder& dir) {
    m_folderIndex = -1;
    qint64 entryNo = 0;
    std::string_view name;
    EntryType type;
    while (!m_scan.CancelOperation.load(std::memory_order_relaxed) && dir.Next(name, type)) {
        ++entryNo;
        if (name == "." || name == "..")
            continue;
        if (type == EntryType::Unknown) {
            modAPI::ScanStat st;
            int err = 0;
            if (dir.StatEntry(name, st, err) != Success) {
                ReportEntryFailure(name, err);
                continue;
            }
            type = st.Type;
        }
        if (type == EntryType::Link)
            continue; // never followed, never a record
        quint32 attrs = (name.front() == '.') ? modAPI::AttrHidden : 0u;
        if (type == EntryType::Special)
            attrs |= modAPI::AttrHidden | modAPI::AttrSystem;
        if (type == EntryType::Directory && IsVirtualMount(name))
            attrs |= modAPI::AttrHidden | modAPI::AttrSystem;
        // Read-only needs the status; the cheaper filters decide first.
        if (!PassesAttributes(attrs))
            continue;
        if (type == EntryType::Directory)
            HandleFolder(dir, name, attrs);
        else if (type == EntryType::File)
            HandleFile(dir, name, attrs, entryNo);
        MaybeYield(false, entryNo);
    }
}

bool FolderWalker::PassesAttributes(quint32 attrs) const {
    const bool system = attrs & modAPI::AttrSystem;
    const bool hidden = attrs & modAPI::AttrHidden;
    if (system && hidden)
        return false;
    if (system && !m_scan.IncludeSystemFilesFolders)
        return false;
    if (hidden && !m_scan.IncludeHiddenFilesFolders)
        return false;
    if ((attrs & modAPI::AttrReadOnly) && !m_scan.IncludeReadOnlyFilesFolders)
        return false;
    return true;
}

bool FolderWalker::IsVirtualMount(std::string_view name) const {
    if (m_virtualMounts.empty())
        return false;
    const std::string child = m_path + std::string(name) + '/';
    for (const QByteArray& point : m_virtualMounts) {
        if (std::string_view(point.constData(), size_t(point.size())) == child)
            return true;
    }
    return false;
}

void FolderWalker::HandleFolder(const modAPI::ScanFolder& parent, std::string_view name,
                                quint32 attrs) {
    if (!m_scan.IncludeSubFolder)
        return;
    if (!m_scan.IncludeReadOnlyFilesFolders) {
        modAPI::ScanStat st;
        int err = 0;
        if (parent.StatEntry(name, st, err) != Success) {
            ReportEntryFailure(name, err);
            return;
        }
        if (st.Type != EntryType::Directory)
            return; // replaced since the listing
        if (!PassesAttributes(attrs | ((st.Mode & 0222) == 0 ? modAPI::AttrReadOnly : 0u)))
            return;
    }
    const size_t parentLength = m_path.size();
    const qint64 parentIndex = m_folderIndex;
    m_path.append(name);
    m_path.push_back('/');
    modAPI::ScanFolder child;
    if (const int err = child.OpenChild(parent, name))
        ReportListingFailure(err);
    else if (FirstVisit(child))
        WalkFolder(child);
    m_path.resize(parentLength);
    m_folderIndex = parentIndex;
}

void FolderWalker::HandleFile(const modAPI::ScanFolder& dir, std::string_view name, quint32 attrs,
                              qint64 entryNo) {
    modAPI::ScanStat st;
    int err = 0;
    if (dir.StatEntry(name, st, err) != Success) {
        ReportEntryFailure(name, err);
        return;
    }
    if (st.Type != EntryType::File)
        return; // replaced by a link or a special file since the listing
    if ((st.Mode & 0222) == 0) {
        attrs |= modAPI::AttrReadOnly;
        if (!PassesAttributes(attrs))
            return;
    }
    if (ScanObserver* observer = m_scan.Observer())
        observer->DisplayFileName(observer->WantsFileNames() ? CurrentPath(name) : QString());
    if (!PassesPatterns(name))
        return;
    if (st.Size == 0 && !m_scan.IncludeZeroByteFiles)
        return;
    if (st.LinkCount > 1 && !m_linkedFiles.insert({st.Device, st.Inode}).second)
        return; // another path to a file already stored
    StoreRecord(st, name, attrs);
    MaybeYield(true, entryNo);
}

bool FolderWalker::PassesPatterns(std::string_view name) const {
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

void FolderWalker::StoreRecord(const modAPI::ScanStat& st, std::string_view name, quint32 attrs) {
    if (m_folderIndex < 0)
        m_folderIndex = m_list->AddFolder(m_path);
    if ((attrs & (modAPI::AttrReadOnly | modAPI::AttrHidden | modAPI::AttrSystem)) == 0)
        attrs |= modAPI::AttrNormal;
    FileRecord r;
    r.Folder = quint32(m_folderIndex);
    r.Attributes = quint8(attrs);
    r.Size = st.Size;
    r.ModifiedSecs = st.ModifiedSecs;
    r.CreatedSecs = st.CreatedSecs;
    r.Device = st.Device;
    r.Inode = st.Inode;
    if (!m_list->Append(r, name))
        ReportEntryFailure(name, ENOMEM);
}

QString FolderWalker::CurrentPath(std::string_view name) const {
    std::string path;
    path.reserve(m_path.size() + name.size());
    path.append(m_path);
    path.append(name);
    return Decode(path);
}

void FolderWalker::ReportEntryFailure(std::string_view name, int error) {
    const QString path = CurrentPath(name);
    modLog::LogErrDetails(path + QStringLiteral(" - ") +
                          QStringLiteral(" details could not be retrieved"));
    modLog::RunStats.ErrorCount += 1;
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
    if ((entryNo & 63) != 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastYield >= kYieldInterval) {
        observer->Yield();
        m_lastYield = now;
    }
}
