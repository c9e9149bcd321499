#include "ActionsFixture.h"
#include "FileSystems.h"

#include <zlib.h>

#include <unordered_map>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

uLong Crc(const QByteArray& bytes) {
    return crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size()));
}

// Two byte strings of equal length and equal CRC-32 that differ: what a comparison by the
// shown signature would take for one file.
std::pair<QByteArray, QByteArray> CrcTwins() {
    std::unordered_map<uLong, QByteArray> seen;
    for (quint64 n = 1;; ++n) {
        const quint64 word = n * 0x9E3779B97F4A7C15ull;
        const QByteArray bytes(reinterpret_cast<const char*>(&word), sizeof word);
        const auto [it, fresh] = seen.emplace(Crc(bytes), bytes);
        if (!fresh)
            return {it->second, bytes};
    }
}

class LinkRun : public TwoGroupsTest {
protected:
    // Profile "P" replaces copies by hard links; groups a (rows 1-4) and b (rows 5-7).
    void SetUp() override {
        ActionsTest::SetUp();
        ActionSettings s(u"hardlink"_s);
        s.DeleteEmptyFolder = u"yes"_s;
        Start(s);
    }

    static QString Linked(const QString& path, const QString& kept) {
        return Said(path, u"Replaced by a hard link to "_s + kept);
    }
};

TEST_F(LinkRun, EveryMarkedCopyBecomesANameOfTheFirstUnmarkedFile) {
    // Keep the second file of b instead of the first.
    ASSERT_EQ(model.Click(7, 1, messages), ResultsModel::ClickOutcome::Unmarked);
    ASSERT_EQ(model.Click(6, 1, messages), ResultsModel::ClickOutcome::Marked);
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    // The third file of a is linked too, although linking the second moved the kept file's
    // change time.
    EXPECT_EQ(ActionLines(), (QStringList{Linked(a[1], a[0]), Linked(a[2], a[0]),
                                          Linked(b[0], b[1]), u"finished"_s}));
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 3);
    EXPECT_EQ(Flags(), u"..ss.s."_s);
    for (const QString& path : a)
        EXPECT_EQ(InodeOf(path), InodeOf(a[0])) << path.toStdString();
    EXPECT_EQ(InodeOf(b[1]), InodeOf(b[0]));
    EXPECT_EQ(ReadFile(a[2]), QByteArray("aaaa"));
    // Nothing left beside them, such as a temporary link.
    const auto names = [&](const char* folder) {
        return QDir(Tree().Path(QString::fromLatin1(folder)))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    EXPECT_EQ(names("d1") + names("d2") + names("d3"),
              (QStringList{u"a.txt"_s, u"b.txt"_s, u"a.txt"_s, u"b.txt"_s, u"a.txt"_s}));

    // Run again over the struck rows: nothing is left to do, and that is no error.
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(ActionLines().mid(4, 1),
              QStringList{Said(a[1], u"Already a hard link to "_s + a[0])});
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(Flags(), u"..ss.s."_s);
}

TEST_F(LinkRun, OnlyIdenticalBytesAreLinked) {
    const auto [left, right] = CrcTwins();
    ASSERT_NE(left, right);
    ASSERT_EQ(Crc(left), Crc(right));
    const QStringList twins = {Tree().CreateFile(u"t/one.bin"_s, left),
                               Tree().CreateFile(u"t/two.bin"_s, right)};
    const QStringList lastByte = {Tree().CreateFile(u"s/one.txt"_s, "abcd"),
                                  Tree().CreateFile(u"s/two.txt"_s, "abce")};
    model.ClearRecs();
    AddScannedGroup(model, twins);
    AddScannedGroup(model, lastByte);

    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    const QString differ = u"Not replaced by a hard link: its contents differ from "_s;
    EXPECT_EQ(ActionLines(), (QStringList{Said(twins[1], differ + twins[0]),
                                          Said(lastByte[1], differ + lastByte[0]), u"finished"_s}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_EQ(Flags(), u"..r..r"_s);
    EXPECT_EQ(ReadFile(twins[1]), right);
    EXPECT_EQ(ReadFile(lastByte[1]), QByteArray("abce"));
    EXPECT_NE(InodeOf(twins[1]), InodeOf(twins[0]));
}

TEST_F(LinkRun, AFileThatCannotBeReadIsNeverLinked) {
    // Not even its owner may read it, so its bytes cannot be compared.
    if (::geteuid() == 0) {
        const uid_t user = testing_support::UnusedId();
        for (const QString& path : b)
            ASSERT_EQ(::chown(PathCodec::Encode(path).constData(), user, user), 0);
    }
    Tree().SetMode(u"d2/b.txt"_s, 0200);
    ShareAppFolder();
    Rescan();
    const int outcome = testing_support::RunAsOtherUser([&] {
        if (Act(u"DeleteGroup"_s, 5) != Outcome::Finished)
            return 1;
        if (ActionLines() !=
            QStringList{Said(b[1], u"Error occured while comparing the file with "_s + b[0]),
                        u"finished"_s})
            return 2;
        return Errors() == 1 && Flags() == u"......r"_s ? 0 : 3;
    });
    EXPECT_EQ(outcome, 0) << "-1: the run did not end; 2: other lines; 3: other counts";
    EXPECT_NE(InodeOf(b[1]), InodeOf(b[0]));
    const QString log = app.AppLogLines().join(u'\n');
    EXPECT_TRUE(Holds(log, u"Error occured in modAPI.CompareContents Error number: 13 "_s));
}

} // namespace
