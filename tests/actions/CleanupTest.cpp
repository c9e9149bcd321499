#include "ActionsFixture.h"

#include "actions/clsCleanup.h"
#include "app/TextEscape.h"

#include <QXmlStreamReader>

namespace {

using namespace Qt::StringLiterals;
using namespace actions_testing;

class Cleanup : public ActionsTest {
protected:
    // Loads the executor from a freshly written profile "P".
    void Load(const QString& deleteTo, const QString& folder = {}, const char* emptyFolder = "") {
        ActionSettings s(deleteTo, folder);
        s.DeleteEmptyFolder = QString::fromLatin1(emptyFolder);
        WriteProfile(u"P"_s, s);
        ASSERT_EQ(cleanup.GetProfileSettings(u"P.xml"_s), 1);
    }

    clsCleanup cleanup{messages};
};

TEST_F(Cleanup, MissingAndBrokenProfilesAreReported) {
    EXPECT_EQ(cleanup.GetProfileSettings(u"Nowhere.xml"_s), 3);
    Tree().CreateFile(u"app/tester/Profile/Broken.xml"_s, "<echofind><oops");
    EXPECT_EQ(cleanup.GetProfileSettings(u"Broken.xml"_s), 3);
    EXPECT_EQ(messages.Texts(),
              (QStringList{u"Application could not locate the selected profile."_s,
                           u"Error occured while reading the selected profile"_s}));
    const QString log = app.AppLogLines().join(u'\n');
    EXPECT_TRUE(log.contains(u"clsCleanup.GetProfileSettings. Error No : 532 "_s));
    EXPECT_TRUE(log.contains(u"clsCleanup.GetProfileSettings. Error No : 531 "_s));
}

TEST_F(Cleanup, TrashAndPermanentDeleteLogEachOutcome) {
    Load(QString()); // no rule at all is the trash
    const QString a = Tree().CreateFile(u"d/a.txt"_s, "aaa");
    cleanup.DeleteFile(a);
    EXPECT_FALSE(Tree().Exists(u"d/a.txt"_s));
    EXPECT_EQ(ReadFile(TrashFiles() + u"a.txt"_s), QByteArray("aaa"));

    // A trash that cannot take the file is a failure, never a deletion or a makeshift trash.
    BreakTrash();
    const QString b = Tree().CreateFile(u"d/b.txt"_s, "bbb");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(Tree().CreateDir(u"cwd"_s));
    cleanup.DeleteFile(b);
    QDir::setCurrent(cwd);
    EXPECT_EQ(Tree().Read(u"d/b.txt"_s), QByteArray("bbb"));
    EXPECT_TRUE(QDir(Tree().Path(u"cwd"_s)).isEmpty());

    // Permanent removal takes a read-only file; a missing one is a failure.
    cleanup.DeleteTo = u"permanent"_s;
    const QString ro = Tree().CreateFile(u"d/ro"_s, "x");
    Tree().SetMode(u"d/ro"_s, 0444);
    cleanup.DeleteFile(ro);
    EXPECT_FALSE(Tree().Exists(u"d/ro"_s));
    cleanup.DeleteFile(b + u".gone"_s);
    EXPECT_EQ(ActionLines(),
              (QStringList{Said(a, u"Moved to Recyclebin"_s),
                           Said(b, u"Error occured while moving to Recyclebin"_s),
                           Said(ro, u"Deleted permanently"_s),
                           Said(b + u".gone"_s, u"Error occured while deleting file"_s)}));
    EXPECT_EQ(Errors(), 2);
}

// A link needs the run's kept file; a rule of a later version is never guessed at. Either
// way the file stays, and nothing goes to the trash instead.
TEST_F(Cleanup, ARemovalItCannotDoLeavesTheFile) {
    const struct {
        const char* Rule;
        QString Line;
    } cases[] = {
        {"hardlink", u"Error occured while replacing by a hard link"_s},
        {"shred", RemoveRule::UnknownText(u"shred"_s)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rule);
        modLog::ResetRunStats();
        cleanup.DeleteTo = QString::fromLatin1(c.Rule);
        cleanup.DeleteEmptyFolder = true;
        const QString a = Tree().CreateFile(u"d/a.txt"_s, "only copy");
        ASSERT_EQ(cleanup.DeleteFile(a), 1);
        EXPECT_EQ(ReadFile(a), QByteArray("only copy"));
        EXPECT_FALSE(QDir(TrashFiles()).exists() && !QDir(TrashFiles()).isEmpty());
        EXPECT_EQ(ActionLines(), QStringList{Said(a, c.Line)});
        EXPECT_EQ(Errors(), 1);
    }
}

TEST_F(Cleanup, MoveKeepsTheWholePathUnderTheTargetAndNeverReplacesWhatIsThere) {
    Load(u"move"_s, Tree().Path(u"keep"_s)); // "/" is added
    const QString a = Tree().CreateFile(u"src/a.txt"_s, "new");
    const QString destination = Tree().Path(u"keep"_s) + a;
    cleanup.DeleteFile(a);
    // An earlier moved copy may be the last one: later ones take free names beside it.
    Tree().CreateFile(u"src/a.txt"_s, "newer");
    cleanup.DeleteFile(a);
    Tree().CreateFile(u"src/a.txt"_s, "newest");
    cleanup.DeleteFile(a);
    EXPECT_FALSE(Tree().Exists(u"src/a.txt"_s));
    const QString second = destination.chopped(4) + u" (2).txt"_s;
    const QString third = destination.chopped(4) + u" (3).txt"_s;
    EXPECT_EQ(ReadFile(destination), QByteArray("new"));
    EXPECT_EQ(ReadFile(second), QByteArray("newer"));
    EXPECT_EQ(ReadFile(third), QByteArray("newest"));
    const QString taken = Said(destination, u"Kept: a file of that name was already in the move "
                                            u"folder; the new one was given a name of its own"_s);
    const QString moved = Said(a, u"moved to "_s);
    EXPECT_EQ(ActionLines(),
              (QStringList{moved + destination, taken, moved + second, taken, moved + third}));
    EXPECT_EQ(Errors(), 0);
}

TEST_F(Cleanup, AFailedMoveRemovesNothing) {
    const QString failed = u"Error occured while moving the file"_s;
    // The source is gone while its destination holds an unrelated file: that file stays.
    Load(u"move"_s, Tree().Path(u"keep"_s));
    const QString gone = Tree().Path(u"src/gone.txt"_s);
    const QString earlier = Tree().CreateFile(u"keep"_s + gone, "moved earlier");
    cleanup.DeleteFile(gone);
    EXPECT_EQ(ReadFile(earlier), QByteArray("moved earlier"));

    // Onto itself: an empty target folder, or a hard link at the destination.
    const QString a = Tree().CreateFile(u"src/a.txt"_s, "only copy");
    cleanup.TargetFolder = QString();
    cleanup.DeleteFile(a);
    cleanup.TargetFolder = Tree().Path(u"keep"_s);
    const QString link = cleanup.TargetFolder + a;
    QDir().mkpath(link.section(u'/', 0, -2));
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(link).constData()), 0);
    cleanup.DeleteFile(a);
    // A target that cannot be created.
    Tree().CreateFile(u"blocker"_s, "x");
    cleanup.TargetFolder = Tree().Path(u"blocker/keep"_s);
    cleanup.DeleteFile(a);
    EXPECT_EQ(Tree().Read(u"src/a.txt"_s), QByteArray("only copy"));
    EXPECT_EQ(ActionLines(),
              (QStringList{Said(gone, failed), Said(a, failed), Said(a, failed), Said(a, failed)}));
    EXPECT_EQ(Errors(), 4);
}

