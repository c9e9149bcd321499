#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

struct sqlite3;

// What earlier runs learnt about files' contents, kept in one SQLite file so that a run over
// an unchanged tree reads nothing. A file is known by device and inode; its entry counts only
// while size, modified second and change time (nanoseconds) are still those it was read
// with. Change time is the guard that matters: the kernel sets it to the current time on
// every write and every time reset, and nobody can set it back.
//
// Every failure (missing folder, locked by another run, corrupt, full disk, a format of a
// later version) turns the cache off for the rest of the run: the run then reads the files
// itself, and the application log says why, once. A lookup never returns an entry whose own
// check sum does not match, so a damaged page reads as a miss, never as a wrong hash.
class HashCache {
public:
    struct Key {
        quint64 Device = 0;
        quint64 Inode = 0;
        qint64 Size = 0;
        qint64 ModifiedSecs = 0;
        qint64 ChangedNs = 0;
    };
    enum : quint8 { HasPrefix = 1, HasXxh = 2, HasCrc = 4, HasMd5 = 8 };
    struct Hashes {
        quint8 Known = 0; // Has* bits
        quint32 Crc = 0;
        quint8 Prefix[16] = {};
        quint8 Xxh[16] = {};
        quint8 Md5[16] = {};
        qint32 SeenDay = 0; // the day the entry was last written, days since the epoch
    };

    // The format this build writes; a cache of a higher one is left alone.
    static constexpr int Format = 1;
    // Entries of files no run has seen for this many days are dropped.
    static constexpr int KeepDays = 45;
    // A file changed this recently may still be being written within the same tick of its
    // change time, so a hash taken now might not match the bytes its key stands for later.
    // Tests shorten it to zero to use files they have just made.
    static std::atomic<qint64> SettleNs;

    explicit HashCache(QString file);
    ~HashCache();
    HashCache(const HashCache&) = delete;
    HashCache& operator=(const HashCache&) = delete;

    const QString& File() const { return m_file; }
    // False once anything went wrong; then lookups find nothing and stores do nothing.
    bool Usable() const { return m_db != nullptr; }

    // found[i] for keys[i]; Known 0 for a miss. One read transaction for all of them.
    void Lookup(const std::vector<Key>& keys, std::vector<Hashes>& found);
    // Writes the rows marked in write, in one transaction, and prunes old entries at most
    // once a day. Rows whose file changed too recently are left out (see SettleNs).
    void Store(const std::vector<Key>& keys, const std::vector<Hashes>& hashes,
               const std::vector<bool>& write);

    // Lookups that found an entry, for tests and the run's own reckoning.
    qint64 Hits() const { return m_hits; }

    static qint32 Today();

private:
    bool Open();
    void GiveUp(const QString& why);
    bool Exec(const char* sql);
    void Prune(qint32 today);

    QString m_file;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    QString m_error;
    qint64 m_hits = 0;
};
