#include "ActionsFixture.h"

#include "actions/cls7z.h"

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

// The bytes of an entry, as far as the test needs them.
QByteArray EntryData(const QString& archive, const QString& entry) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    zip_file_t* f = zip ? zip_fopen(zip, entry.toUtf8().constData(), 0) : nullptr;
    QByteArray data(256, '\0');
    data.resize(f ? qMax<qsizetype>(0, zip_fread(f, data.data(), 256)) : 0);
    if (f)
        zip_fclose(f);
    if (zip)
        zip_discard(zip);
    return data;
}

QStringList Paths(const std::vector<cls7z::Item>& items) {
    QStringList paths;
    for (const cls7z::Item& item : items)
        paths << item.Path;
    return paths;
}

class ZipBatch : public ActionsTest {
protected:
    QString Archive() const { return Tree().Path(u"zips/P.zip"_s); }
    int Write(const QStringList& paths) {
        std::vector<cls7z::Item> items;
        for (const QString& p : paths)
            items.push_back({p, {}, {}});
        return cls7z().ArchiveAll(Tree().Path(u"zips/P"_s), items, batch);
    }
    QString File(const char* rel, const char* data) const {
        return Tree().CreateFile(QString::fromLatin1(rel), data, 1700000000);
    }

    cls7z::Batch batch;
};

TEST_F(ZipBatch, AddsAllFilesInOneWriteKeepingEarlierEntriesAndReplacingTheSameName) {
    const QString a = File("d1/a.txt", "one"), b = File("d2/b.txt", "two");
    const QString gone = Tree().Path(u"d2/gone.txt"_s);
    ASSERT_EQ(Write({a, gone, b}), 1);
    EXPECT_EQ(Paths(batch.Added), (QStringList{a, b}));
    EXPECT_EQ(Paths(batch.Refused), QStringList{gone}); // left out, the others committed

    // A second run keeps what the first stored and replaces an entry of the same path.
    Tree().CreateFile(u"d1/a.txt"_s, "one, rewritten");
    const QString c = File("d3/c.txt", "three");
    ASSERT_EQ(Write({a, c}), 1);
    EXPECT_EQ(ZipEntries(Archive()), (QStringList{a.mid(1), b.mid(1), c.mid(1)}));
    EXPECT_EQ(EntryData(Archive(), a.mid(1)), QByteArray("one, rewritten"));
    EXPECT_EQ(EntryData(Archive(), b.mid(1)), QByteArray("two"));
}

class ZipRun : public TwoGroupsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        Start(ActionSettings(u"zip"_s, Tree().Path(u"zips"_s)));
    }
    QString Archive() const { return Tree().Path(u"zips/P.zip"_s); }
    // The progress text while the archive is written.
    QString Writing() const { return u"Currently processing "_s + Archive(); }
};

TEST_F(ZipRun, ARunWritesItsFilesOnceAndRemovesThemOnlyAfterTheWrite) {
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..ss..s"_s);
    EXPECT_EQ(ZipEntries(Archive()), (QStringList{a[1].mid(1), a[2].mid(1), b[1].mid(1)}));
    const QString moved = u"moved to "_s + Archive();
    const QString deleted = u"Deleted permanently"_s;
    EXPECT_EQ(ActionLines(), (QStringList{Said(a[1], moved), Said(a[1], deleted), Said(a[2], moved),
                                          Said(a[2], deleted), Said(b[1], moved),
                                          Said(b[1], deleted), u"finished"_s}));
    EXPECT_FALSE(QFile::exists(a[1]) || QFile::exists(a[2]) || QFile::exists(b[1]));
    EXPECT_TRUE(QFile::exists(a[0]) && QFile::exists(b[0]));
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 3);
    EXPECT_EQ(progress.Texts.at(progress.Texts.size() - 2), Writing());
}

TEST_F(ZipRun, AFailedWriteLeavesEveryFileWithItsFailureLine) {
    Tree().CreateFile(u"zips/P.zip"_s, "this is no zip");
    ASSERT_EQ(Act(u"DeleteGroup"_s, 1), Outcome::Finished);
    EXPECT_EQ(Flags(), u"..rr..."_s);
    const QString failed = u"Error occured while zipping file"_s;
    EXPECT_EQ(ActionLines(), (QStringList{Said(a[1], failed), Said(a[2], failed), u"finished"_s}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_TRUE(QFile::exists(a[1]) && QFile::exists(a[2]));
    EXPECT_EQ(Tree().Read(u"zips/P.zip"_s), QByteArray("this is no zip"));
}

TEST_F(ZipRun, CancelDuringTheWalkOrTheWriteLeavesEverythingInPlace) {
    cls7z::Batch batch; // the archive of an earlier run
    ASSERT_EQ(cls7z().ArchiveAll(Tree().Path(u"zips/P"_s), {{a[0], {}, {}}}, batch), 1);
    const QByteArray before = Tree().Read(u"zips/P.zip"_s);
    progress.CancelAt = 1; // heard between rows: the queued files are never written
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Cancelled);
    progress.Texts.clear();
    progress.CancelAt = 4; // heard while the archive is written
    ASSERT_EQ(Act(u"DeleteAll"_s), Outcome::Cancelled);
    EXPECT_EQ(progress.Texts.at(6), Writing());

    EXPECT_EQ(Flags(), u"......."_s);
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_EQ(Tree().Read(u"zips/P.zip"_s), before);
    EXPECT_EQ(QDir(Tree().Path(u"zips"_s)).entryList(QDir::Files),
              QStringList{u"P.zip"_s}); // no temporary left behind
    for (const QString& path : a + b)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 0);
}

} // namespace
