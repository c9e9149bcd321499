#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The platform layer: the only code that calls POSIX and Linux interfaces. Every wrapper
// that can fail returns 1 or 3 and, where it reports, writes the failed-system-call line
// to the application log.
namespace modAPI {

// Attribute bits, with the values the rest of the program knows them by.
enum Attribute : quint32 {
    AttrReadOnly = 0x01,
    AttrHidden = 0x02,
    AttrSystem = 0x04,
    AttrDirectory = 0x10,
    AttrArchive = 0x20,
    AttrNormal = 0x80,
    AttrTemporary = 0x100,
};

enum class EntryType : quint8 { Unknown, File, Directory, Link, Special };

struct FileInfo {
    EntryType Type = EntryType::Unknown;
    qint64 Size = 0;
    qint64 ModifiedSecs = 0; // seconds since the epoch
    qint64 CreatedSecs = 0;  // birth time where recorded, else the modification time
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 ChangedNs = 0; // status change time, nanoseconds since the epoch
    quint32 Mode = 0;
    qint64 ModifiedNs = 0; // nanoseconds since the epoch
    quint32 Uid = 0;
    quint32 Gid = 0;
    quint32 Links = 0;
};

enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CDRom = 5,
    RamDisk = 6,
};

struct MountEntry {
    QString Device;
    QString MountPoint; // without a trailing "/", except "/" itself
    QString FsType;
    quint64 DeviceNumber = 0; // (major << 32) | minor, as FileInfo::Device gives it
};

// The error code of the last failure reported on this thread: the hash cache's writer and
// the readers of a scan fail on their own threads while the scan's thread reports its own.
extern thread_local int LastAPIError;

// Writes "Error occured in modAPI.<wrapper> Error number: <n> Desc: <msg> <detail> at:<now>"
// for the errno of the failed call (or the code given).
void ReportAPIError(const QString& wrapper, const QString& detail, int errorCode = -1);
// The system message for a code, cut before its first full stop.
QString SystemMessage(int errorCode);

// The text up to its first NUL.
QString TrimNull(const QString& text);

// "*" any run, "?" one character, letters without regard to case; nothing else is special.
bool MyPathMatchSpec(const QString& name, const QString& pattern);

// Whether anything (a link included) stands at the path; no status, no report.
void MyPathFileExists(const QString& path, bool& exists);

// Creates every folder up to the last "/" of the path (mkdir -p of its folder).
int MyMakeSureDirectoryPathExists(const QString& path);
int MyDeleteFile(const QString& path);
// Copies through a temporary file in the target folder, renamed over the target only when
// complete, so a failed copy never destroys the previous target. Keeps mode and times.
int MyCopyFile(const QString& source, const QString& target, bool failIfExists);
// Moves a file; fails when the target exists. Crosses file systems by copying first.
int MyMoveFile(const QString& source, const QString& target);
// Removes an empty folder; silent on failure (the caller expects it to fail when not empty).
int MyRemoveDirectory(const QString& path);
// Removes a folder that holds nothing but empty folders, all the way down, and then the
// folder itself. Never follows a link and never removes anything but an empty folder: a
// file found anywhere leaves it and the folders above it in place (Failed, ENOTEMPTY).
int MyRemoveEmptyTree(const QString& path);
// Whether this process may create files in the folder; no report (start-up asks before
// the application log exists), the reason in LastAPIError.
int MyCheckWritableFolder(const QString& folder);
// Adds the owner's write bit where it is missing.
int MyMakeWritable(const QString& path);
// Sends a file to the desktop trash. Succeeds only when the file has really left its path
// for a trash folder; never deletes instead.
int MyMoveToTrash(const QString& path, QString* trashPath = nullptr);
// Removes the information file of an item of a trash folder (given by its path in the
// trash's "files" folder), once the item has left. No information file is no failure.
int MyRemoveTrashInfo(const QString& trashPath);

