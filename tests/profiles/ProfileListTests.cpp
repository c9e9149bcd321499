#include "TestSupport.h"

#include "app/modCommon.h"
#include "app/modXML.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileList.h"
#include "profiles/RunRecord.h"

using namespace testing_support;

namespace {

void WriteDocument(const AppFolder& app, const QString& fileName) {
    Q_UNUSED(app);
    QFile f(modCommon::ProfileFolder + fileName);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<profile/>");
}

QStringList Names(const std::vector<ProfileList::Row>& rows) {
    QStringList names;
    for (const auto& r : rows)
        names << r.Name;
    return names;
}

} // namespace

TEST(ProfileList, ListsOnlyDocumentsWhoseNameLeadsBackToThem) {
    AppFolder app;
    for (const char* file :
         {"Photos.xml", "My.Profile.xml", "A.XML", "notes.txt", "AllProfiles.xml", "Music.xml.bak"})
        WriteDocument(app, QLatin1String(file));
    ASSERT_EQ(
        Catalogue::SaveEntries({{QStringLiteral("Photos"), QStringLiteral("2026-12-01 10:00:00"),
                                 QStringLiteral("Success")}}),
        1);
    int listed = 0;
    const auto rows = ProfileList::ListRows(listed);
    EXPECT_EQ(listed, 1);
    // My.Profile reads as "My", which has no document; an upper-case extension is not
    // a profile; "Music.xml.bak" reads as Music, which has none either; "Photos.old.xml"
    // reads as Photos, which is listed once.
    EXPECT_EQ(Names(rows), QStringList{QStringLiteral("Photos")});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].LastRun, QStringLiteral("2026-12-01 10:00:00"));
    EXPECT_EQ(rows[0].Status, QStringLiteral("Success"));
    EXPECT_FALSE(rows[0].LastModified.isEmpty());
}

TEST(ProfileList, CatalogueStateDecidesTheRunColumns) {
    AppFolder app;
    WriteDocument(app, QStringLiteral("Old.xml"));
    WriteDocument(app, QStringLiteral("New.xml"));
    ASSERT_EQ(
        Catalogue::SaveEntries({{QStringLiteral("Old"), QStringLiteral("2026-11-30 09:00:00"),
                                 QStringLiteral("Error")},
                                {QStringLiteral("Gone"), QStringLiteral("2026-11-01 09:00:00"),
                                 QStringLiteral("Success")}}),
        1);
    int listed = 0;
    auto rows = ProfileList::ListRows(listed);
    ASSERT_EQ(rows.size(), 2u);
    const auto& newRow = rows[size_t(ProfileList::FindRow(rows, QStringLiteral("new")))];
    EXPECT_EQ(newRow.LastRun, QString());
    EXPECT_EQ(newRow.Status, QStringLiteral("Never"));

    // A catalogue that cannot be read leaves both columns empty rather than "Never".
    QFile broken(Catalogue::CataloguePath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not xml at all <");
    broken.close();
    rows = ProfileList::ListRows(listed);
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows) {
        EXPECT_EQ(r.LastRun, QString());
        EXPECT_EQ(r.Status, QString());
    }
}

TEST(ProfileList, MergeKeepsTheLaterRunOfEitherSide) {
    AppFolder app;
    for (const char* file : {"A.xml", "B.xml", "C.xml", "Cli.xml"})
        WriteDocument(app, QLatin1String(file));
    const std::vector<ProfileList::Row> rows = {
        {QStringLiteral("A"), {}, QStringLiteral("2026-12-05 10:00:00"), QStringLiteral("Success")},
        {QStringLiteral("B"), {}, QStringLiteral("2026-12-05 10:00:00"), QStringLiteral("Success")},
        {QStringLiteral("C"), {}, QString(), QStringLiteral("Never")},
    };
    const std::vector<Catalogue::Entry> disk = {
        // Older than the window's run of A: the window wins.
        {QStringLiteral("A"), QStringLiteral("2026-12-04 23:59:59"), QStringLiteral("Error")},
        // The command line ran B later, and C for the first time (name in other case).
        {QStringLiteral("B"), QStringLiteral("2026-12-05 10:00:01"), QStringLiteral("Error")},
        {QStringLiteral("c"), QStringLiteral("2026-12-06 08:00:00"), QStringLiteral("Success")},
        // A profile the list never saw, with a document, and one whose document is gone.
        {QStringLiteral("Cli"), QStringLiteral("2026-12-06 09:00:00"), QStringLiteral("Success")},
        {QStringLiteral("Deleted"), QStringLiteral("2026-12-06 09:00:00"),
         QStringLiteral("Success")},
    };
    const auto merged = ProfileList::MergeForSave(rows, disk);
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_EQ(merged[0].Name, QStringLiteral("A"));
    EXPECT_EQ(merged[0].Status, QStringLiteral("Success"));
    EXPECT_EQ(merged[0].LastRun, QStringLiteral("2026-12-05 10:00:00"));
    EXPECT_EQ(merged[1].Status, QStringLiteral("Error"));
    EXPECT_EQ(merged[1].LastRun, QStringLiteral("2026-12-05 10:00:01"));
    EXPECT_EQ(merged[2].Name, QStringLiteral("C")); // the list's spelling stays
    EXPECT_EQ(merged[2].Status, QStringLiteral("Success"));
    EXPECT_EQ(merged[3].Name, QStringLiteral("Cli"));
}

