// The road from walked records to duplicate groups. Each stage keeps only the files that
// can still have a duplicate, so a file is read only when another file shares every other
// criterion with it:
//
//   walk ──► records
//         ──► sort by the key before content (name, size, times), then path
//         ──► buckets: runs of equal pre-key; a bucket of one is final, never read
//   content off: done, the pre-key is the key
//   content on: the steps below run on a slice of the buckets at a time, so that the
//   arrays of what is read stay small however many candidates there are
//         ──► in each reading step below, the hash cache first answers for every file it
//             knows unchanged; only the rest is read, and what was read is written back
//         ──► files over kPrecheckAbove: XXH3-128 of the first 4 KiB; a member whose first
//             block no other member of its bucket shares cannot have a duplicate, and stays
//             unread
//         ──► XXH3-128 of whole files, several threads; a file whose hash no other member of
//             its bucket shares cannot have a duplicate. "crc" computes the shown CRC-32 in
//             the same read: it costs less than opening and reading the copies again
//         ──► "md5": the shown signature read once per set of identical files, from one
//             member, and given to all (identical bytes, identical signatures); MD5 is slow
//             enough that one read per group beats computing it for every file
//         ──► files that could not be read leave the list (error details, error count, log)
//         ──► each bucket sorted by signature, then path
//   ──► sorted list ──► grouping pass ──► result sink
//
// Unstaged (the cross-check) reads every file in full and sorts the whole list once; both
// roads must give the same groups.

#include "ScanAnalysis.h"

#include "HashCache.h"
#include "HashJobs.h"
#include "KeyOrder.h"
#include "clsCRC.h"
#include "clsFindFile.h"
#include "clsMD5.h"

#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <thread>

std::atomic<size_t> ScanSliceJobs{size_t(1) << 16};

namespace {

// An extra open costs about as much as reading and hashing a few tens of KiB, and most
// smaller same-size files that reach here turn out identical anyway; above this size even
// a rare early difference pays for the first-block check.
constexpr qint64 kPrecheckAbove = 1024 * 1024;
constexpr quint8 kDropped = 0x01;
// Past this many slices, the slices' arrays are mapped apart (modAPI::MapLargeBlocks).
constexpr size_t kManySlices = 4;

struct Range {
    size_t Begin;
    size_t End;
};

ContentHasher::Mode FullMode(const FileList& list) {
    return list.Content == FileList::ContentKind::Md5 ? ContentHasher::Mode::Md5
                                                      : ContentHasher::Mode::Crc;
}

// The sort of all records comes between the walk and the first read, with every other
// thread idle. One pass splits the records around a pivot, and each side is then sorted on
// its own thread; the split moves the records in place, as a merge of two sorted halves
// would need a second copy of them.
template <class Records, class Less> void SortOnTwoThreads(Records& records, const Less& less) {
    constexpr size_t kWorthSplitting = 1 << 14;
    constexpr size_t kSamples = 31;
    if (records.size() < kWorthSplitting || std::thread::hardware_concurrency() < 2) {
        std::sort(records.begin(), records.end(), less);
        return;
    }
    // The median of records spread over the list keeps the two sides close in size.
    using Record = typename Records::value_type;
    std::vector<Record> samples;
    for (size_t k = 0; k < kSamples; ++k)
        samples.push_back(records[k * (records.size() - 1) / (kSamples - 1)]);
    std::nth_element(samples.begin(), samples.begin() + kSamples / 2, samples.end(), less);
    const Record pivot = samples[kSamples / 2];
    const auto middle = std::partition(records.begin(), records.end(),
                                       [&](const Record& r) { return less(r, pivot); });
    std::thread lower([&]() { std::sort(records.begin(), middle, less); });
    std::sort(middle, records.end(), less);
    lower.join();
}

// A file whose content could not be read gets no record; otherwise every unreadable file
// would carry the same empty signature and group with the others.
void ReportUnreadable(const FileList& list, const FileRecord& r, int error) {
    const QString path = list.Path(r);
    clsFindFile::NoteFileNotRetrieved(path);
    if (list.Content == FileList::ContentKind::Md5)
        clsMD5::LogFailure(path, error);
    else
        clsCRC::LogFailure(path, error);
}

// Runs the jobs; marks failures dropped. False when cancelled.
bool Read(FileList& list, std::vector<HashJob>& jobs, ContentHasher::Mode mode,
          const AnalysisSettings& settings, ScanObserver* observer, std::atomic<bool>& cancel,
          std::atomic<qint64>& bytesRead) {
    settings.Readers->Run(list, jobs, mode, observer, cancel, bytesRead);
    if (cancel.load())
        return false;
    for (const HashJob& job : jobs) {
        if (job.Error == 0)
            continue;
        FileRecord& r = list[job.Record];
        r.Flags |= kDropped;
        ReportUnreadable(list, r, job.Error);
    }
    return true;
}

void StoreAll(FileList& list, const std::vector<HashJob>& jobs) {
    for (const HashJob& job : jobs) {
        if (job.Error == 0)
            list[job.Record].SignatureIndex = list.AddSignature(job.Result);
    }
}

void RemoveDropped(FileList& list) {
    auto& records = list.Records();
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const FileRecord& r) { return r.Flags & kDropped; }),
                  records.end());
}

