// Undoing the last action run: every removal method brings its files back exactly, never
// over a file that took a place since nor from a stored copy that changed, and an undo run
// again (after a second thought, or after it was killed) finishes what is left.

#include "ActionsFixture.h"

#include "FileSystems.h"

#include "actions/UndoRun.h"
#include "app/RunJournal.h"

#include <linux/fs.h>
#include <sys/ioctl.h>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;
using State = UndoRun::State;

QString Journal() {
    return RunJournal::FileFor(u"P"_s);
}

QStringList JournalLines() {
    return QString::fromUtf8(ReadFile(Journal())).split(u'\n', Qt::SkipEmptyParts);
}

// The states of an undo's files, in the journal's order.
QList<State> States(const UndoRun& undo) {
    QList<State> states;
    for (const UndoRun::FileResult& r : undo.Results())
        states << r.What;
    return states;
}

// What became of one file in an undo; zipped files are reported after the others.
State StateOf(const UndoRun& undo, const QString& path) {
    for (const UndoRun::FileResult& r : undo.Results())
        if (r.Path == path)
            return r.What;
    ADD_FAILURE() << "no result for " << path.toStdString();
    return State::Unknown;
}

modAPI::FileInfo Stat(const QString& path) {
    modAPI::FileInfo info;
    EXPECT_EQ(modAPI::MyStat(path, info), 1) << path.toStdString();
    return info;
}

struct Method {
    const char* DeleteTo;
    const char* Folder; // under the tree; none for the trash and links
};

class UndoMethod : public TwoGroupsTest, public ::testing::WithParamInterface<Method> {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        const QString folder =
            GetParam().Folder ? Tree().Path(QLatin1String(GetParam().Folder)) : QString();
        Start(ActionSettings(QLatin1String(GetParam().DeleteTo), folder));
        removed = {a[1], a[2], b[1]};
        ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
        ASSERT_EQ(Errors(), 0) << ActionLines().join(u'\n').toStdString();
    }
    QString MethodWord() const { return QLatin1String(GetParam().DeleteTo); }
    // Where the run left each removed file; none for links, whose names stay.
    QString Stored(const QString& path) const {
        for (const QString& line : JournalLines()) {
            const QStringList f = line.split(u'\t');
            if (f.size() >= 3 && f[0] == u"done" && f[1] == path)
                return f[2];
        }
        return {};
    }
    // Each removed file at its place with its own bytes, as a file of its own.
    void ExpectAllBack() const {
        for (const QString& path : removed) {
            EXPECT_EQ(ReadFile(path), path.contains(u"a.txt") ? "aaaa" : "bb")
                << path.toStdString();
            const modAPI::FileInfo info = Stat(path);
            EXPECT_EQ(info.Links, 1u) << path.toStdString();
            EXPECT_EQ(info.ModifiedSecs, 1700000000) << path.toStdString();
        }
    }
    UndoRun::Outcome Undo() {
        modLog::ResetRunStats();
        return undo.Execute(u"P"_s);
    }

    QStringList removed;
    UndoRun undo;
};

