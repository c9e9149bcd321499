#pragma once

#include <QString>
#include <QStringList>

class clsFindFile;

// The options of the scan subcommand. Shared with any later subcommand that scans first.
struct ScanOptions {
    QStringList Folders;
    QString Profile;
    bool SubFolders = false;
    bool Name = false;
    bool Size = false;
    bool Created = false;
    bool Modified = false;
    QString Content; // "crc", "md5" or empty
    bool Hidden = false;
    bool ReadOnly = false;
    bool System = false;
    bool ZeroByte = false;
    QStringList Include;
    QStringList Exclude;
    // Only groups whose files lie under two or more of the scanned folders; with a
    // profile, on top of what the profile says.
    bool Across = false;
    bool NoIgnore = false; // with a profile, show the groups its ignore list leaves out
    // Print the groups of duplicate folders instead of files; with a profile, on top of what
    // the profile says.
    bool FolderGroups = false;
    QString Sort; // "size", "count", "name"; empty: the order found
    bool Quiet = false;
    bool Null = false; // paths ended by NUL, groups by an empty record
    bool Json = false; // the groups as one JSON document instead
    bool Help = false;
    int Threads = 0;
    bool NoCache = false;
    QString CacheFile; // empty: the default of the mode (FolderModeCacheFile or the user's)
    // False: the groups are only counted while scanning, for a caller that prints them
    // itself once it has re-marked them.
    bool PrintGroups = true;

    // Copies the hash-cache choice onto a scan; every mode takes it.
    void ApplyCacheTo(clsFindFile& scan, bool folderMode) const;

    // Copies the folder-mode settings onto a scan; no criterion given means size and
    // content by CRC-32.
    void ApplyTo(clsFindFile& scan) const;
};

// Parses the arguments after the subcommand. False with a message for the user on bad
// usage.
bool ParseScanOptions(const QStringList& args, ScanOptions& options, QString& error);

QString ScanUsage();

// Where a scan of named folders keeps its hash cache, with no application folder to hold it:
// $XDG_CACHE_HOME/echofind/HashCache.sqlite, else ~/.cache/echofind/HashCache.sqlite; empty
// when neither is known.
QString FolderModeCacheFile();
