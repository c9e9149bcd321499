#include "ActionsFixture.h"

#include "actions/clsCleanup.h"
#include "app/PathCodec.h"
#include "app/TextEscape.h"

#include <QXmlStreamReader>

#include <zip.h>

namespace {

using actions_testing::ActionsTest;
using actions_testing::Contents;
using actions_testing::ProfileSettings;

class Cleanup : public ActionsTest {
protected:
    // Loads the executor from a freshly written profile "P".
    void Load(const QString& deleteTo, const QString& folder = {}, const char* emptyFolder = "") {
        ProfileSettings s;
        s.DeleteTo = deleteTo;
        s.Folder = folder;
        s.DeleteEmptyFolder = QString::fromLatin1(emptyFolder);
        s.CreateIn = Tree().Path(QStringLiteral("single"));
        WriteProfile(QStringLiteral("P"), s);
        ASSERT_EQ(cleanup.GetProfileSettings(QStringLiteral("P.xml")), 1);
    }

    clsCleanup cleanup{messages};
};

TEST_F(Cleanup, MissingAndBrokenProfilesAreReported) {
    EXPECT_EQ(cleanup.GetProfileSettings(QStringLiteral("Nowhere.xml")), 3);
    Tree().CreateFile(QStringLiteral("app/tester/Profile/Broken.xml"), "<echofind><oops");
    EXPECT_EQ(cleanup.GetProfileSettings(QStringLiteral("Broken.xml")), 3);
    EXPECT_EQ(messages.Texts(),
              (QStringList{QStringLiteral("Application could not locate the selected profile."),
                           QStringLiteral("Error occured while reading the selected profile")}));
    const QString log = app.AppLogLines().join(u'\n');
    EXPECT_TRUE(log.contains(QStringLiteral("clsCleanup.GetProfileSettings. Error No : 532 ")));
    EXPECT_TRUE(log.contains(QStringLiteral("clsCleanup.GetProfileSettings. Error No : 531 ")));
}

TEST_F(Cleanup, TrashAndPermanentDeleteLogEachOutcome) {
    Load(QString()); // no rule at all is the trash
    const QString a = Tree().CreateFile(QStringLiteral("d/a.txt"), "aaa");
    cleanup.DeleteFile(a);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("d/a.txt")));
    EXPECT_EQ(Contents(TrashFiles() + QStringLiteral("a.txt")), QByteArray("aaa"));

    // A trash that cannot take the file is a failure, never a deletion or a makeshift trash.
    BreakTrash();
    const QString b = Tree().CreateFile(QStringLiteral("d/b.txt"), "bbb");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(Tree().CreateDir(QStringLiteral("cwd")));
    cleanup.DeleteFile(b);
    QDir::setCurrent(cwd);
    EXPECT_EQ(Tree().Read(QStringLiteral("d/b.txt")), QByteArray("bbb"));
    EXPECT_TRUE(QDir(Tree().Path(QStringLiteral("cwd"))).isEmpty());

    // Permanent removal takes a read-only file; a missing one is a failure.
    cleanup.DeleteTo = QStringLiteral("permanent");
    const QString ro = Tree().CreateFile(QStringLiteral("d/ro"), "x");
    Tree().SetMode(QStringLiteral("d/ro"), 0444);
    cleanup.DeleteFile(ro);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("d/ro")));
    cleanup.DeleteFile(b + QStringLiteral(".gone"));
    EXPECT_EQ(ActionLines(),
              (QStringList{a + QStringLiteral(" - Moved to Recyclebin"),
                           b + QStringLiteral(" - Error occured while moving to Recyclebin"),
                           ro + QStringLiteral(" - Deleted permanently"),
                           b + QStringLiteral(".gone - Error occured while deleting file")}));
    EXPECT_EQ(Errors(), 2);
}