TEST_F(Cleanup, AnEmptiedFolderGoesButNotItsParentNorAFolderInUse) {
    Load(u"permanent"_s, {}, "Yes");
    cleanup.DeleteFile(Tree().CreateFile(u"p/q/a.txt"_s, "a"));
    cleanup.DeleteFile(Tree().CreateFile(u"p/r/b.txt"_s, "b"));
    Tree().CreateFile(u"p/r/c.txt"_s, "c");
    EXPECT_FALSE(Tree().Exists(u"p/q"_s));
    EXPECT_TRUE(Tree().Exists(u"p"_s));
    EXPECT_TRUE(Tree().Exists(u"p/r/c.txt"_s));

    // Tried even when the removal failed.
    Tree().CreateDir(u"p/empty"_s);
    cleanup.DeleteFile(Tree().Path(u"p/empty/gone.txt"_s));
    EXPECT_FALSE(Tree().Exists(u"p/empty"_s));
}

// Two groups; the first file name holds a comma, quotes, markup characters and accents. A
// file reads name|location|size|created|modified|attributes|CRC|MD5|status.
std::vector<ExportRecord> Records() {
    const QString odd = u"Café, \"Noël\" <b>&.txt"_s, md5 = u"|d41d8cd98f00b204e9800998ecf8427e|"_s;
    const QString times = u"|12 bytes|2024-01-02 03:04:05|2024-01-02 03:04:06|"_s;
    const QString plain = u"|0 bytes|2023-12-31 23:59:59|2023-12-31 23:59:59|N|"_s;
    std::vector<ExportRecord> records;
    for (const QString& line :
         {odd + u"   (2 copies)"_s, odd + u"|/data/"_s + odd + times + u"N|1A2B3C4D||"_s,
          odd + u"|/data/copy/"_s + odd + times + u"HR|1A2B3C4D||deleted"_s,
          u"plain.txt   (2 copies)"_s, u"plain.txt|/x/plain.txt"_s + plain + md5,
          u"plain.txt|/y/plain.txt"_s + plain + md5 + u"deleted"_s}) {
        const QStringList f = line.split(u'|');
        records.push_back({f[0], f.value(1), f.value(2), f.value(3), f.value(4), f.value(5),
                           QString(), f.value(6), f.value(7), f.value(8), std::nullopt});
    }
    return records;
}

