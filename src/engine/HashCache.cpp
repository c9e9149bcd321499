#include "HashCache.h"

#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QDateTime>

#include <sqlite3.h>
#include <xxhash.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

std::atomic<qint64> HashCache::SettleNs{2'000'000'000};

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

// The single kinds a kind is kept as, each in its own column with its own check sum.
std::vector<HashCache::Kind> Parts(HashCache::Kind kind) {
    if (kind == HashCache::Kind::XxhCrc)
        return {HashCache::Kind::Xxh, HashCache::Kind::Crc};
    return {kind};
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
    if (!m_db)
        return;
    const QString detail = m_error.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(m_db)) : m_error;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    modLog::WriteAppLog(modCommon::AppLogFile,
                        QStringLiteral("Hash cache %1 not used in this run, files are read "
                                       "instead: %2 (%3)")
                            .arg(PathCodec::Display(m_file), why, detail));
}

bool HashCache::Exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    // The first failure is the one worth logging; a rollback after it would overwrite it.
    if (m_error.isEmpty())
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool HashCache::Open() {
    const QByteArray path = PathCodec::Encode(m_file);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path.toStdString()).parent_path(),
                                        ec);
    if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        GiveUp(QStringLiteral("cannot be opened"));
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    m_readOnly = sqlite3_db_readonly(m_db, "main") == 1;

    int format = -1;
    {
        Statement st;
        if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &st.St, nullptr) == SQLITE_OK &&
            sqlite3_step(st.St) == SQLITE_ROW)
            format = sqlite3_column_int(st.St, 0);
    }
    if (format < 0) {
        GiveUp(QStringLiteral("not a readable cache"));
        return false;
    }
    if (format > Format) {
        GiveUp(QStringLiteral("written in a later format %1").arg(format));
        return false;
    }
    if (!m_readOnly) {
        // WAL: a run killed while writing leaves the previous state whole, and readers of
        // another run are never blocked by this run's writes.
        // Large pages for a new file: a run writes tens of thousands of rows in key order,
        // and each page costs a write call to the log and another when it is copied back.
        if (format == 0)
            Exec("PRAGMA page_size=65536");
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
        // An entry of an earlier format would only ever miss: its times mean other units.
        const char* const setUp = format == 0 ? kCreate : "DELETE FROM entry";
        if (format < Format &&
            (!Exec("BEGIN IMMEDIATE") || !Exec(setUp) ||
             !Exec(QByteArray("PRAGMA user_version=" + QByteArray::number(Format)).constData()) ||
             !Exec("COMMIT"))) {
            Exec("ROLLBACK");
            GiveUp(QStringLiteral("cannot be set up"));
            return false;
        }
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

std::vector<std::pair<quint64, quint32>> HashCache::InKeyOrder(size_t count,
                                                               const KeyOf& keyOf) const {
    // In the table's own order the B-tree is walked forwards, one page after the other. By
    // inode alone: on one device that is the table's order, and the pairs stay small.
    std::vector<std::pair<quint64, quint32>> keyed;
    keyed.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const Key k = keyOf(i);
        if (k.Inode != 0)
            keyed.push_back({k.Inode, quint32(i)});
    }
    std::sort(keyed.begin(), keyed.end());
    return keyed;
}

void HashCache::Lookup(Kind kind, size_t count, const KeyOf& keyOf,
                       const std::function<void(size_t, const Value&)>& found) {
    if (!m_db || count == 0 || m_empty)
        return;
    const std::vector<Kind> parts = Parts(kind);
    QByteArray sql = "SELECT size, mtime, ctime, seen";
    for (const Kind part : parts)
        sql += QByteArray(", ") + Column(part);
    sql += " FROM entry WHERE dev = ?1 AND ino = ?2";
    Statement st;
    if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st.St, nullptr) != SQLITE_OK ||
        !Exec("BEGIN")) {
        GiveUp(QStringLiteral("cannot be read"));
        return;
    }
    const qint32 today = Today();
    for (const auto& [inode, i] : InKeyOrder(count, keyOf)) {
        const Key k = keyOf(i);
        sqlite3_bind_int64(st.St, 1, qint64(k.Device));
        sqlite3_bind_int64(st.St, 2, qint64(k.Inode));
        const int rc = sqlite3_step(st.St);
        if (rc == SQLITE_ROW) {
            Value v;
            bool known = sqlite3_column_int64(st.St, 0) == k.Size &&
                         sqlite3_column_int64(st.St, 1) == k.ModifiedNs &&
                         sqlite3_column_int64(st.St, 2) == k.ChangedNs;
            for (int c = 0; known && c < int(parts.size()); ++c)
                known = Unpack(k, parts[size_t(c)], sqlite3_column_blob(st.St, 4 + c),
                               sqlite3_column_bytes(st.St, 4 + c), v);
            if (known) {
                ++m_hits;
                if (sqlite3_column_int(st.St, 3) < today)
                    m_seenBefore.push_back({k.Device, k.Inode});
                found(i, v);
            }
        } else if (rc != SQLITE_DONE) {
            // What was found so far passed its own check; the rest is read from the files.
            Exec("ROLLBACK");
            GiveUp(QStringLiteral("damaged or unreadable"));
            return;
        }
        sqlite3_reset(st.St);
    }
    Exec("COMMIT");
}

void HashCache::Store(Kind kind, size_t count, const KeyOf& keyOf,
                      const std::function<bool(size_t, Value&)>& valueOf) {
    if (!m_db || m_readOnly || count == 0)
        return;
    const qint32 today = Today();
    const qint64 settled = QDateTime::currentMSecsSinceEpoch() * 1000000 - SettleNs.load();
    // What else is kept of the file stays: its own check sums say whether it still belongs
    // to the file as it is now.
    const std::vector<Kind> parts = Parts(kind);
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
    for (const auto& [inode, i] : InKeyOrder(count, keyOf)) {
        Value v;
        const Key k = keyOf(i);
        if (k.ChangedNs > settled || !valueOf(i, v))
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

void HashCache::Prune(qint32 today) {
    qint64 last = 0;
    {
        Statement st;
        if (sqlite3_prepare_v2(m_db, "SELECT value FROM meta WHERE name = 'pruned'", -1, &st.St,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(st.St) == SQLITE_ROW)
            last = sqlite3_column_int64(st.St, 0);
    }
    if (last >= today)
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
