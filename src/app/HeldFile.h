#pragma once

#include "modAPI.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Acting on a file without walking its path twice. A path is looked at once, to open its
// folder; from then on the file is reached by name relative to that open folder and is
// itself held open, so a folder swapped for a symbolic link, or a name swapped for another
// file, between the checks and the act cannot redirect what is done to somewhere else.
namespace modAPI {

// The folder a file was found in, as the scan saw it. All zero when not known.
struct FolderId {
    quint64 Device = 0;
    quint64 Inode = 0;
    bool Known() const { return Inode != 0; }
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

class HeldFolder {
public:
    HeldFolder() = default;
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    // Opens the folder without following a symbolic link anywhere on the way. A scanned
    // folder may have been named through a link, so when the folder the scan saw is known,
    // a way through links is accepted too, but only when it ends at that very folder.
    // 0 or the errno: ELOOP for a link on the way, ESTALE for another folder than expected.
    int Open(const QByteArray& folder, const FolderId& expected = {});
    // Opens a folder to put files into, making the missing folders first. Links are
    // followed: the person chose this folder, and nothing is removed from it.
    int OpenDestination(const QByteArray& folder);
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const FolderId& Id() const { return m_id; }
    // Where the folder really is, links resolved; empty when the kernel cannot tell.
    QByteArray RealPath() const;

private:
    // Takes the opened descriptor (or the errno of a failed open) as this folder.
    int Adopt(int fd, const FolderId& expected);

    int m_fd = -1;
    FolderId m_id;
};

// Whether an advisory lock was had.
enum class LockResult {
    Taken,
    Busy,        // another process (or another open of the file) holds a conflicting lock
    Unsupported, // the file system keeps no locks, or the file could only be opened by path
};

// A regular file reached through its held folder and held open for reading.
class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // 0 or the errno: ENOENT gone, ELOOP or ESTALE its folder is not the one scanned (or a
    // link stands on the way), ELOOP also for a link in the file's place, EINVAL for
    // anything but a regular file. A file this process may not read is still held (by
    // path only): it can be acted on, but neither read nor locked.
    int Open(const QString& path, const FolderId& folder = {});
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    bool Readable() const { return m_readable; }
    const QString& Path() const { return m_path; }
    const QByteArray& Name() const { return m_name; }
    const HeldFolder& Folder() const { return m_folder; }
    int Fd() const { return m_fd; }
    // The file's status from its descriptor, as of Open or the last Refresh.
    const FileInfo& Info() const { return m_info; }
    int Refresh();

