#include "HashCache.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QDateTime>
#include <QtEndian>

#include <sqlite3.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <type_traits>

std::atomic<qint64> HashCache::SettleNs{2'000'000'000};
std::atomic<double> HashCache::OnePassShare{0.25};
std::atomic<qint64> HashCache::SmallestKept{WorthKeepingFrom};

namespace {

// Long enough to wait out another run's write transaction, short enough that a cache held
// by a stuck instance costs this run almost nothing before it reads the files itself.
constexpr int kBusyMs = 250;
// Pruning deletes at most this many entries a day, so a run after a long pause does not
// stall on one huge delete; the rest goes on the next days.
constexpr int kPruneBatch = 200000;

const char* const kCreate =
    "CREATE TABLE IF NOT EXISTS entry("
    " dev INTEGER NOT NULL, ino INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL,"
    " seen INTEGER NOT NULL, prefix BLOB, xxh BLOB, crc BLOB, md5 BLOB,"
    " PRIMARY KEY(dev, ino)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER);";

const char* Column(HashCache::Kind kind) {
    switch (kind) {
    case HashCache::Kind::Prefix:
        return "prefix";
    case HashCache::Kind::Xxh:
        return "xxh";
    case HashCache::Kind::Crc:
        return "crc";
    case HashCache::Kind::Md5:
        return "md5";
    case HashCache::Kind::XxhCrc:
        break;
    }
    return "";
}

// The single kinds a kind is kept as, each in its own column with its own check sum. Asked
// for every entry a lookup finds, so it allocates nothing.
struct PartList {
    HashCache::Kind Items[2];
    size_t Count;
    const HashCache::Kind* begin() const { return Items; }
    const HashCache::Kind* end() const { return Items + Count; }
    size_t size() const { return Count; }
    HashCache::Kind operator[](size_t i) const { return Items[i]; }
};

PartList Parts(HashCache::Kind kind) {
    if (kind == HashCache::Kind::XxhCrc)
        return {{HashCache::Kind::Xxh, HashCache::Kind::Crc}, 2};
    return {{kind, kind}, 1};
}

// What Answer reads of an entry, in its order: the key's times, when it was seen, then the
// hash of each part.
QByteArray EntryColumns(HashCache::Kind kind) {
    QByteArray columns = "size, mtime, ctime, seen";
    for (const HashCache::Kind part : Parts(kind))
        columns += QByteArray(", ") + Column(part);
    return columns;
}

// Value bytes, then eight bytes of check sum over the key, the kind and the value.
constexpr size_t kCheckBytes = 8;

size_t ValueBytes(HashCache::Kind kind) {
    return kind == HashCache::Kind::Crc ? 4 : 16;
}

quint64 Check(const HashCache::Key& k, HashCache::Kind kind, const unsigned char* value) {
    unsigned char b[5 * 8 + 1 + 16];
    std::memcpy(b, &k.Device, 8);
    std::memcpy(b + 8, &k.Inode, 8);
    std::memcpy(b + 16, &k.Size, 8);
    std::memcpy(b + 24, &k.ModifiedNs, 8);
    std::memcpy(b + 32, &k.ChangedNs, 8);
    b[40] = static_cast<unsigned char>(kind);
    std::memcpy(b + 41, value, ValueBytes(kind));
    return XXH3_64bits(b, 41 + ValueBytes(kind));
}

void Pack(const HashCache::Key& k, HashCache::Kind kind, const HashCache::Value& v,
          unsigned char* out) {
    if (kind == HashCache::Kind::Crc)
        std::memcpy(out, &v.Crc, 4);
    else
        std::memcpy(out, v.Digest, 16);
    const quint64 check = Check(k, kind, out);
    std::memcpy(out + ValueBytes(kind), &check, kCheckBytes);
}

bool Unpack(const HashCache::Key& k, HashCache::Kind kind, const void* blob, int bytes,
            HashCache::Value& v) {
    const size_t n = ValueBytes(kind);
    if (!blob || size_t(bytes) != n + kCheckBytes)
        return false;
    const auto* b = static_cast<const unsigned char*>(blob);
    quint64 check = 0;
    std::memcpy(&check, b + n, kCheckBytes);
    if (check != Check(k, kind, b))
        return false;
    if (kind == HashCache::Kind::Crc)
        std::memcpy(&v.Crc, b, 4);
    else
        std::memcpy(v.Digest, b, 16);
    return true;
}

struct Statement {
    sqlite3_stmt* St = nullptr;
    ~Statement() { sqlite3_finalize(St); }
};

// Every table and index of a database as SQLite keeps them, in one text.
QByteArray Schema(sqlite3* db) {
    QByteArray text;
    Statement st;
    if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY 1, 2",
                           -1, &st.St, nullptr) != SQLITE_OK)
        return {};
    while (sqlite3_step(st.St) == SQLITE_ROW) {
        for (int c = 0; c < 4; ++c) {
            text += reinterpret_cast<const char*>(sqlite3_column_text(st.St, c));
            text += '\0';
        }
        text += '\n';
    }
    return text;
}

