// The last copy survives: whatever happens to a tree between the scan and the act (a folder
// swapped for a link, a file rewritten in place on FAT, another run holding the files, a
// full disk for the records), a run never removes a file that is not a copy of one it
// keeps, and never a file outside the tree.

#include "ActionsFixture.h"
#include "FileSystems.h"

#include "actions/ActionRun.h"
#include "actions/clsCleanup.h"
#include "app/RunJournal.h"

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using actions_testing::Contents;
using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

class LastCopy : public actions_testing::TwoGroupsTest {
protected:
    void Use(const char* method) {
        ProfileSettings s;
        s.DeleteTo = QString::fromLatin1(method);
        s.Folder = Tree().Path(QStringLiteral("target"));
        s.CreateIn = Tree().Path(QStringLiteral("single"));
        WriteProfile(QStringLiteral("P"), s);
    }
    Outcome Execute(const QString& action = QStringLiteral("DeleteAll")) {
        ActionRun run(model, nullptr, messages);
        run.Action = action;
        run.FileCount = model.RowCount();
        model.SetCurrent(1, 1);
        return run.Execute(QStringLiteral("P"));
    }
    QStringList Journal() const {
        QFile f(RunJournal::FileFor(QStringLiteral("P")));
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
};

class EveryRemoval : public LastCopy, public ::testing::WithParamInterface<const char*> {};

// d2 became a link to a folder outside the tree, d3 another real folder: both hold a file
// of the same name and bytes, which the run must not touch.
TEST_P(EveryRemoval, AFolderSwappedAfterTheScanLeadsNowhereElse) {
    Use(GetParam());
    MakeGroups();
    const QString outside = Tree().CreateFile(QStringLiteral("outside/a.txt"), "aaaa", 1700000000);
    const QString other = Tree().CreateFile(QStringLiteral("other/a.txt"), "aaaa", 1700000000);
    ASSERT_EQ(::rename(Native(Tree().Path(QStringLiteral("d2"))),
                       Native(Tree().Path(QStringLiteral("d2.old")))),
              0);
    ASSERT_EQ(::symlink(Native(Tree().Path(QStringLiteral("outside"))),
                        Native(Tree().Path(QStringLiteral("d2")))),
              0);
    ASSERT_EQ(::rename(Native(Tree().Path(QStringLiteral("d3"))),
                       Native(Tree().Path(QStringLiteral("d3.old")))),
              0);
    ASSERT_EQ(::rename(Native(Tree().Path(QStringLiteral("other"))),
                       Native(Tree().Path(QStringLiteral("d3")))),
              0);

    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..rr..r"));
    EXPECT_EQ(Contents(outside), QByteArray("aaaa"));
    EXPECT_EQ(Contents(Tree().Path(QStringLiteral("d3/a.txt"))), QByteArray("aaaa"));
    EXPECT_EQ(QDir(Tree().Path(QStringLiteral("outside"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("a.txt")});
    const QString skipped = QStringLiteral(" - ") + ActionRun::SkippedText;
    EXPECT_EQ(ActionLines().mid(0, 3),
              (QStringList{a[1] + skipped, a[2] + skipped, b[1] + skipped}));
    EXPECT_EQ(Errors(), 3);
    // Nothing that could not be done was put on record as done.
    EXPECT_EQ(Journal().filter(QStringLiteral("/d2/")).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryRemoval,
                         ::testing::Values("recycle", "permanent", "move", "zip", "hardlink"));

TEST_F(LastCopy, ASingleCopyIsMadeOfTheFileTheScanSawOrNotAtAll) {
    Use("recycle");
    MakeGroups();
    Tree().CreateFile(QStringLiteral("outside/a.txt"), "secret", 1700000000);
    ASSERT_EQ(::rename(Native(Tree().Path(QStringLiteral("d1"))),
                       Native(Tree().Path(QStringLiteral("d1.old")))),
              0);
    ASSERT_EQ(::symlink(Native(Tree().Path(QStringLiteral("outside"))),
                        Native(Tree().Path(QStringLiteral("d1")))),
              0);
    ASSERT_EQ(Execute(QStringLiteral("SingleCopy")), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(Tree().Path(QStringLiteral("single/P")) + a[0]));
    EXPECT_EQ(ActionLines().first(),
              a[0] + QStringLiteral(" - Error occured while creating single copy"));
}

// On FAT the change time is the modified time: a file rewritten in place and given back its
// time looks unchanged in every status field. Only its bytes tell.
TEST_F(LastCopy, OnFatAFileRewrittenInPlaceIsComparedNotTrusted) {
    testing_support::FatVolume fat;
    if (fat.Skip())
        GTEST_SKIP() << fat.Skip();
    ASSERT_TRUE(fat.Mounted());
    Use("permanent");
    const QString kept = fat.Root() + QStringLiteral("/kept.bin");
    const QString copy = fat.Root() + QStringLiteral("/sub/copy.bin");
    for (const QString& path : {kept, copy}) {
        QDir().mkpath(path.section(u'/', 0, -2));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'k'));
    }
    AddGroup(model, {kept, copy});
    modAPI::FileInfo before;
    ASSERT_EQ(modAPI::MyStat(copy, before), 1);
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("only copy of this");
    }
    const struct timespec times[2] = {{before.ModifiedSecs, 0}, {before.ModifiedSecs, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Native(copy).constData(), times, 0), 0);

    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_EQ(Flags(), QStringLiteral("..r"));
    EXPECT_EQ(Errors(), 1);
    EXPECT_EQ(ActionLines().first(), copy + QStringLiteral(" - ") + ActionRun::DiffersText + kept);
}

// Another process acting on the same files holds them locked: its kept copy (shared) is
// never removed here, and a file it is removing (exclusive) is not kept here either.
TEST_F(LastCopy, FilesHeldByAnotherRunAreLeftToIt) {
    Use("permanent");
    MakeGroups();
    const int keptByOther = ::open(Native(a[2]).constData(), O_RDONLY);
    const int removedByOther = ::open(Native(b[0]).constData(), O_RDONLY);
    ASSERT_EQ(::flock(keptByOther, LOCK_SH), 0);
    ASSERT_EQ(::flock(removedByOther, LOCK_EX), 0);
    ASSERT_EQ(Execute(), Outcome::Finished);
    ::close(keptByOther);
    ::close(removedByOther);
    EXPECT_EQ(Flags(), QStringLiteral("..sr..r"));
    const QString busy = QStringLiteral(" - ") + ActionRun::BusyText;
    EXPECT_EQ(ActionLines().filter(ActionRun::BusyText), (QStringList{a[2] + busy, b[1] + busy}));
    for (const QString& path : {a[0], a[2], b[0], b[1]})
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST_F(LastCopy, AHardLinkNeverHandsOverOwnerOrPermissions) {
    Use("hardlink");
    MakeGroups();
    ASSERT_EQ(::chmod(Native(a[1]).constData(), 0600), 0);
    if (::geteuid() == 0) {
        const uid_t other = testing_support::UnusedId();
        ASSERT_EQ(::chown(Native(a[2]).constData(), other, other), 0);
    } else {
        ASSERT_EQ(::chmod(Native(a[2]).constData(), 0640), 0);
    }
    model.ClearRecs();
    AddGroup(model, a);
    AddGroup(model, b);
    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..rr..s"));
    const QString refused = QStringLiteral(" - Not replaced by a hard link: its owner, group or "
                                           "permissions differ from ") +
                            a[0];
    EXPECT_EQ(ActionLines().mid(0, 2), (QStringList{a[1] + refused, a[2] + refused}));
    EXPECT_EQ(QFileInfo(a[1]).permissions() & QFile::ReadOther, 0);
}

// The records of the run on a full disk: nothing is removed that is not on record, and a
// run whose record runs out of room stops at the next file.
TEST_F(LastCopy, NoRemovalWithoutItsRecord) {
    testing_support::SmallDisk logs(modCommon::LogPath, "64k");
    if (logs.Skip())
        GTEST_SKIP() << logs.Skip();
    Use("permanent");
    for (int i = 0; i < 120; ++i)
        AddGroup(model,
                 {Tree().CreateFile(QStringLiteral("k/%1.bin").arg(i), QByteArray::number(i)),
                  Tree().CreateFile(QStringLiteral("m/%1.bin").arg(i), QByteArray::number(i))});
    // Full but for one page: the journal's first lines fit, a few dozen more do not.
    const auto fill = [&](qint64 leave) {
        QFile filler(modCommon::LogPath + QStringLiteral("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size() && filler.flush()) {
        }
        filler.close();
        filler.resize(filler.size() - leave);
    };
    fill(0);
    EXPECT_EQ(Execute(), Outcome::NotRecorded);
    EXPECT_EQ(Flags(), QString(model.RowCount(), u'.'));
    EXPECT_TRUE(messages.Texts().last().startsWith(
        QStringLiteral("Nothing was done: the record of this run")));
    EXPECT_TRUE(QDir(Tree().Path(QStringLiteral("m"))).entryList(QDir::Files).size() == 120);

    fill(4096);
    EXPECT_EQ(Execute(), Outcome::NotRecorded);
    // Said, and so is the run log that a full disk cannot take either.
    const QStringList said = messages.Texts().mid(1);
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].startsWith(
        QStringLiteral("The run stopped before the next file: its record could not be written")));
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("The run log ")));
    const QStringList journal = Journal();
    const qsizetype removed =
        120 - QDir(Tree().Path(QStringLiteral("m"))).entryList(QDir::Files).size();
    EXPECT_GT(removed, 0);
    EXPECT_LT(removed, 120);
    // Every file removed has its line; the files after the stop are all still there.
    EXPECT_EQ(journal.filter(QStringLiteral("act\tdelete\t")).size(), removed);
    EXPECT_EQ(ActionLines().filter(QStringLiteral(" - Deleted permanently")).size(), removed);
    for (int i = 0; i < 120; ++i)
        EXPECT_TRUE(Tree().Exists(QStringLiteral("k/%1.bin").arg(i)));
}