TEST_P(UndoMethod, BringsEveryFileBackAndASecondUndoDoesNothingMore) {
    QStringList stored;
    for (const QString& path : removed)
        stored << Stored(path);
    UndoRun::Preview preview;
    QString error;
    ASSERT_TRUE(UndoRun::Look(u"P"_s, preview, error));
    EXPECT_EQ(preview.CanComeBack, 3);
    EXPECT_EQ(preview.CannotComeBack(), 0);

    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished) << undo.Error().toStdString();
    EXPECT_EQ(States(undo), QList<State>(3, State::Back));
    ExpectAllBack();
    // The stored copies are gone with it: nothing left in the trash, the move folder or the
    // archive, and no trash information file without its item.
    if (MethodWord() == u"recycle") {
        EXPECT_TRUE(QDir(TrashFiles()).isEmpty());
        EXPECT_TRUE(QDir(Tree().Path(u"home/data/Trash/info"_s)).isEmpty());
    } else if (MethodWord() == u"move") {
        for (const QString& s : stored)
            EXPECT_FALSE(QFileInfo::exists(s)) << s.toStdString();
    } else if (MethodWord() == u"zip") {
        EXPECT_FALSE(QFileInfo::exists(Tree().Path(u"zips/P.zip"_s)));
    } else {
        EXPECT_EQ(ReadFile(a[0]), "aaaa");
        EXPECT_EQ(Stat(a[0]).Links, 1u);
    }
    EXPECT_TRUE(Holds(ReadFile(modCommon::LogPath + u"P.log"_s), "Undo of the action run"));

    const QStringList journal = JournalLines();
    ASSERT_TRUE(UndoRun::Look(u"P"_s, preview, error));
    EXPECT_EQ(preview.CanComeBack, 0);
    EXPECT_EQ(preview.AlreadyBack, 3);
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), QList<State>(3, State::AlreadyBack));
    EXPECT_EQ(undo.NotBack(), 0);
    EXPECT_EQ(JournalLines(), journal); // nothing to do, nothing recorded
    ExpectAllBack();
}

TEST_P(UndoMethod, AStoppedUndoIsFinishedByTheNextOne) {
    // Killed after the first file's journal line: the others are back, unrecorded.
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    QStringList lines = JournalLines();
    const qsizetype first = lines.indexOf(*std::find_if(
        lines.begin(), lines.end(), [](const QString& l) { return l.startsWith(u"undone\t"); }));
    lines = lines.mid(0, first + 1);
    ASSERT_TRUE(testing_support::WriteFile(Journal(), (lines.join(u'\n') + u'\n').toUtf8()).size() >
                0);

    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished) << undo.Error().toStdString();
    EXPECT_EQ(undo.NotBack(), 0);
    EXPECT_EQ(undo.CountOf(State::AlreadyBack), 1);
    EXPECT_EQ(undo.CountOf(State::Back), 2);
    ExpectAllBack();
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), QList<State>(3, State::AlreadyBack));
}

INSTANTIATE_TEST_SUITE_P(Methods, UndoMethod,
                         ::testing::Values(Method{"recycle", nullptr}, Method{"move", "moved"},
                                           Method{"zip", "zips"}, Method{"hardlink", nullptr}),
                         [](const auto& info) { return std::string(info.param.DeleteTo); });

// A place taken since the run is never written over: that file is skipped, the stored copy
// stays, and the undo run again after the place is cleared brings it back.
using UndoIntoTakenPlace = UndoMethod;

TEST_P(UndoIntoTakenPlace, SkipsItUntilThePlaceIsClear) {
    testing_support::WriteFile(a[1], "someone else's");
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), (QList<State>{State::Skipped, State::Back, State::Back}));
    EXPECT_EQ(undo.Results()[0].Text, UndoRun::TakenText);
    EXPECT_EQ(ReadFile(a[1]), "someone else's");
    EXPECT_TRUE(
        Holds(ReadFile(modCommon::LogPath + u"P.log"_s), Said(a[1], UndoRun::TakenText).toUtf8()));

    ASSERT_EQ(::unlink(QFile::encodeName(a[1]).constData()), 0);
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    EXPECT_EQ(StateOf(undo, a[1]), State::Back);
    EXPECT_EQ(undo.CountOf(State::AlreadyBack), 2);
    ExpectAllBack();
}

INSTANTIATE_TEST_SUITE_P(Methods, UndoIntoTakenPlace,
                         ::testing::Values(Method{"recycle", nullptr}, Method{"move", "moved"},
                                           Method{"zip", "zips"}),
                         [](const auto& info) { return std::string(info.param.DeleteTo); });

// A stored copy written since the run is not what the run took away: it stays as it is.
using UndoChangedCopy = UndoMethod;