int UserVersion(sqlite3* db) {
    Statement st;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st.St, nullptr) == SQLITE_OK &&
        sqlite3_step(st.St) == SQLITE_ROW)
        return sqlite3_column_int(st.St, 0);
    return -1;
}

// Earlier versions marked nothing. An unmarked file is taken for one of their caches only when
// it has exactly the tables this build makes and one of their formats; it is looked at
// immutable, which neither locks it nor leaves a log or shared-memory file beside it.
bool IsEarlierCache(const QByteArray& path) {
    static const QByteArray ours = [] {
        sqlite3* db = nullptr;
        QByteArray schema;
        if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr) == SQLITE_OK)
            schema = Schema(db);
        sqlite3_close_v2(db);
        return schema;
    }();
    const QByteArray uri = "file:" + path.toPercentEncoding("/") + "?immutable=1";
    sqlite3* db = nullptr;
    bool earlier = false;
    if (sqlite3_open_v2(uri.constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOFOLLOW,
                        nullptr) == SQLITE_OK) {
        const int format = UserVersion(db);
        earlier =
            format >= 1 && format <= HashCache::Format && !ours.isEmpty() && Schema(db) == ours;
    }
    sqlite3_close_v2(db);
    return earlier;
}

// What stands at the cache's path, found without following a link and before SQLite opens
// anything: opening alone may already write to a database (its log, its journal mode).
struct Found {
    enum { Nothing, Ours, Earlier, Other } What = Nothing;
    QString Why, Detail;
};

Found Examine(const QString& path) {
    const auto other = [](const QString& why, const QString& detail = {}) {
        return Found{Found::Other, why, detail};
    };
    const QString untouched = QStringLiteral("not a cache of this program, left untouched");
    modAPI::FileInfo info;
    if (modAPI::MyStat(path, info) != Success) {
        if (modAPI::LastAPIError == ENOENT)
            return {};
        return other(QStringLiteral("cannot be examined"),
                     modAPI::SystemMessage(modAPI::LastAPIError));
    }
    if (info.Type == modAPI::EntryType::Link)
        return other(QStringLiteral("a symbolic link, which is never followed"));
    if (info.Type != modAPI::EntryType::File)
        return other(QStringLiteral("not a regular file"));
    if (info.Size == 0)
        return {};
    // The database header: its magic text, and at 68 the application id, big-endian.
    QByteArray head;
    if (modAPI::MyReadFileStart(path, 100, head) != Success)
        return other(QStringLiteral("cannot be read"), modAPI::SystemMessage(modAPI::LastAPIError));
    if (head.size() < 100 || !head.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return other(untouched, QStringLiteral("not an SQLite database"));
    const quint32 id = qFromBigEndian<quint32>(head.constData() + 68);
    if (id == HashCache::ApplicationId)
        return {Found::Ours, {}, {}};
    if (id != 0)
        return other(untouched,
                     QStringLiteral("application id 0x%1").arg(id, 8, 16, QLatin1Char('0')));
    if (!IsEarlierCache(PathCodec::Encode(path)))
        return other(untouched, QStringLiteral("an SQLite database of another layout"));
    return {Found::Earlier, {}, {}};
}

} // namespace

