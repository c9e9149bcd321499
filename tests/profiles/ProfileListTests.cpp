// The profile list beside the catalogue of runs: which documents it lists, what it shows of
// their runs, and how a save merges with runs recorded meanwhile by the command line.

#include "TestSupport.h"

#include "app/modCommon.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileList.h"
#include "profiles/RunRecord.h"

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

void WriteDocuments(const QStringList& fileNames) {
    for (const QString& name : fileNames)
        WriteFile(modCommon::ProfileFolder + name, "<profile/>");
}

// Each row or catalogue entry as "name last-run status".
template <class Row> QStringList Texts(const std::vector<Row>& rows) {
    QStringList texts;
    for (const Row& r : rows)
        texts << (r.Name + u' ' + r.LastRun + u' ' + r.Status).trimmed();
    return texts;
}

} // namespace

TEST(ProfileList, ListsOnlyDocumentsWhoseNameLeadsBackToThem) {
    AppFolder app;
    // "My.Profile" reads as "My", which has no document; an upper-case extension is no
    // profile; "Music.xml.bak" reads as Music, which has none either.
    WriteDocuments({u"Photos.xml"_s, u"My.Profile.xml"_s, u"A.XML"_s, u"notes.txt"_s,
                    u"AllProfiles.xml"_s, u"Music.xml.bak"_s});
    ASSERT_EQ(Catalogue::SaveEntries({{u"Photos"_s, u"2026-12-01 10:00:00"_s, u"Success"_s}}), 1);
    int listed = 0;
    const auto rows = ProfileList::ListRows(listed);
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(Texts(rows), QStringList{u"Photos 2026-12-01 10:00:00 Success"_s});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].LastModified.isEmpty());
}

TEST(ProfileList, CatalogueStateDecidesTheRunColumns) {
    AppFolder app;
    WriteDocuments({u"Old.xml"_s, u"New.xml"_s});
    ASSERT_EQ(Catalogue::SaveEntries({{u"Old"_s, u"2026-11-30 09:00:00"_s, u"Error"_s},
                                      {u"Gone"_s, u"2026-11-01 09:00:00"_s, u"Success"_s}}),
              1);
    int listed = 0;
    auto rows = ProfileList::ListRows(listed);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Texts(std::vector{rows[size_t(ProfileList::FindRow(rows, u"new"_s))]}),
              QStringList{u"New  Never"_s});

    // A catalogue that cannot be read leaves both columns empty rather than "Never".
    WriteFile(Catalogue::CataloguePath(), "not xml at all <");
    // Whatever order the folder gives, the list is in the names' order, case aside.
    WriteDocuments({u"zeta.xml"_s, u"Alpha.xml"_s, u"beta.xml"_s});
    rows = ProfileList::ListRows(listed);
    EXPECT_EQ(Texts(rows), (QStringList{u"Alpha"_s, u"beta"_s, u"New"_s, u"Old"_s, u"zeta"_s}));

    // Saving an empty list leaves the catalogue alone.
    EXPECT_EQ(ProfileList::SaveRows({}), 1);
    EXPECT_EQ(ReadFile(Catalogue::CataloguePath()), QByteArray("not xml at all <"));
}

TEST(ProfileList, MergeKeepsTheLaterRunOfEitherSide) {
    AppFolder app;
    WriteDocuments({u"A.xml"_s, u"B.xml"_s, u"C.xml"_s, u"Cli.xml"_s});
    const std::vector<ProfileList::Row> rows = {
        {u"A"_s, {}, u"2026-12-05 10:00:00"_s, u"Success"_s},
        {u"B"_s, {}, u"2026-12-05 10:00:00"_s, u"Success"_s},
        {u"C"_s, {}, QString(), u"Never"_s},
    };
    const std::vector<Catalogue::Entry> disk = {
        // Older than the window's run of A: the window wins.
        {u"A"_s, u"2026-12-04 23:59:59"_s, u"Error"_s},
        // The command line ran B later, and C for the first time (name in other case).
        {u"B"_s, u"2026-12-05 10:00:01"_s, u"Error"_s},
        {u"c"_s, u"2026-12-06 08:00:00"_s, u"Success"_s},
        // A profile the list never saw, with a document, and one whose document is gone.
        {u"Cli"_s, u"2026-12-06 09:00:00"_s, u"Success"_s},
        {u"Deleted"_s, u"2026-12-06 09:00:00"_s, u"Success"_s},
    };
    // The list's spelling of C stays.
    EXPECT_EQ(
        Texts(ProfileList::MergeForSave(rows, disk)),
        (QStringList{u"A 2026-12-05 10:00:00 Success"_s, u"B 2026-12-05 10:00:01 Error"_s,
                     u"C 2026-12-06 08:00:00 Success"_s, u"Cli 2026-12-06 09:00:00 Success"_s}));
}

// The window and the command line end a scan through the same record: statistics, run log
// and catalogue row for a success; only the catalogue row for a failure.
TEST(RecordRun, ASuccessWritesItsRunLogAFailureOnlyItsCatalogueRow) {
    AppFolder app;
    WriteDocuments({u"P.xml"_s});
    const RecordedRun ok = RecordRun(u"P"_s, {true, 9, 2, 0});
    EXPECT_EQ(ok.Status, u"Success"_s);
    EXPECT_TRUE(ok.RunLogWritten);
    EXPECT_EQ(modLog::RunStats.FilesProcessed, 9);
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 2);
    EXPECT_EQ(modLog::RunStats.TimeTaken, u"1"_s) << "never less than a second";
    EXPECT_EQ(modLog::RunStats.EndedAt, ok.LastRun);
    const QString log = modCommon::LogPath + u"P.log"_s;
    EXPECT_TRUE(QFile::exists(log));
    const auto rows = [] {
        std::vector<Catalogue::Entry> entries;
        EXPECT_EQ(Catalogue::ReadEntries(entries), 1);
        return Texts(entries);
    };
    EXPECT_EQ(rows(), QStringList{u"P "_s + ok.LastRun + u" Success"_s});

    QFile::remove(log);
    modLog::RunStats.EndedAt = u"before"_s;
    const RecordedRun failed = RecordRun(u"P"_s, {false, 3, 0, 5});
    EXPECT_EQ(failed.Status, u"Error"_s);
    EXPECT_FALSE(QFile::exists(log));
    EXPECT_EQ(modLog::RunStats.EndedAt, u"before"_s);
    // A profile without a document keeps no row.
    RecordRun(u"Gone"_s, {false, 0, 0, 1});
    EXPECT_EQ(rows(), QStringList{u"P "_s + failed.LastRun + u" Error"_s});
}
