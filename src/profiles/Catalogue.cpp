#include "Catalogue.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "app/modXML.h"

#include <QDir>

#include <algorithm>

namespace Catalogue {

QString CataloguePath() {
    return modCommon::ProfileFolder + QStringLiteral("AllProfiles.xml");
}

int ReadEntries(std::vector<Entry>& entries) {
    entries.clear();
    modXML::Document doc;
    if (modXML::ReadProfile(CataloguePath(), doc) != Success)
        return Failed;
    for (const pugi::xml_node& n :
         modXML::SelectAll(doc.Dom(), QStringLiteral("//profiles/profile")))
        entries.push_back({modXML::AttributeText(n, QStringLiteral("name")),
                           modXML::AttributeText(n, QStringLiteral("lastrun")),
                           modXML::AttributeText(n, QStringLiteral("status"))});
    return Success;
}

namespace {

bool HasDocument(const QString& profileName) {
    bool exists = false;
    modAPI::MyPathFileExists(modCommon::ProfileFolder + profileName + QStringLiteral(".xml"),
                             exists);
    return exists;
}

} // namespace

int SaveEntries(const std::vector<Entry>& entries) {
    std::vector<modXML::XMLElementInfo> records;
    records.reserve(entries.size());
    for (const Entry& e : entries)
        // A profile deleted behind the list's back must not come back as a row.
        if (HasDocument(e.Name))
            records.push_back(modXML::Element(QStringLiteral("profile"), QStringLiteral("profiles"),
                                              {{QStringLiteral("name"), e.Name},
                                               {QStringLiteral("lastrun"), e.LastRun},
                                               {QStringLiteral("status"), e.Status}}));
    return modXML::WriteXML(QStringLiteral("profiles"), records, CataloguePath());
}

namespace {

// The entries a fresh listing of the profile folder gives: every profile document, with
// no last run and no status, as the profile list shows them when the catalogue is lost.
std::vector<Entry> EntriesFromDocuments() {
    std::vector<Entry> entries;
    const QStringList files = QDir(modCommon::ProfileFolder)
                                  .entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (file == u"AllProfiles.xml")
            continue;
        const QString name = file.left(file.indexOf(u'.'));
        if (HasDocument(name))
            entries.push_back({name, QString(), QString()});
    }
    return entries;
}

} // namespace

int UpdateProfile(const QString& profileName, const QString& status, const QString& lastRun) {
    std::vector<Entry> entries;
    // An unreadable catalogue (the reader has logged why) is rebuilt from the profile
    // documents, so the other profiles keep their rows, without their lost run facts.
    if (ReadEntries(entries) != Success)
        entries = EntriesFromDocuments();
    // Profile names are file names, and on Linux "Photos" and "photos" are two documents:
    // each keeps its own row and its own run facts.
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.Name == profileName; });
    if (it == entries.end()) {
        // Only a profile that has a document gets a row.
        if (!HasDocument(profileName))
            return Failed;
        it = entries.insert(entries.end(), {profileName, QString(), QString()});
    }
    it->LastRun = lastRun;
    it->Status = status;
    return SaveEntries(entries);
}

} // namespace Catalogue
