#pragma once

#include "app/HeldFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct zip;

// Adds files to the profile's zip archive. The archive is written through libzip, which
// builds the new archive beside the old one and renames it over only when complete, so a
// failed or stopped write leaves the earlier archive as it was.
class cls7z {
public:
    // Told how far the archive write has got (0 to 1); returns false to stop it.
    using Progress = std::function<bool(double)>;

    // A file to add, read through its folder as it was seen: a file whose status no longer
    // matches Seen when it is read (written, replaced, its folder swapped) is left out.
    struct Item {
        QString Path;
        modAPI::FolderId Folder;
        modAPI::FileInfo Seen; // Inode 0: not checked
    };
    struct Batch {
        std::vector<Item> Added;   // in the committed archive
        std::vector<Item> Refused; // unreadable or changed when read; left out, the rest went on
        bool Cancelled = false;
    };

    // Adds or replaces the file (full path) in the archive strZipPath + ".zip", creating the
    // archive and its folder when missing. 1 only when the archive holding the file has been
    // committed to disk; 3 otherwise (application log written).
    int Archive(const QString& strZipPath, const QString& strFilePath);

    // Adds all the files in one write of the archive, so n files cost one copy of the
    // archive instead of n. 1 when the archive holding batch.Added was committed (or there
    // was nothing to add); 3 when nothing was committed: the archive is as it was, and
    // batch.Added is empty. The application log gets the failure, not a cancel.
    int ArchiveAll(const QString& strZipPath, const std::vector<Item>& files, Batch& batch,
                   const Progress& progress = {});

    // What an archive holds of a file.
    struct Entry {
        qint64 Size = 0;
        quint32 Crc = 0;
    };
    // An archive opened to read files back out of it.
    class Reader {
    public:
        Reader() = default;
        ~Reader();
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;

        // The archive's full path, ".zip" included; false with Error() set.
        bool Open(const QString& archive);
        const QString& Error() const { return m_error; }
        // False when the archive holds no entry for the file (its full path).
        bool Find(const QString& filePath, Entry& entry) const;
        // The file's entry written out as a new file at its path, with like's permissions,
        // owner and modified time; never over anything there (see MyCreateFileFrom). The
        // entry's CRC-32 is checked as it is read: a damaged entry makes no file. 1 or 3.
        int Extract(const QString& filePath, const modAPI::FileInfo& like) const;

    private:
        struct zip* m_za = nullptr;
        QString m_error;
    };
    // Takes the files' entries out of the archive (full path, ".zip" included) in one write
    // beside it, renamed over it only when complete. An archive left empty is removed.
    // 1, or 3 with error set and the archive as it was.
    static int Remove(const QString& archive, const QStringList& filePaths, QString& error);

private:
    int WriteOnce(const QString& strZipPath, const std::vector<Item>& files, Batch& batch,
                  const Progress& progress, std::vector<bool>& refused);

public:
    // A file's absolute path without its leading "/": its entry name in an archive, and
    // its place under a move or copy target folder.
    static QString EntryName(const QString& filePath);
};
