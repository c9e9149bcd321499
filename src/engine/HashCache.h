#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What earlier runs learnt about files' contents, kept in one SQLite file so that a run over
// an unchanged tree reads nothing. A file is known by device and inode; what is kept about
// it counts only while size, modified time and change time (nanoseconds) are still those
// it was read with. Change time is the guard that matters: the kernel sets it to the
// current time on every write and every time reset, and nobody can set it back.
//
// Each hash is stored with a check sum over itself and that key, so a hash kept from before
// a file changed, or a page damaged into another valid looking row, reads as a miss and
// never as a wrong hash. Every failure (missing folder, locked by another run, corrupt, full
// disk, a format of a later version) turns the cache off for the rest of the run: the run
// then reads the files itself, and the application log says why, once.
//
// A symbolic link at the cache's path is never followed, and a file that is not one of this
// program's caches (another program's database, anything not SQLite) is left exactly as it
// was found: a mistaken path must cost a run its cache, never someone else their data.
class HashCache {
public:
    struct Key {
        quint64 Device = 0;
        quint64 Inode = 0;
        qint64 Size = 0;
        qint64 ModifiedNs = 0;
        qint64 ChangedNs = 0;
    };
    // What is kept per file: the first-block XXH3-128, the whole-content XXH3-128, the
    // CRC-32 and the MD5. XxhCrc is the whole-content hash and the CRC-32 together, as one
    // read gives them: looked up, it finds a file only when both are known.
    enum class Kind { Prefix, Xxh, Crc, Md5, XxhCrc };
    struct Value {
        quint32 Crc = 0;        // Kind::Crc, XxhCrc
        quint8 Digest[16] = {}; // the others
    };
    using KeyOf = std::function<Key(size_t)>;

    // Marks a SQLite file as this program's cache ("EFhc"). A file with any other mark, or
    // an unmarked one that is not a cache of an earlier version, is never written to.
    static constexpr quint32 ApplicationId = 0x45466863;
    // The format this build writes; a cache of a higher one is left alone.
    // Format 1 kept the modified time in seconds; its entries are dropped on opening.
    static constexpr int Format = 2;
    // Entries of files no run has seen for this many days are dropped.
    static constexpr int KeepDays = 45;
    // A file changed this recently may still be being written within the same tick of its
    // change time, so a hash taken now might not match the bytes its key stands for later.
    // Tests shorten it to zero to use files they have just made.
    static std::atomic<qint64> SettleNs;
    // Files smaller than this are neither looked up nor stored, and so are read on every
    // run. It belongs where opening and hashing a file costs what finding it in the cache and
    // writing it there cost: bench/cache/README.md times a first and a second run against
    // reading, per file size. On the 2-core development machine no size came out cheaper to
    // read: in folders of 200 files of one size up to 512 bytes reading and keeping cost the
    // same, and on a make-tree tree of 100,000 files keeping even the smallest won (with
    // 1 KiB the second run took 0.72 of reading instead of 0.39). So every file is kept.
    // Tests set it to make files of a size unkept.
    static constexpr qint64 WorthKeepingFrom = 0;
    static std::atomic<qint64> SmallestKept;
    // A lookup asking about at least this share of the entries reads all of a device's
    // entries in one pass, in the table's order, and matches them with the keys sorted the
    // same way; below it, each file is looked up on its own. Tests set it to 0 or above 1 to
    // take one road or the other. See bench/cache/README.md for how it was chosen.
    static std::atomic<double> OnePassShare;

    explicit HashCache(QString file);
    ~HashCache();
    HashCache(const HashCache&) = delete;
    HashCache& operator=(const HashCache&) = delete;

    const QString& File() const { return m_file; }
    // False once anything went wrong; then lookups find nothing and stores do nothing.
    bool Usable() const { return m_db != nullptr; }

    // Looks up keyOf(0 .. count-1) in one read transaction and calls found(i, value) for
    // each one known. Entries found are marked seen again by Finish.
    void Lookup(Kind kind, size_t count, const KeyOf& keyOf,
                const std::function<void(size_t, const Value&)>& found);
    // Writes the values that valueOf gives (false: nothing for that one) in one
    // transaction. Files changed too recently are left out (see SettleNs).
    void Store(Kind kind, size_t count, const KeyOf& keyOf,
               const std::function<bool(size_t, Value&)>& valueOf);
    // Marks the entries found seen today, once a day each, and prunes old entries at most
    // once a day.
    void Finish();

    // Whether the table held no entry when opened: then every lookup finds nothing.
    bool Empty() const { return m_empty; }

    // Lookups that found an entry, for tests and the run's own reckoning.
    qint64 Hits() const { return m_hits; }

    static qint32 Today();

private:
    bool Open();
    bool SetUp(const char* sql);
    void GiveUp(const QString& why);
    bool Exec(const char* sql);
    void Prune(qint32 today);
    qint64 LastPruned(); // the day of the last pruning, 0 for none
    // 16 bytes a key for a write, since a first run over a million files stores a slice of
    // them while the next is read: the rest of the key is asked for again when it is needed.
    struct Wanted {
        quint64 Inode;
        quint32 Index;
        quint32 Device; // its place in Ordered::Devices
    };
    // A lookup keeps the whole key: each entry found needs it, and asking for it again in
    // the table's order visits the files' records at random, which took a third of a
    // lookup.
    struct Asked : Wanted {
        qint64 Size;
        qint64 ModifiedNs;
        qint64 ChangedNs;
    };
    template <class Item> struct Ordered {
        std::vector<Item> Keys;
        std::vector<quint64> Devices; // in the table's order
    };
    template <class Item> static Ordered<Item> InKeyOrder(size_t count, const KeyOf& keyOf);
    // Both end by GiveUp on a read error, after reporting what they found so far.
    using FoundFn = std::function<void(size_t, const Value&)>;
    bool LookupEach(std::span<const Asked> keys, quint64 device, Kind kind, qint32 today,
                    const FoundFn& found);
    bool LookupInOnePass(std::span<const Asked> keys, quint64 device, Kind kind, qint32 today,
                         const FoundFn& found);
    // The entry in the statement's current row from column first on (size, modified time,
    // change time, seen, then the hashes of the kind's parts), given to found if it holds.
    void Answer(const Asked& key, quint64 device, Kind kind, sqlite3_stmt* row, int first,
                qint32 today, const FoundFn& found);
    qint64 Entries();

    QString m_file;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    QString m_error;
    qint64 m_hits = 0;
    bool m_empty = false;                                  // no entry when opened
    qint64 m_entries = -1;                                 // counted at the first lookup
    std::vector<std::pair<quint64, quint64>> m_seenBefore; // device, inode to mark seen
};