TEST_P(UndoChangedCopy, IsSkippedAndLeftAlone) {
    const QString method = MethodWord();
    QString changed;
    if (method == u"zip") {
        // The archive's entry replaced by other bytes, as a later run of the same path would.
        changed = Tree().Path(u"zips/P.zip"_s);
        int err = 0;
        zip_t* zip = zip_open(QFile::encodeName(changed).constData(), 0, &err);
        ASSERT_TRUE(zip);
        zip_source_t* bytes = zip_source_buffer(zip, "zzzz", 4, 0);
        ASSERT_GE(zip_file_add(zip, a[1].mid(1).toUtf8().constData(), bytes, ZIP_FL_OVERWRITE), 0);
        ASSERT_EQ(zip_close(zip), 0);
    } else {
        // For links the shared file is the kept one; for the others the stored copy.
        changed = method == u"hardlink" ? a[0] : Stored(a[1]);
        QThread::msleep(20);
        QFile f(changed);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("more");
    }
    const QByteArray before = method == u"zip" ? QByteArray() : ReadFile(changed);
    ASSERT_EQ(Undo(), UndoRun::Outcome::Finished);
    EXPECT_EQ(undo.Results()[0].What, State::Skipped);
    EXPECT_TRUE(undo.Results()[0].Text.startsWith(UndoRun::ChangedText))
        << undo.Results()[0].Text.toStdString();
    if (method == u"zip")
        EXPECT_EQ(ZipEntries(changed), QStringList{a[1].mid(1)}); // the others are out
    else
        EXPECT_EQ(ReadFile(changed), before);
    if (method == u"hardlink") {
        // Both names of the written file still lead to it.
        EXPECT_EQ(InodeOf(a[1]), InodeOf(a[0]));
    } else {
        EXPECT_FALSE(QFileInfo::exists(a[1]));
        EXPECT_EQ(States(undo).mid(1), (QList<State>{State::Back, State::Back}));
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, UndoChangedCopy,
                         ::testing::Values(Method{"recycle", nullptr}, Method{"move", "moved"},
                                           Method{"zip", "zips"}, Method{"hardlink", nullptr}),
                         [](const auto& info) { return std::string(info.param.DeleteTo); });

class UndoJournal : public TwoGroupsTest {};

// Deleted for good is said up front and counted, never attempted.
TEST_F(UndoJournal, PermanentDeletionsAreCountedAsUnableToComeBack) {
    Start(ActionSettings(u"permanent"_s));
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    UndoRun::Preview preview;
    QString error;
    ASSERT_TRUE(UndoRun::Look(u"P"_s, preview, error));
    EXPECT_EQ(preview.Deleted, 3);
    EXPECT_EQ(preview.CanComeBack, 0);
    UndoRun undo;
    ASSERT_EQ(undo.Execute(u"P"_s), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), QList<State>(3, State::Deleted));
    EXPECT_EQ(undo.NotBack(), 3);
}

// A zip removal is recorded as what it is, with its archive: before, it read as a deletion.
TEST_F(UndoJournal, ZippedFilesAreRecordedWithTheirArchiveEntry) {
    Start(ActionSettings(u"zip"_s, Tree().Path(u"zips"_s)));
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    const QString all = JournalLines().join(u'\n');
    EXPECT_FALSE(all.contains(u"act\tdelete"));
    EXPECT_EQ(all.count(u"act\tzip\t"), 3);
    EXPECT_EQ(all.count(u"\t"_s + Tree().Path(u"zips/P.zip"_s) + u"\tcrc:4:"_s), 2);
}

