#include "ActionsFixture.h"
#include "FileSystems.h"

#include "actions/ActionRun.h"
#include "actions/clsCleanup.h"
#include "app/PathCodec.h"

#include <QDir>

#include <sys/stat.h>
#include <zlib.h>

#include <unordered_map>

namespace {

using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

quint64 InodeOf(const QString& path) {
    modAPI::FileInfo info;
    return modAPI::MyStat(path, info) == 1 ? info.Inode : 0;
}

// Names left in the folders besides the files themselves, such as a temporary link.
QStringList Strays(const QStringList& files) {
    QStringList strays;
    QSet<QString> folders;
    for (const QString& f : files)
        folders.insert(f.left(f.lastIndexOf(u'/')));
    for (const QString& folder : folders)
        for (const QString& name :
             QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            if (!files.contains(folder + u'/' + name))
                strays << folder + u'/' + name;
    return strays;
}

// Two byte strings of equal length and equal CRC-32 that differ: what a comparison by the
// shown signature would take for one file.
std::pair<QByteArray, QByteArray> CrcTwins() {
    std::unordered_map<uLong, quint64> seen;
    for (quint64 n = 1;; ++n) {
        const quint64 word = n * 0x9E3779B97F4A7C15ull;
        const QByteArray bytes(reinterpret_cast<const char*>(&word), sizeof word);
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), 8);
        const auto [it, fresh] = seen.emplace(crc, word);
        if (!fresh)
            return {QByteArray(reinterpret_cast<const char*>(&it->second), 8), bytes};
    }
}

class LinkRun : public actions_testing::TwoGroupsTest {
protected:
    // Profile "P" replaces copies by hard links; groups a (rows 1-4) and b (rows 5-7).
    void SetUp() override {
        ActionsTest::SetUp();
        settings.DeleteTo = QStringLiteral("hardlink");
        settings.DeleteEmptyFolder = QStringLiteral("yes");
        WriteProfile(QStringLiteral("P"), settings);
        MakeGroups();
    }

    Outcome Execute(const QString& action, qint64 currentRow = 1) {
        ActionRun run(model, nullptr, messages);
        run.Action = action;
        run.FileCount = action == u"Delete" ? 1
                        : action == u"DeleteGroup"
                            ? ResultsModel::GetGroupFileCount(model.Text(currentRow, 2))
                            : model.RowCount();
        model.SetCurrent(currentRow, 1);
        return run.Execute(QStringLiteral("P"));
    }

    static QString Linked(const QString& path, const QString& kept) {
        return path + QStringLiteral(" - Replaced by a hard link to ") + kept;
    }
    static QString Skipped(const QString& path) {
        return path + QStringLiteral(" - ") + ActionRun::SkippedText;
    }

    ProfileSettings settings;
};