TEST_F(LastCopy, TheJournalSaysWhatIsAboutToBeDoneAndWhatWasDone) {
    Use("move");
    MakeGroups();
    ASSERT_EQ(Execute(), Outcome::Finished);
    const QStringList journal = Journal();
    ASSERT_EQ(journal.size(), 8);
    EXPECT_TRUE(journal[0].startsWith(QStringLiteral("run\t")));
    EXPECT_TRUE(journal[0].endsWith(QStringLiteral("\tDeleteAll\tmove")));
    const QString target = Tree().Path(QStringLiteral("target"));
    EXPECT_TRUE(journal[1].startsWith(QStringLiteral("act\tmove\t") + a[1] + u'\t' + target + a[1] +
                                      u'\t'));
    EXPECT_EQ(journal[2], QStringLiteral("done\t") + a[1] + u'\t' + target + a[1]);
    EXPECT_TRUE(journal[7].startsWith(QStringLiteral("end\t")));
    EXPECT_TRUE(journal[7].endsWith(QStringLiteral("\tfinished")));
}

// A run killed while copying into the move folder or writing the archive leaves a
// temporary file of ours; the next run that writes there clears it, and nothing else.
TEST_F(LastCopy, LeftoversOfAKilledRunAreClearedByTheNext) {
    MakeGroups();
    const QString folder = Tree().Path(QStringLiteral("target")) + a[1].section(u'/', 0, -2);
    const QString stale =
        Tree().CreateFile((folder + QStringLiteral("/.echofind-Ab12Cd")).mid(Tree().Root().size()),
                          "half", 1700000000);
    const QString staleZip =
        Tree().CreateFile(QStringLiteral("target/P.zip.Zz9Yy8"), "half", 1700000000);
    const QString fresh =
        Tree().CreateFile((folder + QStringLiteral("/.echofind-Fresh1")).mid(Tree().Root().size()),
                          "now", 4102444800);
    const QString notOurs = Tree().CreateFile(
        (folder + QStringLiteral("/.echofind-long-name")).mid(Tree().Root().size()), "x",
        1700000000);
    Use("move");
    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(fresh) && QFile::exists(notOurs) && QFile::exists(staleZip));
    model.ClearRecs();
    a.clear();
    b.clear();
    MakeGroups();
    Use("zip");
    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(staleZip));
    EXPECT_TRUE(QFile::exists(Tree().Path(QStringLiteral("target/P.zip"))));
}

