// The hash cache between runs: a warm run reads nothing, a changed file is read again, and
// whatever state the cache file is in, the groups are those of reading every file.

#include "EngineFixtures.h"
#include "FileSystems.h"

#include "engine/ContentHasher.h"
#include "engine/HashCache.h"

#include <QDateTime>
#include <QtEndian>

#include <sqlite3.h>

#include <random>

using namespace engine_test;

namespace {

QByteArray Filled(char c, qint64 size, qint64 flipAt = -1) {
    QByteArray b(size, c);
    for (qint64 i = 0; i < size; i += 97)
        b[i] = char(i * 31);
    if (flipAt >= 0)
        b[flipAt] = char(~b[flipAt]);
    return b;
}

// Writes new bytes into the file and gives it back its modified time, so that only the
// change time can tell; how far that moved, in nanoseconds.
qint64 RewriteKeepingTimes(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat was {};
    struct stat now {};
    EXPECT_EQ(::stat(name.constData(), &was), 0);
    // Through Qt's buffer: fusefat fails a write over a file that it carries out all the same.
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_EQ(f.write(bytes), bytes.size());
    f.close();
    const timespec times[2] = {was.st_atim, was.st_mtim};
    EXPECT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    EXPECT_EQ(::stat(name.constData(), &now), 0);
    EXPECT_EQ(std::tuple(now.st_ino, now.st_size, now.st_mtim.tv_sec, now.st_mtim.tv_nsec),
              std::tuple(was.st_ino, was.st_size, was.st_mtim.tv_sec, was.st_mtim.tv_nsec));
    return (now.st_ctim.tv_sec - was.st_ctim.tv_sec) * 1'000'000'000 +
           (now.st_ctim.tv_nsec - was.st_ctim.tv_nsec);
}

// Groups one per line, as a child process hands them back.
QByteArray Lines(const Groups& groups) {
    QByteArray out;
    for (const QStringList& g : groups)
        out += g.join(u' ').toUtf8() + '\n';
    return out;
}

// Statements run straight on a cache file, as another program (or a damaged disk) would.
qint64 Sql(const QString& file, const QString& sql) {
    sqlite3* db = nullptr;
    qint64 value = -1;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    if (sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

// Runs the statements on a new SQLite file in WAL mode, as another program would make it.
void MakeDatabase(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// The tables as every version so far has made them.
const char* const kEarlierTables =
    "CREATE TABLE IF NOT EXISTS entry("
    " dev INTEGER NOT NULL, ino INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL,"
    " seen INTEGER NOT NULL, prefix BLOB, xxh BLOB, crc BLOB, md5 BLOB,"
    " PRIMARY KEY(dev, ino)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER);";

// Every entry of the folder, links not followed: a link's target, a file's bytes.
QStringList Snapshot(const QString& folder) {
    QStringList entries;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::AllEntries | QDir::System |
                                                            QDir::Hidden | QDir::NoDotAndDotDot)) {
        QFile f(info.filePath());
        entries << info.fileName() + u' ' + info.symLinkTarget() +
                       (!info.isSymLink() && info.isFile() && f.open(QIODevice::ReadOnly)
                            ? QString::fromLatin1(f.readAll().toBase64())
                            : QString());
    }
    return entries;
}

quint32 HeaderId(const QString& file) {
    QFile f(file);
    const QByteArray head = f.open(QIODevice::ReadOnly) ? f.read(100) : QByteArray();
    return head.size() == 100 ? qFromBigEndian<quint32>(head.constData() + 68) : 0;
}

} // namespace

class HashCacheTest : public EngineTest {
protected:
    void SetUp() override {
        // The files are made by the test just now; they would otherwise never be stored.
        HashCache::SettleNs = 0;
        static_assert(HashCache::WorthKeepingFrom <= 3000, "the files below are all kept");
        // Same-size families with copies, one member differing only past the first block;
        // files over the first-block threshold that share their first 4 KiB.
        t.CreateCopies(Filled('a', 5000), {"d/a1", "d/a2"});
        t.CreateCopies(Filled('a', 5000, 4500), {"d/b1", "e/b2"});
        t.CreateFile(u"e/c"_s, Filled('c', 5000));
        t.CreateCopies(Filled('x', 2 << 20), {"big/x1", "big/x2"});
        t.CreateFile(u"big/y"_s, Filled('x', 2 << 20, (2 << 20) - 1));
        t.CreateFile(u"u/odd"_s, Filled('u', 777));
    }
    void TearDown() override {
        HashCache::SettleNs = 2'000'000'000;
        HashCache::SmallestKept = HashCache::WorthKeepingFrom;
        HashCache::OnePassShare = 0.25;
    }