TEST_F(Cleanup, MoveKeepsTheWholePathUnderTheTargetAndNeverReplacesWhatIsThere) {
    Load(QStringLiteral("move"), Tree().Path(QStringLiteral("keep"))); // "/" is added
    const QString a = Tree().CreateFile(QStringLiteral("src/a.txt"), "new");
    const QString destination = Tree().Path(QStringLiteral("keep")) + a;
    cleanup.DeleteFile(a);
    // An earlier moved copy may be the last one: later ones take free names beside it.
    Tree().CreateFile(QStringLiteral("src/a.txt"), "newer");
    cleanup.DeleteFile(a);
    Tree().CreateFile(QStringLiteral("src/a.txt"), "newest");
    cleanup.DeleteFile(a);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("src/a.txt")));
    const QString second = destination.chopped(4) + QStringLiteral(" (2).txt");
    const QString third = destination.chopped(4) + QStringLiteral(" (3).txt");
    EXPECT_EQ(Contents(destination), QByteArray("new"));
    EXPECT_EQ(Contents(second), QByteArray("newer"));
    EXPECT_EQ(Contents(third), QByteArray("newest"));
    const QString taken =
        destination + QStringLiteral(" - Kept: a file of that name was already "
                                     "in the move folder; the new one was given a "
                                     "name of its own");
    const QString moved = a + QStringLiteral(" - moved to ");
    EXPECT_EQ(ActionLines(),
              (QStringList{moved + destination, taken, moved + second, taken, moved + third}));
    EXPECT_EQ(Errors(), 0);
}

TEST_F(Cleanup, AFailedMoveRemovesNothing) {
    const QString failed = QStringLiteral(" - Error occured while moving the file");
    // The source is gone while its destination holds an unrelated file: that file stays.
    Load(QStringLiteral("move"), Tree().Path(QStringLiteral("keep")));
    const QString gone = Tree().Path(QStringLiteral("src/gone.txt"));
    const QString earlier = Tree().CreateFile(QStringLiteral("keep") + gone, "moved earlier");
    cleanup.DeleteFile(gone);
    EXPECT_EQ(Contents(earlier), QByteArray("moved earlier"));

    // Onto itself: an empty target folder, or a hard link at the destination.
    const QString a = Tree().CreateFile(QStringLiteral("src/a.txt"), "only copy");
    cleanup.TargetFolder = QString();
    cleanup.DeleteFile(a);
    cleanup.TargetFolder = Tree().Path(QStringLiteral("keep"));
    const QString link = cleanup.TargetFolder + a;
    QDir().mkpath(link.section(u'/', 0, -2));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(link).constData()), 0);
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("src/a.txt")), QByteArray("only copy"));
    EXPECT_EQ(ActionLines(), (QStringList{gone + failed, a + failed, a + failed}));
    EXPECT_EQ(Errors(), 3);

    // A target that cannot be created.
    modLog::RunStats.ActionDetails.clear();
    Tree().CreateFile(QStringLiteral("blocker"), "x");
    cleanup.TargetFolder = Tree().Path(QStringLiteral("blocker/keep"));
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(QStringLiteral("src/a.txt")), QByteArray("only copy"));
    EXPECT_EQ(ActionLines(), QStringList{a + failed});
    EXPECT_EQ(Errors(), 4);
}

TEST_F(Cleanup, AnEmptiedFolderGoesButNotItsParentNorAFolderInUse) {
    Load(QStringLiteral("permanent"), {}, "Yes");
    cleanup.DeleteFile(Tree().CreateFile(QStringLiteral("p/q/a.txt"), "a"));
    cleanup.DeleteFile(Tree().CreateFile(QStringLiteral("p/r/b.txt"), "b"));
    Tree().CreateFile(QStringLiteral("p/r/c.txt"), "c");
    EXPECT_FALSE(Tree().Exists(QStringLiteral("p/q")));
    EXPECT_TRUE(Tree().Exists(QStringLiteral("p")));
    EXPECT_TRUE(Tree().Exists(QStringLiteral("p/r/c.txt")));

    // Tried even when the removal failed.
    Tree().CreateDir(QStringLiteral("p/empty"));
    cleanup.DeleteFile(Tree().Path(QStringLiteral("p/empty/gone.txt")));
    EXPECT_FALSE(Tree().Exists(QStringLiteral("p/empty")));
}

