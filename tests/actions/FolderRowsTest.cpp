// Rows of duplicate folders in the results: whatever action is asked for, none touches the
// files of a folder, because no folder row can carry a mark.

#include "ActionsFixture.h"

#include "engine/FolderGroups.h"
#include "engine/clsFindFile.h"

namespace {

using namespace actions_testing;

class FolderRows : public ActionsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        for (const char* folder : {"d/one", "d/two", "d/three"}) {
            const QString f = QString::fromLatin1(folder);
            files << Tree().CreateFile(f + QStringLiteral("/a.txt"), "aaaa")
                  << Tree().CreateFile(f + QStringLiteral("/sub/b.txt"), "bb");
        }
        clsFindFile scan;
        scan.MatchName = false;
        scan.ContentMatch = true;
        scan.MatchType = QStringLiteral("crc");
        scan.IncludeSubFolder = true;
        FileList list;
        ASSERT_EQ(scan.ScanFolders({Tree().Path(QStringLiteral("d"))}, list), 1);
        ASSERT_EQ(FolderGroups::HandOn(FolderGroups::Find(list, scan.ScannedFolders()), model), 1);
        ActionSettings settings;
        settings.ScanFolders = {Tree().Path(QStringLiteral("d"))};
        WriteProfile(QStringLiteral("P"), settings);
    }
    void ExpectEveryFileThere() const {
        for (const QString& f : files)
            EXPECT_TRUE(QFile::exists(f)) << f.toStdString();
    }

    ResultsModel model;
    QStringList files;
};

TEST_F(FolderRows, NoActionTouchesTheFilesOfAFolderRow) {
    ASSERT_EQ(model.RowCount(), 4);
    EXPECT_EQ(Marks(model), QStringLiteral("|||"));
    EXPECT_EQ(model.Text(2, 3), Tree().Path(QStringLiteral("d/one")));
    for (const QString& action :
         {QStringLiteral("DeleteAll"), QStringLiteral("DeleteGroup"), QStringLiteral("SingleCopy")})
        Act(model, action);
    EXPECT_EQ(Act(model, QStringLiteral("Delete"), 3), Outcome::NotMarked);
    ExpectEveryFileThere();
    EXPECT_EQ(RowFlags(model), QStringLiteral("...."));
    // The run log names no file: none was tried.
    EXPECT_EQ(ActionLines().filter(QStringLiteral("/")), QStringList())
        << ActionLines().join(u'\n').toStdString();
}

} // namespace
