#pragma once

#include "ProfileDocument.h"

#include <QString>
#include <QStringList>

#include <optional>

// A profile document read part by part, the way the option windows take it into their
// controls: a part the document lacks stays unset, so the window keeps what it shows.
struct ProfileReadout {
    using Criteria = ProfileContents::Criteria;
    using Ignore = ProfileContents::Ignore;
    using Removal = ProfileContents::Removal;
    using SingleCopy = ProfileContents::SingleCopy;
    using Export = ProfileContents::Export;

    std::optional<bool> IncludeSubFolder;
    // The match type is "crc" or "md5" when content is compared and the document names one
    // of them; empty otherwise, which leaves the window's choice as it was.
    std::optional<Criteria> Find;
    // Set whenever the criteria are: off unless the document turns it on.
    std::optional<bool> AcrossFolders;
    std::optional<bool> FindFolders; // the same
    std::optional<Ignore> Ignores;
    // Every folder of the document, in order, with "$MyDocuments" resolved; unset when
    // the scan part was not read.
    std::optional<QStringList> Folders;

    QStringList IncludeFilters;
    QStringList ExcludeFilters;
    // The document's whole list; a document without one protects nothing.
    QStringList ProtectedFolders;
    // The rule is never empty (no rule is the trash), and only a rule with a folder of its
    // own keeps one.
    std::optional<Removal> Remove;
    // What depends on the switch is read only when it is on; an unknown format is "html".
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

// Reads the document at path into out the way the windows take it. On Incomplete, errorText
// says which value the windows need was missing, and out holds what was read before it.
Status Read(const QString& path, const Options& options, ProfileReadout& out, QString& errorText);

} // namespace ProfileReader
