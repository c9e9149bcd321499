#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A profile document read part by part, the way the option windows take it into their
// controls: a part the document lacks stays unset, so the window keeps what it shows.
struct ProfileReadout {
    struct Criteria {
        bool Name = false;
        bool Size = false;
        bool Create = false;
        bool Modify = false;
        bool Content = false;
        // "crc" or "md5" when content is compared and the document names one of them;
        // empty otherwise, which leaves the window's choice as it was.
        QString MatchType;
    };
    struct Ignore {
        bool System = false;
        bool Hidden = false;
        bool ReadOnly = false;
        bool ZeroByte = false;
    };
    struct Removal {
        QString DeleteTo; // "recycle", "permanent", "move", "zip" or "hardlink"
        QString Folder;   // only for "move" and "zip"
        bool DeleteEmptyFolder = false;
    };
    struct SingleCopy {
        bool Create = false;
        bool DuplicatesOnly = false; // read only when Create
        QString Folder;              // read only when Create
    };
    struct Export {
        bool DoExport = false;
        QString Location; // read only when DoExport
        QString Format;   // "text", "html", "xml" or "csv"; read only when DoExport
    };

    std::optional<bool> IncludeSubFolder;
    std::optional<Criteria> Find;
    // Set whenever the criteria are: off unless the document turns it on.
    std::optional<bool> AcrossFolders;
    std::optional<Ignore> Ignores;
    // Every folder of the document, in order, with "$MyDocuments" resolved; unset when
    // the scan part was not read.
    std::optional<QStringList> Folders;

    QStringList IncludeFilters;
    QStringList ExcludeFilters;
    // The document's whole list; a document without one protects nothing.
    QStringList ProtectedFolders;
    std::optional<Removal> Remove;
    std::optional<SingleCopy> Copy;
    std::optional<Export> Exports;
};

namespace ProfileReader {

enum class Scope {
    Whole,       // the scan part (when the root has children) and the action part
    ActionsOnly, // only the action part, to throw away edits of the action options
};

enum class Status {
    Read,
    Missing,    // no file at the path
    Unreadable, // the document could not be parsed (logged by the document service)
    Incomplete, // a value needed as text was absent; the parts before it were read
};

struct Options {
    Scope Part = Scope::Whole;
    // The default options take "copy" as set whenever single copy is on and never read it.
    bool SingleCopyAlwaysDuplicates = false;
};

// Reads the document at path into out. On Incomplete, errorText says which value was
// missing and out holds what was read before it.
Status Read(const QString& path, const Options& options, ProfileReadout& out, QString& errorText);

// "$MyDocuments" becomes the user's documents folder; any other text stays as it is, and
// so does the token when the documents folder cannot be found.
QString ResolveFolder(const QString& path);

} // namespace ProfileReader
