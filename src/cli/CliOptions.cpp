#include "CliOptions.h"

#include "app/PathCodec.h"
#include "engine/clsFindFile.h"

#include <functional>
#include <map>

namespace {

// Splits "--name=value" so both spellings of a valued option work.
bool TakeValue(const QStringList& args, qsizetype& i, QString& option, QString& value,
               QString& error) {
    const qsizetype eq = option.indexOf(u'=');
    if (eq > 0) {
        value = option.mid(eq + 1);
        option = option.left(eq);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = QStringLiteral("option %1 needs a value").arg(option);
        return false;
    }
    value = args[++i];
    return true;
}

bool ParseValued(const QStringList& args, qsizetype& i, QString option, ScanOptions& o,
                 QString& error) {
    QString value;
    if (!TakeValue(args, i, option, value, error))
        return false;
    if (option == u"--content") {
        value = value.toLower();
        if (value != u"crc" && value != u"md5") {
            error = QStringLiteral("--content takes crc or md5, not \"%1\"").arg(value);
            return false;
        }
        o.Content = value;
    } else if (option == u"--include") {
        o.Include << value;
    } else if (option == u"--exclude") {
        o.Exclude << value;
    } else if (option == u"--profile") {
        o.Profile = value;
    } else if (option == u"--cache") {
        if (value.isEmpty()) {
            error = QStringLiteral("--cache needs a file name");
            return false;
        }
        o.CacheFile = value;
    } else if (option == u"--sort") {
        if (value != u"size" && value != u"count" && value != u"name") {
            error = QStringLiteral("--sort takes size, count or name, not \"%1\"").arg(value);
            return false;
        }
        o.Sort = value;
    } else if (option == u"--threads") {
        bool ok = false;
        o.Threads = value.toInt(&ok);
        if (!ok || o.Threads < 1 || o.Threads > 64) {
            error = QStringLiteral("--threads takes a number from 1 to 64");
            return false;
        }
    } else {
        error = QStringLiteral("unknown option %1").arg(option);
        return false;
    }
    return true;
}

bool ParseFlag(const QString& arg, ScanOptions& o) {
    static const std::map<QString, std::function<void(ScanOptions&)>> flags = {
        {QStringLiteral("-r"), [](ScanOptions& s) { s.SubFolders = true; }},
        {QStringLiteral("--subfolders"), [](ScanOptions& s) { s.SubFolders = true; }},
        {QStringLiteral("--name"), [](ScanOptions& s) { s.Name = true; }},
        {QStringLiteral("--size"), [](ScanOptions& s) { s.Size = true; }},
        {QStringLiteral("--created"), [](ScanOptions& s) { s.Created = true; }},
        {QStringLiteral("--modified"), [](ScanOptions& s) { s.Modified = true; }},
        {QStringLiteral("--hidden"), [](ScanOptions& s) { s.Hidden = true; }},
        {QStringLiteral("--readonly"), [](ScanOptions& s) { s.ReadOnly = true; }},
        {QStringLiteral("--system"), [](ScanOptions& s) { s.System = true; }},
        {QStringLiteral("--zero-byte"), [](ScanOptions& s) { s.ZeroByte = true; }},
        {QStringLiteral("-0"), [](ScanOptions& s) { s.Null = true; }},
        {QStringLiteral("--null"), [](ScanOptions& s) { s.Null = true; }},
        {QStringLiteral("--json"), [](ScanOptions& s) { s.Json = true; }},
        {QStringLiteral("--no-cache"), [](ScanOptions& s) { s.NoCache = true; }},
        {QStringLiteral("--across"), [](ScanOptions& s) { s.Across = true; }},
        {QStringLiteral("--no-ignore"), [](ScanOptions& s) { s.NoIgnore = true; }},
        {QStringLiteral("--folders"), [](ScanOptions& s) { s.FolderGroups = true; }},
        {QStringLiteral("-q"), [](ScanOptions& s) { s.Quiet = true; }},
        {QStringLiteral("--quiet"), [](ScanOptions& s) { s.Quiet = true; }},
        {QStringLiteral("-h"), [](ScanOptions& s) { s.Help = true; }},
        {QStringLiteral("--help"), [](ScanOptions& s) { s.Help = true; }},
    };
    const auto it = flags.find(arg);
    if (it == flags.end())
        return false;
    it->second(o);
    return true;
}

bool HasCriterion(const ScanOptions& o) {
    return o.Name || o.Size || o.Created || o.Modified || !o.Content.isEmpty();
}

} // namespace

bool ParseScanOptions(const QStringList& args, ScanOptions& o, QString& error) {
    bool onlyFolders = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (onlyFolders || !arg.startsWith(u'-') || arg == u"-") {
            o.Folders << arg;
        } else if (arg == u"--") {
            onlyFolders = true;
        } else if (!ParseFlag(arg, o) && !ParseValued(args, i, arg, o, error)) {
            return false;
        }
    }
    if (o.Help)
        return true;
    if (o.Json && o.Null) {
        error = QStringLiteral("--json and -0/--null are two different outputs; choose one");
        return false;
    }
    if (!o.Profile.isEmpty()) {
        if (!o.Folders.isEmpty() || HasCriterion(o) || o.SubFolders || o.Hidden || o.ReadOnly ||
            o.System || o.ZeroByte || !o.Include.isEmpty() || !o.Exclude.isEmpty()) {
            error = QStringLiteral("--profile takes its folders and settings from the profile; "
                                   "give no folders or scan options with it");
            return false;
        }
        return true;
    }
    if (o.Folders.isEmpty()) {
        error = QStringLiteral("no folder to scan");
        return false;
    }
    return true;
}