    QString CacheFile() const { return app.Tree().Path(u"cache/HashCache.sqlite"_s); }

    struct Run {
        Groups Paths;
        QStringList Crcs, Md5s;
        qint64 BytesRead = 0;
    };

    // Not the whole tree by default: the cache files live in it too.
    Run Scan(const QString& type, const QString& cache, bool staged = true,
             QStringList folders = {}) const {
        clsFindFile scan;
        ContentScan(scan, type);
        scan.UseHashCache = !cache.isEmpty();
        scan.HashCacheFile = cache;
        scan.Staged = staged;
        if (folders.isEmpty())
            folders = {P(u"d"_s), P(u"e"_s), P(u"big"_s), P(u"u"_s)};
        RecordingSink sink = EngineTest::Scan(scan, folders);
        return {Rel(sink.Paths), sink.Crcs, sink.Md5s, scan.BytesRead().load()};
    }

    // What reading every file gives.
    void ExpectAsRead(const Run& run, const QString& type, const std::string& what) const {
        const Run read = Scan(type, QString(), false);
        EXPECT_EQ(run.Paths, read.Paths) << what;
        EXPECT_EQ(run.Crcs, read.Crcs) << what;
        EXPECT_EQ(run.Md5s, read.Md5s) << what;
    }

    int CacheLogLines() const {
        int n = 0;
        for (const QString& line : app.AppLogLines())
            n += line.startsWith(u"Hash cache "_s);
        return n;
    }
};

// What a first run reads: every same-size file once (the large ones after their first
// blocks), u/odd never. The CRC-32 comes from that same read; an MD5 costs one more read of
// one member of each set of copies (a1 a2, b1 b2, x1 x2). A warm run reads nothing.
TEST_F(HashCacheTest, AWarmRunReadsNothingAndGivesTheGroupsOfReading) {
    const qint64 small = 5000, big = 2 << 20;
    const qint64 once = 5 * small + 3 * qint64(ContentHasher::PrefixBytes) + 3 * big;
    for (const QString& type : {u"crc"_s, u"md5"_s}) {
        const QString cache = CacheFile() + type;
        const Run cold = Scan(type, cache);
        EXPECT_EQ(cold.BytesRead, type == u"crc" ? once : once + 2 * small + big);
        ExpectAsRead(cold, type, "cold " + type.toStdString());
        // Nothing is read, so nothing is written back: another writer holding the cache
        // throughout costs the run nothing, not even its cache.
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(cache).constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const Run warm = Scan(type, cache);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        EXPECT_EQ(warm.BytesRead, 0) << type.toStdString();
        ExpectAsRead(warm, type, "warm " + type.toStdString());
        ASSERT_EQ(warm.Paths.size(), 3u);
    }
    EXPECT_EQ(CacheLogLines(), 0);
    // A file changed a moment ago may still be being written: it is read, but not stored.
    HashCache::SettleNs = 2'000'000'000;
    RewriteKeepingTimes(P(u"e/c"_s), Filled('c', 5000));
    for (int round = 0; round < 2; ++round)
        EXPECT_EQ(Scan(u"crc"_s, CacheFile() + u"crc"_s).BytesRead, 5000) << round;
}

TEST_F(HashCacheTest, AChangedFileIsReadAgain) {
    Scan(u"crc"_s, CacheFile());
    // Same size and modified time given back: only the change time tells.
    EXPECT_NE(RewriteKeepingTimes(P(u"e/c"_s), Filled('a', 5000)), 0);  // joins the a family
    EXPECT_NE(RewriteKeepingTimes(P(u"d/a2"_s), Filled('c', 5000)), 0); // leaves it
    // Joins the x family past the first block.
    EXPECT_NE(RewriteKeepingTimes(P(u"big/y"_s), Filled('x', 2 << 20)), 0);
    // A new file under the old name, size and modified time: another inode.
    struct stat was {};
    ASSERT_EQ(::stat(QFile::encodeName(P(u"e/b2"_s)).constData(), &was), 0);
    t.CreateFile(u"tmp/new"_s, Filled('a', 5000));
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(P(u"tmp/new"_s)).constData(), times, 0), 0);
    ASSERT_EQ(::rename(QFile::encodeName(P(u"tmp/new"_s)).constData(),
                       QFile::encodeName(P(u"e/b2"_s)).constData()),
              0);

    const Run run = Scan(u"crc"_s, CacheFile());
    ExpectAsRead(run, u"crc"_s, "after the changes");
    EXPECT_EQ(run.Paths,
              Groups({{u"d/a1"_s, u"e/b2"_s, u"e/c"_s}, {u"big/x1"_s, u"big/x2"_s, u"big/y"_s}}));
    // What changed was read; what did not was not.
    EXPECT_GT(run.BytesRead, 3 * 5000);
    EXPECT_LT(run.BytesRead, 3 * (2 << 20));
}