TEST_F(LastCopy, AMoveAcrossFileSystemsCopiesWholeBeforeTheFileGoes) {
    testing_support::PrivateMount other;
    if (other.Skip())
        GTEST_SKIP() << other.Skip();
    ProfileSettings s;
    s.DeleteTo = QStringLiteral("move");
    s.Folder = other.Root();
    WriteProfile(QStringLiteral("P"), s);
    MakeGroups();
    // An earlier copy of the same path is in the move folder already.
    const QString earlier = other.Root() + a[1];
    QDir().mkpath(earlier.section(u'/', 0, -2));
    QFile(earlier).open(QIODevice::WriteOnly);
    ASSERT_EQ(Execute(), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..ss..s"));
    EXPECT_EQ(Contents(earlier), QByteArray());
    EXPECT_EQ(Contents(earlier.chopped(4) + QStringLiteral(" (2).txt")), QByteArray("aaaa"));
    EXPECT_EQ(QFileInfo(other.Root() + a[2]).lastModified().toSecsSinceEpoch(), 1700000000);
    EXPECT_FALSE(QFile::exists(a[1]) || QFile::exists(a[2]) || QFile::exists(b[1]));
    EXPECT_TRUE(QDir(earlier.section(u'/', 0, -2))
                    .entryList(QDir::Hidden | QDir::Files)
                    .filter(QStringLiteral(".echofind"))
                    .isEmpty());
}

// Left to chance rather than timed: a folder flips between itself and a link to a folder of
// same-named files outside the tree for as long as the run goes on.
TEST_F(LastCopy, AFolderFlippingDuringTheRunNeverCostsAFileOutsideTheTree) {
    Use("permanent");
    constexpr int Files = 600;
    QStringList kept, marked;
    for (int i = 0; i < Files; ++i) {
        const QByteArray bytes = QByteArray::number(i).repeated(8);
        kept << Tree().CreateFile(QStringLiteral("k/%1").arg(i), bytes, 1700000000);
        marked << Tree().CreateFile(QStringLiteral("d/%1").arg(i), bytes, 1700000000);
        Tree().CreateFile(QStringLiteral("outside/%1").arg(i), bytes, 1700000000);
    }
    for (int i = 0; i < Files; ++i)
        AddGroup(model, {kept[i], marked[i]});
    ASSERT_EQ(::symlink(Native(Tree().Path(QStringLiteral("outside"))),
                        Native(Tree().Path(QStringLiteral("flip")))),
              0);
    std::atomic<bool> stop = false;
    std::thread flipper([&] {
        const QByteArray d = Native(Tree().Path(QStringLiteral("d")));
        const QByteArray flip = Native(Tree().Path(QStringLiteral("flip")));
        while (!stop)
            ::renameat2(AT_FDCWD, d.constData(), AT_FDCWD, flip.constData(), RENAME_EXCHANGE);
    });
    const Outcome outcome = Execute();
    stop = true;
    flipper.join();
    ASSERT_EQ(outcome, Outcome::Finished);
    EXPECT_EQ(QDir(Tree().Path(QStringLiteral("outside"))).entryList(QDir::Files).size(), Files);
    EXPECT_EQ(QDir(Tree().Path(QStringLiteral("k"))).entryList(QDir::Files).size(), Files);
}

} // namespace