HashCache::HashCache(QString file) : m_file(std::move(file)) {
    if (!m_file.isEmpty())
        Open();
}

HashCache::~HashCache() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

qint32 HashCache::Today() {
    return qint32(QDateTime::currentSecsSinceEpoch() / 86400);
}

void HashCache::GiveUp(const QString& why) {
    QString detail = m_error;
    if (detail.isEmpty() && m_db)
        detail = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    QString line = QStringLiteral("Hash cache %1 not used in this run, files are read instead: %2")
                       .arg(PathCodec::Display(m_file), why);
    if (!detail.isEmpty())
        line += QStringLiteral(" (%1)").arg(detail);
    modLog::WriteAppLog(modCommon::AppLogFile, line);
}

bool HashCache::Exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    // The first failure is the one worth logging; a rollback after it would overwrite it.
    if (m_error.isEmpty())
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool HashCache::SetUp(const char* sql) {
    const QByteArray mark = "PRAGMA application_id=" + QByteArray::number(ApplicationId) +
                            ";PRAGMA user_version=" + QByteArray::number(Format);
    if (Exec("BEGIN IMMEDIATE") && Exec(sql) && Exec(mark.constData()) && Exec("COMMIT"))
        return true;
    Exec("ROLLBACK");
    GiveUp(QStringLiteral("cannot be set up"));
    return false;
}