TEST(ProfileList, SavingAnEmptyListLeavesTheCatalogueAlone) {
    AppFolder app;
    WriteDocument(app, QStringLiteral("Kept.xml"));
    ASSERT_EQ(
        Catalogue::SaveEntries({{QStringLiteral("Kept"), QStringLiteral("2026-12-01 10:00:00"),
                                 QStringLiteral("Success")}}),
        1);
    QFile f(Catalogue::CataloguePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    EXPECT_EQ(ProfileList::SaveRows({}), 1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(ProfileList, LastRunColumnNarrowsFromTwentyRows) {
    EXPECT_DOUBLE_EQ(ProfileList::LastRunColumnTwips(0), 1400.0);
    EXPECT_DOUBLE_EQ(ProfileList::LastRunColumnTwips(19), 1400.0);
    EXPECT_NEAR(ProfileList::LastRunColumnTwips(20), 1150.189, 1e-4);
    EXPECT_NEAR(ProfileList::LastRunColumnTwips(500), 1150.189, 1e-4);
}

// The window and the command line end a scan through the same record: statistics, run log
// and catalogue row for a success; only the catalogue row for a failure.
TEST(RecordRun, ASuccessWritesItsRunLogAFailureOnlyItsCatalogueRow) {
    AppFolder app;
    WriteDocument(app, QStringLiteral("P.xml"));
    modLog::ResetRunStats();
    const RecordedRun ok = RecordRun(QStringLiteral("P"), {true, 9, 2, 0});
    EXPECT_EQ(ok.Status, QStringLiteral("Success"));
    EXPECT_TRUE(ok.RunLogWritten);
    EXPECT_EQ(modLog::RunStats.FilesProcessed, 9);
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 2);
    EXPECT_EQ(modLog::RunStats.TimeTaken, QStringLiteral("1")) << "never less than a second";
    EXPECT_EQ(modLog::RunStats.EndedAt, ok.LastRun);
    const QString log = modCommon::LogPath + QStringLiteral("P.log");
    EXPECT_TRUE(QFile::exists(log));
    const auto row = [](const QString& name) {
        std::vector<Catalogue::Entry> entries;
        Catalogue::ReadEntries(entries);
        for (const Catalogue::Entry& e : entries)
            if (e.Name == name)
                return e.Status + u' ' + e.LastRun;
        return QStringLiteral("(none)");
    };
    EXPECT_EQ(row(QStringLiteral("P")), QStringLiteral("Success ") + ok.LastRun);

    QFile::remove(log);
    modLog::RunStats.EndedAt = QStringLiteral("before");
    const RecordedRun failed = RecordRun(QStringLiteral("P"), {false, 3, 0, 5});
    EXPECT_EQ(failed.Status, QStringLiteral("Error"));
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_EQ(modLog::RunStats.EndedAt, QStringLiteral("before"));
    EXPECT_EQ(row(QStringLiteral("P")), QStringLiteral("Error ") + failed.LastRun);
    // A profile without a document keeps no row.
    RecordRun(QStringLiteral("Gone"), {false, 0, 0, 1});
    EXPECT_EQ(row(QStringLiteral("Gone")), QStringLiteral("(none)"));
}
