#include "HashCache.h"

#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QDateTime>

#include <sqlite3.h>
#include <xxhash.h>

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
    " size INTEGER NOT NULL, mtime INTEGER NOT NULL,"
    " ctime INTEGER NOT NULL, known INTEGER NOT NULL,"
    " crc INTEGER NOT NULL, prefix BLOB, xxh BLOB, md5 BLOB,"
    " seen INTEGER NOT NULL, chk INTEGER NOT NULL,"
    " PRIMARY KEY(dev, ino)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER);";

// A sum over everything an entry says, so that a page damaged on disk into another valid
// looking row reads as a miss and never as another file's hash.
qint64 RowCheck(const HashCache::Key& k, const HashCache::Hashes& h) {
    unsigned char b[5 * 8 + 1 + 4 + 3 * 16];
    unsigned char* p = b;
    const auto put = [&p](const void* v, size_t n) {
        std::memcpy(p, v, n);
        p += n;
    };
    put(&k.Device, 8);
    put(&k.Inode, 8);
    put(&k.Size, 8);
    put(&k.ModifiedSecs, 8);
    put(&k.ChangedNs, 8);
    put(&h.Known, 1);
    put(&h.Crc, 4);
    put(h.Prefix, 16);
    put(h.Xxh, 16);
    put(h.Md5, 16);
    return qint64(XXH3_64bits(b, sizeof b));
}

void ReadBlob(sqlite3_stmt* st, int column, quint8* out) {
    if (sqlite3_column_bytes(st, column) == 16)
        std::memcpy(out, sqlite3_column_blob(st, column), 16);
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
    // Mapped, a lookup touches the pages in place; read, every page is copied by a
    // system call of its own, tens of thousands of them on a warm run.
    Exec("PRAGMA mmap_size=1073741824");
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
        if (format == 0) {
            if (!Exec("BEGIN IMMEDIATE") || !Exec(kCreate) || !Exec("PRAGMA user_version=1") ||
                !Exec("COMMIT")) {
                Exec("ROLLBACK");
                GiveUp(QStringLiteral("cannot be set up"));
                return false;
            }
        }
    } else if (format == 0) {
        GiveUp(QStringLiteral("read-only and empty"));
        return false;
    }
    // A file that claims our format but lacks the table is not ours to trust.
    Statement probe;
    if (sqlite3_prepare_v2(m_db, "SELECT chk FROM entry LIMIT 0", -1, &probe.St, nullptr) !=
        SQLITE_OK) {
        GiveUp(QStringLiteral("not a readable cache"));
        return false;
    }
    return true;
}

void HashCache::Lookup(const std::vector<Key>& keys, std::vector<Hashes>& found) {
    found.assign(keys.size(), Hashes{});
    if (!m_db || keys.empty())
        return;
    Statement st;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT size, mtime, ctime, known, crc, prefix, xxh, md5, seen, chk"
                           " FROM entry WHERE dev = ?1 AND ino = ?2",
                           -1, &st.St, nullptr) != SQLITE_OK ||
        !Exec("BEGIN")) {
        GiveUp(QStringLiteral("cannot be read"));
        return;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const Key& k = keys[i];
        sqlite3_bind_int64(st.St, 1, qint64(k.Device));
        sqlite3_bind_int64(st.St, 2, qint64(k.Inode));
        const int rc = sqlite3_step(st.St);
        if (rc == SQLITE_ROW) {
            Hashes h;
            const bool same = sqlite3_column_int64(st.St, 0) == k.Size &&
                              sqlite3_column_int64(st.St, 1) == k.ModifiedSecs &&
                              sqlite3_column_int64(st.St, 2) == k.ChangedNs;
            h.Known = quint8(sqlite3_column_int(st.St, 3) & 0x0f);
            h.Crc = quint32(sqlite3_column_int64(st.St, 4));
            ReadBlob(st.St, 5, h.Prefix);
            ReadBlob(st.St, 6, h.Xxh);
            ReadBlob(st.St, 7, h.Md5);
            h.SeenDay = sqlite3_column_int(st.St, 8);
            if (same && sqlite3_column_int64(st.St, 9) == RowCheck(k, h)) {
                found[i] = h;
                ++m_hits;
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

void HashCache::Store(const std::vector<Key>& keys, const std::vector<Hashes>& hashes,
                      const std::vector<bool>& write) {
    if (!m_db || m_readOnly)
        return;
    const qint32 today = Today();
    const qint64 settled = QDateTime::currentMSecsSinceEpoch() * 1000000 - SettleNs.load();
    Statement st;
    if (sqlite3_prepare_v2(m_db,
                           "INSERT OR REPLACE INTO entry VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8,"
                           " ?9, ?10, ?11, ?12)",
                           -1, &st.St, nullptr) != SQLITE_OK) {
        GiveUp(QStringLiteral("cannot be written"));
        return;
    }
    if (!Exec("BEGIN IMMEDIATE")) {
        GiveUp(QStringLiteral("in use by another run"));
        return;
    }
    int rc = SQLITE_DONE;
    for (size_t i = 0; i < keys.size() && rc == SQLITE_DONE; ++i) {
        const Key& k = keys[i];
        const Hashes& h = hashes[i];
        if (!write[i] || h.Known == 0 || k.ChangedNs > settled)
            continue;
        sqlite3_bind_int64(st.St, 1, qint64(k.Device));
        sqlite3_bind_int64(st.St, 2, qint64(k.Inode));
        sqlite3_bind_int64(st.St, 3, k.Size);
        sqlite3_bind_int64(st.St, 4, k.ModifiedSecs);
        sqlite3_bind_int64(st.St, 5, k.ChangedNs);
        sqlite3_bind_int(st.St, 6, h.Known);
        sqlite3_bind_int64(st.St, 7, h.Crc);
        sqlite3_bind_blob(st.St, 8, h.Prefix, 16, SQLITE_STATIC);
        sqlite3_bind_blob(st.St, 9, h.Xxh, 16, SQLITE_STATIC);
        sqlite3_bind_blob(st.St, 10, h.Md5, 16, SQLITE_STATIC);
        sqlite3_bind_int(st.St, 11, today);
        sqlite3_bind_int64(st.St, 12, RowCheck(k, h));
        rc = sqlite3_step(st.St);
        sqlite3_reset(st.St);
    }
    if (rc == SQLITE_DONE)
        Prune(today);
    if (rc != SQLITE_DONE || !Exec("COMMIT")) {
        const bool full = sqlite3_errcode(m_db) == SQLITE_FULL || m_error.contains(u"full");
        Exec("ROLLBACK");
        GiveUp(full ? QStringLiteral("the disk is full") : QStringLiteral("cannot be written"));
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
