#include "ProfileDocument.h"

#include "ActionWords.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modXML.h"

#include <initializer_list>

QString ProfileIssue::Text() const {
    if (What == Kind::Missing)
        return QStringLiteral("The attribute \"%1\" of \"%2\" is missing").arg(Attribute, Element);
    return QStringLiteral("The value \"%1\" of the attribute \"%2\" of \"%3\" is not understood")
        .arg(Value, Attribute, Element);
}

const ProfileIssue* ProfileContents::Lacking(const char* element, const char* attribute,
                                             qsizetype index) const {
    for (const ProfileIssue& issue : Issues)
        if (issue.What == ProfileIssue::Kind::Missing && issue.Index == index &&
            issue.Element == QLatin1String(element) && issue.Attribute == QLatin1String(attribute))
            return &issue;
    return nullptr;
}

namespace ProfileDocument {

namespace {

using modXML::Element;

QString S(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

QString BoolText(bool value) {
    return value ? S("True") : S("False");
}
QString YesNo(bool value) {
    return value ? S("yes") : S("no");
}

std::vector<modXML::XMLElementInfo> BuildRecords(const ProfileSettings& p) {
    std::vector<modXML::XMLElementInfo> r;
    const QString option = S("profileoption");
    for (const QString& folder : p.Folders)
        r.push_back(Element(S("folder"), option, {{S("path"), folder.trimmed()}}));
    r.push_back(Element(S("subfolder"), option, {{S("include"), BoolText(p.IncludeSubFolder)}}));
    r.push_back(Element(S("findduplicates"), option,
                        {{S("name"), BoolText(p.MatchName)},
                         {S("size"), BoolText(p.MatchSize)},
                         {S("create"), BoolText(p.MatchCreate)},
                         {S("modify"), BoolText(p.MatchModify)},
                         {S("content"), BoolText(p.MatchContent)},
                         {S("matchtype"), p.MatchContent ? p.MatchType : QString()}}));
    // Written only when on, so a document that never asked for it keeps its bytes.
    const auto addToFind = [&r](const QString& name) {
        modXML::XMLElementInfo& find = r.back();
        find.Attributes.push_back({name, BoolText(true)});
        find.AttributeCount = int(find.Attributes.size());
    };
    if (p.AcrossFolders)
        addToFind(S("across"));
    if (p.FindFolders)
        addToFind(S("folders"));
    r.push_back(Element(S("ignore"), option,
                        {{S("system"), BoolText(p.IgnoreSystem)},
                         {S("hidden"), BoolText(p.IgnoreHidden)},
                         {S("readonly"), BoolText(p.IgnoreReadOnly)},
                         {S("zerobyte"), BoolText(p.IgnoreZeroByte)}}));
    // Last, and only when there is one: a document that protects nothing keeps its bytes.
    // The paths are kept exactly, blanks included: a trimmed path would protect another
    // folder.
    const auto protect = [&p](std::vector<modXML::XMLElementInfo>& records) {
        for (const QString& folder : p.ProtectedFolders)
            records.push_back(Element(S("protectedfolder"), S("protect"), {{S("path"), folder}}));
    };
    if (!p.HasActions) {
        protect(r);
        return r;
    }
    for (const QString& f : p.IncludeFilters)
        r.push_back(Element(S("includefilter"), S("include"), {{S("criteria"), f.trimmed()}}));
    for (const QString& f : p.ExcludeFilters)
        r.push_back(Element(S("excludefilter"), S("exclude"), {{S("criteria"), f.trimmed()}}));
    r.push_back(
        Element(S("criteria"), S("removeoption"),
                {{S("delto"), p.DeleteTo},
                 {S("folder"), RuleHasFolder(p.DeleteTo) ? p.RemoveFolder.trimmed() : QString()},
                 {S("deleteemptyfolder"), YesNo(p.DeleteEmptyFolder)}}));
    r.push_back(Element(S("criteria"), S("singlecopy"),
                        {{S("create"), YesNo(p.SingleCopyCreate)},
                         {S("copy"), p.SingleCopyDuplicatesOnly ? S("duplicates") : QString()},
                         {S("createin"), p.SingleCopyFolder.trimmed()}}));
    r.push_back(Element(S("exportreport"), S("export"),
                        {{S("doexport"), YesNo(p.DoExport)},
                         {S("location"), p.DoExport ? p.ExportLocation.trimmed() : QString()},
                         {S("format"), p.DoExport ? p.ExportFormat : QString()}}));
    protect(r);
    return r;
}

int Save(const QString& path, const ProfileSettings& settings) {
    return modXML::WriteXML(S("echofind"), BuildRecords(settings), path);
}

namespace {

// Reads the elements of a document, listing what it lacks or does not make sense of.
class Reader {
public:
    explicit Reader(ProfileContents& out) : m_out(out) {}

    // A switch written as "True"/"False" or "yes"/"no", in any letter case.
    bool Switch(const pugi::xml_node& n, const char* name, const char* on, const char* off) {
        const std::optional<QString> value = Value(n, name);
        if (!value)
            return false;
        if (value->compare(QLatin1String(on), Qt::CaseInsensitive) == 0)
            return true;
        if (value->compare(QLatin1String(off), Qt::CaseInsensitive) != 0)
            NotUnderstood(n, name, *value);
        return false;
    }
    bool TrueFalse(const pugi::xml_node& n, const char* name) {
        return Switch(n, name, "true", "false");
    }
    bool YesNo(const pugi::xml_node& n, const char* name) { return Switch(n, name, "yes", "no"); }

    QString Text(const pugi::xml_node& n, const char* name, qsizetype index = 0) {
        return Value(n, name, index).value_or(QString());
    }

    // One of the words given, in lower case; any other text as written, listed as not
    // understood when the document depends on it.
    QString Word(const pugi::xml_node& n, const char* name,
                 std::initializer_list<const char*> words, bool used) {
        const std::optional<QString> value = Value(n, name);
        if (!value)
            return {};
        for (const char* word : words)
            if (value->compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
                return QString::fromLatin1(word);
        if (used)
            NotUnderstood(n, name, *value);
        return *value;
    }

    QStringList All(const pugi::xml_node& d, const char* query, const char* name) {
        QStringList values;
        for (const pugi::xml_node& n : modXML::SelectAll(d, S(query)))
            values << Text(n, name, values.size());
        return values;
    }

    void NotUnderstood(const pugi::xml_node& n, const char* name, const QString& value) {
        m_out.Issues.push_back(
            {ProfileIssue::Kind::NotUnderstood, QString::fromUtf8(n.name()), S(name), 0, value});
    }

private:
    std::optional<QString> Value(const pugi::xml_node& n, const char* name, qsizetype index = 0) {
        std::optional<QString> value = modXML::Attribute(n, S(name));
        if (!value)
            m_out.Issues.push_back(
                {ProfileIssue::Kind::Missing, QString::fromUtf8(n.name()), S(name), index, {}});
        return value;
    }

    ProfileContents& m_out;
};

void ReadScanPart(const pugi::xml_node& d, Reader& read, ProfileContents& c) {
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/subfolder")))
        c.IncludeSubFolder = read.TrueFalse(n, "include");
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/findduplicates"))) {
        ProfileContents::Criteria& f = c.Find.emplace();
        f.Name = read.TrueFalse(n, "name");
        f.Size = read.TrueFalse(n, "size");
        f.Create = read.TrueFalse(n, "create");
        f.Modify = read.TrueFalse(n, "modify");
        f.Content = read.TrueFalse(n, "content");
        f.MatchType = read.Word(n, "matchtype", {"crc", "md5"}, f.Content);
        if (modXML::Attribute(n, S("across")))
            c.AcrossFolders = read.TrueFalse(n, "across");
        // Older documents lack it, and so stay with groups of files.
        if (modXML::Attribute(n, S("folders")))
            c.FindFolders = read.TrueFalse(n, "folders");
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/ignore"))) {
        // In the order the scan has always checked them, so that a document damaged in two
        // places is refused for the same one as before.
        ProfileContents::Ignore& i = c.Ignores.emplace();
        i.Hidden = read.TrueFalse(n, "hidden");
        i.ReadOnly = read.TrueFalse(n, "readonly");
        i.System = read.TrueFalse(n, "system");
        i.ZeroByte = read.TrueFalse(n, "zerobyte");
    }
    c.Folders = read.All(d, "//profileoption/folder", "path");
}

void ReadActionPart(const pugi::xml_node& d, Reader& read, ProfileContents& c) {
    c.IncludeFilters = read.All(d, "//include/includefilter", "criteria");
    c.ExcludeFilters = read.All(d, "//exclude/excludefilter", "criteria");
    c.ProtectedFolders = read.All(d, "//protect/protectedfolder", "path");
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//removeoption/criteria"))) {
        ProfileContents::Removal& r = c.Remove.emplace();
        r.DeleteTo = read.Text(n, "delto");
        if (!KnownRemoveRule(r.DeleteTo))
            read.NotUnderstood(n, "delto", r.DeleteTo);
        r.Folder = read.Text(n, "folder");
        r.DeleteEmptyFolder = read.YesNo(n, "deleteemptyfolder");
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//singlecopy/criteria"))) {
        ProfileContents::SingleCopy& s = c.Copy.emplace();
        s.Create = read.YesNo(n, "create");
        s.DuplicatesOnly = read.Word(n, "copy", {"duplicates", ""}, true) == u"duplicates";
        s.Folder = read.Text(n, "createin");
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//export/exportreport"))) {
        ProfileContents::Export& e = c.Exports.emplace();
        e.DoExport = read.YesNo(n, "doexport");
        e.Location = read.Text(n, "location");
        e.Format = read.Word(n, "format", {"text", "html", "xml", "csv"}, e.DoExport);
    }
}

} // namespace

Found Read(const QString& path, ProfileContents& c) {
    bool exists = false;
    modAPI::MyPathFileExists(path, exists);
    if (!exists)
        return Found::Missing;
    modXML::Document doc;
    if (modXML::ReadProfile(path, doc) != Success)
        return Found::Unreadable;
    c = ProfileContents();
    c.Empty = !doc.HasChildNodes();
    Reader read(c);
    ReadScanPart(doc.Dom(), read, c);
    ReadActionPart(doc.Dom(), read, c);
    return Found::Read;
}

int Load(const QString& path, ProfileSettings& p) {
    ProfileContents c;
    if (Read(path, c) != Found::Read)
        return Failed;
    p.Folders = c.Folders;
    if (c.IncludeSubFolder)
        p.IncludeSubFolder = *c.IncludeSubFolder;
    if (c.Find) {
        p.MatchName = c.Find->Name;
        p.MatchSize = c.Find->Size;
        p.MatchCreate = c.Find->Create;
        p.MatchModify = c.Find->Modify;
        p.MatchContent = c.Find->Content;
        if (p.MatchContent && (c.Find->MatchType == u"crc" || c.Find->MatchType == u"md5"))
            p.MatchType = c.Find->MatchType;
        p.AcrossFolders = c.AcrossFolders;
        p.FindFolders = c.FindFolders;
    }
    if (c.Ignores) {
        p.IgnoreSystem = c.Ignores->System;
        p.IgnoreHidden = c.Ignores->Hidden;
        p.IgnoreReadOnly = c.Ignores->ReadOnly;
        p.IgnoreZeroByte = c.Ignores->ZeroByte;
    }
    p.IncludeFilters = c.IncludeFilters;
    p.ExcludeFilters = c.ExcludeFilters;
    p.ProtectedFolders.clear();
    for (const QString& folder : c.ProtectedFolders)
        if (!folder.isEmpty())
            p.ProtectedFolders << folder;

    p.HasActions = c.Remove.has_value();
    if (c.Remove) {
        // A rule this version does not know (a later one's, say) is kept as written, so
        // that nothing takes it for the trash and saving gives it back unchanged.
        p.DeleteTo = c.Remove->DeleteTo.isEmpty() ? S("recycle") : c.Remove->DeleteTo;
        p.RemoveFolder = RuleHasFolder(p.DeleteTo) ? c.Remove->Folder : QString();
        p.DeleteEmptyFolder = c.Remove->DeleteEmptyFolder;
    }
    if (c.Copy) {
        p.SingleCopyCreate = c.Copy->Create;
        if (p.SingleCopyCreate) {
            p.SingleCopyDuplicatesOnly = c.Copy->DuplicatesOnly;
            p.SingleCopyFolder = c.Copy->Folder;
        }
    }
    if (c.Exports) {
        p.DoExport = c.Exports->DoExport;
        if (p.DoExport) {
            p.ExportLocation = c.Exports->Location;
            const QString& f = c.Exports->Format;
            p.ExportFormat = ActionWords::FormatOf(f) == ReportFormat::Unknown ? S("html") : f;
        }
    }
    return Success;
}

QString ResolveFolder(const QString& path) {
    if (path != u"$MyDocuments")
        return path;
    QString documents = path;
    modAPI::MyGetSpecialFolderPath(5, documents);
    return documents;
}

bool KnownRemoveRule(const QString& deleteTo) {
    return ActionWords::MethodOf(deleteTo) != RemoveMethod::Unknown;
}

bool RuleHasFolder(const QString& deleteTo) {
    const RemoveMethod m = ActionWords::MethodOf(deleteTo);
    return ActionWords::HasFolder(m) || m == RemoveMethod::Unknown;
}

} // namespace ProfileDocument