std::vector<Range> Buckets(const FileList& list) {
    std::vector<Range> buckets;
    size_t begin = 0;
    for (size_t i = 1; i <= list.size(); ++i) {
        if (i < list.size() && KeyOrder::ComparePreKey(list, list[begin], list[i]) == 0)
            continue;
        if (i - begin >= 2)
            buckets.push_back({begin, i});
        begin = i;
    }
    return buckets;
}

// Jobs for the first-block check, and the members that go straight to the full read.
void PlanPrecheck(const FileList& list, std::span<const Range> buckets,
                  std::vector<HashJob>& precheck, std::vector<HashJob>& full) {
    // Reserved once: on a large tree these are the largest arrays of the run after the list.
    size_t checked = 0, members = 0;
    for (const Range& b : buckets) {
        members += b.End - b.Begin;
        checked += list[b.Begin].Size > kPrecheckAbove ? b.End - b.Begin : 0;
    }
    precheck.reserve(checked);
    full.reserve(members);
    for (const Range& b : buckets) {
        const bool check = list[b.Begin].Size > kPrecheckAbove;
        for (size_t i = b.Begin; i < b.End; ++i)
            (check ? precheck : full).push_back({quint32(i), 0, {}});
    }
}

// Members of one bucket whose first block another member shares go on to the full read.
void KeepSharedPrefixes(const FileList& list, std::vector<HashJob>& precheck,
                        std::vector<HashJob>& full) {
    const auto digestLess = [](const HashJob& a, const HashJob& b) {
        if (a.Error != b.Error)
            return a.Error < b.Error; // failures (already dropped) last
        return std::memcmp(a.Result.Digest, b.Result.Digest, sizeof a.Result.Digest) < 0;
    };
    const auto sameDigest = [](const HashJob& a, const HashJob& b) {
        return a.Error == 0 && b.Error == 0 &&
               std::memcmp(a.Result.Digest, b.Result.Digest, sizeof a.Result.Digest) == 0;
    };
    // By record, which is bucket order: those the cache answered came after those read.
    std::sort(precheck.begin(), precheck.end(),
              [](const HashJob& a, const HashJob& b) { return a.Record < b.Record; });
    size_t begin = 0;
    while (begin < precheck.size()) {
        size_t end = begin + 1;
        while (end < precheck.size() && KeyOrder::ComparePreKey(list, list[precheck[begin].Record],
                                                                list[precheck[end].Record]) == 0)
            ++end;
        std::sort(precheck.begin() + qsizetype(begin), precheck.begin() + qsizetype(end),
                  digestLess);
        for (size_t i = begin; i < end; ++i) {
            const bool shared = (i > begin && sameDigest(precheck[i - 1], precheck[i])) ||
                                (i + 1 < end && sameDigest(precheck[i], precheck[i + 1]));
            if (shared)
                full.push_back({precheck[i].Record, 0, {}});
        }
        begin = end;
    }
}