TEST_F(Cleanup, ZipAddsToTheProfileArchiveBeforeDeletingAndKeepsTheFileOnFailure) {
    Load(QStringLiteral("zip"), Tree().Path(QStringLiteral("zips/")));
    const QString archive = Tree().Path(QStringLiteral("zips/P.zip"));
    const QString a = Tree().CreateFile(QStringLiteral("d1/a.txt"), "first");
    const QString b = Tree().CreateFile(QStringLiteral("d2/a.txt"), "second");
    cleanup.DeleteFile(a);
    cleanup.DeleteFile(b);
    EXPECT_EQ(ActionLines(), (QStringList{a + QStringLiteral(" - moved to ") + archive,
                                          a + QStringLiteral(" - Deleted permanently"),
                                          b + QStringLiteral(" - moved to ") + archive,
                                          b + QStringLiteral(" - Deleted permanently")}));
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip_get_num_entries(zip, 0), 2);
    EXPECT_EQ(zip_name_locate(zip, a.mid(1).toUtf8().constData(), 0), 0);
    EXPECT_EQ(zip_name_locate(zip, b.mid(1).toUtf8().constData(), 0), 1);
    zip_discard(zip);

    // An archive that is no zip: the file stays, one error.
    modLog::RunStats.ActionDetails.clear();
    Tree().CreateFile(QStringLiteral("zips/P.zip"), "this is no zip");
    const QString c = Tree().CreateFile(QStringLiteral("d/c.txt"), "keep me");
    cleanup.DeleteFile(c);
    EXPECT_EQ(Tree().Read(QStringLiteral("d/c.txt")), QByteArray("keep me"));
    EXPECT_EQ(Tree().Read(QStringLiteral("zips/P.zip")), QByteArray("this is no zip"));
    EXPECT_EQ(ActionLines(),
              QStringList{c + QStringLiteral(" - Error occured while zipping file")});
    EXPECT_EQ(Errors(), 1);
}

TEST_F(Cleanup, SingleCopyKeepsTheWholePathPerProfileAndOverwrites) {
    Load(QStringLiteral("recycle"));
    const QString a = Tree().CreateFile(QStringLiteral("x/a.txt"), "one");
    cleanup.CreateSingleCopy(a);
    Tree().CreateFile(QStringLiteral("x/a.txt"), "changed");
    cleanup.CreateSingleCopy(a);
    EXPECT_EQ(Contents(Tree().Path(QStringLiteral("single/P")) + a), QByteArray("changed"));
    EXPECT_TRUE(ActionLines().isEmpty());
}

TEST_F(Cleanup, ASingleCopyThatCannotBeMadeIsAFailure) {
    Load(QStringLiteral("recycle"));
    const QString a = Tree().CreateFile(QStringLiteral("x/a.txt"), "one");
    // A file where the profile's copy folder should be.
    Tree().CreateFile(QStringLiteral("single/P"), "in the way");
    EXPECT_EQ(cleanup.CreateSingleCopy(a), 1);
    // A kept file that vanished since the scan has no copy either.
    QFile::remove(Tree().Path(QStringLiteral("single/P")));
    EXPECT_EQ(cleanup.CreateSingleCopy(Tree().Path(QStringLiteral("x/gone.txt"))), 1);
    EXPECT_EQ(ActionLines(),
              (QStringList{a + QStringLiteral(" - Error occured while creating single copy"),
                           Tree().Path(QStringLiteral("x/gone.txt")) +
                               QStringLiteral(" - Error occured while creating single copy")}));
    EXPECT_EQ(Errors(), 2);
    const QString log = app.AppLogLines().join(u'\n');
    EXPECT_TRUE(log.contains(QStringLiteral("modAPI.MyMakeSureDirectoryPathExists")));
    EXPECT_TRUE(log.contains(QStringLiteral("modAPI.MyCopyFile Error number: 2 ")));
}