class Export : public ActionsTest {
protected:
    // Writes the report of Records(), or of the given records, in the format.
    int Write(const char* format, const std::vector<ExportRecord>& records = Records()) {
        clsCleanup cleanup(messages);
        cleanup.ProfileName = u"Photos"_s;
        cleanup.ExportLocation = Tree().CreateDir(u"reports"_s);
        cleanup.ExportFormat = QString::fromLatin1(format);
        return cleanup.Export(records);
    }
    QByteArray Written(const char* extension) const {
        return Tree().Read(u"reports/Photos"_s + QString::fromLatin1(extension));
    }
};

TEST_F(Export, EachFormatMatchesItsGoldenReport) {
    const struct {
        const char* Format;
        const char* Extension;
        QByteArray Expected;
    } cases[] = {{"text", ".txt", Golden("report.txt")},
                 {"csv", ".csv", Golden("report.csv")},
                 {"html", ".html", Golden("report.html")},
                 {"xml", ".xml", Utf16(QString::fromUtf8(Golden("report.xml.utf8")))}};
    for (const auto& c : cases) {
        ASSERT_EQ(Write(c.Format), 1) << c.Format;
        EXPECT_EQ(Written(c.Extension), c.Expected) << c.Format;
    }

    // A value wider than its column fails the text report and keeps the earlier one.
    std::vector<ExportRecord> records = Records();
    records[1].FileLocation = u"/"_s + QString(255, u'x');
    EXPECT_EQ(Write("text", records), 3);
    EXPECT_EQ(Written(".txt"), Golden("report.txt"));
    EXPECT_TRUE(
        app.AppLogLines().last().startsWith(u"Error occured in clsCleanup.Export. Error No : "_s));
}

// Names with line breaks, control characters, a byte that is not UTF-8 and markup.
QStringList OddNames() {
    const QString raw = PathCodec::Decode(QByteArray("caf\xe9.txt"));
    return {u"a\nb.txt"_s, u"c\rd.txt"_s, u"e\tf.txt"_s, u"g\x01h.txt"_s, raw, u"<&\"'>.txt"_s};
}

std::vector<ExportRecord> OddRecords() {
    std::vector<ExportRecord> records(1);
    records[0].FileName = OddNames().first() + u"   (6 copies)"_s;
    for (const QString& name : OddNames())
        records.push_back({name, u"/d/"_s + name, u"1 bytes"_s, {}, {}, {}, {}, {}, {}, {}, {}});
    return records;
}

