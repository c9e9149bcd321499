#include "ActionsFixture.h"

#include "actions/ActionRun.h"
#include "actions/cls7z.h"
#include "actions/clsCleanup.h"

#include <zip.h>

namespace {

using actions_testing::ActionsTest;
using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

// The names of an archive's entries, or "(unreadable)" when it is no archive.
QStringList Entries(const QString& archive) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return {QStringLiteral("(unreadable)")};
    QStringList names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        names << QString::fromUtf8(zip_get_name(zip, zip_uint64_t(i), 0));
    zip_discard(zip);
    return names;
}

QByteArray EntryData(const QString& archive, const QString& entry) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return "(no archive)";
    QByteArray data;
    if (zip_file_t* f = zip_fopen(zip, entry.toUtf8().constData(), 0)) {
        char buffer[256];
        for (zip_int64_t n; (n = zip_fread(f, buffer, sizeof buffer)) > 0;)
            data.append(buffer, qsizetype(n));
        zip_fclose(f);
    } else {
        data = "(no entry)";
    }
    zip_discard(zip);
    return data;
}

std::vector<cls7z::Item> Items(const QStringList& paths) {
    std::vector<cls7z::Item> items;
    for (const QString& p : paths)
        items.push_back({p, {}, {}});
    return items;
}

QStringList Paths(const std::vector<cls7z::Item>& items) {
    QStringList paths;
    for (const cls7z::Item& item : items)
        paths << item.Path;
    return paths;
}

class ZipBatch : public ActionsTest {
protected:
    QString Archive() const { return Tree().Path(QStringLiteral("zips/P.zip")); }
    QString File(const char* rel, const char* data) const {
        return Tree().CreateFile(QString::fromLatin1(rel), data, 1700000000);
    }
};

TEST_F(ZipBatch, AddsAllFilesInOneWriteKeepingEarlierEntriesAndReplacingTheSameName) {
    const QString a = File("d1/a.txt", "one"), b = File("d2/b.txt", "two");
    cls7z zipper;
    cls7z::Batch batch;
    ASSERT_EQ(zipper.ArchiveAll(Tree().Path(QStringLiteral("zips/P")), Items({a, b}), batch), 1);
    EXPECT_EQ(Paths(batch.Added), (QStringList{a, b}));

    // A second run keeps what the first stored and replaces an entry of the same path.
    Tree().CreateFile(QStringLiteral("d1/a.txt"), "one, rewritten");
    const QString c = File("d3/c.txt", "three");
    ASSERT_EQ(zipper.ArchiveAll(Tree().Path(QStringLiteral("zips/P")), Items({a, c}), batch), 1);
    EXPECT_EQ(Entries(Archive()), (QStringList{a.mid(1), b.mid(1), c.mid(1)}));
    EXPECT_EQ(EntryData(Archive(), a.mid(1)), QByteArray("one, rewritten"));
    EXPECT_EQ(EntryData(Archive(), b.mid(1)), QByteArray("two"));
}

TEST_F(ZipBatch, AMissingFileIsLeftOutWhileTheOthersAreCommitted) {
    const QString a = File("d/a.txt", "a"), b = File("d/b.txt", "b");
    const QString gone = Tree().Path(QStringLiteral("d/gone.txt"));
    cls7z::Batch batch;
    ASSERT_EQ(cls7z().ArchiveAll(Tree().Path(QStringLiteral("zips/P")), Items({a, gone, b}), batch),
              1);
    EXPECT_EQ(Paths(batch.Added), (QStringList{a, b}));
    EXPECT_EQ(Paths(batch.Refused), QStringList{gone});
    EXPECT_EQ(Entries(Archive()), (QStringList{a.mid(1), b.mid(1)}));
}

TEST_F(ZipBatch, AStoppedWriteLeavesTheEarlierArchiveAsItWas) {
    const QString a = File("d/a.txt", "a"), b = File("d/b.txt", "b");
    cls7z::Batch batch;
    ASSERT_EQ(cls7z().ArchiveAll(Tree().Path(QStringLiteral("zips/P")), Items({a}), batch), 1);
    const QByteArray before = Tree().Read(QStringLiteral("zips/P.zip"));

    int calls = 0;
    ASSERT_EQ(cls7z().ArchiveAll(Tree().Path(QStringLiteral("zips/P")), Items({b}), batch,
                                 [&](double) { return ++calls < 2; }),
              3);
    EXPECT_TRUE(batch.Cancelled);
    EXPECT_TRUE(batch.Added.empty());
    EXPECT_EQ(Tree().Read(QStringLiteral("zips/P.zip")), before);
    EXPECT_EQ(QDir(Tree().Path(QStringLiteral("zips"))).entryList(QDir::Files),
              QStringList{QStringLiteral("P.zip")}); // no temporary left behind
}