// Two groups; the first file name holds a comma, quotes, markup characters and accents.
std::vector<ExportRecord> Records() {
    const QString odd = QStringLiteral("Café, \"Noël\" <b>&.txt");
    const QString plain = QStringLiteral("plain.txt");
    const QString copies = QStringLiteral("   (2 copies)");
    const QString t1 = QStringLiteral("2024-01-02 03:04:05");
    const QString t2 = QStringLiteral("2024-01-02 03:04:06");
    const QString t3 = QStringLiteral("2023-12-31 23:59:59");
    const QString n = QStringLiteral("N");
    const QString crc = QStringLiteral("1A2B3C4D");
    const QString md5 = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    const QString deleted = QStringLiteral("deleted");
    const QString size12 = QStringLiteral("12 bytes");
    const QString size0 = QStringLiteral("0 bytes");
    return {{odd + copies, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
            {odd, QStringLiteral("/data/") + odd, size12, t1, t2, n, {}, crc, {}, {}, {}},
            {odd,
             QStringLiteral("/data/copy/") + odd,
             size12,
             t1,
             t2,
             QStringLiteral("HR"),
             {},
             crc,
             {},
             deleted,
             {}},
            {plain + copies, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}},
            {plain, QStringLiteral("/x/plain.txt"), size0, t3, t3, n, {}, {}, md5, {}, {}},
            {plain, QStringLiteral("/y/plain.txt"), size0, t3, t3, n, {}, {}, md5, deleted, {}}};
}

QByteArray Golden(const char* name) {
    return Contents(QStringLiteral(ECHOFIND_TEST_DATA "/golden/") + QString::fromLatin1(name));
}

class Export : public ActionsTest {
protected:
    // Writes the report of Records(), or of the given records, in the format.
    int Write(const char* format, const std::vector<ExportRecord>& records = Records()) {
        clsCleanup cleanup(messages);
        cleanup.ProfileName = QStringLiteral("Photos");
        cleanup.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
        cleanup.ExportFormat = QString::fromLatin1(format);
        return cleanup.Export(records);
    }
    QByteArray Written(const char* extension) const {
        return Tree().Read(QStringLiteral("reports/Photos") + QString::fromLatin1(extension));
    }
};

TEST_F(Export, EachFormatMatchesItsGoldenReport) {
    // The XML report is UTF-16 with a byte-order mark; its golden file holds the text.
    const QString xml = QString::fromUtf8(Golden("report.xml.utf8"));
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
    const struct {
        const char* Format;
        const char* Extension;
        QByteArray Expected;
    } cases[] = {{"text", ".txt", Golden("report.txt")},
                 {"csv", ".csv", Golden("report.csv")},
                 {"html", ".html", Golden("report.html")},
                 {"xml", ".xml", utf16}};
    for (const auto& c : cases) {
        ASSERT_EQ(Write(c.Format), 1) << c.Format;
        EXPECT_EQ(Written(c.Extension), c.Expected) << c.Format;
    }
}

TEST_F(Export, AValueWiderThanItsColumnFailsTheTextReportAndKeepsTheEarlierOne) {
    ASSERT_EQ(Write("text"), 1);
    std::vector<ExportRecord> records = Records();
    records[1].FileLocation = QStringLiteral("/") + QString(255, u'x');
    EXPECT_EQ(Write("text", records), 3);
    EXPECT_EQ(Written(".txt"), Golden("report.txt"));
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        QStringLiteral("Error occured in clsCleanup.Export. Error No : ")));
}

// Names with line breaks, control characters, a byte that is not UTF-8 and markup.
QStringList OddNames() {
    return {QStringLiteral("a\nb.txt"),
            QStringLiteral("c\rd.txt"),
            QStringLiteral("e\tf.txt"),
            QStringLiteral("g\x01h.txt"),
            PathCodec::Decode(QByteArray("caf\xe9.txt")),
            QStringLiteral("<&\"'>.txt")};
}

std::vector<ExportRecord> OddRecords() {
    std::vector<ExportRecord> records;
    ExportRecord group;
    group.FileName = OddNames().first() + QStringLiteral("   (6 copies)");
    records.push_back(group);
    for (const QString& name : OddNames()) {
        ExportRecord r;
        r.FileName = name;
        r.FileLocation = QStringLiteral("/d/") + name;
        r.FileSize = QStringLiteral("1 bytes");
        records.push_back(r);
    }
    return records;
}