// A journal of an earlier version has no "after" field: still read, and a trashed file
// still comes back, checked against the file as it was before.
TEST_F(UndoJournal, AJournalOfAnEarlierVersionStillUndoes) {
    WriteProfile(u"P"_s, ActionSettings(u"recycle"_s));
    const QString path = Tree().CreateFile(u"d1/old.txt"_s, "old bytes", 1700000000);
    const modAPI::FileInfo before = Stat(path);
    QString placed;
    ASSERT_EQ(modAPI::MyMoveToTrash(path, &placed), 1);
    {
        RunJournal journal(Journal());
        ASSERT_TRUE(journal.Begin(u"DeleteAll"_s, u"recycle"_s));
        ASSERT_TRUE(journal.Intent(u"trash"_s, path, QString(), before));
        ASSERT_TRUE(journal.Done(path, placed));
        ASSERT_TRUE(journal.End(u"finished"_s));
    }
    ASSERT_EQ(JournalLines()[2].count(u'\t'), 2);
    UndoRun undo;
    ASSERT_EQ(undo.Execute(u"P"_s), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), QList<State>{State::Back});
    EXPECT_EQ(ReadFile(path), "old bytes");
}

// The last run may be in the journal moved aside, when the new one could not be begun.
TEST_F(UndoJournal, TheLastRunIsFoundInTheJournalMovedAside) {
    Start(ActionSettings(u"recycle"_s));
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    ASSERT_EQ(::rename(QFile::encodeName(Journal()).constData(),
                       QFile::encodeName(Journal() + u".1"_s).constData()),
              0);
    UndoRun undo;
    ASSERT_EQ(undo.Execute(u"P"_s), UndoRun::Outcome::Finished);
    EXPECT_EQ(undo.CountOf(State::Back), 3);
    EXPECT_TRUE(Holds(JournalLines().join(u'\n'), u"undone\t"_s + a[1]));
    EXPECT_EQ(UndoRun().Execute(u"Q"_s), UndoRun::Outcome::NothingToUndo);
}

// Files sharing their blocks with the kept file (a "clone" removal) get blocks of their own
// again and keep their place, as linked files do.
TEST_F(UndoJournal, AClonedFileGetsItsOwnBlocksBack) {
    testing_support::LoopVolume volume(u"btrfs"_s);
    if (volume.Skip())
        GTEST_SKIP() << volume.Skip();
    ASSERT_TRUE(volume.Mounted());
    WriteProfile(u"P"_s, ActionSettings(u"recycle"_s));
    const QByteArray bytes(256 * 1024, 'c');
    const QString kept = testing_support::WriteFile(volume.Root() + u"/kept.bin"_s, bytes);
    const QString copy = testing_support::WriteFile(volume.Root() + u"/copy.bin"_s, bytes);
    const modAPI::FileInfo before = Stat(copy);
    { // as the clone removal does: the copy's blocks become the kept file's
        const int src = ::open(QFile::encodeName(kept).constData(), O_RDONLY);
        const int dst = ::open(QFile::encodeName(copy).constData(), O_RDWR);
        ASSERT_EQ(::ioctl(dst, FICLONE, src), 0);
        ::close(src);
        ::close(dst);
    }
    {
        RunJournal journal(Journal());
        ASSERT_TRUE(journal.Begin(u"DeleteAll"_s, u"clone"_s));
        ASSERT_TRUE(journal.Intent(u"clone"_s, copy, kept, before));
        ASSERT_TRUE(journal.Done(copy, kept, RunJournal::IdentityText(Stat(copy))));
    }
    UndoRun undo;
    ASSERT_EQ(undo.Execute(u"P"_s), UndoRun::Outcome::Finished);
    EXPECT_EQ(States(undo), QList<State>{State::Back});
    EXPECT_EQ(ReadFile(copy), bytes);
    EXPECT_NE(Stat(copy).Inode, before.Inode);
    EXPECT_EQ(Stat(copy).ModifiedNs, before.ModifiedNs);
    EXPECT_EQ(Stat(copy).Mode, before.Mode);
    EXPECT_EQ(ReadFile(kept), bytes);
}

} // namespace