TEST_F(LinkRun, EveryMarkedCopyBecomesANameOfTheKeptFile) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    // The third file of a is linked too, although linking the second moved the kept file's
    // change time.
    EXPECT_EQ(ActionLines(), (QStringList{Linked(a[1], a[0]), Linked(a[2], a[0]),
                                          Linked(b[1], b[0]), QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 3);
    EXPECT_EQ(Flags(), QStringLiteral("..ss..s"));
    for (const QString& path : a)
        EXPECT_EQ(InodeOf(path), InodeOf(a[0])) << path.toStdString();
    EXPECT_EQ(InodeOf(b[1]), InodeOf(b[0]));
    EXPECT_EQ(actions_testing::Contents(a[2]), QByteArray("aaaa"));
    EXPECT_EQ(Strays(a + b), QStringList());

    // Run again over the struck rows: nothing is left to do, and that is no error.
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(ActionLines().mid(4, 1),
              QStringList{a[1] + QStringLiteral(" - Already a hard link to ") + a[0]});
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(Flags(), QStringLiteral("..ss..s"));
}

TEST_F(LinkRun, OneRowOrOneGroupAndAlwaysToTheFirstUnmarkedFile) {
    EXPECT_EQ(Execute(QStringLiteral("Delete"), 2), Outcome::NotMarked);
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Please select a marked item to delete and try again.")});

    // Keep the second file of a instead of the first.
    ASSERT_EQ(model.Click(3, 1, messages), ResultsModel::ClickOutcome::Unmarked);
    ASSERT_EQ(model.Click(2, 1, messages), ResultsModel::ClickOutcome::Marked);
    ASSERT_EQ(Execute(QStringLiteral("Delete"), 2), Outcome::Finished);
    ASSERT_EQ(Execute(QStringLiteral("DeleteGroup"), 5), Outcome::Finished);
    EXPECT_EQ(ActionLines(), (QStringList{Linked(a[0], a[1]), QStringLiteral("finished"),
                                          Linked(b[1], b[0]), QStringLiteral("finished")}));
    EXPECT_EQ(Flags(), QStringLiteral(".s....s"));
    EXPECT_NE(InodeOf(a[2]), InodeOf(a[1])) << "outside the row acted on";
    // The emptied-folder rule has nothing to do with a name that stays.
    EXPECT_TRUE(QFile::exists(a[0]));
}

TEST_F(LinkRun, OnlyIdenticalBytesAreLinked) {
    const auto [left, right] = CrcTwins();
    ASSERT_NE(left, right);
    ASSERT_EQ(crc32(0, reinterpret_cast<const Bytef*>(left.constData()), 8),
              crc32(0, reinterpret_cast<const Bytef*>(right.constData()), 8));
    const QStringList twins = {Tree().CreateFile(QStringLiteral("t/one.bin"), left),
                               Tree().CreateFile(QStringLiteral("t/two.bin"), right)};
    const QStringList lastByte = {Tree().CreateFile(QStringLiteral("s/one.txt"), "abcd"),
                                  Tree().CreateFile(QStringLiteral("s/two.txt"), "abce")};
    model.ClearRecs();
    AddGroup(model, twins);
    AddGroup(model, lastByte);

    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    const QString differ =
        QStringLiteral(" - Not replaced by a hard link: its contents differ from ");
    EXPECT_EQ(ActionLines(),
              (QStringList{twins[1] + differ + twins[0], lastByte[1] + differ + lastByte[0],
                           QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_EQ(Flags(), QStringLiteral("..r..r"));
    EXPECT_EQ(actions_testing::Contents(twins[1]), right);
    EXPECT_EQ(actions_testing::Contents(lastByte[1]), QByteArray("abce"));
    EXPECT_NE(InodeOf(twins[1]), InodeOf(twins[0]));
}

TEST_F(LinkRun, AFileOrKeptFileChangedSinceTheScanIsNotLinked) {
    Tree().SetMTime(QStringLiteral("d2/a.txt"), 1700000500); // a marked file, other time
    QFile::remove(b[0]);                                     // b's kept file is gone
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(ActionLines(), (QStringList{Skipped(a[1]), Linked(a[2], a[0]), Skipped(b[1]),
                                          QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_EQ(Flags(), QStringLiteral("..rs..r"));
    EXPECT_NE(InodeOf(a[1]), InodeOf(a[0]));
    EXPECT_EQ(actions_testing::Contents(b[1]), QByteArray("bb"));
    EXPECT_EQ(Strays(QStringList{a[0], a[1], a[2], b[1]}), QStringList());

    // A kept file rewritten with the same bytes, size and time is still another file.
    modLog::ResetRunStats();
    model.ClearRecs();
    MakeGroups();
    const QByteArray bytes = actions_testing::Contents(a[0]);
    QFile::remove(a[0]);
    Tree().CreateFile(QStringLiteral("d1/a.txt"), bytes, 1700000000);
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(ActionLines().mid(0, 2), (QStringList{Skipped(a[1]), Skipped(a[2])}));
}

TEST_F(LinkRun, AFileThatCannotBeReadIsNeverLinked) {
    ::chmod(PathCodec::Encode(Tree().Root()).constData(), 0755);
    // Not even its owner may read it, so its bytes cannot be compared.
    if (::geteuid() == 0) {
        const uid_t user = testing_support::UnusedId();
        for (const QString& path : b)
            ASSERT_EQ(::chown(PathCodec::Encode(path).constData(), user, user), 0);
    }
    Tree().SetMode(QStringLiteral("d2/b.txt"), 0200);
    // Where the user's run writes the failed-system-call line, its lock and its record.
    ::chmod(PathCodec::Encode(modCommon::AppPath + QStringLiteral("Log")).constData(), 0777);
    ShareAppFolder();
    model.ClearRecs();
    AddGroup(model, a);
    AddGroup(model, b);
    const int outcome = testing_support::RunAsOtherUser([&] {
        if (Execute(QStringLiteral("DeleteGroup"), 5) != Outcome::Finished)
            return 1;
        if (ActionLines() !=
            QStringList{b[1] + QStringLiteral(" - Error occured while comparing the file with ") +
                            b[0],
                        QStringLiteral("finished")})
            return 2;
        return Errors() == 1 && Flags() == QStringLiteral("......r") ? 0 : 3;
    });
    EXPECT_EQ(outcome, 0) << "-1: the run did not end; 2: other lines; 3: other counts";
    EXPECT_NE(InodeOf(b[1]), InodeOf(b[0]));
    EXPECT_TRUE(app.AppLogLines().join(u'\n').contains(
        QStringLiteral("Error occured in modAPI.CompareContents Error number: 13 ")))
        << app.AppLogLines().join(u'\n').toStdString();
}

TEST_F(LinkRun, WithoutAKeptFileTheRemoverNeverFallsBackToTheTrash) {
    clsCleanup cleanup(messages);
    cleanup.DeleteTo = QStringLiteral("hardlink");
    cleanup.DeleteEmptyFolder = true;
    ASSERT_EQ(cleanup.DeleteFile(a[2]), 1);
    EXPECT_TRUE(QFile::exists(a[2]));
    EXPECT_FALSE(QDir(TrashFiles()).exists() && !QDir(TrashFiles()).isEmpty());
    EXPECT_EQ(
        ActionLines(),
        QStringList{a[2] + QStringLiteral(" - Error occured while replacing by a hard link")});
    EXPECT_EQ(Errors(), 1);
}

} // namespace
