#include "Catalogue.h"

#include "app/AppError.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "app/modXML.h"

#include <QDir>
#include <QFile>

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

int SaveEntries(const std::vector<Entry>& entries) {
    std::vector<modXML::XMLElementInfo> records;
    records.reserve(entries.size());
    for (const Entry& e : entries)
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
        if (QFile::exists(modCommon::ProfileFolder + name + QStringLiteral(".xml")))
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
    auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.Name.compare(profileName, Qt::CaseInsensitive) == 0;
    });
    if (it == entries.end()) {
        // Only a profile that has a document gets a row.
        if (!QFile::exists(modCommon::ProfileFolder + profileName + QStringLiteral(".xml")))
            return Failed;
        it = entries.insert(entries.end(), {profileName, QString(), QString()});
    }
    it->LastRun = lastRun;
    it->Status = status;
    return SaveEntries(entries);
}

} // namespace Catalogue
