#include "ProfileReader.h"

#include "app/modAPI.h"
#include "app/modXML.h"

namespace ProfileReader {

namespace {

struct MissingValue {
    QString Text;
};

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

bool IsTrue(const pugi::xml_node& n, const char* name) {
    return modXML::AttributeText(n, Q(name)).toLower() == u"true";
}
bool IsYes(const pugi::xml_node& n, const char* name) {
    return modXML::AttributeText(n, Q(name)).toLower() == u"yes";
}
// A value the reader needs as text: its absence ends the read.
QString Needed(const pugi::xml_node& n, const char* name) {
    if (const auto value = modXML::Attribute(n, Q(name)))
        return *value;
    throw MissingValue{QStringLiteral("The attribute \"%1\" of \"%2\" is missing")
                           .arg(Q(name), QString::fromUtf8(n.name()))};
}

void ReadScanPart(const pugi::xml_node& d, ProfileReadout& out) {
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//profileoption/subfolder")))
        out.IncludeSubFolder = IsTrue(n, "include");
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//profileoption/findduplicates"))) {
        ProfileReadout::Criteria& c = out.Find.emplace();
        c.Name = IsTrue(n, "name");
        c.Size = IsTrue(n, "size");
        c.Create = IsTrue(n, "create");
        c.Modify = IsTrue(n, "modify");
        c.Content = IsTrue(n, "content");
        if (c.Content) {
            const QString type = Needed(n, "matchtype");
            if (type == u"crc" || type == u"md5")
                c.MatchType = type;
        }
        out.AcrossFolders = IsTrue(n, "across");
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//profileoption/ignore"))) {
        ProfileReadout::Ignore& i = out.Ignores.emplace();
        i.System = IsTrue(n, "system");
        i.Hidden = IsTrue(n, "hidden");
        i.ReadOnly = IsTrue(n, "readonly");
        i.ZeroByte = IsTrue(n, "zerobyte");
    }
    QStringList& folders = out.Folders.emplace();
    for (const pugi::xml_node& n : modXML::SelectAll(d, Q("//profileoption/folder")))
        folders << ResolveFolder(Needed(n, "path"));
}

void ReadActionPart(const pugi::xml_node& d, const Options& options, ProfileReadout& out) {
    for (const pugi::xml_node& n : modXML::SelectAll(d, Q("//include/includefilter")))
        out.IncludeFilters << modXML::AttributeText(n, Q("criteria"));
    for (const pugi::xml_node& n : modXML::SelectAll(d, Q("//exclude/excludefilter")))
        out.ExcludeFilters << modXML::AttributeText(n, Q("criteria"));
    for (const pugi::xml_node& n : modXML::SelectAll(d, Q("//protect/protectedfolder")))
        if (const QString folder = modXML::AttributeText(n, Q("path")); !folder.isEmpty())
            out.ProtectedFolders << folder;
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//removeoption/criteria"))) {
        ProfileReadout::Removal& r = out.Remove.emplace();
        // A rule this version does not know is kept as written: never taken for the trash.
        const QString to = Needed(n, "delto");
        r.DeleteTo = to.isEmpty() ? Q("recycle") : to;
        if (r.DeleteTo == u"zip" || r.DeleteTo == u"move")
            r.Folder = Needed(n, "folder");
        else if (r.DeleteTo != u"recycle" && r.DeleteTo != u"permanent" &&
                 r.DeleteTo != u"hardlink")
            r.Folder = modXML::AttributeText(n, Q("folder"));
        r.DeleteEmptyFolder = IsYes(n, "deleteemptyfolder");
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//singlecopy/criteria"))) {
        ProfileReadout::SingleCopy& s = out.Copy.emplace();
        s.Create = IsYes(n, "create");
        if (s.Create) {
            s.DuplicatesOnly =
                options.SingleCopyAlwaysDuplicates || Needed(n, "copy").toLower() == u"duplicates";
            s.Folder = Needed(n, "createin");
        }
    }
    if (const pugi::xml_node n = modXML::SelectFirst(d, Q("//export/exportreport"))) {
        ProfileReadout::Export& e = out.Exports.emplace();
        e.DoExport = IsYes(n, "doexport");
        if (e.DoExport) {
            e.Location = Needed(n, "location");
            const QString f = Needed(n, "format");
            e.Format = (f == u"text" || f == u"xml" || f == u"csv") ? f : Q("html");
        }
    }
}

} // namespace

QString ResolveFolder(const QString& path) {
    if (path != u"$MyDocuments")
        return path;
    QString documents = path;
    modAPI::MyGetSpecialFolderPath(5, documents);
    return documents;
}

Status Read(const QString& path, const Options& options, ProfileReadout& out, QString& errorText) {
    bool exists = false;
    modAPI::MyPathFileExists(path, exists);
    if (!exists)
        return Status::Missing;
    modXML::Document doc;
    if (modXML::ReadProfile(path, doc) != 1)
        return Status::Unreadable;
    try {
        const pugi::xml_node& d = doc.Dom();
        if (options.Part == Scope::Whole && doc.HasChildNodes())
            ReadScanPart(d, out);
        ReadActionPart(d, options, out);
    } catch (const MissingValue& missing) {
        errorText = missing.Text;
        return Status::Incomplete;
    }
    return Status::Read;
}

} // namespace ProfileReader