void SortBuckets(FileList& list, const std::vector<Range>& buckets) {
    auto& records = list.Records();
    for (const Range& b : buckets) {
        std::sort(records.begin() + qsizetype(b.Begin), records.begin() + qsizetype(b.End),
                  [&list](const FileRecord& x, const FileRecord& y) {
                      if (const int c = KeyOrder::CompareContent(list, x, y))
                          return c < 0;
                      return KeyOrder::ComparePath(list, x, y) < 0;
                  });
    }
}

// Sets of members whose whole-file hash is equal within one bucket, as ranges of the
// jobs once sorted; failed jobs are left out.
std::vector<Range> IdenticalSets(const FileList& list, std::vector<HashJob>& jobs) {
    // Record order is bucket order, so after this sort the buckets are told apart by
    // comparing neighbours: comparing pre-keys inside the sort visited the records at
    // random, and took longer than the rest of this.
    std::sort(jobs.begin(), jobs.end(), [](const HashJob& a, const HashJob& b) {
        return std::pair(a.Error, a.Record) < std::pair(b.Error, b.Record);
    });
    const auto readOk =
        std::find_if(jobs.begin(), jobs.end(), [](const HashJob& j) { return j.Error != 0; });
    const size_t count = size_t(readOk - jobs.begin());
    const auto sameDigest = [](const HashJob& a, const HashJob& b) {
        return std::memcmp(a.Result.Digest, b.Result.Digest, sizeof a.Result.Digest) == 0;
    };
    std::vector<Range> sets;
    for (size_t begin = 0; begin < count;) {
        size_t end = begin + 1;
        while (end < count && KeyOrder::ComparePreKey(list, list[jobs[end - 1].Record],
                                                      list[jobs[end].Record]) == 0)
            ++end;
        const auto first = jobs.begin() + qsizetype(begin);
        std::sort(first, jobs.begin() + qsizetype(end), [](const HashJob& a, const HashJob& b) {
            if (const int c = std::memcmp(a.Result.Digest, b.Result.Digest, sizeof a.Result.Digest))
                return c < 0;
            return a.Record < b.Record;
        });
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && sameDigest(jobs[i], jobs[j]))
                ++j;
            if (j - i >= 2)
                sets.push_back({i, j});
            i = j;
        }
        begin = end;
    }
    return sets;
}

// The hash cache as the stages use it: each stage first takes what the cache knows of its
// jobs, reads the rest, and what was read is written back once the slice is done; nothing
// about a file is held between the slices but what the jobs hold anyway.
//
// A slice's write-back runs beside the next slice: on a large tree each write touches most
// of the table, and took a fifth of a first run with the readers idle. The cache is one
// connection, so whatever asks it next waits for the write first, and so does the next
// write: a writer that fell behind the readers would hold the jobs of slice after slice.
// The records must not move while a write runs (Settle before sorting them).
class KnownHashes {
public:
    KnownHashes(const FileList& list, HashCache* cache)
        : m_list(list), m_cache(cache && cache->Usable() ? cache : nullptr) {
        if (m_cache)
            m_unkept = modAPI::MountsWithoutChangeTime();
        m_met.assign(m_unkept.size(), false);
        // A file is met once a run, so what this run writes answers none of its own
        // questions: an empty cache has nothing to tell, and asking it would wait for the
        // write-back.
        m_empty = m_cache && m_cache->Empty();
    }
    KnownHashes(const KnownHashes&) = delete;
    KnownHashes& operator=(const KnownHashes&) = delete;
    ~KnownHashes() {
        if (!m_cache)
            return;
        Settle();
        m_cache->Finish();
        QStringList where;
        for (size_t m = 0; m < m_unkept.size(); ++m)
            if (m_met[m])
                where << QStringLiteral("%1 (%2)").arg(PathCodec::Display(m_unkept[m].MountPoint),
                                                       m_unkept[m].FsType);
        if (!where.isEmpty())
            modLog::WriteAppLog(modCommon::AppLogFile,
                                QStringLiteral("Hash cache not used for files on %1: %2 no real "
                                               "change time, so they are read")
                                    .arg(where.join(QStringLiteral(", ")),
                                         where.size() == 1
                                             ? QStringLiteral("its file system keeps")
                                             : QStringLiteral("their file systems keep")));
    }