// Facts about the entry at the path, links not followed. No report.
int MyStat(const QString& path, FileInfo& info);

// A moment in the local time zone, as the C library's zone rules give it.
struct LocalClock {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
// The zone is looked up again at most once a second rather than on every call, which would
// read the zone file's status once per date shown. False for moments before 1970 or after
// 2037, which callers leave to Qt's own rules.
bool LocalTimeOf(qint64 secsSinceEpoch, LocalClock& out);

int MyGetDriveType(const QString& root, DriveType& type);
int MyGetDiskFreeSpaceEx(const QString& root, quint64& freeToCaller, quint64& total,
                         quint64& totalFree);
// Folder 5 is the user's documents folder; on failure the out argument is left as it was.
int MyGetSpecialFolderPath(int folderId, QString& path);
int MyGetUserName(QString& name);

// The mounted file systems, from the kernel's mount table.
std::vector<MountEntry> MountTable();
// Kernel file systems whose entries must never be read as files.
bool IsVirtualFileSystem(const QString& fsType);
// File systems that keep no change time of their own (FAT, exFAT, NTFS through FUSE): they
// give the modified time for it, and anyone may set that back.
bool KeepsNoChangeTime(const QString& fsType);
// The mounts of such file systems, one per device.
std::vector<MountEntry> MountsWithoutChangeTime();

QString ProgramFilePath();
// The working folder, exact bytes; empty when it cannot be had.
QString CurrentFolder();
// The path with every link and "." or ".." resolved; empty when it does not resolve.
QString CanonicalPath(const QString& path);

// Writes beside the target and renames over it only when complete; 1 or 3 (reported).
int SaveFileAtomically(const QString& path, const QByteArray& data);
enum class ContentMatch { Same, Different, Unreadable };
// Compares two files byte for byte (not by hash), for the moments where a match must be
// certain: a file about to be replaced by a link to the other. Two names of one file are the
// same. Unreadable, with LastAPIError set and no report, when either cannot be read.
ContentMatch CompareContents(const QString& first, const QString& second);

// Replaces the file at target by a hard link to kept, in one step: a link beside the target
// under a name nobody uses, renamed over it. On failure the target is exactly as it was and
// no temporary name is left (reported; EXDEV when the two lie on different file systems,
// where there is never a fallback to a copy or a symbolic link). Two names of one file
// already are what was asked: 1, with alreadyLinked set.
int MyReplaceByHardLink(const QString& kept, const QString& target, bool* alreadyLinked = nullptr);

// The whole file; 1, or 3 with LastAPIError set (no report: the caller knows what it read).
int MyReadFile(const QString& path, QByteArray& data);
// The first count bytes of a regular file, fewer when it is shorter. A link is never
// followed (ELOOP) and nothing but a regular file is read (EINVAL); no report.
int MyReadFileStart(const QString& path, qint64 count, QByteArray& data);
// Appends the bytes in one write; 1, or 3 with LastAPIError set (no report, as a log that
// cannot be written must not log). With durable, returns only once the bytes are on disk.
int MyAppendFile(const QString& path, const QByteArray& data, bool durable = false);
// Writes the bytes to the standard error descriptor as it is, whatever it leads to.
void MyWriteStandardError(const QByteArray& data);
// Gives the file a new name, replacing what has that name; 1, or 3 with LastAPIError set.
int MyRename(const QString& from, const QString& to);

// Attribute bits of an entry: hidden from a leading dot, read-only from the permission
// bits, system for special files and virtual mount points; normal when none is set.
quint32 AttributesFor(const QString& name, EntryType type, quint32 mode, bool virtualMount);
// The same for a name already known to start, or not, with a dot.
quint32 AttributesFor(bool dotName, EntryType type, quint32 mode, bool virtualMount);
// The bits as the grid and the reports show them: letters in the order A H N R S T.
QString AttributeLetters(quint32 attributes);

} // namespace modAPI