// A file under the size worth keeping is read on every run and the cache learns nothing of
// it, while the larger files beside it come from the cache.
TEST_F(HashCacheTest, FilesTooSmallToBeWorthKeepingAreReadOnEveryRun) {
    const qint64 small = 4999;
    t.CreateCopies(Filled('s', small), {"d/s1", "e/s2"});
    HashCache::SmallestKept = small + 1;
    for (const QString& type : {u"crc"_s, u"md5"_s}) {
        const QString cache = CacheFile() + type;
        Scan(type, cache);
        const Run warm = Scan(type, cache);
        // Both copies in full; with MD5 one of them once more for the shown signature.
        EXPECT_EQ(warm.BytesRead, (type == u"crc" ? 2 : 3) * small) << type.toStdString();
        EXPECT_EQ(warm.Paths.size(), 4u);
        ExpectAsRead(warm, type, "warm " + type.toStdString());
        EXPECT_EQ(Sql(cache, u"SELECT count(*) FROM entry WHERE size < %1"_s.arg(small + 1)), 0);
        EXPECT_GT(Sql(cache, u"SELECT count(*) FROM entry"_s), 0);
    }
}

// A lookup walks either each key from the table's root or all of a device's entries in one
// pass beside the keys; both must find exactly the same entries, in whatever order the keys
// come, whichever devices they lie on and however their inode numbers compare as SQLite's
// signed integers.
TEST_F(HashCacheTest, BothRoadsOfALookupFindTheSameEntries) {
    const quint64 high = (quint64(1) << 63) | 3; // as overlay file systems number inodes
    const auto key = [](quint64 device, quint64 inode) {
        return HashCache::Key{device, inode, 5000, 1'700'000'000'000'000'000 + qint64(inode % 997),
                              1'700'000'001'000'000'000};
    };
    const auto valueOf = [](const HashCache::Key& k) {
        HashCache::Value v;
        v.Crc = quint32(k.Device * 1000 + k.Inode % 1000);
        for (int i = 0; i < 16; ++i)
            v.Digest[i] = quint8(k.Inode >> (i % 8 * 8)) ^ quint8(k.Device);
        return v;
    };
    const std::vector<HashCache::Key> stored = {key(7, 5),   key(7, 9), key(7, high),
                                                key(7, 100), key(8, 5), key(8, 6)};
    {
        HashCache cache(CacheFile());
        cache.Store(
            HashCache::Kind::XxhCrc, stored.size(), [&](size_t i) { return stored[i]; },
            [&](size_t i, HashCache::Value& v) {
                v = valueOf(stored[i]);
                return true;
            });
        cache.Finish();
    }
    HashCache::Key rewritten = key(7, 100);
    ++rewritten.ChangedNs;
    const std::vector<std::pair<HashCache::Key, bool>> asked = {
        {key(8, 6), true},  {key(7, 9), true},  {key(7, high), true},      {key(7, 5), true},
        {key(7, 7), false}, {rewritten, false}, {key(7, 5), true}, // a second name of 7:5
        {key(9, 5), false}, {key(8, 5), true},  {HashCache::Key{}, false}, {key(7, 1000), false},
    };
    for (const double share : {0.0, 2.0}) {
        SCOPED_TRACE(share == 0 ? "one pass" : "each on its own");
        HashCache::OnePassShare = share;
        HashCache cache(CacheFile());
        std::vector<int> found(asked.size());
        cache.Lookup(
            HashCache::Kind::XxhCrc, asked.size(), [&](size_t i) { return asked[i].first; },
            [&](size_t i, const HashCache::Value& v) {
                ++found[i];
                const HashCache::Value want = valueOf(asked[i].first);
                EXPECT_EQ(v.Crc, want.Crc) << i;
                EXPECT_EQ(std::memcmp(v.Digest, want.Digest, 16), 0) << i;
            });
        for (size_t i = 0; i < asked.size(); ++i)
            EXPECT_EQ(found[i], asked[i].second ? 1 : 0) << i;
        EXPECT_EQ(cache.Hits(), 6);
    }
}

