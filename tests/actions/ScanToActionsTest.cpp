#include "ActionsFixture.h"

#include "actions/CsvReportWriter.h"
#include "actions/DefaultActions.h"
#include "engine/FileList.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"

#include <QDir>
#include <QRegularExpression>

namespace {

using actions_testing::ActionsTest;
using actions_testing::ProfileSettings;

// A real scan fills the model; trashing the marked files and exporting must leave exactly
// one file of every group on disk, the others in the trash, and a report naming them.
TEST_F(ActionsTest, ScannedGroupsKeepOneFileEachAfterTrashAndExport) {
    const QStringList groupA = {
        Tree().CreateFile(QStringLiteral("tree/x/Photo é.jpg"), QByteArray(5000, 'a')),
        Tree().CreateFile(QStringLiteral("tree/y/Photo é.jpg"), QByteArray(5000, 'a')),
        Tree().CreateFile(QStringLiteral("tree/y/z/copy, \"1\".jpg"), QByteArray(5000, 'a'))};
    const QStringList groupB = {Tree().CreateFile(QStringLiteral("tree/x/b.txt"), "same text"),
                                Tree().CreateFile(QStringLiteral("tree/w/b2.txt"), "same text")};
    Tree().CreateFile(QStringLiteral("tree/x/unique.txt"), "only one");
    Tree().CreateFile(QStringLiteral("tree/x/near.txt"), "same texT"); // same size, other bytes

    ProfileSettings settings;
    settings.DeleteTo = QStringLiteral("recycle");
    settings.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
    settings.ExportFormat = QStringLiteral("csv");
    WriteProfile(QStringLiteral("Corpus"), settings);

    clsFindFile scan;
    scan.IncludeSubFolder = true;
    scan.MatchName = false;
    scan.MatchSize = true;
    scan.ContentMatch = true;
    scan.MatchType = QStringLiteral("md5");
    FileList list;
    ASSERT_EQ(scan.ScanFolders({Tree().Path(QStringLiteral("tree"))}, list), 1);
    ResultsModel model;
    ASSERT_EQ(GroupingPass(list, model), 2);
    ASSERT_EQ(model.RowCount(), 7);

    const ActionSummary removed =
        RunDefaultAction(model, QStringLiteral("Corpus"), QStringLiteral("DeleteAll"));
    EXPECT_EQ(removed.Errors, 0) << removed.Lines.join(u'\n').toStdString();
    EXPECT_EQ(removed.Removed, 3);
    const ActionSummary report =
        RunDefaultAction(model, QStringLiteral("Corpus"), QStringLiteral("Export"));
    EXPECT_EQ(report.Errors, 0);

    for (const QStringList& group : {groupA, groupB}) {
        int left = 0;
        for (const QString& path : group)
            left += QFile::exists(path) ? 1 : 0;
        EXPECT_EQ(left, 1) << group.first().toStdString();
    }
    EXPECT_EQ(QDir(TrashFiles()).entryList(QDir::Files).size(), 3);

    const QString csv = QString::fromUtf8(Tree().Read(QStringLiteral("reports/Corpus.csv")));
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines.filter(QStringLiteral("(2 copies)")).size(), 1);
    EXPECT_EQ(lines.filter(QStringLiteral("(3 copies)")).size(), 1);
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral(",deleted$"))).size(), 3);
    for (const QString& line : lines.filter(QStringLiteral(",deleted"))) {
        bool named = false;
        for (const QString& path : groupA + groupB)
            named = named || (line.contains(CsvReportWriter::Field(path)) && !QFile::exists(path));
        EXPECT_TRUE(named) << line.toStdString();
    }
}

} // namespace
