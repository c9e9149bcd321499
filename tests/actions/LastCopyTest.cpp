// The last copy survives: whatever happens to a tree between the scan and the act (a folder
// swapped for a link, a file rewritten in place on FAT, another run holding the files, a
// full disk for the records), a run never removes a file that is not a copy of one it
// keeps, and never a file outside the tree.

#include "ActionsFixture.h"
#include "FileSystems.h"

#include "app/RunJournal.h"

#include <QFileInfo>

#include <atomic>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

class LastCopy : public TwoGroupsTest {
protected:
    void Use(const char* method, const QString& folder = {}) {
        ActionSettings s(QString::fromLatin1(method),
                         folder.isEmpty() ? Tree().Path(u"target"_s) : folder);
        s.CreateIn = Tree().Path(u"single"_s);
        WriteProfile(u"P"_s, s);
    }
    void Start(const char* method, const QString& folder = {}) {
        Use(method, folder);
        MakeGroups();
    }
    QStringList Journal() const {
        QFile f(RunJournal::FileFor(u"P"_s));
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }
    // Renames a folder of the tree and puts a link to the other (also of the tree) in its
    // place, or that other folder itself.
    void Swap(const QString& folder, const QString& other, bool asLink) const {
        const QByteArray path = Native(Tree().Path(folder));
        ASSERT_EQ(::rename(path.constData(), (path + ".old").constData()), 0);
        const QByteArray to = Native(Tree().Path(other));
        ASSERT_EQ(asLink ? ::symlink(to.constData(), path.constData())
                         : ::rename(to.constData(), path.constData()),
                  0);
    }
    qsizetype FilesIn(const QString& folder) const {
        return QDir(Tree().Path(folder)).entryList(QDir::Files).size();
    }
};

class EveryRemoval : public LastCopy, public ::testing::WithParamInterface<const char*> {};

// d2 became a link to a folder outside the tree, d3 another real folder: both hold a file
// of the same name and bytes, which the run must not touch.
TEST_P(EveryRemoval, AFolderSwappedAfterTheScanLeadsNowhereElse) {
    Start(GetParam());
    const QString outside = Tree().CreateFile(u"outside/a.txt"_s, "aaaa", 1700000000);
    Tree().CreateFile(u"other/a.txt"_s, "aaaa", 1700000000);
    Swap(u"d2"_s, u"outside"_s, true);
    Swap(u"d3"_s, u"other"_s, false);

    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..rr..r"_s);
    EXPECT_EQ(ReadFile(outside), QByteArray("aaaa"));
    EXPECT_EQ(ReadFile(Tree().Path(u"d3/a.txt"_s)), QByteArray("aaaa"));
    EXPECT_EQ(QDir(Tree().Path(u"outside"_s)).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"a.txt"_s});
    const QString skipped = ActionRun::SkippedText;
    EXPECT_EQ(ActionLines().mid(0, 3),
              (QStringList{Said(a[1], skipped), Said(a[2], skipped), Said(b[1], skipped)}));
    EXPECT_EQ(Errors(), 3);
    // Nothing that could not be done was put on record as done.
    EXPECT_EQ(Journal().filter(u"/d2/"_s).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryRemoval,
                         ::testing::Values("recycle", "permanent", "move", "zip", "hardlink"));

TEST_F(LastCopy, ASingleCopyIsMadeOfTheFileTheScanSawOrNotAtAll) {
    Start("recycle");
    Tree().CreateFile(u"outside/a.txt"_s, "secret", 1700000000);
    Swap(u"d1"_s, u"outside"_s, true);
    ASSERT_EQ(Act(u"SingleCopy"_s), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(Tree().Path(u"single/P"_s) + a[0]));
    EXPECT_EQ(ActionLines().first(), Said(a[0], u"Error occured while creating single copy"_s));
}

// On FAT the change time is the modified time: a file rewritten in place and given back its
// time looks unchanged in every status field. Only its bytes tell.
TEST_F(LastCopy, OnFatAFileRewrittenInPlaceIsComparedNotTrusted) {
    testing_support::FatVolume fat;
    if (fat.Skip())
        GTEST_SKIP() << fat.Skip();
    ASSERT_TRUE(fat.Mounted());
    Use("permanent");
    const QString kept = fat.Root() + u"/kept.bin"_s;
    const QString copy = fat.Root() + u"/sub/copy.bin"_s;
    for (const QString& path : {kept, copy})
        testing_support::WriteFile(path, QByteArray(5000, 'k'));
    AddScannedGroup(model, {kept, copy});
    Rewrite(copy, "only copy of this");

    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_TRUE(QFile::exists(copy));
    EXPECT_EQ(Flags(), u"..r"_s);
    EXPECT_EQ(Errors(), 1);
    EXPECT_EQ(ActionLines().first(), Said(copy, ActionRun::DiffersText + kept));
}