class ZipRun : public actions_testing::TwoGroupsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        ProfileSettings s;
        s.DeleteTo = QStringLiteral("zip");
        s.Folder = Tree().Path(QStringLiteral("zips"));
        WriteProfile(QStringLiteral("P"), s);
        MakeGroups();
    }

    class CancelOnYield final : public ActionObserver {
    public:
        void SetMaximum(qint64) override {}
        void SetValue(qint64) override {}
        void ShowProgress(const QString& processing, const QString&) override {
            Processing << processing;
        }
        void Yield() override {
            if (Processing.size() > CancelAfterTexts && run)
                run->Cancel();
        }
        QStringList Processing;
        qsizetype CancelAfterTexts = 1000;
        ActionRun* run = nullptr;
    };

    Outcome Execute(const QString& action, qint64 row = 1, qint64 count = 7) {
        ActionRun run(model, &observer, messages);
        observer.run = &run;
        run.Action = action;
        run.FileCount = count;
        model.SetCurrent(row, 1);
        return run.Execute(QStringLiteral("P"));
    }
    QString Archive() const { return Tree().Path(QStringLiteral("zips/P.zip")); }

    CancelOnYield observer;
};

TEST_F(ZipRun, ARunWritesItsFilesOnceAndRemovesThemOnlyAfterTheWrite) {
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..ss..s"));
    EXPECT_EQ(Entries(Archive()), (QStringList{a[1].mid(1), a[2].mid(1), b[1].mid(1)}));
    const QString moved = QStringLiteral(" - moved to ") + Archive();
    const QString deleted = QStringLiteral(" - Deleted permanently");
    EXPECT_EQ(ActionLines(),
              (QStringList{a[1] + moved, a[1] + deleted, a[2] + moved, a[2] + deleted, b[1] + moved,
                           b[1] + deleted, QStringLiteral("finished")}));
    EXPECT_FALSE(QFile::exists(a[1]) || QFile::exists(a[2]) || QFile::exists(b[1]));
    EXPECT_TRUE(QFile::exists(a[0]) && QFile::exists(b[0]));
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 3);
    // The last progress text names the archive being written.
    EXPECT_EQ(observer.Processing.last(), QStringLiteral("Currently processing ") + Archive());
}

TEST_F(ZipRun, AFailedWriteLeavesEveryFileWithItsFailureLine) {
    Tree().CreateFile(QStringLiteral("zips/P.zip"), "this is no zip");
    ASSERT_EQ(Execute(QStringLiteral("DeleteGroup"), 1, 3), Outcome::Finished);
    EXPECT_EQ(Flags(), QStringLiteral("..rr..."));
    const QString failed = QStringLiteral(" - Error occured while zipping file");
    EXPECT_EQ(ActionLines(),
              (QStringList{a[1] + failed, a[2] + failed, QStringLiteral("finished")}));
    EXPECT_EQ(Errors(), 2);
    EXPECT_TRUE(QFile::exists(a[1]) && QFile::exists(a[2]));
    EXPECT_EQ(Tree().Read(QStringLiteral("zips/P.zip")), QByteArray("this is no zip"));
}

TEST_F(ZipRun, CancelDuringTheWalkOrTheWriteLeavesEverythingInPlace) {
    // Heard between rows: the queued files are never written.
    observer.CancelAfterTexts = 1;
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Cancelled);
    // Heard while the archive is written (the last text names the archive).
    observer.Processing.clear();
    observer.CancelAfterTexts = 3;
    ASSERT_EQ(Execute(QStringLiteral("DeleteAll")), Outcome::Cancelled);
    EXPECT_EQ(observer.Processing.last(), QStringLiteral("Currently processing ") + Archive());

    EXPECT_EQ(Flags(), QStringLiteral("......."));
    EXPECT_TRUE(ActionLines().isEmpty());
    EXPECT_FALSE(QFile::exists(Archive()));
    for (const QString& path : a + b)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_EQ(modLog::RunStats.FilesActedOn, 0);
}

} // namespace