// Records of a CSV text, by RFC 4180: quoted fields may hold commas, quotes and breaks.
std::vector<QStringList> ParseCsv(const QString& text) {
    std::vector<QStringList> records(1);
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' && quoted && text.mid(i + 1, 1) == u"\"") {
            field += text[++i];
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (quoted || (c != u',' && text.mid(i, 2) != u"\r\n")) {
            field += c;
        } else {
            records.back() << std::exchange(field, QString());
            if (c == u'\r')
                records.emplace_back();
            i += c == u'\r' ? 1 : 0; // past the line feed
        }
    }
    if (records.back().isEmpty() && field.isEmpty())
        records.pop_back();
    return records;
}

TEST_F(Export, OddNamesStayOnTheirLineAndFieldInEveryFormat) {
    const QStringList names = OddNames();
    const QString rawShown = u"caf\\xE9.txt"_s;

    ASSERT_EQ(Write("text", OddRecords()), 1);
    const QStringList lines = QString::fromUtf8(Written(".txt")).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 9); // header, group, six files, nothing after the last line end
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r') || line.contains(u'\t'))
            << line.toStdString();
        EXPECT_TRUE(line.isEmpty() || line.size() == lines[0].size()) << line.toStdString();
    }
    EXPECT_TRUE(lines[2].startsWith(u"a\\u000Ab.txt "_s));
    EXPECT_TRUE(lines[5].startsWith(u"g\\u0001h.txt "_s));
    EXPECT_TRUE(lines[6].startsWith(rawShown + u' '));
    EXPECT_TRUE(lines[6].contains(u"/d/"_s + rawShown + u' '));

    ASSERT_EQ(Write("html", OddRecords()), 1);
    const QStringList html = QString::fromUtf8(Written(".html")).split(u"\r\n"_s);
    ASSERT_EQ(html.size(), 10); // table start, group, six files, table end, then nothing
    EXPECT_EQ(html[2].count(u"<td>"_s), 10);
    EXPECT_TRUE(html[3].contains(u"<td>&nbsp;c\\u000Dd.txt</td>"_s));
    EXPECT_TRUE(html[6].contains(u"<td>&nbsp;"_s + rawShown + u"</td>"_s));
    EXPECT_TRUE(html[7].contains(u"<td>&nbsp;&lt;&amp;&quot;'&gt;.txt</td>"_s));

    ASSERT_EQ(Write("csv", OddRecords()), 1);
    const std::vector<QStringList> csv = ParseCsv(QString::fromUtf8(Written(".csv")));
    ASSERT_EQ(csv.size(), 8u);
    for (size_t i = 2; i < csv.size(); ++i) {
        ASSERT_EQ(csv[i].size(), 10) << i;
        const QString shown = TextEscape::Escape(names[qsizetype(i) - 2], TextEscape::Breaks::Keep);
        EXPECT_EQ(csv[i][0], shown);
        EXPECT_EQ(csv[i][1], u"/d/"_s + shown);
    }
    EXPECT_EQ(csv[2][0], u"a\nb.txt"_s); // the break kept, inside its quotes
    EXPECT_EQ(csv[6][0], rawShown);

    // A strict XML 1.0 reader takes the whole report (the program's own reader gives every
    // name back exactly: see ReportReaderTest).
    ASSERT_EQ(Write("xml", OddRecords()), 1);
    QXmlStreamReader strict(Written(".xml"));
    QStringList shownNames;
    while (!strict.atEnd()) {
        if (strict.readNext() == QXmlStreamReader::StartElement && strict.name() == u"file")
            shownNames << strict.attributes().value(u"name"_s).toString();
    }
    EXPECT_FALSE(strict.hasError()) << strict.errorString().toStdString();
    ASSERT_EQ(shownNames.size(), names.size());
    EXPECT_EQ(shownNames[4], rawShown);
    EXPECT_EQ(shownNames[3], u"g\\u0001h.txt"_s);
}

} // namespace
