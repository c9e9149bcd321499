#include "ProfileReader.h"

#include "ActionWords.h"

namespace ProfileReader {

namespace {

struct MissingValue {
    QString Text;
};

// A value the windows need as text: its absence ends the read where the windows met it.
void Need(const ProfileContents& c, const char* element, const char* attribute,
          qsizetype index = 0) {
    if (const ProfileIssue* missing = c.Lacking(element, attribute, index))
        throw MissingValue{missing->Text()};
}

void TakeScanPart(const ProfileContents& c, ProfileReadout& out) {
    out.IncludeSubFolder = c.IncludeSubFolder;
    if (c.Find) {
        ProfileReadout::Criteria& f = out.Find.emplace(*c.Find);
        f.MatchType.clear();
        if (f.Content) {
            Need(c, "findduplicates", "matchtype");
            if (c.Find->MatchType == u"crc" || c.Find->MatchType == u"md5")
                f.MatchType = c.Find->MatchType;
        }
        out.AcrossFolders = c.AcrossFolders;
        out.FindFolders = c.FindFolders;
    }
    out.Ignores = c.Ignores;
    QStringList& folders = out.Folders.emplace();
    for (qsizetype i = 0; i < c.Folders.size(); ++i) {
        Need(c, "folder", "path", i);
        folders << ProfileDocument::ResolveFolder(c.Folders[i]);
    }
}

void TakeActionPart(const ProfileContents& c, const Options& options, ProfileReadout& out) {
    out.IncludeFilters = c.IncludeFilters;
    out.ExcludeFilters = c.ExcludeFilters;
    for (const QString& folder : c.ProtectedFolders)
        if (!folder.isEmpty())
            out.ProtectedFolders << folder;
    if (c.Remove) {
        ProfileReadout::Removal& r = out.Remove.emplace();
        Need(c, "criteria", "delto");
        // A rule this version does not know is kept as written: never taken for the trash.
        r.DeleteTo = c.Remove->DeleteTo.isEmpty() ? QStringLiteral("recycle") : c.Remove->DeleteTo;
        if (ActionWords::HasFolder(ActionWords::MethodOf(r.DeleteTo)))
            Need(c, "criteria", "folder");
        if (ProfileDocument::RuleHasFolder(r.DeleteTo))
            r.Folder = c.Remove->Folder;
        r.DeleteEmptyFolder = c.Remove->DeleteEmptyFolder;
    }
    if (c.Copy) {
        ProfileReadout::SingleCopy& s = out.Copy.emplace();
        s.Create = c.Copy->Create;
        if (s.Create) {
            if (!options.SingleCopyAlwaysDuplicates)
                Need(c, "criteria", "copy");
            s.DuplicatesOnly = options.SingleCopyAlwaysDuplicates || c.Copy->DuplicatesOnly;
            Need(c, "criteria", "createin");
            s.Folder = c.Copy->Folder;
        }
    }
    if (c.Exports) {
        ProfileReadout::Export& e = out.Exports.emplace();
        e.DoExport = c.Exports->DoExport;
        if (e.DoExport) {
            Need(c, "exportreport", "location");
            e.Location = c.Exports->Location;
            Need(c, "exportreport", "format");
            const QString& f = c.Exports->Format;
            e.Format =
                ActionWords::FormatOf(f) == ReportFormat::Unknown ? QStringLiteral("html") : f;
        }
    }
}

} // namespace

Status Read(const QString& path, const Options& options, ProfileReadout& out, QString& errorText) {
    ProfileContents c;
    switch (ProfileDocument::Read(path, c)) {
    case ProfileDocument::Found::Missing:
        return Status::Missing;
    case ProfileDocument::Found::Unreadable:
        return Status::Unreadable;
    case ProfileDocument::Found::Read:
        break;
    }
    try {
        if (options.Part == Scope::Whole && !c.Empty)
            TakeScanPart(c, out);
        TakeActionPart(c, options, out);
    } catch (const MissingValue& missing) {
        errorText = missing.Text;
        return Status::Incomplete;
    }
    return Status::Read;
}

} // namespace ProfileReader
