// Groups across folders: only groups whose files lie under two or more scanned folders are
// kept, each file counting for the deepest scanned folder that holds it, before anything
// reaches the sink; also when a profile asks for it. The filter works on the list the scan
// made, whichever way its signatures came.

#include "EngineFixtures.h"

#include "app/modLog.h"
#include "profiles/ProfileDocument.h"

using namespace engine_test;

namespace {

class Across : public EngineTest {
protected:
    RecordingSink ScanAcross(const QStringList& folders, bool across) {
        clsFindFile scan;
        ContentScan(scan, u"crc"_s);
        scan.AcrossFolders = across;
        return Scan(scan, folders);
    }
};

} // namespace

TEST_F(Across, OnlyGroupsSpanningTwoFoldersReachTheSinkWithTheirOwnCounts) {
    t.CreateCopies("in both folders", {"camera/both.jpg", "archive/2020/both.jpg"});
    t.CreateCopies("only in the camera", {"camera/burst1.jpg", "camera/sub/burst2.jpg"});
    t.CreateCopies("three copies",
                   {"camera/three-a.jpg", "camera/three-b.jpg", "archive/three.jpg"});
    t.CreateCopies("only archived", {"archive/old1.jpg", "archive/old2.jpg"});
    const QStringList folders{P(u"camera"_s), P(u"archive"_s)};

    EXPECT_EQ(ScanAcross(folders, false).Paths.size(), 4u) << "without the option every group";
    const RecordingSink sink = ScanAcross(folders, true);
    // A group that spans the folders is kept whole, its copies within one folder included;
    // groups come smallest size first.
    EXPECT_EQ(Rel(sink.Paths),
              (Groups{{u"archive/three.jpg"_s, u"camera/three-a.jpg"_s, u"camera/three-b.jpg"_s},
                      {u"archive/2020/both.jpg"_s, u"camera/both.jpg"_s}}));
    const qint64 both = qint64(QByteArray("in both folders").size());
    const qint64 three = qint64(QByteArray("three copies").size());
    EXPECT_EQ(sink.Calls.filter(u"Update"_s),
              (QStringList{u"UpdateHeadTotal 1 %1"_s.arg(3 * three), u"UpdateHeader 1 3"_s,
                           u"UpdateHeadTotal 5 %1"_s.arg(2 * both), u"UpdateHeader 5 2"_s}));
    EXPECT_EQ(modLog::RunStats.DuplicatesFound, 2);
}

// With /a and /a/b both scanned, a file in /a/b counts for /a/b whichever walk met it first.
TEST_F(Across, NestedFoldersCountForTheDeepestScannedFolder) {
    t.CreateCopies("x: top and nested", {"a/x.dat", "a/b/x.dat"});
    t.CreateCopies("y: nested only", {"a/b/y1.dat", "a/b/deeper/y2.dat"});
    t.CreateCopies("z: top only", {"a/c/z1.dat", "a/z2.dat"});
    t.CreateCopies("w: a sibling whose name starts alike", {"ab/w.dat", "a/w.dat"});
    const Groups expected{{u"a/x.dat"_s, u"a/b/x.dat"_s}, {u"a/w.dat"_s, u"ab/w.dat"_s}};
    for (const QStringList& folders :
         {QStringList{P(u"a"_s), P(u"a/b"_s), P(u"ab"_s)},
          QStringList{P(u"a/b/"_s), P(u"a/"_s), P(u"ab"_s), P(u"a"_s)}}) {
        EXPECT_EQ(Rel(ScanAcross(folders, true).Paths), expected)
            << folders.join(u' ').toStdString();
    }
    // One folder alone never spans two.
    EXPECT_TRUE(ScanAcross({P(u"a"_s)}, true).Paths.empty());
}

TEST_F(Across, AProfileTurnsItOnButNeverOff) {
    t.CreateCopies("spans", {"p/one/a.txt", "p/two/a.txt"});
    t.CreateCopies("stays home", {"p/one/b.txt", "p/one/c.txt"});
    for (const auto& [inDocument, preset, groups] :
         {std::tuple{false, false, 2u}, std::tuple{true, false, 1u}, std::tuple{false, true, 1u},
          std::tuple{true, true, 1u}}) {
        ProfileSettings settings = ContentProfile({P(u"p/one"_s), P(u"p/two"_s)}, u"md5"_s);
        settings.AcrossFolders = inDocument;
        ASSERT_EQ(ProfileDocument::Save(P(u"prof.xml"_s), settings), 1);
        clsFindFile scan;
        scan.AcrossFolders = preset;
        FileList list;
        int status = 0;
        scan.ExecuteProfile(P(u"prof.xml"_s), list, status);
        ASSERT_EQ(status, 1);
        RecordingSink sink;
        GroupingPass(list, sink);
        EXPECT_EQ(sink.Paths.size(), size_t(groups)) << inDocument << preset;
    }
}
