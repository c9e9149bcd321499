#include "ProfileDocument.h"

#include "app/AppError.h"
#include "app/modXML.h"

namespace ProfileDocument {

namespace {

using modXML::Element;
using modXML::XMLAttributeInfo;

QString S(const char* text) {
    return QString::fromLatin1(text);
}

bool IsTrue(const QString& text) {
    return text.toLower() == u"true";
}
bool IsYes(const QString& text) {
    return text.toLower() == u"yes";
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
    if (p.AcrossFolders) {
        modXML::XMLElementInfo& find = r.back();
        find.Attributes.push_back({S("across"), BoolText(true)});
        find.AttributeCount = int(find.Attributes.size());
    }
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
    // Every rule but the three without a folder keeps its folder, an unknown one included.
    const bool withFolder =
        p.DeleteTo != u"recycle" && p.DeleteTo != u"permanent" && p.DeleteTo != u"hardlink";
    r.push_back(Element(S("criteria"), S("removeoption"),
                        {{S("delto"), p.DeleteTo},
                         {S("folder"), withFolder ? p.RemoveFolder.trimmed() : QString()},
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

int Load(const QString& path, ProfileSettings& p) {
    modXML::Document doc;
    if (modXML::ReadProfile(path, doc) != Success)
        return Failed;
    const pugi::xml_node& d = doc.Dom();
    const auto attr = [](const pugi::xml_node& n, const char* name) {
        return modXML::AttributeText(n, QString::fromLatin1(name));
    };

    p.Folders.clear();
    for (const pugi::xml_node& n : modXML::SelectAll(d, S("//profileoption/folder")))
        p.Folders << attr(n, "path");
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/subfolder")))
        p.IncludeSubFolder = IsTrue(attr(n, "include"));
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/findduplicates"))) {
        p.MatchName = IsTrue(attr(n, "name"));
        p.MatchSize = IsTrue(attr(n, "size"));
        p.MatchCreate = IsTrue(attr(n, "create"));
        p.MatchModify = IsTrue(attr(n, "modify"));
        p.MatchContent = IsTrue(attr(n, "content"));
        const QString type = attr(n, "matchtype");
        if (p.MatchContent && (type == u"crc" || type == u"md5"))
            p.MatchType = type;
        p.AcrossFolders = IsTrue(attr(n, "across"));
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//profileoption/ignore"))) {
        p.IgnoreSystem = IsTrue(attr(n, "system"));
        p.IgnoreHidden = IsTrue(attr(n, "hidden"));
        p.IgnoreReadOnly = IsTrue(attr(n, "readonly"));
        p.IgnoreZeroByte = IsTrue(attr(n, "zerobyte"));
    }
    p.IncludeFilters.clear();
    for (const pugi::xml_node& n : modXML::SelectAll(d, S("//include/includefilter")))
        p.IncludeFilters << attr(n, "criteria");
    p.ExcludeFilters.clear();
    for (const pugi::xml_node& n : modXML::SelectAll(d, S("//exclude/excludefilter")))
        p.ExcludeFilters << attr(n, "criteria");

    p.ProtectedFolders.clear();
    for (const pugi::xml_node& n : modXML::SelectAll(d, S("//protect/protectedfolder")))
        if (const QString folder = attr(n, "path"); !folder.isEmpty())
            p.ProtectedFolders << folder;

    const pugi::xml_node remove = modXML::SelectFirst(d, S("//removeoption/criteria"));
    p.HasActions = bool(remove);
    if (remove) {
        // A rule this version does not know (a later one's, say) is kept as written, so
        // that nothing takes it for the trash and saving gives it back unchanged.
        const QString to = attr(remove, "delto");
        p.DeleteTo = to.isEmpty() ? S("recycle") : to;
        p.RemoveFolder =
            (p.DeleteTo == u"recycle" || p.DeleteTo == u"permanent" || p.DeleteTo == u"hardlink")
                ? QString()
                : attr(remove, "folder");
        p.DeleteEmptyFolder = IsYes(attr(remove, "deleteemptyfolder"));
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//singlecopy/criteria"))) {
        p.SingleCopyCreate = IsYes(attr(n, "create"));
        if (p.SingleCopyCreate) {
            p.SingleCopyDuplicatesOnly = attr(n, "copy").toLower() == u"duplicates";
            p.SingleCopyFolder = attr(n, "createin");
        }
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, S("//export/exportreport"))) {
        p.DoExport = IsYes(attr(n, "doexport"));
        if (p.DoExport) {
            p.ExportLocation = attr(n, "location");
            const QString f = attr(n, "format");
            p.ExportFormat = (f == u"text" || f == u"xml" || f == u"csv") ? f : S("html");
        }
    }
    return Success;
}

} // namespace ProfileDocument