bool HashCache::Open() {
    // Links in the folders above are the user's own layout and are resolved here, as SQLite's
    // no-follow open would refuse them too; only a link at the cache's own name is refused.
    const QByteArray given = PathCodec::Encode(m_file);
    const qsizetype slash = given.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : given.left(std::max<qsizetype>(slash, 1));
    const QByteArray name = given.mid(slash + 1);
    std::error_code ec;
    std::filesystem::create_directories(folder.toStdString(), ec);
    QByteArray path = PathCodec::Encode(modAPI::CanonicalPath(PathCodec::Decode(folder)));
    if (path.isEmpty() || name.isEmpty() || name == "." || name == "..") {
        m_error = QStringLiteral("no such folder or file name");
        GiveUp(QStringLiteral("cannot be opened"));
        return false;
    }
    path += (path.endsWith('/') ? "" : "/") + name;

    const Found found = Examine(PathCodec::Decode(path));
    if (found.What == Found::Other) {
        m_error = found.Detail;
        GiveUp(found.Why);
        return false;
    }
    // One thread at a time uses the connection (a lookup waits for the write-back under
    // way), so SQLite need not lock it around every call: a lookup makes eight calls for
    // each entry it finds.
    if (sqlite3_open_v2(path.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW |
                            SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        GiveUp(QStringLiteral("cannot be opened"));
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    m_readOnly = sqlite3_db_readonly(m_db, "main") == 1;

    // Asked again of the open file, in one read: it may have been replaced since it was
    // examined, or made by another run starting at the same moment.
    qint64 id = -1, objects = -1;
    int format = -1;
    {
        Statement st;
        if (sqlite3_prepare_v2(m_db,
                               "SELECT (SELECT application_id FROM pragma_application_id),"
                               " (SELECT user_version FROM pragma_user_version),"
                               " (SELECT count(*) FROM sqlite_schema)",
                               -1, &st.St, nullptr) == SQLITE_OK &&
            sqlite3_step(st.St) == SQLITE_ROW) {
            id = sqlite3_column_int64(st.St, 0) & 0xffffffff;
            format = sqlite3_column_int(st.St, 1);
            objects = sqlite3_column_int64(st.St, 2);
        }
    }
    if (format < 0) {
        GiveUp(QStringLiteral("not a readable cache"));
        return false;
    }
    const bool fresh = id == 0 && format == 0 && objects == 0;
    if (id != ApplicationId && !fresh && !(id == 0 && found.What == Found::Earlier)) {
        m_error = QStringLiteral("changed while it was opened");
        GiveUp(QStringLiteral("not a cache of this program, left untouched"));
        return false;
    }
    if (format > Format) {
        GiveUp(QStringLiteral("written in a later format %1").arg(format));
        return false;
    }
    if (!m_readOnly) {
        // A new file gets its tables and mark before it turns to WAL, while each commit still
        // writes the file itself: a first run killed before its log was copied back would
        // otherwise leave a file whose header carries neither, which is no longer ours.
        // Large pages for a new file: a run writes tens of thousands of rows in key order,
        // and each page costs a write call to the log and another when it is copied back.
        if (fresh && (!Exec("PRAGMA page_size=65536") || !SetUp(kCreate)))
            return false;
        // WAL: a run killed while writing leaves the previous state whole, and readers of
        // another run are never blocked by this run's writes.
        bool wal = false;
        {
            Statement st;
            wal = sqlite3_prepare_v2(m_db, "PRAGMA journal_mode=WAL", -1, &st.St, nullptr) ==
                      SQLITE_OK &&
                  sqlite3_step(st.St) == SQLITE_ROW;
        }
        if (!wal) {
            GiveUp(QStringLiteral("cannot be opened for writing"));
            return false;
        }
        Exec("PRAGMA synchronous=NORMAL");
        // Left to itself, SQLite held 30 MiB of 64 KiB pages while a first run over a
        // million files wrote its entries, a quarter of the run's whole peak; 1 MiB (16
        // pages) holds those of one insert path, and the rest go to the log as they fill,
        // which took no longer on the bench trees.
        Exec("PRAGMA cache_size=-1024");
        // An entry of an earlier format would only ever miss: its times mean other units.
        if (!fresh && (format < Format || id != ApplicationId) &&
            !SetUp(format < Format ? "DELETE FROM entry" : ""))
            return false;
    } else if (format < Format) {
        GiveUp(format == 0 ? QStringLiteral("read-only and empty")
                           : QStringLiteral("read-only and of an earlier format %1").arg(format));
        return false;
    }
    // A file that claims our format but lacks the table is not ours to trust.
    Statement probe;
    if (sqlite3_prepare_v2(
            m_db,
            "SELECT dev, ino, size, mtime, ctime, seen, prefix, xxh, crc, md5 FROM entry LIMIT 1",
            -1, &probe.St, nullptr) != SQLITE_OK) {
        GiveUp(QStringLiteral("not a readable cache"));
        return false;
    }
    // A first run looks nothing up: a million lookups that all miss cost a second.
    m_empty = sqlite3_step(probe.St) == SQLITE_DONE;
    return true;
}

template <class Item>
HashCache::Ordered<Item> HashCache::InKeyOrder(size_t count, const KeyOf& keyOf) {
    // The table's own order, in which the B-tree is walked forwards one page after the
    // other. SQLite compares its integers signed: an inode number with the top bit set (as
    // overlay file systems make them) sorts before the others there, and must here too.
    Ordered<Item> out;
    out.Keys.reserve(count);
    const qint64 smallest = SmallestKept.load();
    for (size_t i = 0; i < count; ++i) {
        const Key k = keyOf(i);
        if (k.Inode == 0 || k.Size < smallest)
            continue;
        // A run sees a handful of devices at most.
        auto at = std::find(out.Devices.begin(), out.Devices.end(), k.Device);
        if (at == out.Devices.end())
            at = out.Devices.insert(at, k.Device);
        const Wanted w{k.Inode, quint32(i), quint32(at - out.Devices.begin())};
        if constexpr (std::is_same_v<Item, Asked>)
            out.Keys.push_back({w, k.Size, k.ModifiedNs, k.ChangedNs});
        else
            out.Keys.push_back(w);
    }
    std::vector<quint32> rank(out.Devices.size());
    std::vector<quint64> sorted = out.Devices;
    std::sort(sorted.begin(), sorted.end(),
              [](quint64 a, quint64 b) { return qint64(a) < qint64(b); });
    for (size_t d = 0; d < rank.size(); ++d)
        rank[d] = quint32(std::find(sorted.begin(), sorted.end(), out.Devices[d]) - sorted.begin());
    for (Item& w : out.Keys)
        w.Device = rank[w.Device];
    out.Devices = std::move(sorted);
    std::sort(out.Keys.begin(), out.Keys.end(), [](const Item& a, const Item& b) {
        return std::pair(a.Device, qint64(a.Inode)) < std::pair(b.Device, qint64(b.Inode));
    });
    return out;
}

qint64 HashCache::Entries() {
    if (m_entries < 0) {
        Statement st;
        m_entries = sqlite3_prepare_v2(m_db, "SELECT count(*) FROM entry", -1, &st.St, nullptr) ==
                                SQLITE_OK &&
                            sqlite3_step(st.St) == SQLITE_ROW
                        ? sqlite3_column_int64(st.St, 0)
                        : 0;
    }
    return m_entries;
}

void HashCache::Answer(const Asked& w, quint64 device, Kind kind, sqlite3_stmt* row, int first,
                       qint32 today, const FoundFn& found) {
    const Key k{device, w.Inode, w.Size, w.ModifiedNs, w.ChangedNs};
    if (sqlite3_column_int64(row, first) != k.Size ||
        sqlite3_column_int64(row, first + 1) != k.ModifiedNs ||
        sqlite3_column_int64(row, first + 2) != k.ChangedNs)
        return;
    Value v;
    int c = first + 4;
    for (const Kind part : Parts(kind)) {
        if (!Unpack(k, part, sqlite3_column_blob(row, c), sqlite3_column_bytes(row, c), v))
            return;
        ++c;
    }
    ++m_hits;
    if (sqlite3_column_int(row, first + 3) < today)
        m_seenBefore.push_back({k.Device, k.Inode});
    found(w.Index, v);
}

bool HashCache::LookupEach(std::span<const Asked> keys, quint64 device, Kind kind, qint32 today,
                           const FoundFn& found) {
    const QByteArray sql =
        "SELECT " + EntryColumns(kind) + " FROM entry WHERE dev = ?1 AND ino = ?2";
    Statement st;
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st.St, nullptr) != SQLITE_OK)
        return false;
    for (const Asked& w : keys) {
        sqlite3_bind_int64(st.St, 1, qint64(device));
        sqlite3_bind_int64(st.St, 2, qint64(w.Inode));
        const int rc = sqlite3_step(st.St);
        if (rc == SQLITE_ROW)
            Answer(w, device, kind, st.St, 0, today, found);
        else if (rc != SQLITE_DONE)
            return false;
        sqlite3_reset(st.St);
    }
    return true;
}

