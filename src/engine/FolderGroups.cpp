#include "FolderGroups.h"

#include "GroupingPass.h"
#include "KeyOrder.h"
#include "ResultSink.h"
#include "clsFileDetails.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace {

constexpr quint32 kNone = 0xffffffffu;

quint64 Mix(quint64 x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One entry of a folder's content: its name, whether it is a folder, and its file group or
// its folder's class.
using Entry = std::tuple<std::string_view, bool, quint64>;

quint64 EntryHash(const Entry& e) {
    return Mix(std::hash<std::string_view>()(std::get<0>(e)) ^
               Mix(std::get<2>(e) * 2 + std::get<1>(e)));
}

struct Node {
    std::string Path; // raw bytes ending in "/"
    quint32 Parent = kNone;
    std::vector<quint32> Folders;
    std::vector<quint32> Files; // record indexes
    qint64 TotalSize = 0;
    qint64 FileCount = 0;
    bool Unique = false; // holds, somewhere below, a file that is in no group
    quint32 Class = kNone;
    quint8 Listed = 0; // 0 not listed yet, 1 the disk holds just what the scan stored, 2 not
    int Depth = 0;

    std::string_view Name() const {
        const std::string_view p(Path);
        const size_t slash = p.size() >= 2 ? p.rfind('/', p.size() - 2) : std::string_view::npos;
        return slash == std::string_view::npos ? p : p.substr(slash + 1, p.size() - slash - 2);
    }
};

class Finder {
public:
    Finder(const FileList& list, const std::atomic<bool>* cancel)
        : m_list(list), m_cancel(cancel) {}

    std::vector<FolderGroups::Group> Run(const QStringList& scannedFolders);

private:
    void NumberFileGroups();
    quint32 NodeFor(const std::string& path, const std::string& root);
    void Build(const QStringList& scannedFolders);
    std::vector<Entry> Content(const Node& node) const;
    void Classify();
    bool Matches(quint32 n);
    bool ListingMatches(quint32 n);
    bool IsDuplicate(quint32 cls);
    // The node's files all the way down, by their names relative to it.
    std::vector<quint32> FilesBelow(quint32 n) const;

    const FileList& m_list;
    const std::atomic<bool>* m_cancel;
    std::vector<quint32> m_fileGroup; // per record: its group from 1, 0 for a file in none
    std::vector<Node> m_nodes;
    std::unordered_map<std::string, quint32> m_byPath;
    std::vector<std::vector<quint32>> m_members; // per class
    std::vector<quint8> m_duplicate;             // per class: 0 not known yet, 1 yes, 2 no
};

void Finder::NumberFileGroups() {
    m_fileGroup.assign(m_list.size(), 0);
    quint32 group = 0;
    for (size_t i = 1; i < m_list.size(); ++i) {
        if (!KeyOrder::SameKey(m_list, m_list[i - 1], m_list[i]))
            continue;
        if (m_fileGroup[i - 1] == 0)
            m_fileGroup[i - 1] = ++group;
        m_fileGroup[i] = group;
    }
}

quint32 Finder::NodeFor(const std::string& path, const std::string& root) {
    if (const auto it = m_byPath.find(path); it != m_byPath.end())
        return it->second;
    const auto n = quint32(m_nodes.size());
    m_nodes.emplace_back();
    m_nodes[n].Path = path;
    m_byPath.emplace(path, n);
    if (path.size() > root.size()) {
        const std::string parentPath = path.substr(0, path.rfind('/', path.size() - 2) + 1);
        const quint32 parent = NodeFor(parentPath, root);
        m_nodes[n].Parent = parent;
        m_nodes[n].Depth = m_nodes[parent].Depth + 1;
        m_nodes[parent].Folders.push_back(n);
    }
    return n;
}

void Finder::Build(const QStringList& scannedFolders) {
    // Spelt as the walk spells them. A folder below two scanned folders hangs under the
    // outer one, so the outer one's content is whole.
    std::vector<std::string> roots;
    for (const QString& folder : scannedFolders)
        roots.push_back(PathCodec::Encode(modCommon::QualifyPath(folder)).toStdString());
    std::vector<quint32> nodeOfFolder(m_list.FolderCount(), kNone);
    for (quint32 f = 0; f < m_list.FolderCount(); ++f) {
        const std::string_view path = m_list.FolderAt(f);
        const std::string* outer = nullptr;
        for (const std::string& root : roots) {
            if (path.starts_with(root) && (!outer || root.size() < outer->size()))
                outer = &root;
        }
        if (outer)
            nodeOfFolder[f] = NodeFor(std::string(path), *outer);
    }
    for (size_t i = 0; i < m_list.size(); ++i) {
        if (const quint32 n = nodeOfFolder[m_list[i].Folder]; n != kNone)
            m_nodes[n].Files.push_back(quint32(i));
    }
}

std::vector<Entry> Finder::Content(const Node& node) const {
    std::vector<Entry> entries;
    entries.reserve(node.Files.size() + node.Folders.size());
    for (const quint32 i : node.Files)
        entries.emplace_back(m_list.Name(m_list[i]), false, m_fileGroup[i]);
    for (const quint32 child : node.Folders)
        entries.emplace_back(m_nodes[child].Name(), true, m_nodes[child].Class);
    return entries;
}

// Deepest first, each folder's class from its files' groups and its sub-folders' classes,
// so equal classes mean equal content all the way down. The hash only finds the folders
// to compare; the comparison itself is exact.
void Finder::Classify() {
    std::vector<quint32> order(m_nodes.size());
    for (quint32 n = 0; n < order.size(); ++n)
        order[n] = n;
    std::stable_sort(order.begin(), order.end(),
                     [this](quint32 a, quint32 b) { return m_nodes[a].Depth > m_nodes[b].Depth; });
    std::unordered_map<quint64, std::vector<quint32>> seen; // content hash -> one node per class
    for (const quint32 n : order) {
        Node& node = m_nodes[n];
        for (const quint32 i : node.Files) {
            node.TotalSize += m_list[i].Size;
            node.Unique = node.Unique || m_fileGroup[i] == 0;
        }
        node.FileCount = qint64(node.Files.size());
        for (const quint32 child : node.Folders) {
            const Node& c = m_nodes[child];
            node.TotalSize += c.TotalSize;
            node.FileCount += c.FileCount;
            node.Unique = node.Unique || c.Unique;
        }
        if (node.Unique || node.FileCount == 0)
            continue;
        std::vector<Entry> entries = Content(node);
        quint64 hash = Mix(entries.size());
        for (const Entry& e : entries)
            hash += EntryHash(e); // a sum, so the order of the entries does not matter
        std::vector<quint32>& same = seen[hash];
        for (const quint32 other : same) {
            if (m_nodes[other].Files.size() != node.Files.size() ||
                m_nodes[other].Folders.size() != node.Folders.size())
                continue;
            std::vector<Entry> theirs = Content(m_nodes[other]);
            std::sort(entries.begin(), entries.end());
            std::sort(theirs.begin(), theirs.end());
            if (entries == theirs) {
                node.Class = m_nodes[other].Class;
                break;
            }
        }
        if (node.Class == kNone) {
            node.Class = quint32(m_members.size());
            m_members.emplace_back();
            same.push_back(n);
        }
        m_members[node.Class].push_back(n);
    }
    m_duplicate.assign(m_members.size(), 0);
}

bool Finder::Matches(quint32 n) {
    if (m_nodes[n].Listed == 0)
        m_nodes[n].Listed = ListingMatches(n) ? 1 : 2;
    return m_nodes[n].Listed == 1;
}

// Whether the folder on disk holds exactly what the scan stored of it: no entry the scan
// left out or could not take, down through every sub-folder. Anything that cannot be told
// counts as a difference, so doubt never makes a folder a copy.
bool Finder::ListingMatches(quint32 n) {
    if (m_cancel && m_cancel->load(std::memory_order_relaxed))
        return false;
    std::unordered_map<std::string_view, quint32> expected; // name -> sub-folder, or kNone
    for (const quint32 i : m_nodes[n].Files) {
        if (!expected.emplace(m_list.Name(m_list[i]), kNone).second)
            return false;
    }
    for (const quint32 child : m_nodes[n].Folders)
        expected.emplace(m_nodes[child].Name(), child);
    {
        modAPI::ScanFolder dir;
        if (dir.Open(m_nodes[n].Path.c_str()) != 0)
            return false;
        size_t found = 0;
        std::string_view name;
        modAPI::EntryType type;
        while (dir.Next(name, type)) {
            if (name == "." || name == "..")
                continue;
            if (type == modAPI::EntryType::Unknown) {
                modAPI::ScanStat st;
                int error = 0;
                if (dir.StatEntry(name, st, error) != Success)
                    return false;
                type = st.Type;
            }
            const auto it = expected.find(name);
            if (it == expected.end())
                return false;
            const bool folder = it->second != kNone;
            if (type != (folder ? modAPI::EntryType::Directory : modAPI::EntryType::File))
                return false;
            ++found;
        }
        if (found != expected.size())
            return false;
    }
    for (const quint32 child : m_nodes[n].Folders) {
        if (!Matches(child))
            return false;
    }
    return true;
}

bool Finder::IsDuplicate(quint32 cls) {
    if (m_duplicate[cls] == 0) {
        int matching = 0;
        for (const quint32 n : m_members[cls])
            matching += Matches(n) ? 1 : 0;
        m_duplicate[cls] = matching >= 2 ? 1 : 2;
    }
    return m_duplicate[cls] == 1;
}

std::vector<quint32> Finder::FilesBelow(quint32 n) const {
    std::vector<std::pair<std::string, quint32>> named;
    const std::function<void(quint32, const std::string&)> collect = [&](quint32 node,
                                                                         const std::string& rel) {
        for (const quint32 i : m_nodes[node].Files)
            named.emplace_back(rel + std::string(m_list.Name(m_list[i])), i);
        for (const quint32 child : m_nodes[node].Folders)
            collect(child, rel + std::string(m_nodes[child].Name()) + '/');
    };
    collect(n, std::string());
    std::sort(named.begin(), named.end());
    std::vector<quint32> files;
    files.reserve(named.size());
    for (const auto& entry : named)
        files.push_back(entry.second);
    return files;
}

std::vector<FolderGroups::Group> Finder::Run(const QStringList& scannedFolders) {
    NumberFileGroups();
    Build(scannedFolders);
    Classify();

    // Topmost first: a folder inside a duplicate folder is covered by it and not listed
    // again. Only folders with a look-alike are ever listed from disk.
    std::vector<quint32> order(m_nodes.size());
    for (quint32 n = 0; n < order.size(); ++n)
        order[n] = n;
    std::stable_sort(order.begin(), order.end(),
                     [this](quint32 a, quint32 b) { return m_nodes[a].Depth < m_nodes[b].Depth; });
    std::vector<bool> covered(m_nodes.size(), false);
    std::vector<std::vector<quint32>> shown(m_members.size());
    for (const quint32 n : order) {
        const Node& node = m_nodes[n];
        if (node.Parent != kNone) {
            const Node& parent = m_nodes[node.Parent];
            covered[n] = covered[node.Parent] ||
                         (parent.Class != kNone && m_members[parent.Class].size() >= 2 &&
                          IsDuplicate(parent.Class) && Matches(node.Parent));
        }
        if (!covered[n] && node.Class != kNone && m_members[node.Class].size() >= 2 &&
            IsDuplicate(node.Class) && Matches(n))
            shown[node.Class].push_back(n);
    }
    if (m_cancel && m_cancel->load())
        return {};

    std::vector<std::vector<quint32>> groups;
    for (std::vector<quint32>& members : shown) {
        if (members.size() < 2)
            continue;
        std::sort(members.begin(), members.end(),
                  [this](quint32 a, quint32 b) { return m_nodes[a].Path < m_nodes[b].Path; });
        groups.push_back(std::move(members));
    }
    std::sort(groups.begin(), groups.end(), [this](const auto& a, const auto& b) {
        const Node& x = m_nodes[a.front()];
        const Node& y = m_nodes[b.front()];
        if (x.TotalSize != y.TotalSize)
            return x.TotalSize > y.TotalSize;
        return x.Path < y.Path;
    });
    std::vector<FolderGroups::Group> out;
    out.reserve(groups.size());
    for (const std::vector<quint32>& members : groups) {
        FolderGroups::Group& g = out.emplace_back();
        for (const quint32 n : members) {
            const Node& node = m_nodes[n];
            std::string_view path(node.Path);
            if (path.size() > 1)
                path.remove_suffix(1);
            g.push_back({PathCodec::Decode(QByteArrayView(path.data(), qsizetype(path.size()))),
                         node.TotalSize, node.FileCount, FilesBelow(n)});
        }
    }
    return out;
}

} // namespace