// Any part of the key that differs is another file, or the same one written since; a change
// of modified time by a single nanosecond counts, as a rewrite within one second would.
TEST_F(HashCacheTest, AnEntryAnswersOnlyForItsWholeKey) {
    const HashCache::Key stored{7, 1234, 5000, 1'700'000'000'123'456'789,
                                1'700'000'001'000'000'001};
    HashCache::Value value;
    for (int i = 0; i < 16; ++i)
        value.Digest[i] = quint8(i * 17 + 3);
    {
        HashCache cache(CacheFile());
        ASSERT_TRUE(cache.Usable());
        cache.Store(
            HashCache::Kind::Xxh, 1, [&](size_t) { return stored; },
            [&](size_t, HashCache::Value& v) {
                v = value;
                return true;
            });
        cache.Finish();
    }
    const std::vector<std::pair<const char*, std::function<void(HashCache::Key&)>>> cases = {
        {"the same key", [](HashCache::Key&) {}},
        {"another device", [](HashCache::Key& k) { ++k.Device; }},
        {"another inode", [](HashCache::Key& k) { ++k.Inode; }},
        {"another size", [](HashCache::Key& k) { --k.Size; }},
        {"modified a nanosecond later", [](HashCache::Key& k) { ++k.ModifiedNs; }},
        {"changed a nanosecond later", [](HashCache::Key& k) { ++k.ChangedNs; }},
    };
    HashCache cache(CacheFile());
    ASSERT_TRUE(cache.Usable());
    for (size_t i = 0; i < cases.size(); ++i) {
        const char* what = cases[i].first;
        HashCache::Key key = stored;
        cases[i].second(key);
        // Only the hash that was stored, and only for its own key.
        for (const HashCache::Kind kind : {HashCache::Kind::Xxh, HashCache::Kind::Crc}) {
            int found = 0;
            cache.Lookup(
                kind, 1, [&](size_t) { return key; },
                [&](size_t, const HashCache::Value& v) {
                    ++found;
                    EXPECT_EQ(std::memcmp(v.Digest, value.Digest, 16), 0) << what;
                });
            EXPECT_EQ(found, kind == HashCache::Kind::Xxh && i == 0) << what;
        }
    }
}