// Another process acting on the same files holds them locked: its kept copy (shared) is
// never removed here, and a file it is removing (exclusive) is not kept here either.
TEST_F(LastCopy, FilesHeldByAnotherRunAreLeftToIt) {
    Start("permanent");
    const int keptByOther = ::open(Native(a[2]).constData(), O_RDONLY);
    const int removedByOther = ::open(Native(b[0]).constData(), O_RDONLY);
    ASSERT_EQ(::flock(keptByOther, LOCK_SH), 0);
    ASSERT_EQ(::flock(removedByOther, LOCK_EX), 0);
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    ::close(keptByOther);
    ::close(removedByOther);
    EXPECT_EQ(Flags(), u"..sr..r"_s);
    EXPECT_EQ(ActionLines().filter(ActionRun::BusyText),
              (QStringList{Said(a[2], ActionRun::BusyText), Said(b[1], ActionRun::BusyText)}));
    for (const QString& path : {a[0], a[2], b[0], b[1]})
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
}

TEST_F(LastCopy, AHardLinkNeverHandsOverOwnerOrPermissions) {
    Start("hardlink");
    ASSERT_EQ(::chmod(Native(a[1]).constData(), 0600), 0);
    // Another owner where the tests may give one, else other permissions again.
    const uid_t other = testing_support::UnusedId();
    if (::geteuid() != 0 || ::chown(Native(a[2]).constData(), other, other) != 0)
        Tree().SetMode(u"d3/a.txt"_s, 0640);
    Rescan(); // rows with the change times that came with it
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..rr..s"_s);
    const QString refused =
        u"Not replaced by a hard link: its owner, group or permissions differ from "_s + a[0];
    EXPECT_EQ(ActionLines().mid(0, 2), (QStringList{Said(a[1], refused), Said(a[2], refused)}));
    EXPECT_EQ(QFileInfo(a[1]).permissions() & QFile::ReadOther, 0);
}

// The records of the run on a full disk: nothing is removed that is not on record, and a
// run whose record runs out of room stops at the next file.
TEST_F(LastCopy, NoRemovalWithoutItsRecord) {
    testing_support::PrivateMount logs(modCommon::LogPath, "64k");
    if (logs.Skip())
        GTEST_SKIP() << logs.Skip();
    Use("permanent");
    for (int i = 0; i < 120; ++i)
        AddScannedGroup(model, {Tree().CreateFile(u"k/%1.bin"_s.arg(i), QByteArray::number(i)),
                                Tree().CreateFile(u"m/%1.bin"_s.arg(i), QByteArray::number(i))});
    // Full but for the given room: the journal's first lines fit, a few dozen more do not.
    const auto fill = [&](qint64 leave) {
        QFile filler(modCommon::LogPath + u"filler"_s);
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size() && filler.flush()) {
        }
        filler.close();
        filler.resize(filler.size() - leave);
    };
    fill(0);
    EXPECT_EQ(Act(u"DeleteAll"_s), Outcome::NotRecorded);
    EXPECT_EQ(Flags(), QString(model.RowCount(), u'.'));
    EXPECT_TRUE(messages.Texts().last().startsWith(u"Nothing was done: the record of this run"_s));
    EXPECT_EQ(FilesIn(u"m"_s), 120);

    fill(4096);
    EXPECT_EQ(Act(u"DeleteAll"_s), Outcome::NotRecorded);
    // Said, and so is the run log that a full disk cannot take either.
    const QStringList said = messages.Texts().mid(1);
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].startsWith(
        u"The run stopped before the next file: its record could not be written"_s));
    EXPECT_TRUE(said[1].startsWith(u"The run log "_s));
    const qsizetype removed = 120 - FilesIn(u"m"_s);
    EXPECT_GT(removed, 0);
    EXPECT_LT(removed, 120);
    // Every file removed has its line; the files after the stop are all still there.
    EXPECT_EQ(Journal().filter(u"act\tdelete\t"_s).size(), removed);
    EXPECT_EQ(ActionLines().filter(u" - Deleted permanently"_s).size(), removed);
    EXPECT_EQ(FilesIn(u"k"_s), 120);
}

