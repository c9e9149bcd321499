#include "AcrossFolders.h"

#include "KeyOrder.h"

#include "app/PathCodec.h"
#include "app/modCommon.h"

#include <vector>

namespace {

constexpr int kNotYetKnown = -2;
constexpr int kNoScannedFolder = -1;

// Which scanned folder each folder of the list belongs to, worked out once per folder of
// the list rather than once per file.
class FolderOwners {
public:
    explicit FolderOwners(const QStringList& scannedFolders) {
        for (const QString& folder : scannedFolders) {
            // The same folder named twice, or once with and once without its "/", is one.
            const QString qualified = modCommon::QualifyPath(folder);
            if (!folder.isEmpty() && !m_roots.contains(qualified))
                m_roots << qualified;
        }
    }

    int Of(const FileList& list, const FileRecord& r) {
        if (r.Folder >= m_owners.size())
            m_owners.resize(size_t(r.Folder) + 1, kNotYetKnown);
        int& owner = m_owners[r.Folder];
        if (owner == kNotYetKnown)
            owner = Find(PathCodec::Decode(
                QByteArrayView(list.FolderBytes(r).data(), qsizetype(list.FolderBytes(r).size()))));
        return owner;
    }

private:
    int Find(const QString& folder) const {
        int best = kNoScannedFolder;
        for (int i = 0; i < int(m_roots.size()); ++i)
            if (modCommon::IsUnderFolder(folder, m_roots[i]) &&
                (best < 0 || m_roots[i].size() > m_roots[best].size()))
                best = i;
        return best;
    }

    QStringList m_roots;
    std::vector<int> m_owners; // by the list's folder index
};

} // namespace

void KeepGroupsAcrossFolders(FileList& list, const QStringList& scannedFolders) {
    FlatArray<FileRecord>& records = list.Records();
    FolderOwners owners(scannedFolders);
    size_t kept = 0;
    for (size_t start = 0; start < records.size();) {
        size_t end = start + 1;
        bool across = false;
        const int first = owners.Of(list, records[start]);
        for (; end < records.size() && KeyOrder::SameKey(list, records[end - 1], records[end]);
             ++end)
            across = across || owners.Of(list, records[end]) != first;
        if (across)
            for (size_t i = start; i < end; ++i)
                records[kept++] = records[i];
        start = end;
    }
    records.erase(records.begin() + kept, records.end());
}
