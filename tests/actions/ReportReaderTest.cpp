// Saved XML reports read back into the results: everything a report shows comes back as it
// was and is written again unchanged, reports of earlier versions included; anything that
// is not such a report is refused; and rows read back are acted on only after their files
// are checked again, bytes included, since no scan vouches for them.

#include "ActionsFixture.h"

#include "actions/XmlReportReader.h"

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

class Reopen : public TwoGroupsTest {
protected:
    // Profile "P" removes permanently and exports XML reports.
    void SetUp() override {
        ActionsTest::SetUp();
        ActionSettings s(u"permanent"_s);
        s.ExportLocation = Tree().CreateDir(u"reports"_s);
        s.ExportFormat = u"xml"_s;
        s.ScanFolders = {Tree().Path(u"d1"_s), Tree().Path(u"d2"_s), Tree().Path(u"d3"_s)};
        WriteProfile(u"P"_s, s);
    }

    // Exports the results as the report of P and gives its bytes.
    QByteArray Export(ResultsModel& m) {
        EXPECT_EQ(ActionsTest::Act(m, u"Export"_s), Outcome::Finished);
        return Tree().Read(u"reports/P.xml"_s);
    }
    QString ReportPath() const { return Tree().Path(u"reports/P.xml"_s); }
    void WriteReport(const QByteArray& bytes) const {
        testing_support::WriteFile(ReportPath(), bytes);
    }
};

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
    const QByteArray old = Utf16(QString::fromUtf8(Golden("report.xml.utf8")));
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
    EXPECT_EQ(RowFlags(model).toStdString(), "..s..s");
    for (const qint64 row : {2, 5})
        EXPECT_TRUE(model.IsUnmarked(row)) << row;
    for (const qint64 row : {3, 6})
        EXPECT_TRUE(model.IsMarked(row)) << row;
    EXPECT_EQ(Export(model), old);
}

