// Groups of duplicate folders in the results: a folder is acted on through its files, each
// paired with the file at the same relative name in the kept folder and checked as any
// marked file is; a folder the run emptied goes after them, and nothing else does.

#include "ActionsFixture.h"

#include "actions/UndoRun.h"

namespace {

using namespace actions_testing;

class FolderRows : public ActionsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        for (const char* folder : {"d/one", "d/two", "d/three"}) {
            const QString f = QString::fromLatin1(folder);
            Tree().CreateFile(f + QStringLiteral("/a.txt"), "aaaa");
            Tree().CreateFile(f + QStringLiteral("/sub/deeper/b.txt"), "bb");
        }
        Scan();
    }
    void Scan() { ASSERT_EQ(AddFolderGroups(model, Tree().Path(QStringLiteral("d"))), 1); }
    void UseMethod(const QString& deleteTo) {
        ActionSettings settings(deleteTo, Tree().Path(QStringLiteral("moved")));
        settings.ScanFolders = {Tree().Path(QStringLiteral("d"))};
        WriteProfile(QStringLiteral("P"), settings);
    }
    QString P(const char* rel) const { return Tree().Path(QString::fromLatin1(rel)); }
    bool Exists(const char* rel) const { return QFileInfo::exists(P(rel)); }

    ResultsModel model;
};

// Rows: the folder group's header, its three folders, then a group per relative name
// (a.txt, sub/deeper/b.txt) holding the file of each folder in the folders' order.
TEST_F(FolderRows, TheFilesOfEachFolderFollowTheirFolderGroupMarkedAsForAKeptFirstFolder) {
    ASSERT_EQ(model.RowCount(), 12);
    EXPECT_EQ(model.Text(2, 3), P("d/one"));
    EXPECT_EQ(model.Text(6, 3), P("d/one/a.txt"));
    EXPECT_EQ(model.Text(10, 3), P("d/one/sub/deeper/b.txt"));
    EXPECT_EQ(Marks(model), QStringLiteral("||||.XX|.XX"));
    EXPECT_EQ(model.GroupCount(), 1) << "the files' groups belong to the folder group";
    EXPECT_EQ(model.FolderFiles(3), (std::vector<qint64>{7, 11}));
    EXPECT_EQ(model.GroupHeaderOf(3), 1);
    EXPECT_EQ(model.Marks().Files, 4);
}

