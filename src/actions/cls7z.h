#pragma once

#include <QString>

// Adds files to the profile's zip archive. The archive is written through libzip, which
// builds the new archive beside the old one and renames it over only when complete, so a
// failed add leaves the earlier archive as it was.
class cls7z {
public:
    // Adds or replaces the file (full path) in the archive strZipPath + ".zip", creating the
    // archive and its folder when missing. 1 only when the archive holding the file has been
    // committed to disk; 3 otherwise (application log written).
    int Archive(const QString& strZipPath, const QString& strFilePath);

    // A file's absolute path without its leading "/": its entry name in an archive, and
    // its place under a move or copy target folder.
    static QString EntryName(const QString& filePath);
};