// Every state the cache's path may be found in: the run gives the groups and signatures of
// reading every file, never fails, and says so once per run when it cannot use the cache at
// all. Whatever is not a cache of this program stays exactly as it was, and so does whatever
// a link there points to, or would point to.
TEST_F(HashCacheTest, NoStateOfTheCacheChangesAGroupAndNoOneElsesFileIsTouched) {
    const auto garbage = [](qint64 from, qint64 to) {
        return [from, to](const QString& file) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            QByteArray bytes((to < 0 ? f.size() + to : to) - from, Qt::Uninitialized);
            std::mt19937 random(7);
            for (char& b : bytes)
                b = char(random());
            f.seek(from);
            f.write(bytes);
        };
    };
    const auto sql = [](const QString& statements) {
        return [statements](const QString& file) {
            for (const QString& statement : statements.split(u';'))
                Sql(file, statement);
        };
    };
    // A link at the cache's path to a name beside it, made first by make when given.
    const auto link = [](const QString& to, std::function<void(const QString&)> make = {}) {
        return [to, make](const QString& file) {
            const QString target = file.section(u'/', 0, -2) + u'/' + to;
            if (make)
                make(target);
            ASSERT_TRUE(QFile::link(target, file));
        };
    };
    const auto foreign = [](const QString& file) {
        MakeDatabase(file, "CREATE TABLE notes(t); INSERT INTO notes VALUES('mine');"
                           "PRAGMA application_id=1234");
    };
    struct Case {
        const char* What;
        bool Filled; // by a run before Make is called on it
        std::function<void(const QString& file)> Make;
        int LogLines; // per run
        bool Untouched;
    };
    const std::vector<Case> cases = {
        {"no cache file at all, and no folder for it", false, nullptr, 0, false},
        {"random bytes", true, garbage(0, 65536), 1, false},
        {"torn pages behind a whole header", true, garbage(4096, -1), 1, false},
        {"every entry claiming one file's hashes", true,
         sql(u"UPDATE entry SET xxh = (SELECT xxh FROM entry WHERE xxh NOT NULL LIMIT 1),"
             " prefix = (SELECT prefix FROM entry WHERE prefix NOT NULL LIMIT 1),"
             " crc = (SELECT crc FROM entry WHERE crc NOT NULL LIMIT 1)"_s),
         0, false},
        {"a format of a later version", true,
         sql(u"PRAGMA user_version = %1"_s.arg(HashCache::Format + 1)), 1, true},
        {"a table of another layout", true, sql(u"DROP TABLE entry;CREATE TABLE entry(x)"_s), 1,
         false},
        {"another program's database", false, foreign, 1, true},
        {"a link to another program's database", false, link(u"other.db"_s, foreign), 1, true},
        {"a dangling link", false, link(u"nothing-here"_s), 1, true},
        {"a link to an empty file", false,
         link(u"empty"_s, [](const QString& f) { WriteFile(f, {}); }), 1, true},
        {"an unmarked database with more than the cache's tables", false,
         [](const QString& file) {
             MakeDatabase(file, (kEarlierTables + std::string("CREATE TABLE more(x);"
                                                              "PRAGMA user_version=2"))
                                    .c_str());
         },
         1, true},
        {"not a database", false,
         [](const QString& file) { WriteFile(file, QByteArray(200, 'n')); }, 1, true},
        {"a FIFO", false,
         [](const QString& file) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
         },
         1, true},
    };
    const Run read = Scan(u"crc"_s, QString(), false);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const QString folder = t.Path(u"cache%1"_s.arg(++n));
        const QString file = folder + u"/HashCache.sqlite"_s;
        if (c.Filled)
            Scan(u"crc"_s, file);
        else if (c.Make)
            QDir().mkpath(folder);
        if (c.Make)
            c.Make(file);
        const QStringList before = Snapshot(folder);
        const int logBefore = CacheLogLines();
        for (int round = 0; round < 2; ++round) {
            const Run run = Scan(u"crc"_s, file);
            EXPECT_EQ(run.Paths, read.Paths);
            EXPECT_EQ(run.Crcs, read.Crcs);
            // A cache it can use holds everything after the first run.
            EXPECT_EQ(run.BytesRead > 0, round == 0 || c.LogLines > 0);
        }
        // Once per run that could not use it, never per file.
        EXPECT_EQ(CacheLogLines() - logBefore, 2 * c.LogLines);
        if (c.Untouched) {
            EXPECT_EQ(Snapshot(folder), before);
        }
    }
}