    // Moves the jobs whose result the cache knows from jobs to answered.
    void Answer(std::vector<HashJob>& jobs, ContentHasher::Mode mode,
                std::vector<HashJob>& answered) const {
        if (!m_cache || m_empty || jobs.empty())
            return;
        Settle();
        std::vector<bool> known(jobs.size());
        size_t found = 0;
        m_cache->Lookup(KindOf(mode), jobs.size(), KeysOf(jobs),
                        [&](size_t i, const HashCache::Value& v) {
                            jobs[i].Result = Signature{};
                            jobs[i].Result.Crc = v.Crc;
                            std::memcpy(jobs[i].Result.Digest, v.Digest, 16);
                            found += known[i] ? 0 : 1;
                            known[i] = true;
                        });
        // On a run over an unchanged tree the cache knows every file: the jobs then change
        // places with the answers instead of being copied one by one into a growing array
        // and back, touching new pages each time.
        if (found == jobs.size() && answered.empty()) {
            jobs.swap(answered);
            return;
        }
        answered.reserve(answered.size() + found);
        size_t kept = 0;
        for (size_t i = 0; i < jobs.size(); ++i) {
            if (known[i])
                answered.push_back(jobs[i]);
            else
                jobs[kept++] = jobs[i];
        }
        jobs.resize(kept);
    }

    // Queues what the jobs read for the slice's write-back (Write).
    void Learn(std::vector<HashJob> jobs, ContentHasher::Mode mode) const {
        if (m_cache && !jobs.empty())
            m_queued.push_back({mode, std::move(jobs)});
    }

    // Starts the write-back of what the slice queued, once the write before is done. Each
    // kind goes in one transaction in the table's key order: written while the reading went
    // on, in reading order, each batch would touch most pages of the table, and the log
    // took thirty times the table's size.
    void Write() const {
        if (m_queued.empty())
            return;
        Settle();
        m_writer = std::thread([this, queued = std::move(m_queued)]() {
            for (const Queued& q : queued)
                m_cache->Store(KindOf(q.Mode), q.Jobs.size(), KeysOf(q.Jobs),
                               [&q](size_t i, HashCache::Value& v) {
                                   if (q.Jobs[i].Error != 0)
                                       return false;
                                   v.Crc = q.Jobs[i].Result.Crc;
                                   std::memcpy(v.Digest, q.Jobs[i].Result.Digest, 16);
                                   return true;
                               });
        });
        m_queued.clear();
    }

    // Waits for the write-backs under way, if any.
    void Settle() const {
        if (m_writer.joinable())
            m_writer.join();
    }

    // The MD5 of every member of the sets, where the cache knows one member's. signs[k] is
    // filled for set k, signed[k] tells whether it was.
    void Shown(const std::vector<HashJob>& members, const std::vector<Range>& sets,
               ContentHasher::Mode mode, std::vector<Signature>& signs,
               std::vector<bool>& signedSets, std::vector<bool>& memberKnown) const {
        signs.assign(sets.size(), Signature{});
        signedSets.assign(sets.size(), false);
        memberKnown.assign(members.size(), false);
        if (!m_cache || m_empty)
            return;
        Settle();
        std::vector<size_t> setOf(members.size(), size_t(-1));
        for (size_t k = 0; k < sets.size(); ++k)
            for (size_t m = sets[k].Begin; m < sets[k].End; ++m)
                setOf[m] = k;
        m_cache->Lookup(KindOf(mode), members.size(), KeysOf(members, &setOf),
                        [&](size_t m, const HashCache::Value& v) {
                            memberKnown[m] = true;
                            const size_t k = setOf[m];
                            if (signedSets[k])
                                return;
                            signedSets[k] = true;
                            std::memcpy(signs[k].Digest, v.Digest, 16);
                        });
    }