    // A lock that stays until Close; never waits.
    LockResult Lock(bool exclusive);
    // Whether the name in its folder still leads to this very file.
    bool StillNamed() const;
    // Reads from the given offset; the count read, 0 at the end, -1 with LastAPIError set.
    qint64 ReadAt(char* buffer, qint64 size, qint64 offset) const;

private:
    HeldFolder m_folder;
    QString m_path;
    QByteArray m_name;
    int m_fd = -1;
    bool m_readable = false;
    FileInfo m_info;
};

// Byte for byte from the two descriptors, from the start. Two names of one file are the
// same; a file that cannot be read is Unreadable with LastAPIError set (no report).
ContentMatch CompareHeld(const HeldFile& first, const HeldFile& second);

// The actions. Each acts relative to the file's held folder and only while the name still
// leads to the held file; on failure nothing was done, LastAPIError tells why (ESTALE: the
// name now leads to something else) and the failed-system-call line is written.

// Removes the name (after giving the owner the write bit, as a delete of a read-only file
// does elsewhere).
int MyDeleteHeld(const HeldFile& file);
// Into the desktop trash; see MyMoveToTrash.
int MyTrashHeld(const HeldFile& file, QString* trashPath = nullptr);
// Into the folder of destination, under its name or, when that is taken, the first free of
// "name (2).ext", "name (3).ext"...: nothing already there is ever replaced. placed gets
// the path the file now has. Across file systems the file is copied through a temporary
// file that has no name until it is complete, and the original goes only after that.
// Without numbered only the name itself will do: EEXIST when it is taken.
int MyMoveHeld(const HeldFile& file, const QString& destination, QString& placed,
               bool numbered = true);
// A copy of the held file at target, replacing an earlier copy there only once complete.
int MyCopyHeld(const HeldFile& source, const QString& target);
// Makes target's name lead to kept, with the two files' contents already compared through
// these descriptors; keptSeen is kept's status at the end of that comparison. The link is
// made beside the target and exchanged with it; if kept changed meanwhile (size or
// modified time, from its descriptor) the exchange is undone and ECANCELED returned.
int MyLinkHeld(const HeldFile& kept, const HeldFile& target, const FileInfo& keptSeen,
               bool* alreadyLinked = nullptr);

// Makes target share its data blocks with kept, whose contents the caller has compared
// with it: the name, inode, owner, mode and dates of target stay as they are. The kernel
// compares each range again under its own lock, so a file changed meanwhile keeps its
// bytes (ECANCELED). Files that already share every extent, or that are one file, are what
// was asked: 1, with alreadyShared set. EXDEV across file systems and EOPNOTSUPP where the
// file system cannot share blocks are not reported (CannotShareBlocks tells them apart);
// nothing is ever copied or linked instead.
int MyShareBlocksHeld(const HeldFile& kept, const HeldFile& target, bool* alreadyShared = nullptr);
// Whether the failure of MyShareBlocksHeld means the file system cannot share these files'
// blocks, as against a refusal of the files themselves.
bool CannotShareBlocks(int errorCode);
// Whether the two files' data lie in the very same extents, from the file system's map.
bool SharesAllBlocks(const HeldFile& first, const HeldFile& second);
// The free bytes of the file system holding the folder, after its pending frees are
// committed; -1 when it cannot tell.
qint64 MyFreeBytes(const HeldFolder& folder);

// Gives the file's name a file of its own again, where it shares its data with another
// (a hard link, blocks shared by cloning): a copy of its bytes is written beside it, gets
// like's permissions, owner (where this process may give it) and modified time, and is
// exchanged with the name only once complete. If the file changed meanwhile (size or
// modified time, or the name no longer leads to it) the exchange is undone: ECANCELED.
int MyUnshareHeld(const HeldFile& file, const FileInfo& like);

// Where a new file's bytes come from: fills the buffer from the given offset and returns
// the count (0 at the end), or -1 with LastAPIError set.
using ByteSource = std::function<qint64(char* buffer, qint64 size, qint64 offset)>;
// A new file at path from the bytes of source, with like's permissions, owner (where this
// process may give it) and modified time. It has a name only once complete, and that name
// never replaces anything: EEXIST when the path is taken. The folders are made as needed.
int MyCreateFileFrom(const QString& path, const ByteSource& source, const FileInfo& like);

// Removes what a killed run of this program left behind in the folder: regular files of
// this user named ".echofind-" plus six letters or digits (a copy being written), or
// prefix plus "." and six letters or digits (an archive being written), last changed
// before the given time. The count removed.
int MyRemoveStaleTemporaries(const QString& folder, const QByteArray& prefix, qint64 beforeSecs);

// A file kept open for appending lines, one write each, for as long as a run writes them.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (creating) the file; 1, or 3 with LastAPIError set. Every write goes at the end.
    int Open(const QString& path);
    // One write of all the bytes, and with durable only back once they are on disk; 1, or 3
    // with LastAPIError set.
    int Write(const QByteArray& data, bool durable = false);
    bool IsOpen() const { return m_fd >= 0; }
    void Close();

private:
    int m_fd = -1;
};

// A lock on one file for the whole of something, between processes; released when this
// goes. For the runs that act on files: one at a time per application folder.
class ProcessLock {
public:
    ProcessLock() = default;
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    // Creates the file when missing. Busy only when not waiting; Unsupported means the file
    // could not be opened or locked at all (LastAPIError set).
    LockResult Take(const QString& file, bool wait);
    bool Held() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

} // namespace modAPI