std::vector<FolderGroups::Group> FolderGroups::Find(const FileList& list,
                                                    const QStringList& scannedFolders,
                                                    const std::atomic<bool>* cancel) {
    return Finder(list, cancel).Run(scannedFolders);
}

qint64 FolderGroups::HandOn(const std::vector<Group>& groups, ResultSink& sink,
                            const FileList* files) {
    sink.ClearRecs();
    for (const Group& group : groups) {
        const auto nameOf = [](const QString& path) {
            const qsizetype slash = path.lastIndexOf(u'/');
            return slash >= 0 && path.size() > 1 ? path.mid(slash + 1) : path;
        };
        const qint64 header = sink.AddHeader(nameOf(group.front().Path));
        qint64 total = 0;
        bool first = true;
        for (const Folder& folder : group) {
            clsFileDetails details;
            details.FileName = nameOf(folder.Path);
            details.FilePath = folder.Path;
            details.FileSize = folder.TotalSize;
            details.FileAttributes = CountText(folder.FileCount);
            sink.AddFolderRow(first, details);
            first = false;
            total += folder.TotalSize;
        }
        sink.UpdateHeadTotal(header, total);
        sink.UpdateHeader(header, QString::number(group.size()));
        if (!files)
            continue;
        const FileList& list = *files;
        for (size_t n = 0; n < group.front().Files.size(); ++n) {
            const quint32 firstFile = group.front().Files[n];
            const qint64 member = sink.AddMemberHeader(
                sink.TakesListRows() ? QString() : list.FileName(list[firstFile]));
            for (size_t f = 0; f < group.size(); ++f)
                HandOnRow(sink, list, group[f].Files[n], f == 0);
            sink.UpdateHeadTotal(member, list[firstFile].Size * qint64(group.size()));
            sink.UpdateHeader(member, QString::number(group.size()));
        }
    }
    return qint64(groups.size());
}

QString FolderGroups::CountText(qint64 files) {
    return files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files);
}