    // Queues the shown signature of every set member the cache did not know it for. The
    // signatures are copied: later slices add to the list's table of them while the write
    // runs.
    void LearnShown(const std::vector<HashJob>& members, const std::vector<bool>& memberKnown,
                    ContentHasher::Mode mode) const {
        if (!m_cache)
            return;
        std::vector<HashJob> shown;
        for (size_t m = 0; m < members.size(); ++m) {
            const FileRecord& r = m_list[members[m].Record];
            if (!memberKnown[m] && r.HasSignature())
                shown.push_back({members[m].Record, 0, m_list.SignatureOf(r)});
        }
        Learn(std::move(shown), mode);
    }

private:
    static HashCache::Kind KindOf(ContentHasher::Mode mode) {
        switch (mode) {
        case ContentHasher::Mode::Prefix:
            return HashCache::Kind::Prefix;
        case ContentHasher::Mode::Xxh:
            return HashCache::Kind::Xxh;
        case ContentHasher::Mode::Crc:
            return HashCache::Kind::XxhCrc;
        case ContentHasher::Mode::Md5:
            return HashCache::Kind::Md5;
        }
        return HashCache::Kind::Xxh;
    }
    // Keys of the jobs' files; a file without a known identity gets none (inode 0), and so
    // does a member outside every set when only is given.
    HashCache::KeyOf KeysOf(const std::vector<HashJob>& jobs,
                            const std::vector<size_t>* only = nullptr) const {
        return [this, &jobs, only](size_t i) {
            if (only && (*only)[i] == size_t(-1))
                return HashCache::Key{};
            return KeyOf(jobs[i]);
        };
    }
    // A file system that keeps no change time of its own gives no key: a file rewritten in
    // place with its size and modified time given back would keep its old one, and its old
    // hash with it.
    HashCache::Key KeyOf(const HashJob& job) const {
        const FileRecord& r = m_list[job.Record];
        for (size_t m = 0; m < m_unkept.size(); ++m) {
            if (m_unkept[m].DeviceNumber == m_list.DeviceOf(r)) {
                m_met[m] = true;
                return HashCache::Key{};
            }
        }
        return HashCache::Key{m_list.DeviceOf(r), r.Inode, r.Size, r.ModifiedNs, r.ChangedNs};
    }

    const FileList& m_list;
    HashCache* m_cache;
    std::vector<modAPI::MountEntry> m_unkept; // mounts whose files get no key
    mutable std::vector<bool> m_met;          // which of them this run's files lay on
    struct Queued {
        ContentHasher::Mode Mode;
        std::vector<HashJob> Jobs;
    };
    bool m_empty = false;
    mutable std::vector<Queued> m_queued; // read in this slice, not yet written
    mutable std::thread m_writer;         // the write-back under way
};