// Records of a CSV text, by RFC 4180: quoted fields may hold commas, quotes and breaks.
std::vector<QStringList> ParseCsv(const QString& text) {
    std::vector<QStringList> records(1);
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            records.back() << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            records.back() << field;
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    if (records.back().isEmpty() && field.isEmpty())
        records.pop_back();
    return records;
}

TEST_F(Export, OddNamesStayOnTheirLineAndFieldInEveryFormat) {
    const QStringList names = OddNames();
    const QString rawShown = QStringLiteral("caf\\xE9.txt");

    ASSERT_EQ(Write("text", OddRecords()), 1);
    const QString text = QString::fromUtf8(Written(".txt"));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 9); // header, group, six files, nothing after the last line end
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r') || line.contains(u'\t'))
            << line.toStdString();
        EXPECT_TRUE(line.isEmpty() || line.size() == lines[0].size()) << line.toStdString();
    }
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("a\\u000Ab.txt ")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("g\\u0001h.txt ")));
    EXPECT_TRUE(lines[6].startsWith(rawShown + u' '));
    EXPECT_TRUE(lines[6].contains(QStringLiteral("/d/") + rawShown + u' '));

    ASSERT_EQ(Write("html", OddRecords()), 1);
    const QStringList html = QString::fromUtf8(Written(".html")).split(QStringLiteral("\r\n"));
    ASSERT_EQ(html.size(), 10); // table start, group, six files, table end, then nothing
    EXPECT_EQ(html[2].count(QStringLiteral("<td>")), 10);
    EXPECT_TRUE(html[3].contains(QStringLiteral("<td>&nbsp;c\\u000Dd.txt</td>")));
    EXPECT_TRUE(
        html[6].contains(QStringLiteral("<td>&nbsp;") + rawShown + QStringLiteral("</td>")));
    EXPECT_TRUE(html[7].contains(QStringLiteral("<td>&nbsp;&lt;&amp;&quot;'&gt;.txt</td>")));

    ASSERT_EQ(Write("csv", OddRecords()), 1);
    const std::vector<QStringList> csv = ParseCsv(QString::fromUtf8(Written(".csv")));
    ASSERT_EQ(csv.size(), 8u);
    for (size_t i = 2; i < csv.size(); ++i) {
        ASSERT_EQ(csv[i].size(), 10) << i;
        const QString shown = TextEscape::Escape(names[qsizetype(i) - 2], TextEscape::Breaks::Keep);
        EXPECT_EQ(csv[i][0], shown);
        EXPECT_EQ(csv[i][1], QStringLiteral("/d/") + shown);
    }
    EXPECT_EQ(csv[2][0], QStringLiteral("a\nb.txt")); // the break kept, inside its quotes
    EXPECT_EQ(csv[6][0], rawShown);

    // A strict XML 1.0 reader takes the whole report; the program's reader gives every name
    // back exactly.
    ASSERT_EQ(Write("xml", OddRecords()), 1);
    QXmlStreamReader strict(Written(".xml"));
    QStringList shownNames;
    while (!strict.atEnd()) {
        if (strict.readNext() == QXmlStreamReader::StartElement && strict.name() == u"file")
            shownNames << strict.attributes().value(QStringLiteral("name")).toString();
    }
    EXPECT_FALSE(strict.hasError()) << strict.errorString().toStdString();
    ASSERT_EQ(shownNames.size(), names.size());
    EXPECT_EQ(shownNames[4], rawShown);
    EXPECT_EQ(shownNames[3], QStringLiteral("g\\u0001h.txt"));
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(Tree().Path(QStringLiteral("reports/Photos.xml")), doc), 1);
    QStringList read;
    for (const pugi::xml_node& n : modXML::SelectAll(doc.Dom(), QStringLiteral("//file")))
        read << modXML::AttributeText(n, QStringLiteral("location"));
    ASSERT_EQ(read.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(read[i], QStringLiteral("/d/") + names[i]);
}

} // namespace
