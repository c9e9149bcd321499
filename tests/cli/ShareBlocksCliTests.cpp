// echofind-cli run with a profile that shares blocks instead of removing: on btrfs and XFS
// every copy stays with its own name and bytes and the space comes back; elsewhere nothing
// is touched and each file says why.

#include "CliFixture.h"
#include "FileSystems.h"

#include "app/HeldFile.h"

#include <QRandomGenerator>

#include <sys/stat.h>

namespace {

using namespace cli_testing;

QByteArray Noise(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                     size / qint64(sizeof(quint32)));
    return bytes;
}

ino_t InodeOf(const QString& path) {
    struct stat st;
    return ::lstat(PathCodec::Encode(path).constData(), &st) == 0 ? st.st_ino : 0;
}

class ShareBlocksRun : public CliHome, public ::testing::WithParamInterface<const char*> {
protected:
    // Three copies of 1 MiB, a pair of 256 KiB, and a unique file, on the volume.
    void Fill(const QString& root) {
        big = Noise(1 << 20, 1);
        small = Noise(256 << 10, 2);
        copies = {testing_support::WriteFile(root + u"/a/big.bin"_s, big, 1500000000),
                  testing_support::WriteFile(root + u"/b/big.bin"_s, big, 1500000100),
                  testing_support::WriteFile(root + u"/c/big copy.bin"_s, big, 1500000200),
                  testing_support::WriteFile(root + u"/a/small.bin"_s, small),
                  testing_support::WriteFile(root + u"/b/small.bin"_s, small)};
        testing_support::WriteFile(root + u"/a/unique.bin"_s, Noise(256 << 10, 3));
        ProfileSettings p = ContentProfile({root}, u"crc"_s);
        p.DeleteTo = u"clone"_s;
        SaveProfile(u"Share"_s, p);
    }
    QByteArray big;
    QByteArray small;
    QStringList copies;
};

TEST_P(ShareBlocksRun, EveryCopyKeepsItsNameAndBytesAndTheSpaceComesBack) {
    testing_support::LoopVolume volume(QString::fromLatin1(GetParam()));
    if (volume.Skip())
        GTEST_SKIP() << volume.Skip();
    Fill(volume.Root());
    QList<ino_t> inodes;
    for (const QString& path : copies)
        inodes << InodeOf(path);

    const Result first = Cli(0, Words("run Share --remove -q"));
    EXPECT_TRUE(first.Err.contains(
        u"remove: 3 files acted on, 3 now share blocks with the kept files (2.4 MB), "_s))
        << first.Err.toStdString();
    const QByteArray log = RunLog(u"Share"_s);
    EXPECT_EQ(log.count(" - Shares its blocks with "), 3) << log.toStdString();
    EXPECT_TRUE(log.contains("3 files now share their blocks with their kept copies (2.4 MB); "
                             "space freed: "))
        << log.toStdString();
    // Measured on the file system, not the sum of the sizes; metadata may take a little.
    EXPECT_FALSE(log.contains("space freed: 0 bytes") || log.contains("space freed: not known"));
    for (int i = 0; i < copies.size(); ++i) {
        EXPECT_EQ(InodeOf(copies[i]), inodes[i]) << copies[i].toStdString();
        EXPECT_EQ(testing_support::ReadFile(copies[i]), i < 3 ? big : small);
    }

    // Already shared: said once per file, not counted again, no error.
    const Result second = Cli(0, Words("run Share --remove -q"));
    EXPECT_TRUE(second.Err.contains(
        u"remove: 3 files acted on, 0 now share blocks with the kept files (0 bytes)"_s))
        << second.Err.toStdString();
    EXPECT_EQ(RunLog(u"Share"_s).count(" - Already shares its blocks with "), 3);

    // The run before the last changed nothing, so the undo takes back nothing; an undo of
    // the first gives each copy blocks of its own again, bytes and dates as they were.
    EXPECT_TRUE(Holds(Cli(0, Words("undo Share")).Err, u"undo: 0 back, 0 already back"_s));
}

TEST_P(ShareBlocksRun, AnUndoGivesEveryCopyBlocksOfItsOwnAgain) {
    testing_support::LoopVolume volume(QString::fromLatin1(GetParam()));
    if (volume.Skip())
        GTEST_SKIP() << volume.Skip();
    Fill(volume.Root());
    Cli(0, Words("run Share --remove -q"));
    const Result undone = Cli(0, Words("undo Share"));
    EXPECT_TRUE(Holds(undone.Err, u"undo: 3 back"_s)) << undone.Err.toStdString();
    for (int i = 1; i < copies.size(); ++i) {
        if (i == 3)
            continue; // the kept file of the second group
        modAPI::HeldFile kept;
        modAPI::HeldFile copy;
        ASSERT_EQ(kept.Open(copies[i < 3 ? 0 : 3]), 0);
        ASSERT_EQ(copy.Open(copies[i]), 0);
        EXPECT_FALSE(modAPI::SharesAllBlocks(kept, copy)) << copies[i].toStdString();
        EXPECT_EQ(testing_support::ReadFile(copies[i]), i < 3 ? big : small);
    }
    struct stat st;
    ASSERT_EQ(::lstat(PathCodec::Encode(copies[2]).constData(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1500000200);
}

INSTANTIATE_TEST_SUITE_P(ReflinkFileSystems, ShareBlocksRun, ::testing::Values("btrfs", "xfs"),
                         [](const auto& info) { return std::string(info.param); });

// Never a link or a copy instead: every file stays as it was, each with its own line.
TEST_F(ShareBlocksRun, WhereTheFileSystemCannotShareEveryFileStaysAndSaysWhy) {
    testing_support::PrivateMount tmpfs;
    if (tmpfs.Skip())
        GTEST_SKIP() << tmpfs.Skip();
    Fill(tmpfs.Root());
    QList<ino_t> inodes;
    for (const QString& path : copies)
        inodes << InodeOf(path);
    const Result refused = Cli(1, Words("run Share --remove -q"));
    EXPECT_TRUE(refused.Err.contains(u"0 now share blocks"_s)) << refused.Err.toStdString();
    EXPECT_TRUE(refused.Err.contains(u"3 flagged, 3 errors"_s)) << refused.Err.toStdString();
    EXPECT_EQ(RunLog(u"Share"_s).count(" - Not shared: the file system cannot share blocks"), 3);
    for (int i = 0; i < copies.size(); ++i)
        EXPECT_EQ(InodeOf(copies[i]), inodes[i]);
}

} // namespace