TEST_F(Reopen, AnythingButAWellFormedReportIsRefusedWithItsReason) {
    const auto report = [](const char* group, const QByteArray& files) {
        return "<duplicates><filedetails group='" + QByteArray(group) + "'>" + files +
               "</filedetails></duplicates>";
    };
    const auto file = [&](const char* attributes) {
        return report("a   (1 copies)", "<file " + QByteArray(attributes) + "/>");
    };
    const QByteArray good = "<file name='a' location='/a' size='1 bytes' status=''/>";
    const struct {
        QByteArray Document;
        const char* Reason;
    } cases[] = {
        {"not XML at all", "not an XML document"},
        {"<duplicates><filedetails group='a'>", "not an XML document"},
        {"<echofind><profileoption/></echofind>", "not a duplicates report"},
        {"<duplicates><group name='a'/></duplicates>", "not a duplicates report"},
        {"<duplicates><filedetails/></duplicates>", "not a duplicates report"},
        {report("a   (1 copies)", "<dir/>"), "not a file"},
        {file("name='a' size='1 bytes'"), "no full path"},
        {file("name='a' location='relative/a' size='1 bytes'"), "no full path"},
        {file("name='a' location='/a' size='1'"), "no size in bytes"},
        {file("name='a' location='/a' size='-1 bytes'"), "no size in bytes"},
        {file("name='a' location='/a' size='01 bytes'"), "no size in bytes"},
        {file("name='a' location='/a' size='1 bytes' status='gone'"), "unknown status"},
        {file("name='a' location='/a' size='1 bytes' marked='maybe'"), "unknown mark"},
        {file("name='a' location='/a\\u0000b' size='1 bytes'"), "NUL"},
        {report("a\\u0000   (1 copies)", good), "NUL"},
        {report("a   (2 copies)", good), "lists 1 files"},
        {report("a   (0 copies)", {}), "lists 0 files"},
        {report("a   (1 copies)", "<file name='a' location='/a' size='9223372036854775807 bytes'/>"
                                  "<file name='a' location='/b' size='1 bytes'/>"),
         "no size in bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Document.toStdString());
        WriteReport(c.Document);
        XmlReportReader reader;
        EXPECT_FALSE(reader.Read(ReportPath()));
        EXPECT_TRUE(Holds(reader.Error(), QLatin1String(c.Reason)));
        EXPECT_TRUE(reader.Groups().empty());
    }
    XmlReportReader missing;
    EXPECT_FALSE(missing.Read(Tree().Path(u"reports/none.xml"_s)));
    EXPECT_FALSE(missing.Error().isEmpty());

    // One good file element reads; a report without groups is an empty result.
    WriteReport(report("a   (1 copies)", good));
    XmlReportReader one;
    EXPECT_TRUE(one.Read(ReportPath())) << one.Error().toStdString();
    WriteReport("<?xml version='1.0'?><duplicates/>");
    XmlReportReader none;
    ASSERT_TRUE(none.Read(ReportPath())) << none.Error().toStdString();
    MakeGroups();
    none.Fill(model);
    EXPECT_EQ(model.RowCount(), 0);
}

TEST_F(Reopen, RowsReadBackAreRemovedOnlyWhileTheirFilesAndKeptCopiesAreAsReported) {
    const struct {
        const char* What;
        int File;          // of group a: 0 the kept copy, 1 a marked file
        const char* Bytes; // written over its start, its time given back
        qint64 Time;       // given to it instead
        const char* Rows;
        qint64 Errors;
        bool Differs; // else skipped as changed
    } cases[] = {
        {"nothing changed", 0, nullptr, 0, "..ss..s", 0, false},
        {"a marked file grew", 1, "aaaaa", 0, "..rs..s", 1, false},
        {"a marked file has other bytes of the same size and time", 1, "abcd", 0, "..rs..s", 1,
         true},
        {"the kept copy has another time", 0, nullptr, 1700000500, "..rr..s", 2, false},
        {"the kept copy has other bytes of the same size and time", 0, "zzzz", 0, "..rr..s", 2,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Restart(); // files written afresh, rows with their identities
        ASSERT_FALSE(Export(model).isEmpty());
        XmlReportReader reader;
        ASSERT_TRUE(reader.Read(ReportPath())) << reader.Error().toStdString();
        ResultsModel reopened;
        reader.Fill(reopened);
        if (c.Bytes)
            Rewrite(a[c.File], c.Bytes);
        if (c.Time)
            Tree().SetMTime(a[c.File].mid(Tree().Root().size()), c.Time);
        modLog::ResetRunStats();
        ASSERT_EQ(ActionsTest::Act(reopened, u"DeleteAll"_s), Outcome::Finished);
        EXPECT_EQ(RowFlags(reopened), QString::fromLatin1(c.Rows));
        EXPECT_EQ(Errors(), c.Errors);
        EXPECT_TRUE(QFile::exists(a[0]));
        EXPECT_EQ(QFile::exists(a[1]), c.Errors > 0);
        EXPECT_EQ(QFile::exists(a[2]), c.Errors > 1);
        EXPECT_FALSE(QFile::exists(b[1]));
        if (c.Errors > 0) {
            EXPECT_EQ(ActionLines().first(), Said(a[1], c.Differs ? ActionRun::DiffersText + a[0]
                                                                  : ActionRun::SkippedText));
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
    ASSERT_EQ(ActionsTest::Act(m, u"DeleteAll"_s), Outcome::Finished);
    EXPECT_EQ(RowFlags(m).toStdString(), "..ssrrr");
    EXPECT_EQ(ReadFile(outside), QByteArray("aaaa"));
    EXPECT_EQ(ActionLines().mid(2, 3), (QStringList{Said(outside, ActionRun::OutsideText),
                                                    Said(detour, ActionRun::OutsideText),
                                                    Said(throughLink, ActionRun::SkippedText)}));
}

} // namespace