TEST_F(HashCacheTest, ACacheHeldByAnotherWriterIsReadAndLeftAlone) {
    Scan(u"md5"_s, CacheFile());
    t.CreateFile(u"e/c2"_s, Filled('c', 5000));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(CacheFile()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    const Run run = Scan(u"md5"_s, CacheFile());
    EXPECT_LT(QDateTime::currentMSecsSinceEpoch() - started, 5000) << "no long wait";
    ExpectAsRead(run, u"md5"_s, "held");
    EXPECT_EQ(CacheLogLines(), 1);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // The new file was not stored while the other writer held the cache; now it is.
    EXPECT_GT(Scan(u"md5"_s, CacheFile()).BytesRead, 0);
    EXPECT_EQ(Scan(u"md5"_s, CacheFile()).BytesRead, 0);
}

TEST_F(HashCacheTest, TwoRunsAtOnceShareTheCache) {
    const QByteArray want = Lines(Scan(u"crc"_s, QString(), false).Paths) + '|';
    const auto runs = [&]() {
        QByteArray out;
        for (int round = 0; round < 4; ++round)
            out += Lines(Scan(u"crc"_s, CacheFile()).Paths) + '|';
        return out;
    };
    // Two processes, each with its own connection, both starting on an empty cache.
    QByteArray second;
    std::thread other([&]() { second = InChild(nullptr, runs); });
    const QByteArray first = InChild(nullptr, runs);
    other.join();
    EXPECT_EQ(first, want.repeated(4));
    EXPECT_EQ(second, want.repeated(4));
    EXPECT_EQ(Scan(u"crc"_s, CacheFile()).BytesRead, 0);
}

TEST_F(HashCacheTest, AReadOnlyOrFullCacheNeverChangesAGroup) {
    const QByteArray folder = QFile::encodeName(t.Path(u"cache"_s));
    Scan(u"crc"_s, CacheFile());
    t.CreateFile(u"e/c2"_s, Filled('c', 5000));
    const QByteArray want = Lines(Scan(u"crc"_s, QString(), false).Paths);
    const auto groups = [&](const QString& cache) {
        return [this, cache]() {
            QByteArray out;
            for (int round = 0; round < 2; ++round) {
                const Run run = Scan(u"crc"_s, cache);
                out += Lines(run.Paths) + (run.BytesRead > 0 ? "read|" : "none read|");
            }
            return out;
        };
    };
    // Read-only: what it knows is used, the new file is read on every run.
    const QByteArray readOnly = InChild(
        [&]() {
            return ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) ==
                       0 &&
                   ::mount(nullptr, folder.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                           nullptr) == 0;
        },
        groups(CacheFile()));
    if (readOnly.startsWith("SKIP "))
        GTEST_SKIP() << "cannot mount in a namespace of this test's own: "
                     << readOnly.mid(5).toStdString();
    EXPECT_EQ(readOnly, (want + "read|").repeated(2));

    // Full: a cache on a small file system with no room left to grow.
    const QString full = t.CreateDir(u"full"_s);
    const QByteArray filled = InChild(
        [&]() {
            if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=256k") != 0)
                return false;
            QFile filler(full + u"/filler"_s);
            if (!filler.open(QIODevice::WriteOnly))
                return false;
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
            return true;
        },
        groups(full + u"/HashCache.sqlite"_s));
    EXPECT_EQ(filled, (want + "read|").repeated(2));
    EXPECT_GE(CacheLogLines(), 2);
}

TEST_F(HashCacheTest, EntriesNotSeenForLongArePrunedOnceADay) {
    const QString cache = CacheFile();
    Scan(u"crc"_s, cache);
    const qint64 stored = Sql(cache, u"SELECT count(*) FROM entry"_s);
    ASSERT_GE(stored, 7);
    const qint64 old = HashCache::Today() - HashCache::KeepDays - 1;
    Sql(cache, u"UPDATE entry SET seen = %1"_s.arg(old));
    Sql(cache, u"DELETE FROM meta"_s);
    // A run over part of the tree: what it saw stays, what it did not is dropped.
    Scan(u"crc"_s, cache, true, {P(u"big"_s)});
    EXPECT_EQ(Sql(cache, u"SELECT count(*) FROM entry"_s), 3);
    EXPECT_EQ(Sql(cache, u"SELECT count(*) FROM entry WHERE seen = %1"_s.arg(HashCache::Today())),
              3);
    // Pruned today already: entries grown old since wait for tomorrow.
    Scan(u"crc"_s, cache);
    Sql(cache, u"UPDATE entry SET seen = %1"_s.arg(old));
    Scan(u"crc"_s, cache, true, {P(u"big"_s)});
    EXPECT_EQ(Sql(cache, u"SELECT count(*) FROM entry"_s), stored);
}

