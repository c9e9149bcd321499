#pragma once

#include <QString>
#include <vector>

// The catalogue "AllProfiles.xml" in the profile folder: the last run and status of every
// listed profile.
namespace Catalogue {

struct Entry {
    QString Name;
    QString LastRun; // empty when the profile never ran
    QString Status;  // "Never", "Success" or "Error"
};

QString CataloguePath();

// The entries in file order; 1, or 3 when the file cannot be read (entries left empty).
int ReadEntries(std::vector<Entry>& entries);
// Rewrites the whole catalogue in one step, without the entries whose profile document is
// gone; a failed save keeps the previous file.
int SaveEntries(const std::vector<Entry>& entries);

// Sets the last run and status of a profile, adding its entry when the catalogue has none
// and the profile has a document. Names compare exactly, as the file names they are. 1, or
// 3 when the profile has no document or the catalogue cannot be saved.
int UpdateProfile(const QString& profileName, const QString& status, const QString& lastRun);

} // namespace Catalogue