TEST_F(FolderRows, TrashingTakesTheMarkedFoldersWholeAndUndoBringsThemBack) {
    UseMethod(QStringLiteral("recycle"));
    EXPECT_EQ(Act(model, QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(RowFlags(model), QStringLiteral("..ss..ss..ss"));
    EXPECT_TRUE(Exists("d/one/a.txt") && Exists("d/one/sub/deeper/b.txt"));
    EXPECT_FALSE(Exists("d/two")) << "the emptied folder goes with its empty sub-folders";
    EXPECT_FALSE(Exists("d/three"));
    EXPECT_TRUE(ActionLines().contains(QStringLiteral("Removed the emptied folder ") + P("d/two")))
        << ActionLines().join(u'\n').toStdString();

    UndoRun undo;
    ASSERT_EQ(undo.Execute(QStringLiteral("P")), UndoRun::Outcome::Finished);
    EXPECT_EQ(undo.CountOf(UndoRun::State::Back), 4);
    for (const char* rel : {"d/two/a.txt", "d/two/sub/deeper/b.txt", "d/three/a.txt"})
        EXPECT_TRUE(Exists(rel)) << rel;
}

// Whatever came into a marked folder since the scan keeps it; a file that changed is not a
// copy any more and stays too. Neither folder is removed, and the run says why.
TEST_F(FolderRows, AFolderThatIsNotEmptiedStaysWithWhatTheRunDidNotTake) {
    UseMethod(QStringLiteral("permanent"));
    Tree().CreateFile(QStringLiteral("d/two/sub/new.txt"), "arrived later");
    Rewrite(P("d/three/sub/deeper/b.txt"), "BB");
    EXPECT_EQ(Act(model, QStringLiteral("DeleteAll")), Outcome::Finished);

    EXPECT_FALSE(Exists("d/two/a.txt") || Exists("d/two/sub/deeper/b.txt"));
    EXPECT_TRUE(Exists("d/two/sub/new.txt"));
    EXPECT_FALSE(Exists("d/two/sub/deeper")) << "an emptied folder below goes all the same";
    EXPECT_FALSE(Exists("d/three/a.txt"));
    EXPECT_EQ(ReadFile(P("d/three/sub/deeper/b.txt")), "BB");
    EXPECT_TRUE(ActionLines().contains(QStringLiteral("Kept the folder ") + P("d/two") +
                                       QStringLiteral(": it still holds files")))
        << ActionLines().join(u'\n').toStdString();
    EXPECT_FALSE(ActionLines().filter(QStringLiteral("emptied folder")).size() > 0);
    EXPECT_TRUE(Exists("d/one/a.txt") && Exists("d/one/sub/deeper/b.txt"));
}

// A link put where a sub-folder of a marked folder was is never followed: the folder it
// points to keeps its empty folders, and the marked folder stays for the link.
TEST_F(FolderRows, EmptiedFolderRemovalNeverFollowsALink) {
    UseMethod(QStringLiteral("permanent"));
    Tree().CreateFile(QStringLiteral("elsewhere/empty/.keep"), "");
    QFile::remove(P("elsewhere/empty/.keep"));
    ASSERT_TRUE(QFile::link(P("elsewhere"), P("d/three/link")));
    EXPECT_EQ(Act(model, QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_FALSE(Exists("d/two"));
    EXPECT_TRUE(QFileInfo(P("d/three/link")).isSymLink());
    EXPECT_TRUE(Exists("elsewhere/empty"));
}

// Making another folder the kept one keeps every file of it, moves it to the top, and the
// run then takes the others, the first one included.
TEST_F(FolderRows, AnotherFolderMadeTheKeptOneIsTheOneThatStays) {
    UseMethod(QStringLiteral("permanent"));
    EXPECT_TRUE(model.MakeKept(4));
    EXPECT_EQ(model.Text(2, 3), P("d/two")) << "folders come in path order: one, three, two";
    EXPECT_EQ(Marks(model), QStringLiteral("||||.XX|.XX"));
    EXPECT_EQ(model.Text(6, 3), P("d/two/a.txt"));
    EXPECT_EQ(model.FolderFiles(2), (std::vector<qint64>{6, 10}));
    EXPECT_EQ(Act(model, QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_TRUE(Exists("d/two/a.txt") && Exists("d/two/sub/deeper/b.txt"));
    EXPECT_FALSE(Exists("d/one") || Exists("d/three"));
}

// Links and shared blocks leave every name in place: no folder is emptied, none removed.
TEST_F(FolderRows, HardLinkingKeepsEveryFolder) {
    UseMethod(QStringLiteral("hardlink"));
    EXPECT_EQ(Act(model, QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(InodeOf(P("d/two/a.txt")), InodeOf(P("d/one/a.txt")));
    EXPECT_EQ(InodeOf(P("d/three/sub/deeper/b.txt")), InodeOf(P("d/one/sub/deeper/b.txt")));
    EXPECT_EQ(RowFlags(model).left(4), QStringLiteral("...."));
}

// Review commands take a folder group as one: sorting moves its files with it, removing
// its header takes them all, and a folder group left without files goes.
TEST_F(FolderRows, ReviewCommandsKeepAFolderGroupWithItsFiles) {
    AddScannedGroup(model, {Tree().CreateFile(QStringLiteral("x/small1"), "01234"),
                            Tree().CreateFile(QStringLiteral("x/small2"), "01234")});
    model.SortGroups(ResultsModel::GroupSort::Size, false);
    EXPECT_EQ(model.Text(4, 2), QStringLiteral("one   (3 copies)")) << "10 bytes before 18";
    EXPECT_EQ(model.Text(9, 3), P("d/one/a.txt"));
    model.SortGroups(ResultsModel::GroupSort::Size, true);
    EXPECT_EQ(model.Text(1, 2), QStringLiteral("one   (3 copies)"));
    EXPECT_EQ(model.Text(6, 3), P("d/one/a.txt"));
    EXPECT_TRUE(model.SetFilter(QStringLiteral("deeper"), false));
    EXPECT_EQ(model.ShownGroupCount(), 1);
    EXPECT_EQ(model.rowCount(), 12) << "the whole folder group stays in view";
    model.SetFilter(QString(), false);

    model.CollExpRows(1);
    for (qint64 r = 2; r <= 12; ++r)
        EXPECT_TRUE(model.IsHidden(r)) << r;
    EXPECT_FALSE(model.IsHidden(13));
    model.CollExpRows(1);
    EXPECT_FALSE(model.IsHidden(12));

    // A folder out of the list takes its files along; the other two stay a group.
    model.RemoveFromList({3});
    EXPECT_EQ(model.RowCount(), 12);
    EXPECT_EQ(model.Text(1, 2), QStringLiteral("one   (2 copies)"));
    EXPECT_EQ(model.Text(1, 4), QStringLiteral("12 bytes"));
    EXPECT_EQ(model.Text(3, 3), P("d/two"));
    EXPECT_EQ(model.Text(6, 3), P("d/two/a.txt"));
    Scan();
    AddScannedGroup(model, {P("x/small1"), P("x/small2")});

    // Two of the three files of one relative name out of the list: that group goes, the
    // folders stay.
    model.RemoveFromList({11, 12});
    EXPECT_EQ(model.RowCount(), 11);
    model.RemoveFromList({5});
    EXPECT_EQ(model.RowCount(), 3) << "no file left to act on, so the folder group went";
    EXPECT_EQ(model.GroupCount(), 1);
    Scan();
    model.RemoveFromList({1});
    EXPECT_EQ(model.RowCount(), 0);
    EXPECT_EQ(model.GroupCount(), 0);
}

} // namespace