// Caches of earlier versions carry no mark: one with exactly the cache's tables is taken over
// and marked, its entries kept, except those of the first format, which kept modified times
// in seconds and would never match again. A new cache is marked in its file from its first
// commit on, even when the run that made it is killed before its log is copied back.
TEST_F(HashCacheTest, CachesAreMarkedAndUnmarkedEarlierOnesAdopted) {
    for (const int format : {1, 2}) {
        SCOPED_TRACE(format);
        const QString file = CacheFile() + QString::number(format);
        // Made by an earlier version: its tables, no mark.
        QDir().mkpath(t.Path(u"cache"_s));
        MakeDatabase(file,
                     (kEarlierTables + std::string("PRAGMA user_version=") + std::to_string(format))
                         .c_str());
        EXPECT_GT(Scan(u"crc"_s, file).BytesRead, 0);
        EXPECT_EQ(Scan(u"crc"_s, file).BytesRead, 0);
        EXPECT_EQ(HeaderId(file), HashCache::ApplicationId);
        EXPECT_EQ(Sql(file, u"PRAGMA user_version"_s), HashCache::Format);
        // With entries of its own.
        Sql(file, u"PRAGMA user_version = %1"_s.arg(format));
        Sql(file, u"PRAGMA application_id = 0"_s);
        const Run run = Scan(u"crc"_s, file);
        EXPECT_EQ(run.BytesRead > 0, format == 1);
        ExpectAsRead(run, u"crc"_s, "after taking over an earlier cache");
        EXPECT_EQ(Sql(file, u"PRAGMA user_version"_s), HashCache::Format);
        EXPECT_EQ(HeaderId(file), HashCache::ApplicationId);
    }
    const QString fresh = CacheFile();
    const QByteArray killed = InChild(nullptr, [&]() {
        // Left open: the process ends as a killed run would, without closing it.
        const HashCache* left = new HashCache(fresh);
        return QByteArray(left->Usable() ? "made" : "unusable");
    });
    ASSERT_EQ(killed, "made");
    EXPECT_EQ(HeaderId(fresh), HashCache::ApplicationId);
    EXPECT_TRUE(HashCache(fresh).Usable());
    EXPECT_EQ(CacheLogLines(), 0);
}

// FAT gives the modified time for the change time: a file rewritten in place with its size
// and modified time given back looks unchanged, so files there never use the cache, while
// the other files of the same run still do.
TEST_F(HashCacheTest, FilesWithoutARealChangeTimeAreAlwaysRead) {
    testing_support::FatVolume fat;
    if (fat.Skip())
        GTEST_SKIP() << fat.Skip();
    ASSERT_TRUE(fat.Mounted());
    const QString a = fat.Root() + u"/a"_s, b = fat.Root() + u"/b"_s;
    for (const QString& file : {a, b})
        WriteFile(file, Filled('f', 3000));
    const QStringList folders = {fat.Root(), P(u"d"_s)};
    ASSERT_EQ(Scan(u"crc"_s, CacheFile(), true, folders).Paths.size(), 2u);
    EXPECT_EQ(RewriteKeepingTimes(b, Filled('g', 3000)) / 1'000'000'000, 0)
        << "the whole key looks unchanged";

    const Run run = Scan(u"crc"_s, CacheFile(), true, folders);
    EXPECT_EQ(run.Paths, Groups({{u"d/a1"_s, u"d/a2"_s}}));
    EXPECT_EQ(run.BytesRead, 2 * 3000) << "the files on FAT, and nothing from the cache's files";
    const QStringList lines = app.AppLogLines().filter(u"Hash cache not used for files on"_s);
    ASSERT_EQ(lines.size(), 2) << "one line per run";
    EXPECT_TRUE(Holds(lines[0], fat.Root() + u" (fuse.fusefat)"_s));
}
