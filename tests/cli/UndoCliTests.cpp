// echofind-cli undo: a line per file, a summary, and an exit status a script can act on.

#include "CliFixture.h"

#include <QDir>

namespace {

using namespace cli_testing;

class UndoCommand : public CliHome {
protected:
    // Three copies under data/, two of them trashed by a run of profile "T".
    void TrashTwo() {
        tree.CreateCopies("same bytes", {"data/a.txt", "data/b.txt", "data/c.txt"});
        ProfileSettings p = ContentProfile({tree.Path(u"data"_s)}, u"md5"_s);
        p.DeleteTo = u"recycle"_s;
        SaveProfile(u"T"_s, p);
        Cli(0, Words("run T --remove -q"));
        ASSERT_EQ(Present(), 1);
    }
    int Present() const {
        int n = 0;
        for (const char* name : {"data/a.txt", "data/b.txt", "data/c.txt"})
            n += tree.Exists(QString::fromLatin1(name)) ? 1 : 0;
        return n;
    }
};

TEST_F(UndoCommand, PutsTrashedFilesBackAndSaysSoPerFile) {
    TrashTwo();
    const Result undone = Cli(0, Words("undo T"));
    EXPECT_EQ(Present(), 3);
    EXPECT_EQ(undone.Out.count(u"back: "_s + tree.Path(u"data/"_s)), 2) << undone.Out.toStdString();
    EXPECT_TRUE(Holds(undone.Err, u"undo: 2 back, 0 already back, 0 not put back, 0 cannot "
                                  u"come back"_s));
    EXPECT_TRUE(QDir(tree.Path(u"xdg/Trash/files"_s)).isEmpty());
    EXPECT_TRUE(RunLog(u"T"_s).contains("Back from "));

    // Again: nothing more happens, and that is no failure.
    const Result again = Cli(0, Words("undo T"));
    EXPECT_EQ(again.Out.count(u"already back: "_s), 2);
    EXPECT_EQ(Present(), 3);
}

TEST_F(UndoCommand, ATakenPlaceIsSkippedWithStatusOneUntilItIsClear) {
    TrashTwo();
    const QString taken = tree.Exists(u"data/a.txt"_s) ? u"data/b.txt"_s : u"data/a.txt"_s;
    tree.CreateFile(taken, "new bytes");
    const Result skipped = Cli(1, Words("undo T"));
    EXPECT_TRUE(Holds(skipped.Out, u"skipped: "_s + tree.Path(taken) + u" - Skipped: another"_s));
    EXPECT_EQ(tree.Read(taken), QByteArray("new bytes"));
    ASSERT_TRUE(QFile::remove(tree.Path(taken)));
    const Result rerun = Cli(0, Words("undo T -q"));
    EXPECT_TRUE(rerun.Out.isEmpty());
    EXPECT_TRUE(Holds(rerun.Err, u"undo: 1 back, 1 already back"_s));
    EXPECT_EQ(tree.Read(taken), QByteArray("same bytes"));
}

TEST_F(UndoCommand, PermanentDeletionsAndBadRequestsHaveTheirOwnStatus) {
    tree.CreateCopies("same bytes", {"data/a.txt", "data/b.txt"});
    ProfileSettings p = ContentProfile({tree.Path(u"data"_s)}, u"md5"_s);
    p.DeleteTo = u"permanent"_s;
    SaveProfile(u"D"_s, p);
    EXPECT_TRUE(Holds(Cli(3, Words("undo D")).Err, u"holds no action run"_s));
    Cli(0, Words("run D --remove -q"));
    const Result deleted = Cli(1, Words("undo D"));
    EXPECT_EQ(deleted.Out.count(u"deleted: "_s), 1);
    EXPECT_TRUE(Holds(deleted.Err, u"1 cannot come back"_s));

    EXPECT_TRUE(Holds(Cli(3, Words("undo Nobody")).Err, u"no profile \"Nobody\""_s));
    Cli(2, Words("undo"));
    Cli(2, Words("undo D --bogus"));
    EXPECT_TRUE(Holds(Cli(0, Words("undo --help")).Out, u"Exit status: 0 every file"_s));
    EXPECT_TRUE(Holds(Cli(0, Words("--help")).Out, u"undo "_s));
}

} // namespace
