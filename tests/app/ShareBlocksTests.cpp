#include "FileSystems.h"
#include "TestSupport.h"

#include "app/HeldFile.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"

#include <QRandomGenerator>

#include <cerrno>
#include <sys/stat.h>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

QByteArray Noise(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                     size / qint64(sizeof(quint32)));
    return bytes;
}

struct Status {
    dev_t Device = 0;
    ino_t Inode = 0;
    mode_t Mode = 0;
    uid_t Uid = 0;
    timespec Modified{};
    bool operator==(const Status& o) const {
        return Device == o.Device && Inode == o.Inode && Mode == o.Mode && Uid == o.Uid &&
               Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
    }
};

Status StatusOf(const QString& path) {
    struct stat st;
    if (::lstat(PathCodec::Encode(path).constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, st.st_mode, st.st_uid, st.st_mtim};
}

// Both files held as an action run holds them.
struct Pair {
    modAPI::HeldFile Kept;
    modAPI::HeldFile Copy;
    Pair(const QString& kept, const QString& copy) {
        EXPECT_EQ(Kept.Open(kept), 0);
        EXPECT_EQ(Copy.Open(copy), 0);
    }
};

class ShareBlocks : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        volume = std::make_unique<LoopVolume>(QString::fromLatin1(GetParam()));
        if (volume->Skip())
            GTEST_SKIP() << volume->Skip();
        ASSERT_TRUE(volume->Mounted());
    }
    QString At(const QString& name) const { return volume->Root() + u'/' + name; }
    std::unique_ptr<LoopVolume> volume;
};

// 40 MiB is more than one 16 MiB range, so the pieces must meet without a gap.
TEST_P(ShareBlocks, SharesEqualFilesOnceKeepingTheCopysNameInodeModeAndDates) {
    const QByteArray bytes = Noise(40 << 20, 7);
    const QString kept = WriteFile(At(u"kept.bin"_s), bytes, 1500000000);
    const QString copy = WriteFile(At(u"copy.bin"_s), bytes, 1600000000);
    ::chmod(PathCodec::Encode(copy).constData(), 0640);
    const Status before = StatusOf(copy);
    modAPI::HeldFolder root;
    ASSERT_EQ(root.Open(PathCodec::Encode(volume->Root())), 0);
    const qint64 freeBefore = modAPI::MyFreeBytes(root);

    {
        Pair pair(kept, copy);
        EXPECT_FALSE(modAPI::SharesAllBlocks(pair.Kept, pair.Copy));
        bool already = true;
        ASSERT_EQ(modAPI::MyShareBlocksHeld(pair.Kept, pair.Copy, &already), 1)
            << modAPI::SystemMessage(modAPI::LastAPIError).toStdString();
        EXPECT_FALSE(already);
    }
    EXPECT_EQ(StatusOf(copy), before);
    EXPECT_EQ(ReadFile(copy), bytes);
    EXPECT_EQ(ReadFile(kept), bytes);
    // The copy's own 40 MiB are given back; metadata may take a little of it.
    EXPECT_GT(modAPI::MyFreeBytes(root) - freeBefore, qint64(36) << 20);

    Pair again(kept, copy);
    EXPECT_TRUE(modAPI::SharesAllBlocks(again.Kept, again.Copy));
    bool already = false;
    EXPECT_EQ(modAPI::MyShareBlocksHeld(again.Kept, again.Copy, &already), 1);
    EXPECT_TRUE(already);
}

// The kernel compares again under its lock: a copy rewritten after the run compared it keeps
// its own bytes.
TEST_P(ShareBlocks, AFileChangedSinceTheComparisonKeepsItsBytes) {
    const QByteArray bytes = Noise(1 << 20, 3);
    const QString kept = WriteFile(At(u"kept.bin"_s), bytes);
    const QString copy = WriteFile(At(u"copy.bin"_s), bytes);
    Pair pair(kept, copy);
    QByteArray changed = bytes;
    changed[700000] = char(changed[700000] ^ 1);
    WriteFile(copy, changed);

    EXPECT_EQ(modAPI::MyShareBlocksHeld(pair.Kept, pair.Copy), 3);
    EXPECT_EQ(modAPI::LastAPIError, ECANCELED);
    EXPECT_FALSE(modAPI::CannotShareBlocks(modAPI::LastAPIError));
    EXPECT_EQ(ReadFile(copy), changed);
    EXPECT_EQ(ReadFile(kept), bytes);

    // Grown since it was held: not the size compared.
    WriteFile(copy, bytes + "more");
    Pair grown(kept, copy);
    WriteFile(copy, bytes + "more");
    EXPECT_EQ(modAPI::MyShareBlocksHeld(grown.Kept, grown.Copy), 3);
    EXPECT_EQ(ReadFile(copy), bytes + "more");
}

INSTANTIATE_TEST_SUITE_P(ReflinkFileSystems, ShareBlocks, ::testing::Values("btrfs", "xfs"),
                         [](const auto& info) { return std::string(info.param); });

// File systems without shared blocks refuse, and so does a pair across two file systems;
// the file is never copied or linked instead.
TEST(ShareBlocksRefused, OnExt4TmpfsAndAcrossFileSystems) {
    const QByteArray bytes = Noise(64 << 10, 9);
    const auto refused = [&](const QString& kept, const QString& copy) {
        const Status before = StatusOf(copy);
        Pair pair(kept, copy);
        const int result = modAPI::MyShareBlocksHeld(pair.Kept, pair.Copy);
        const int err = modAPI::LastAPIError;
        EXPECT_EQ(StatusOf(copy), before);
        EXPECT_EQ(ReadFile(copy), bytes);
        return result == 3 && modAPI::CannotShareBlocks(err);
    };
    LoopVolume ext4(u"ext4"_s, "64M");
    if (ext4.Skip())
        GTEST_SKIP() << ext4.Skip();
    PrivateMount tmpfs;
    if (tmpfs.Skip())
        GTEST_SKIP() << tmpfs.Skip();
    const QString e1 = WriteFile(ext4.Root() + u"/a.bin"_s, bytes);
    const QString e2 = WriteFile(ext4.Root() + u"/b.bin"_s, bytes);
    const QString t1 = WriteFile(tmpfs.Root() + u"/a.bin"_s, bytes);
    const QString t2 = WriteFile(tmpfs.Root() + u"/b.bin"_s, bytes);
    EXPECT_TRUE(refused(e1, e2)) << "ext4";
    EXPECT_TRUE(refused(t1, t2)) << "tmpfs";
    EXPECT_TRUE(refused(e1, t1)) << "across file systems";
}

} // namespace