// Gives every member of each set the shown signature: with "crc" the whole-file read
// already found it; with "md5" it is read from one member of each set, and a member that
// cannot be read is dropped and the next one is tried.
bool SignSets(FileList& list, const std::vector<HashJob>& members, std::vector<Range> sets,
              const KnownHashes& known, const AnalysisSettings& settings, ScanObserver* observer,
              std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead) {
    const ContentHasher::Mode mode = FullMode(list);
    const auto give = [&](const Range& set, const Signature& s) {
        const quint32 index = list.AddSignature(s);
        for (size_t m = set.Begin; m < set.End; ++m)
            list[members[m].Record].SignatureIndex = index;
    };
    if (mode == ContentHasher::Mode::Crc) {
        for (const Range& set : sets)
            give(set, members[set.Begin].Result);
        return true;
    }
    // Identical bytes, identical signatures: one member known to the cache signs its set.
    std::vector<Signature> signs;
    std::vector<bool> signedSets, memberKnown;
    RunYielding([&]() { known.Shown(members, sets, mode, signs, signedSets, memberKnown); },
                observer);
    std::vector<Range> unknown;
    for (size_t k = 0; k < sets.size(); ++k) {
        if (signedSets[k])
            give(sets[k], signs[k]);
        else
            unknown.push_back(sets[k]);
    }
    sets = std::move(unknown);
    // Whatever way a set was signed, its members the cache did not know learn it.
    struct LearnOnExit {
        const KnownHashes& Known;
        const std::vector<HashJob>& Members;
        const std::vector<bool>& MemberKnown;
        ContentHasher::Mode Mode;
        ScanObserver* Observer;
        ~LearnOnExit() {
            RunYielding([this]() { Known.LearnShown(Members, MemberKnown, Mode); }, Observer);
        }
    } learn{known, members, memberKnown, mode, observer};
    while (!sets.empty()) {
        std::vector<HashJob> jobs;
        for (const Range& set : sets)
            jobs.push_back({members[set.Begin].Record, 0, {}});
        if (!Read(list, jobs, mode, settings, observer, cancel, bytesRead))
            return false;
        std::sort(jobs.begin(), jobs.end(),
                  [](const HashJob& a, const HashJob& b) { return a.Record < b.Record; });
        std::vector<Range> retry;
        for (const Range& set : sets) {
            const quint32 record = members[set.Begin].Record;
            const auto job =
                std::lower_bound(jobs.begin(), jobs.end(), record,
                                 [](const HashJob& j, quint32 r) { return j.Record < r; });
            if (job->Error != 0) {
                if (set.End - set.Begin > 2)
                    retry.push_back({set.Begin + 1, set.End});
                continue;
            }
            give(set, job->Result);
        }
        sets = std::move(retry);
    }
    return true;
}

// Adds the jobs of from to jobs; from is left empty or as it was.
void Join(std::vector<HashJob>& jobs, std::vector<HashJob>& from) {
    if (jobs.empty())
        jobs.swap(from);
    else
        jobs.insert(jobs.end(), from.begin(), from.end());
}

// Reads what the members of the buckets need to be told apart and signs the sets of copies.
bool ReadBuckets(FileList& list, std::span<const Range> buckets, const KnownHashes& known,
                 const AnalysisSettings& settings, ScanObserver* observer,
                 std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead) {
    // Every step between the reads runs once over many files; on a large list each takes
    // long enough to need the user interface kept live, and so does a cache lookup or
    // write-back, which covers a whole stage in one transaction.
    std::vector<HashJob> precheck, full;
    RunYielding([&]() { PlanPrecheck(list, buckets, precheck, full); }, observer);
    std::vector<HashJob> answered;
    RunYielding([&]() { known.Answer(precheck, ContentHasher::Mode::Prefix, answered); }, observer);
    if (!Read(list, precheck, ContentHasher::Mode::Prefix, settings, observer, cancel, bytesRead))
        return false;
    // Only what was read is written back. Without answers from the cache (always so on a
    // first run) the jobs themselves wait for the writer once done with, rather than a copy.
    std::vector<HashJob> learned;
    bool anyAnswered = !answered.empty();
    if (anyAnswered)
        learned = precheck;
    Join(precheck, answered);
    RunYielding([&]() { KeepSharedPrefixes(list, precheck, full); }, observer);
    known.Learn(anyAnswered ? std::move(learned) : std::move(precheck),
                ContentHasher::Mode::Prefix);
    answered.clear();
    const ContentHasher::Mode wholeMode = list.Content == FileList::ContentKind::Crc
                                              ? ContentHasher::Mode::Crc
                                              : ContentHasher::Mode::Xxh;
    RunYielding([&]() { known.Answer(full, wholeMode, answered); }, observer);
    if (!Read(list, full, wholeMode, settings, observer, cancel, bytesRead))
        return false;
    anyAnswered = !answered.empty();
    if (anyAnswered)
        learned = full;
    Join(full, answered);
    std::vector<Range> sets;
    RunYielding([&]() { sets = IdenticalSets(list, full); }, observer);
    const bool signedAll = SignSets(list, full, sets, known, settings, observer, cancel, bytesRead);
    known.Learn(anyAnswered ? std::move(learned) : std::move(full), wholeMode);
    RunYielding([&]() { known.Write(); }, observer);
    return signedAll;
}

