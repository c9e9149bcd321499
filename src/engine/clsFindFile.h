#pragma once

#include "FileList.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class ScanObserver;
class FolderWalker;

// One scan run: its settings, the walk of its folders and the analysis that leaves the
// result list sorted by comparison key. Made for one run and dropped after it.
class clsFindFile {
public:
    clsFindFile();
    ~clsFindFile();
    clsFindFile(const clsFindFile&) = delete;
    clsFindFile& operator=(const clsFindFile&) = delete;

    bool IncludeSubFolder = false;
    bool IncludeSystemFilesFolders = false;
    bool IncludeHiddenFilesFolders = false;
    bool IncludeReadOnlyFilesFolders = false;
    bool IncludeZeroByteFiles = false;
    bool MatchName = true;
    bool MatchSize = false;
    bool CreateDateTime = false;
    bool ModifiedDateTime = false;
    bool ContentMatch = false;
    QString MatchType; // "crc" or "md5", compared without regard to case
    // Only groups whose files lie under two or more of the scanned folders are kept. A
    // profile that asks for it turns it on; a profile never turns off what the caller set.
    bool AcrossFolders = false;
    // Whether the results are the groups of duplicate folders rather than of files. Like
    // AcrossFolders, a profile turns it on and never off; the scan itself is the same.
    bool FindFolders = false;
    // Set from any thread (the window's Cancel, a signal handler's flag) to stop the run;
    // every level of the walk ends at its next entry, and reading stops within one part.
    std::atomic<bool> CancelOperation{false};

    // Reading threads for signatures; 0 takes four per core, from four to sixteen.
    int ReadThreads = 0;
    // ReadThreads with 0 resolved: the number of threads a run really reads with.
    int ThreadCount() const;
    // Listing threads for the walk: as many as reading threads, at most two per core and
    // four in all. A listing that waits for the disk (folders and inodes not in memory)
    // leaves its core to another: on 2 cores, four took a walk of 100,000 files whose
    // metadata was not cached from 0.90 to 0.62 s, at no cost once it is. The listings made
    // ahead are bounded (ListingPool): the peak rose by 2 MiB on that tree, and not
    // measurably on a million files.
    int ListingThreadCount() const;
    // Whether files that cannot have a duplicate are left unread. Only the cross-check
    // turns this off, to prove the shortcuts change no group.
    bool Staged = true;
    // Whether content read in earlier runs is taken from the hash cache, and which file holds
    // it; empty takes DefaultHashCacheFile(). With neither a file nor a user folder the run
    // reads every file, as it does when the cache cannot be used.
    bool UseHashCache = true;
    QString HashCacheFile;
    // HashCache.sqlite in the user's folder, beside the profiles and logs; empty before
    // start-up has laid out the user's folder.
    static QString DefaultHashCacheFile();

    void SetObserver(ScanObserver* observer) { m_observer = observer; }
    ScanObserver* Observer() const { return m_observer; }

    void SetIncludePatterns(const QStringList& patterns) { m_include = patterns; }
    void SetExcludePatterns(const QStringList& patterns) { m_exclude = patterns; }
    const QStringList& IncludePatterns() const { return m_include; }
    const QStringList& ExcludePatterns() const { return m_exclude; }

    // Reads the settings from a profile document, scans its folders and sorts the list.
    // status: 1 after a completed run (also one that found nothing or was cancelled), 3
    // after a failure, which is logged and counted in the run statistics.
    void ExecuteProfile(const QString& profilePath, FileList& list, int& status);
    // Walks one folder (and its sub-folders when asked) into the list, unsorted.
    void GetFiles(const QString& folder, FileList& list);
    // The run after its settings are known: every folder, then signatures and the sort.
    // 1, or 3 after an unexpected error (logged).
    int ScanFolders(const QStringList& folders, FileList& list);

    // A file the run had to leave out: its error detail line, and one more error counted.
    // The caller writes the log line, which names where the failure happened.
    static void NoteFileNotRetrieved(const QString& path);

    // Why these settings cannot be scanned, or empty when they can: content compared by a
    // method the engine does not know, or no criterion at all. Either would make every
    // file a duplicate of every other, and a removal would then delete unrelated files.
    QString UnusableCriteria() const;

    // The folders the last run was asked to scan, as given: the roots of its folder groups.
    const QStringList& ScannedFolders() const { return m_scannedFolders; }

    // Folders that could not be listed in this run (each written to the application log).
    qint64 FoldersNotListed() const;
    // Bytes read for signatures so far; may be read from any thread while the run works.
    const std::atomic<qint64>& BytesRead() const { return m_bytesRead; }

private:
    void PrepareList(FileList& list) const;
    void Scan(const QStringList& folders, FileList& list);
    void ReadSettings(const QString& profilePath, QStringList& folders);

    ScanObserver* m_observer = nullptr;
    QStringList m_include;
    QStringList m_exclude;
    QStringList m_scannedFolders;
    std::unique_ptr<FolderWalker> m_walker;
    std::atomic<qint64> m_bytesRead{0};
};
