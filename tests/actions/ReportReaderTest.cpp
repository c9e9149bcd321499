// Saved XML reports read back into the results: everything a report shows comes back as it
// was and is written again unchanged, reports of earlier versions included; anything that
// is not such a report is refused; and rows read back are acted on only after their files
// are checked again, bytes included, since no scan vouches for them.

#include "ActionsFixture.h"

#include "actions/ActionRun.h"
#include "actions/XmlReportReader.h"
#include "app/PathCodec.h"

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace Qt::StringLiterals;
using actions_testing::ProfileSettings;
using Outcome = ActionRun::Outcome;

class Reopen : public actions_testing::TwoGroupsTest {
protected:
    // Profile "P" removes permanently and exports XML reports.
    void SetUp() override {
        ActionsTest::SetUp();
        settings.DeleteTo = u"permanent"_s;
        settings.ExportLocation = Tree().CreateDir(u"reports"_s);
        settings.ScanFolders = {Tree().Path(u"d1"_s), Tree().Path(u"d2"_s), Tree().Path(u"d3"_s)};
        settings.ExportFormat = u"xml"_s;
        WriteProfile(u"P"_s, settings);
    }

    Outcome Execute(ResultsModel& m, const QString& action) {
        ActionRun run(m, nullptr, messages);
        run.Action = action;
        run.FileCount = m.RowCount();
        m.SetCurrent(1, 1);
        return run.Execute(u"P"_s);
    }
    // Exports the results as the report of P and gives its bytes.
    QByteArray Export(ResultsModel& m) {
        EXPECT_EQ(Execute(m, u"Export"_s), Outcome::Finished);
        return Tree().Read(u"reports/P.xml"_s);
    }
    QString ReportPath() const { return Tree().Path(u"reports/P.xml"_s); }
    void WriteReport(const QByteArray& bytes) const {
        QFile f(ReportPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // Every cell, mark and strike of every row, to compare two results whole.
    static std::string Dump(const ResultsModel& m) {
        QStringList rows;
        for (qint64 r = 1; r <= m.RowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < ResultsModel::ColumnCount; ++c)
                cells << m.Text(r, c);
            rows << cells.join(u'|') + (m.IsStruck(r) ? u" struck"_s : QString());
        }
        return rows.join(u'\n').toStdString();
    }

    ProfileSettings settings;
};

// As the program writes its reports: UTF-16 with a byte-order mark.
QByteArray Utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

TEST_F(Reopen, AReportComesBackAsItWasShownAndIsWrittenAgainUnchanged) {
    // Names that need the escaped form or XML's own escapes, a byte that is not UTF-8,
    // marks a person changed, and a removed file.
    const QStringList names = {PathCodec::Decode("caf\xe9.txt"), u"<&\"'>.txt"_s,
                               u"two\nlines\tand\rmore"_s,       u"ctl\x01.txt"_s,
                               u"back\\slash\\x41\\u0042"_s,     u"plain.txt"_s};
    const qint64 first = model.AddHeader(names[0]);
    for (int i = 0; i < 3; ++i)
        model.AddRow(i == 0,
                     {names[i], u"/d%1/"_s.arg(i) + names[i], u"2024-01-02 03:04:05"_s,
                      u"2024-01-02 03:04:06"_s, 12, u"N"_s, u"-12345"_s},
                     {});
    model.UpdateHeadTotal(first, 36);
    model.UpdateHeader(first, u"3"_s);
    const qint64 second = model.AddHeader(names[3]);
    for (int i = 3; i < 6; ++i)
        model.AddRow(i == 3,
                     {names[i], u"/e/"_s + names[i], QString(), QString(), 0, u"HR"_s, QString(),
                      u"d41d8cd98f00b204e9800998ecf8427e"_s},
                     {});
    model.UpdateHeadTotal(second, 0);
    model.UpdateHeader(second, u"3"_s);
    model.SetText(6, 1, ResultsModel::Marked);   // the first kept file now marked...
    model.SetText(7, 1, ResultsModel::Unmarked); // ...and this one kept instead
    model.SetFlag(8, ResultsModel::FlagStruck, true);

    const QByteArray report = Export(model);
    XmlReportReader reader;
    ASSERT_TRUE(reader.Read(ReportPath())) << reader.Error().toStdString();
    ResultsModel back;
    reader.Fill(back);
    EXPECT_EQ(Dump(back), Dump(model));
    EXPECT_EQ(back.Text(first, 4), u"36 bytes"_s);
    EXPECT_EQ(back.CurrentRow(), 1);
    EXPECT_FALSE(back.Identity(2).Known());
    // The raw byte is the same path, not its look-alike.
    EXPECT_EQ(PathCodec::Encode(back.Text(2, 3)), QByteArray("/d0/caf\xe9.txt"));
    EXPECT_EQ(Export(back), report);
}

TEST_F(Reopen, AReportOfAnEarlierVersionReadsWithTheMarksOfARunAndIsWrittenBackAsItWas) {
    QFile golden(u"" ECHOFIND_TEST_DATA "/golden/report.xml.utf8"_s);
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    const QByteArray old = Utf16(QString::fromUtf8(golden.readAll()));
    WriteReport(old);
    XmlReportReader reader;
    ASSERT_TRUE(reader.Read(ReportPath())) << reader.Error().toStdString();
    reader.Fill(model);
    ASSERT_EQ(model.RowCount(), 6);
    const QString caption = u"Café, \"Noël\" <b>&.txt   (2 copies)"_s;
    EXPECT_EQ(model.Text(1, 2), caption);
    EXPECT_EQ(model.Text(1, 3), caption);
    EXPECT_EQ(model.Text(1, 4), u"24 bytes"_s);
    EXPECT_EQ(model.Text(3, 3), u"/data/copy/Café, \"Noël\" <b>&.txt"_s);
    EXPECT_EQ(model.Text(3, 7), u"HR"_s);
    // The first file kept, the removed one marked and struck, in each group.
    EXPECT_EQ(actions_testing::RowFlags(model).toStdString(), "..s..s");
    for (const qint64 row : {2, 5})
        EXPECT_TRUE(model.IsUnmarked(row)) << row;
    for (const qint64 row : {3, 6})
        EXPECT_TRUE(model.IsMarked(row)) << row;
    EXPECT_EQ(Export(model), old);
}

TEST_F(Reopen, AnythingButAWellFormedReportIsRefusedWithItsReason) {
    const auto file = [](const char* attributes) {
        return "<duplicates><filedetails group='a   (1 copies)'><file " + QByteArray(attributes) +
               "/></filedetails></duplicates>";
    };
    const char* good = "name='a' location='/a' size='1 bytes' status=''";
    const struct {
        QByteArray Document;
        const char* Reason;
    } cases[] = {
        {"not XML at all", "not an XML document"},
        {"<duplicates><filedetails group='a'>", "not an XML document"},
        {"<echofind><profileoption/></echofind>", "not a duplicates report"},
        {"<duplicates><group name='a'/></duplicates>", "not a duplicates report"},
        {"<duplicates><filedetails/></duplicates>", "not a duplicates report"},
        {"<duplicates><filedetails group='a   (1 copies)'><dir/></filedetails></duplicates>",
         "not a file"},
        {file("name='a' size='1 bytes'"), "no full path"},
        {file("name='a' location='relative/a' size='1 bytes'"), "no full path"},
        {file("name='a' location='/a' size='1'"), "no size in bytes"},
        {file("name='a' location='/a' size='-1 bytes'"), "no size in bytes"},
        {file("name='a' location='/a' size='01 bytes'"), "no size in bytes"},
        {file("name='a' location='/a' size='1 bytes' status='gone'"), "unknown status"},
        {file("name='a' location='/a' size='1 bytes' marked='maybe'"), "unknown mark"},
        {file("name='a' location='/a\\u0000b' size='1 bytes'"), "NUL"},
        {"<duplicates><filedetails group='a\\u0000   (1 copies)'><file " + QByteArray(good) +
             "/></filedetails></duplicates>",
         "NUL"},
        {"<duplicates><filedetails group='a   (2 copies)'><file " + QByteArray(good) +
             "/></filedetails></duplicates>",
         "lists 1 files"},
        {"<duplicates><filedetails group='a   (0 copies)'/></duplicates>", "lists 0 files"},
        {"<duplicates><filedetails group='a   (1 copies)'><file name='a' location='/a' "
         "size='9223372036854775807 bytes'/><file name='a' location='/b' size='1 bytes'/>"
         "</filedetails></duplicates>",
         "no size in bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Document.toStdString());
        WriteReport(c.Document);
        XmlReportReader reader;
        EXPECT_FALSE(reader.Read(ReportPath()));
        EXPECT_TRUE(reader.Error().contains(QLatin1String(c.Reason)))
            << reader.Error().toStdString();
        EXPECT_TRUE(reader.Groups().empty());
    }
    XmlReportReader missing;
    EXPECT_FALSE(missing.Read(Tree().Path(u"reports/none.xml"_s)));
    EXPECT_FALSE(missing.Error().isEmpty());

    // One good file element reads; a report without groups is an empty result.
    WriteReport(file(good));
    XmlReportReader one;
    EXPECT_TRUE(one.Read(ReportPath())) << one.Error().toStdString();
    WriteReport("<?xml version='1.0'?><duplicates/>");
    XmlReportReader none;
    ASSERT_TRUE(none.Read(ReportPath())) << none.Error().toStdString();
    MakeGroups();
    none.Fill(model);
    EXPECT_EQ(model.RowCount(), 0);
}

// Puts other bytes of the same length into the file and gives it back its modified time.
void RewriteKeepingSizeAndTime(const QString& path, const QByteArray& bytes) {
    modAPI::FileInfo before;
    ASSERT_EQ(modAPI::MyStat(path, before), 1);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    const struct timespec times[2] = {{before.ModifiedSecs, 0}, {before.ModifiedSecs, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, PathCodec::Encode(path).constData(), times, 0), 0);
}

TEST_F(Reopen, RowsReadBackAreRemovedOnlyWhileTheirFilesAndKeptCopiesAreAsReported) {
    const QString skipped = u" - "_s + ActionRun::SkippedText;
    const QString differs = u" - "_s + ActionRun::DiffersText;
    struct Case {
        const char* What;
        std::function<void(const QStringList& a)> Change;
        QString Rows;
        qint64 Errors;
        QString FirstLine; // after a[1]; then the kept file for a difference
    };
    const Case cases[] = {
        {"nothing changed", [](const QStringList&) {}, u"..ss..s"_s, 0, {}},
        {"a marked file grew",
         [](const QStringList& a) {
             QFile f(a[1]);
             ASSERT_TRUE(f.open(QIODevice::Append));
             f.write("a");
         },
         u"..rs..s"_s, 1, skipped},
        {"a marked file has other bytes of the same size and time",
         [](const QStringList& a) { RewriteKeepingSizeAndTime(a[1], "abcd"); }, u"..rs..s"_s, 1,
         differs},
        {"the kept copy has another time",
         [this](const QStringList&) { Tree().SetMTime(u"d1/a.txt"_s, 1700000500); }, u"..rr..s"_s,
         2, skipped},
        {"the kept copy has other bytes of the same size and time",
         [](const QStringList& a) { RewriteKeepingSizeAndTime(a[0], "zzzz"); }, u"..rr..s"_s, 2,
         differs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        model.ClearRecs();
        a.clear();
        b.clear();
        modLog::ResetRunStats();
        MakeGroups(); // files written afresh, rows with their identities
        const QByteArray report = Export(model);
        ASSERT_FALSE(report.isEmpty());
        XmlReportReader reader;
        ASSERT_TRUE(reader.Read(ReportPath())) << reader.Error().toStdString();
        ResultsModel reopened;
        reader.Fill(reopened);
        c.Change(a);
        modLog::ResetRunStats();
        ASSERT_EQ(Execute(reopened, u"DeleteAll"_s), Outcome::Finished);
        EXPECT_EQ(actions_testing::RowFlags(reopened).toStdString(), c.Rows.toStdString());
        EXPECT_EQ(Errors(), c.Errors);
        EXPECT_TRUE(QFile::exists(a[0]));
        EXPECT_EQ(QFile::exists(a[1]), c.Errors > 0);
        EXPECT_EQ(QFile::exists(a[2]), c.Errors > 1);
        EXPECT_FALSE(QFile::exists(b[1]));
        if (c.Errors > 0) {
            EXPECT_EQ(ActionLines().first(),
                      a[1] + c.FirstLine + (c.FirstLine == differs ? a[0] : QString()));
        }
    }
}

// A report is a file anyone can edit: its rows reach only what the profile scans, and only
// by names that lead there without a detour.
TEST_F(Reopen, RowsOutsideTheProfilesFoldersAreNeverTouched) {
    MakeGroups();
    const QString outside = Tree().CreateFile(u"elsewhere/a.txt"_s, "aaaa", 1700000000);
    const QString detour = Tree().Path(u"d1/../elsewhere/a.txt"_s);
    ASSERT_TRUE(QFile::link(Tree().Path(u"elsewhere"_s), Tree().Path(u"d3/link"_s)));
    const QString throughLink = Tree().Path(u"d3/link/a.txt"_s);
    QStringList paths = a;
    paths << outside << detour << throughLink;
    ResultsModel m;
    const qint64 header = m.AddHeader(u"a.txt"_s);
    for (qsizetype i = 0; i < paths.size(); ++i)
        m.AddRow(i == 0,
                 {u"a.txt"_s, paths[i], QString(), model.Text(2, 6), 4, u"N"_s, u"00000000"_s}, {});
    m.UpdateHeadTotal(header, 24);
    ASSERT_EQ(Execute(m, u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(actions_testing::RowFlags(m).toStdString(), "..ssrrr");
    EXPECT_EQ(actions_testing::Contents(outside), QByteArray("aaaa"));
    const QString refused = u" - "_s + ActionRun::OutsideText;
    const QString changed = u" - "_s + ActionRun::SkippedText;
    EXPECT_EQ(ActionLines().mid(2, 3),
              (QStringList{outside + refused, detour + refused, throughLink + changed}));
}

} // namespace