bool AnalyseStaged(FileList& list, const AnalysisSettings& settings, ScanObserver* observer,
                   std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead) {
    RunYielding(
        [&]() {
            if (KeyOrder::PreKeyIsSize(list)) {
                SortOnTwoThreads(list.Records(), [&list](const FileRecord& a, const FileRecord& b) {
                    if (a.Size != b.Size)
                        return a.Size < b.Size;
                    return KeyOrder::ComparePath(list, a, b) < 0;
                });
                return;
            }
            SortOnTwoThreads(list.Records(), [&list](const FileRecord& a, const FileRecord& b) {
                if (const int c = KeyOrder::ComparePreKey(list, a, b))
                    return c < 0;
                return KeyOrder::ComparePath(list, a, b) < 0;
            });
        },
        observer);
    if (list.Content == FileList::ContentKind::None)
        return true;
    std::vector<Range> buckets;
    RunYielding([&]() { buckets = Buckets(list); }, observer);
    const KnownHashes known(list, settings.Cache);
    // A slice of the buckets at a time: the job arrays of a million candidates at once would
    // be the run's largest allocation after the list itself.
    size_t sliceJobs = ScanSliceJobs.load();
    size_t candidates = 0;
    for (const Range& b : buckets)
        candidates += b.End - b.Begin;
    // Just over one slice is read as one: a second slice costs a second pass over the
    // cache's table and another round of every stage, while the arrays it would spare are
    // small next to the list.
    if (candidates <= sliceJobs + sliceJobs / 2)
        sliceJobs = candidates;
    if (candidates > kManySlices * sliceJobs)
        modAPI::MapLargeBlocks();
    for (size_t first = 0; first < buckets.size();) {
        size_t last = first, members = 0;
        while (last < buckets.size()) {
            const size_t size = buckets[last].End - buckets[last].Begin;
            if (last > first && members + size > sliceJobs)
                break;
            members += size;
            ++last;
        }
        if (!ReadBuckets(list, std::span(buckets).subspan(first, last - first), known, settings,
                         observer, cancel, bytesRead))
            return false;
        modAPI::ReleaseFreeMemory();
        first = last;
    }
    RunYielding(
        [&]() {
            known.Settle();
            SortBuckets(list, buckets);
            RemoveDropped(list);
        },
        observer);
    return true;
}

bool AnalyseUnstaged(FileList& list, const AnalysisSettings& settings, ScanObserver* observer,
                     std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead) {
    if (list.Content != FileList::ContentKind::None) {
        std::vector<HashJob> jobs;
        jobs.reserve(list.size());
        for (size_t i = 0; i < list.size(); ++i)
            jobs.push_back({quint32(i), 0, {}});
        if (!Read(list, jobs, FullMode(list), settings, observer, cancel, bytesRead))
            return false;
        StoreAll(list, jobs);
        RemoveDropped(list);
    }
    if (!list.empty())
        RunYielding([&]() { QuickSort(list, 0, qint64(list.size()) - 1); }, observer);
    return true;
}

} // namespace

bool AnalyseScan(FileList& list, const AnalysisSettings& settings, ScanObserver* observer,
                 std::atomic<bool>& cancel, std::atomic<qint64>& bytesRead) {
    RunYielding([&]() { list.RankFolders(); }, observer);
    HashReaders readers(settings.Threads);
    AnalysisSettings run = settings;
    run.Readers = &readers;
    if (run.Staged)
        return AnalyseStaged(list, run, observer, cancel, bytesRead);
    return AnalyseUnstaged(list, run, observer, cancel, bytesRead);
}
