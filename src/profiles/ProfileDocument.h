#pragma once

#include <QString>
#include <QStringList>

#include <optional>
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
    // Show the groups of duplicate folders the file groups make, instead of the files.
    bool FindFolders = false;

    // False for a document saved without its action part.
    bool HasActions = true;
    QString DeleteTo =
        QStringLiteral("recycle"); // "recycle", "permanent", "move", "zip", "hardlink", "clone"
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

// A value a profile document lacks, or writes in a way this version does not understand.
struct ProfileIssue {
    enum class Kind { Missing, NotUnderstood };
    Kind What = Kind::Missing;
    QString Element;     // "findduplicates", "folder", ...
    QString Attribute;   // "matchtype", "path", ...
    qsizetype Index = 0; // which element of that name, for the listed ones
    QString Value;       // the text not understood

    QString Text() const;
};

// A profile document as it is written, typed. A part the document lacks stays unset; a
// value it lacks or does not make sense of reads as off or empty and is listed in Issues,
// which a caller that must not guess checks and the windows leave alone. Words are read in
// any letter case and kept in lower case. Two texts compare exactly: the remove rule, as a
// rule spelt otherwise is one this version does not know ("Permanent" must never come to
// delete anything), and "$MyDocuments", which only ResolveFolder turns into a folder.
struct ProfileContents {
    struct Criteria {
        bool Name = false;
        bool Size = false;
        bool Create = false;
        bool Modify = false;
        bool Content = false;
        // "crc" or "md5"; any other text as written.
        QString MatchType;
    };
    struct Ignore {
        bool System = false;
        bool Hidden = false;
        bool ReadOnly = false;
        bool ZeroByte = false;
    };
    struct Removal {
        QString DeleteTo; // as written, empty when absent: no rule at all is the trash
        QString Folder;   // as written, whatever the rule
        bool DeleteEmptyFolder = false;
    };
    struct SingleCopy {
        bool Create = false;
        bool DuplicatesOnly = false;
        QString Folder;
    };
    struct Export {
        bool DoExport = false;
        QString Location;
        QString Format; // "text", "html", "xml" or "csv"; any other text as written
    };

    // A bare root element: a document that holds no part at all.
    bool Empty = true;
    // The lists hold an empty text for an element without its value.
    QStringList Folders;
    std::optional<bool> IncludeSubFolder;
    std::optional<Criteria> Find;
    bool AcrossFolders = false; // written with the criteria, and only when on
    bool FindFolders = false;   // the same
    std::optional<Ignore> Ignores;
    QStringList IncludeFilters;
    QStringList ExcludeFilters;
    QStringList ProtectedFolders;
    std::optional<Removal> Remove;
    std::optional<SingleCopy> Copy;
    std::optional<Export> Exports;

    // In the order the document was read: the scan part, then the action part.
    std::vector<ProfileIssue> Issues;
    // The issue for a value the document lacks, or null.
    const ProfileIssue* Lacking(const char* element, const char* attribute,
                                qsizetype index = 0) const;
};

namespace ProfileDocument {

// The element records of a document, in the order they are written.
std::vector<modXML::XMLElementInfo> BuildRecords(const ProfileSettings& settings);
// Writes the document in one step; 1, or 3 with the previous file kept.
int Save(const QString& path, const ProfileSettings& settings);

enum class Found {
    Read,
    Missing,    // no file at the path
    Unreadable, // the file could not be parsed (logged by the document service)
};
// The one reader of profile documents; every other reading maps from what it gives.
Found Read(const QString& path, ProfileContents& contents);

// Reads a document into the values the dialogs save: a part the document lacks keeps what
// settings held, and unknown values fall back to the defaults they name. 1, or 3 when the
// file is missing or cannot be parsed.
int Load(const QString& path, ProfileSettings& settings);

// "$MyDocuments" becomes the user's documents folder; any other text stays as it is, and
// so does the token when the documents folder cannot be found.
QString ResolveFolder(const QString& path);

// Whether this version knows the remove rule; no rule at all is the trash. Names compare
// exactly, so a rule spelt in other letters is never taken for a known one.
bool KnownRemoveRule(const QString& deleteTo);
// Whether the rule works with a folder of its own: "move", "zip", and any rule this version
// does not know, whose folder is kept for the version that does.
bool RuleHasFolder(const QString& deleteTo);

// "True" / "False" as documents store scan switches; "yes" / "no" for action switches.
QString BoolText(bool value);
QString YesNo(bool value);

} // namespace ProfileDocument