bool HashCache::LookupInOnePass(std::span<const Asked> keys, quint64 device, Kind kind,
                                qint32 today, const FoundFn& found) {
    // keys share one device; its entries from the first key's inode to the last one's come
    // in the same order as the keys, so each side is walked once.
    // The order is the primary key's, so asking for it costs no sort; without it, none is
    // promised.
    const QByteArray sql = "SELECT ino, " + EntryColumns(kind) +
                           " FROM entry WHERE dev = ?1 AND ino BETWEEN ?2 AND ?3 ORDER BY ino";
    Statement st;
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st.St, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_int64(st.St, 1, qint64(device));
    sqlite3_bind_int64(st.St, 2, qint64(keys.front().Inode));
    sqlite3_bind_int64(st.St, 3, qint64(keys.back().Inode));
    size_t next = 0;
    int rc;
    while ((rc = sqlite3_step(st.St)) == SQLITE_ROW) {
        const qint64 inode = sqlite3_column_int64(st.St, 0);
        while (next < keys.size() && qint64(keys[next].Inode) < inode)
            ++next;
        // Two names of one file are two keys of one inode.
        for (; next < keys.size() && qint64(keys[next].Inode) == inode; ++next)
            Answer(keys[next], device, kind, st.St, 1, today, found);
        if (next == keys.size())
            return true;
    }
    return rc == SQLITE_DONE;
}