TEST_F(LastCopy, TheJournalSaysWhatIsAboutToBeDoneAndWhatWasDone) {
    Start("move");
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    const QStringList journal = Journal();
    ASSERT_EQ(journal.size(), 8);
    EXPECT_TRUE(journal[0].startsWith(u"run\t"_s));
    EXPECT_TRUE(journal[0].endsWith(u"\tDeleteAll\tmove"_s));
    const QString target = Tree().Path(u"target"_s);
    EXPECT_TRUE(journal[1].startsWith(u"act\tmove\t"_s + a[1] + u'\t' + target + a[1] + u'\t'));
    // And what stands there now: the moved file itself, for an undo to recognise.
    modAPI::FileInfo moved;
    ASSERT_EQ(modAPI::MyStat(target + a[1], moved), 1);
    EXPECT_EQ(journal[2], u"done\t"_s + a[1] + u'\t' + target + a[1] + u'\t' +
                              QString::fromLatin1(RunJournal::IdentityText(moved)));
    EXPECT_TRUE(journal[7].startsWith(u"end\t"_s));
    EXPECT_TRUE(journal[7].endsWith(u"\tfinished"_s));
}

// A run killed while copying into the move folder or writing the archive leaves a
// temporary file of ours; the next run that writes there clears it, and nothing else.
TEST_F(LastCopy, LeftoversOfAKilledRunAreClearedByTheNext) {
    Start("move");
    const QString folder = u"target"_s + a[1].section(u'/', 0, -2);
    const QString stale = Tree().CreateFile(folder + u"/.echofind-Ab12Cd"_s, "half", 1700000000);
    const QString staleZip = Tree().CreateFile(u"target/P.zip.Zz9Yy8"_s, "half", 1700000000);
    const QString fresh = Tree().CreateFile(folder + u"/.echofind-Fresh1"_s, "now", 4102444800);
    const QString notOurs = Tree().CreateFile(folder + u"/.echofind-long-name"_s, "x", 1700000000);
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(fresh) && QFile::exists(notOurs) && QFile::exists(staleZip));
    Restart();
    Use("zip");
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_FALSE(QFile::exists(staleZip));
    EXPECT_TRUE(QFile::exists(Tree().Path(u"target/P.zip"_s)));
}

TEST_F(LastCopy, AMoveAcrossFileSystemsCopiesWholeBeforeTheFileGoes) {
    testing_support::PrivateMount other;
    if (other.Skip())
        GTEST_SKIP() << other.Skip();
    Start("move", other.Root());
    // An earlier copy of the same path is in the move folder already.
    const QString earlier = testing_support::WriteFile(other.Root() + a[1], {});
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..ss..s"_s);
    EXPECT_EQ(ReadFile(earlier), QByteArray());
    EXPECT_EQ(ReadFile(earlier.chopped(4) + u" (2).txt"_s), QByteArray("aaaa"));
    EXPECT_EQ(QFileInfo(other.Root() + a[2]).lastModified().toSecsSinceEpoch(), 1700000000);
    EXPECT_FALSE(QFile::exists(a[1]) || QFile::exists(a[2]) || QFile::exists(b[1]));
    EXPECT_TRUE(QDir(earlier.section(u'/', 0, -2))
                    .entryList(QDir::Hidden | QDir::Files)
                    .filter(u".echofind"_s)
                    .isEmpty());
}

// Left to chance rather than timed: a folder flips between itself and a link to a folder of
// same-named files outside the tree for as long as the run goes on.
TEST_F(LastCopy, AFolderFlippingDuringTheRunNeverCostsAFileOutsideTheTree) {
    Use("permanent");
    constexpr int Files = 600;
    for (int i = 0; i < Files; ++i) {
        const QByteArray bytes = QByteArray::number(i).repeated(8);
        AddScannedGroup(model, {Tree().CreateFile(u"k/%1"_s.arg(i), bytes, 1700000000),
                                Tree().CreateFile(u"d/%1"_s.arg(i), bytes, 1700000000)});
        Tree().CreateFile(u"outside/%1"_s.arg(i), bytes, 1700000000);
    }
    ASSERT_TRUE(QFile::link(Tree().Path(u"outside"_s), Tree().Path(u"flip"_s)));
    std::atomic<bool> stop = false;
    std::thread flipper([&] {
        const QByteArray d = Native(Tree().Path(u"d"_s));
        const QByteArray flip = Native(Tree().Path(u"flip"_s));
        while (!stop)
            ::renameat2(AT_FDCWD, d.constData(), AT_FDCWD, flip.constData(), RENAME_EXCHANGE);
    });
    const Outcome outcome = Act(u"DeleteAll"_s);
    stop = true;
    flipper.join();
    ASSERT_EQ(outcome, Outcome::Finished);
    EXPECT_EQ(FilesIn(u"outside"_s), Files);
    EXPECT_EQ(FilesIn(u"k"_s), Files);
}

} // namespace
