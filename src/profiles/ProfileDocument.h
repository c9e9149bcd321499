#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace modXML {
struct XMLElementInfo;
}

// The values a profile document holds, as the option dialogs read and write them.
struct ProfileSettings {
    QStringList Folders;
    bool IncludeSubFolder = false;

    bool MatchName = false;
    bool MatchSize = false;
    bool MatchCreate = false;
    bool MatchModify = false;
    bool MatchContent = false;
    QString MatchType; // "crc" or "md5"; written only when content is compared

    bool IgnoreSystem = true;
    bool IgnoreHidden = true;
    bool IgnoreReadOnly = false;
    bool IgnoreZeroByte = true;

    QStringList IncludeFilters;
    QStringList ExcludeFilters;
    // Keep only groups whose files lie under at least two of the scanned folders.
    bool AcrossFolders = false;

    // False for a document saved without its action part.
    bool HasActions = true;
    QString DeleteTo =
        QStringLiteral("recycle"); // "recycle", "permanent", "move", "zip", "hardlink"
    QString RemoveFolder;          // for "move" and "zip"
    bool DeleteEmptyFolder = false;
    // Files under these folders are never removed, moved, zipped or linked over.
    QStringList ProtectedFolders;
    bool SingleCopyCreate = false;
    bool SingleCopyDuplicatesOnly = false;
    QString SingleCopyFolder;
    bool DoExport = false;
    QString ExportLocation;
    QString ExportFormat; // "text", "html", "xml", "csv"
};

namespace ProfileDocument {

// The element records of a document, in the order they are written.
std::vector<modXML::XMLElementInfo> BuildRecords(const ProfileSettings& settings);
// Writes the document in one step; 1, or 3 with the previous file kept.
int Save(const QString& path, const ProfileSettings& settings);
// Reads a document the way the option dialogs do: unknown values fall back to the
// defaults they name. 1, or 3 when the file is missing or cannot be parsed (logged).
int Load(const QString& path, ProfileSettings& settings);

// "True" / "False" as documents store scan switches; "yes" / "no" for action switches.
QString BoolText(bool value);
QString YesNo(bool value);

} // namespace ProfileDocument