void HashCache::Lookup(Kind kind, size_t count, const KeyOf& keyOf, const FoundFn& found) {
    if (!m_db || count == 0 || m_empty)
        return;
    const Ordered<Asked> ordered = InKeyOrder<Asked>(count, keyOf);
    const std::vector<Asked>& keyed = ordered.Keys;
    if (keyed.empty())
        return;
    if (!Exec("BEGIN")) {
        GiveUp(QStringLiteral("cannot be read"));
        return;
    }
    // Walking an entry in a pass costs a fraction of finding one from the root, so a pass
    // pays once the keys are that fraction of the table; the count is taken once a run, as
    // an estimate: what this run stores since only makes the passes a little longer.
    const double onePassFrom = OnePassShare.load() * double(Entries());
    const qint32 today = Today();
    for (size_t begin = 0; begin < keyed.size();) {
        size_t end = begin + 1;
        while (end < keyed.size() && keyed[end].Device == keyed[begin].Device)
            ++end;
        const std::span<const Asked> keys(keyed.data() + begin, end - begin);
        const quint64 device = ordered.Devices[keyed[begin].Device];
        const bool read = double(keys.size()) >= onePassFrom
                              ? LookupInOnePass(keys, device, kind, today, found)
                              : LookupEach(keys, device, kind, today, found);
        if (!read) {
            // What was found so far passed its own check; the rest is read from the files.
            Exec("ROLLBACK");
            GiveUp(QStringLiteral("damaged or unreadable"));
            return;
        }
        begin = end;
    }
    Exec("COMMIT");
}

void HashCache::Store(Kind kind, size_t count, const KeyOf& keyOf,
                      const std::function<bool(size_t, Value&)>& valueOf) {
    if (!m_db || m_readOnly || count == 0)
        return;
    // Nothing to write takes no write lock, which another run may be waiting for.
    const std::vector<Wanted> keyed = InKeyOrder<Wanted>(count, keyOf).Keys;
    if (keyed.empty())
        return;
    const qint32 today = Today();
    const qint64 settled = QDateTime::currentMSecsSinceEpoch() * 1000000 - SettleNs.load();
    // What else is kept of the file stays: its own check sums say whether it still belongs
    // to the file as it is now.
    const PartList parts = Parts(kind);
    QByteArray columns, values, updates;
    for (size_t c = 0; c < parts.size(); ++c) {
        const QByteArray col = Column(parts[c]);
        columns += ", " + col;
        values += ", ?" + QByteArray::number(7 + int(c));
        updates += ", " + col + " = excluded." + col;
    }
    const QByteArray sql = "INSERT INTO entry(dev, ino, size, mtime, ctime, seen" + columns +
                           ") VALUES(?1, ?2, ?3, ?4, ?5, ?6" + values +
                           ") ON CONFLICT(dev, ino) DO UPDATE SET"
                           " size = excluded.size, mtime = excluded.mtime,"
                           " ctime = excluded.ctime, seen = excluded.seen" +
                           updates;
    Statement st;
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st.St, nullptr) != SQLITE_OK) {
        GiveUp(QStringLiteral("cannot be written"));
        return;
    }
    if (!Exec("BEGIN IMMEDIATE")) {
        GiveUp(QStringLiteral("in use by another run"));
        return;
    }
    int rc = SQLITE_DONE;
    unsigned char blobs[2][16 + kCheckBytes];
    for (const Wanted& w : keyed) {
        Value v;
        const Key k = keyOf(w.Index);
        if (k.ChangedNs > settled || !valueOf(w.Index, v))
            continue;
        sqlite3_bind_int64(st.St, 1, qint64(k.Device));
        sqlite3_bind_int64(st.St, 2, qint64(k.Inode));
        sqlite3_bind_int64(st.St, 3, k.Size);
        sqlite3_bind_int64(st.St, 4, k.ModifiedNs);
        sqlite3_bind_int64(st.St, 5, k.ChangedNs);
        sqlite3_bind_int(st.St, 6, today);
        for (size_t c = 0; c < parts.size(); ++c) {
            Pack(k, parts[c], v, blobs[c]);
            sqlite3_bind_blob(st.St, 7 + int(c), blobs[c], int(ValueBytes(parts[c]) + kCheckBytes),
                              SQLITE_STATIC);
        }
        rc = sqlite3_step(st.St);
        sqlite3_reset(st.St);
        if (rc != SQLITE_DONE)
            break;
    }
    if (rc != SQLITE_DONE || !Exec("COMMIT")) {
        const bool full = sqlite3_errcode(m_db) == SQLITE_FULL || m_error.contains(u"full");
        Exec("ROLLBACK");
        GiveUp(full ? QStringLiteral("the disk is full") : QStringLiteral("cannot be written"));
    }
}

