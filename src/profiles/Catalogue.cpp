#include "Catalogue.h"

#include "app/AppError.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "app/modXML.h"

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

int UpdateProfile(const QString& profileName, const QString& status, const QString& lastRun) {
    std::vector<Entry> entries;
    // An unreadable catalogue is rebuilt rather than blocking the run's report; the
    // reader has already logged why.
    ReadEntries(entries);
    bool found = false;
    for (Entry& e : entries) {
        if (e.Name.compare(profileName, Qt::CaseInsensitive) == 0) {
            e.LastRun = lastRun;
            e.Status = status;
            found = true;
            break;
        }
    }
    if (!found)
        entries.push_back({profileName, lastRun, status});
    return SaveEntries(entries);
}

} // namespace Catalogue