void ScanOptions::ApplyTo(clsFindFile& scan) const {
    const bool defaults = !HasCriterion(*this);
    scan.IncludeSubFolder = SubFolders;
    scan.IncludeHiddenFilesFolders = Hidden;
    scan.IncludeReadOnlyFilesFolders = ReadOnly;
    scan.IncludeSystemFilesFolders = System;
    scan.IncludeZeroByteFiles = ZeroByte;
    scan.MatchName = Name;
    scan.MatchSize = defaults || Size;
    scan.CreateDateTime = Created;
    scan.ModifiedDateTime = Modified;
    scan.ContentMatch = defaults || !Content.isEmpty();
    scan.MatchType = defaults ? QStringLiteral("crc") : Content;
    scan.ReadThreads = Threads;
    scan.SetIncludePatterns(Include);
    scan.SetExcludePatterns(Exclude);
    scan.AcrossFolders = Across;
    scan.FindFolders = FolderGroups;
    ApplyCacheTo(scan, true);
}

void ScanOptions::ApplyCacheTo(clsFindFile& scan, bool folderMode) const {
    scan.UseHashCache = !NoCache;
    scan.HashCacheFile = CacheFile;
    if (CacheFile.isEmpty() && folderMode)
        scan.HashCacheFile = FolderModeCacheFile();
}

QString FolderModeCacheFile() {
    // Environment values are file names: bytes, decoded as every path is.
    QString base = PathCodec::Decode(qgetenv("XDG_CACHE_HOME"));
    if (!base.startsWith(u'/')) {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty())
            return QString();
        base = PathCodec::Decode(home) + QStringLiteral("/.cache");
    }
    return base + QStringLiteral("/echofind/HashCache.sqlite");
}

QString ScanUsage() {
    return QStringLiteral(
        "Usage: echofind-cli scan [options] FOLDER...\n"
        "       echofind-cli scan --profile NAME [--across] [--folders] [--no-ignore]\n"
        "                         [-0 | --json] [--sort size|count|name] [-q]\n"
        "                         [--no-cache | --cache FILE]\n"
        "\n"
        "Finds duplicate files and prints each group as the full paths of its files, one\n"
        "per line, the file to keep first; groups are separated by an empty line.\n"
        "\n"
        "  -r, --subfolders      scan the sub-folders too\n"
        "  --name                files must have the same name (letter case ignored)\n"
        "  --size                files must have the same size\n"
        "  --created             files must have the same creation time\n"
        "  --modified            files must have the same modification time\n"
        "  --content crc|md5     files must have the same content, compared by CRC-32 or MD5\n"
        "                        (no criterion given means --size --content crc)\n"
        "  --hidden              take hidden files and folders\n"
        "  --readonly            take read-only files and folders\n"
        "  --system              take system entries\n"
        "  --zero-byte           take empty files\n"
        "  --include PATTERN     only names that match (* and ?; repeatable)\n"
        "  --exclude PATTERN     leave out names that match (repeatable)\n"
        "  --across              only groups whose files lie under at least two of the\n"
        "                        scanned folders (a file counts for the deepest scanned\n"
        "                        folder that holds it); also with --profile\n"
        "  --folders             print groups of duplicate folders instead of files: folders\n"
        "                        whose files and sub-folders have the same relative names,\n"
        "                        all the way down, each pair of files in one group of this\n"
        "                        scan; a folder inside a listed folder is not listed again,\n"
        "                        and one holding a file in no group, or anything the scan\n"
        "                        left out (hidden or empty files, excluded names, links), is\n"
        "                        no copy. Largest first; also with --profile, and on when\n"
        "                        the profile asks for duplicate folders. The ignore list\n"
        "                        does not apply to folder groups\n"
        "  --threads N           reading threads (default: four per core, 4 to 16)\n"
        "  --no-cache            read every file, neither using nor updating the hash cache\n"
        "  --cache FILE          keep the hash cache in FILE; by default a profile uses\n"
        "                        HashCache.sqlite in the user's folder, and a scan of named\n"
        "                        folders $XDG_CACHE_HOME/echofind/HashCache.sqlite\n"
        "                        (~/.cache/echofind/ when XDG_CACHE_HOME is not set)\n"
        "  --profile NAME        run the saved profile NAME, with its run log and catalogue;\n"
        "                        groups whose every file is on the profile's ignore list\n"
        "                        (NAME.ignore beside the profile) are left out\n"
        "  --no-ignore           show the groups the ignore list leaves out\n"
        "  --sort size|count|name  print the groups largest total first, most copies\n"
        "                        first, or by name (default: the order they were found)\n"
        "  -0, --null            end each path with a NUL byte instead of a newline, and\n"
        "                        separate groups with an empty record (one more NUL), so\n"
        "                        that names holding newlines cannot be misread\n"
        "  --json                print the groups as one JSON document: each file's path\n"
        "                        (a string, or an array of bytes when the name is not\n"
        "                        UTF-8), size, modified and created time in seconds since\n"
        "                        1970-01-01 UTC, and its CRC-32 or MD5 when compared\n"
        "  -q, --quiet           no progress line\n"
        "  -h, --help            this text\n"
        "\n"
        "\n"
        "A file read once is not read again while its size, modified time, change time and\n"
        "inode stay the same: its content hashes come from the hash cache. A cache that\n"
        "cannot be used (locked, damaged, read-only, full disk) is left alone and the files\n"
        "are read, with one line saying so.\n"
        "\n"
        "Exit status: 0 done, 1 done with errors, 2 bad usage, 3 the run failed.\n");
}