void HashCache::Finish() {
    if (!m_db || m_readOnly)
        return;
    const qint32 today = Today();
    // A run over an unchanged tree, seen and pruned already today, has nothing to write, and
    // takes no write lock: another run holding it would otherwise make this run's log say
    // that the cache it has just used was not.
    if (m_seenBefore.empty() && LastPruned() >= today)
        return;
    if (!Exec("BEGIN IMMEDIATE")) {
        GiveUp(QStringLiteral("in use by another run"));
        return;
    }
    {
        Statement st;
        if (!m_seenBefore.empty() &&
            sqlite3_prepare_v2(m_db, "UPDATE entry SET seen = ?1 WHERE dev = ?2 AND ino = ?3", -1,
                               &st.St, nullptr) == SQLITE_OK) {
            std::sort(m_seenBefore.begin(), m_seenBefore.end());
            for (const auto& [device, inode] : m_seenBefore) {
                sqlite3_bind_int(st.St, 1, today);
                sqlite3_bind_int64(st.St, 2, qint64(device));
                sqlite3_bind_int64(st.St, 3, qint64(inode));
                sqlite3_step(st.St);
                sqlite3_reset(st.St);
            }
        }
    }
    m_seenBefore.clear();
    Prune(today);
    if (!Exec("COMMIT")) {
        Exec("ROLLBACK");
        GiveUp(QStringLiteral("cannot be written"));
    }
}

qint64 HashCache::LastPruned() {
    Statement st;
    return sqlite3_prepare_v2(m_db, "SELECT value FROM meta WHERE name = 'pruned'", -1, &st.St,
                              nullptr) == SQLITE_OK &&
                   sqlite3_step(st.St) == SQLITE_ROW
               ? sqlite3_column_int64(st.St, 0)
               : 0;
}

void HashCache::Prune(qint32 today) {
    // Asked again inside the write: another run may have pruned since.
    if (LastPruned() >= today)
        return;
    Statement del;
    if (sqlite3_prepare_v2(m_db,
                           "DELETE FROM entry WHERE (dev, ino) IN"
                           " (SELECT dev, ino FROM entry WHERE seen < ?1 LIMIT ?2)",
                           -1, &del.St, nullptr) != SQLITE_OK)
        return;
    sqlite3_bind_int(del.St, 1, today - KeepDays);
    sqlite3_bind_int(del.St, 2, kPruneBatch);
    sqlite3_step(del.St);
    Statement mark;
    if (sqlite3_prepare_v2(m_db, "INSERT OR REPLACE INTO meta VALUES('pruned', ?1)", -1, &mark.St,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_int(mark.St, 1, today);
        sqlite3_step(mark.St);
    }
}
