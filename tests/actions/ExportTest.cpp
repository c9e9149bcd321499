#include "ActionsFixture.h"

#include "actions/clsCleanup.h"

#include <QDir>

namespace {

using actions_testing::ActionsTest;

ExportRecord Group(const QString& label) {
    ExportRecord r;
    r.FileName = label;
    return r;
}

ExportRecord File(const QString& name, const QString& location, const QString& size,
                  const QString& created, const QString& modified, const QString& attributes,
                  const QString& crc, const QString& md5, const QString& status) {
    return ExportRecord{name, location, size, created, modified, attributes, {}, crc, md5, status};
}

// Two groups; the first file name holds a comma, quotes, markup characters and accents.
std::vector<ExportRecord> Records() {
    const QString name = QStringLiteral("Café, \"Noël\" <b>&.txt");
    const QString t1 = QStringLiteral("2024-01-02 03:04:05");
    const QString t2 = QStringLiteral("2024-01-02 03:04:06");
    const QString t3 = QStringLiteral("2023-12-31 23:59:59");
    const QString md5 = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    return {
        Group(name + QStringLiteral("   (2 copies)")),
        File(name, QStringLiteral("/data/") + name, QStringLiteral("12 bytes"), t1, t2,
             QStringLiteral("N"), QStringLiteral("1A2B3C4D"), {}, {}),
        File(name, QStringLiteral("/data/copy/") + name, QStringLiteral("12 bytes"), t1, t2,
             QStringLiteral("HR"), QStringLiteral("1A2B3C4D"), {}, QStringLiteral("deleted")),
        Group(QStringLiteral("plain.txt   (2 copies)")),
        File(QStringLiteral("plain.txt"), QStringLiteral("/x/plain.txt"), QStringLiteral("0 bytes"),
             t3, t3, QStringLiteral("N"), {}, md5, {}),
        File(QStringLiteral("plain.txt"), QStringLiteral("/y/plain.txt"), QStringLiteral("0 bytes"),
             t3, t3, QStringLiteral("N"), {}, md5, QStringLiteral("deleted")),
    };
}

QByteArray Golden(const QString& name) {
    QFile f(QStringLiteral(ECHOFIND_TEST_DATA "/golden/") + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll();
}

class Export : public ActionsTest {
protected:
    void SetUp() override {
        ActionsTest::SetUp();
        cleanup.ProfileName = QStringLiteral("Photos");
        cleanup.ExportLocation = Tree().CreateDir(QStringLiteral("reports"));
    }
    QByteArray Written(const QString& extension) const {
        return Tree().Read(QStringLiteral("reports/Photos") + extension);
    }

    clsCleanup cleanup{messages};
};

TEST_F(Export, EachFormatMatchesItsGoldenReport) {
    const struct {
        const char* Format;
        const char* Extension;
        const char* GoldenFile;
    } cases[] = {{"text", ".txt", "report.txt"},
                 {"csv", ".csv", "report.csv"},
                 {"html", ".html", "report.html"}};
    for (const auto& c : cases) {
        cleanup.ExportFormat = QString::fromLatin1(c.Format);
        ASSERT_EQ(cleanup.Export(Records()), 1) << c.Format;
        EXPECT_EQ(Written(QString::fromLatin1(c.Extension)),
                  Golden(QString::fromLatin1(c.GoldenFile)))
            << c.Format;
    }

    // The XML report is UTF-16 with a byte-order mark; its text is the golden one.
    cleanup.ExportFormat = QStringLiteral("xml");
    ASSERT_EQ(cleanup.Export(Records()), 1);
    const QString text = QString::fromUtf8(Golden(QStringLiteral("report.xml.utf8")));
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QByteArray xml = Written(QStringLiteral(".xml"));
    EXPECT_EQ(xml, utf16);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(xml.constData() + 2),
                                 (xml.size() - 2) / 2)
                  .toStdString(),
              text.toStdString());

    // Every line of the text report is 936 characters before its line end.
    const QStringList lines = QString::fromUtf8(Written(QStringLiteral(".txt")))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7);
    for (const QString& line : lines)
        EXPECT_EQ(line.size(), 936);
}

TEST_F(Export, AValueWiderThanItsColumnFailsTheTextReportButKeepsTheEarlierOne) {
    cleanup.ExportFormat = QStringLiteral("text");
    ASSERT_EQ(cleanup.Export(Records()), 1);
    const QByteArray earlier = Written(QStringLiteral(".txt"));

    std::vector<ExportRecord> records = Records();
    records[1].FileLocation = QStringLiteral("/") + QString(255, u'x');
    EXPECT_EQ(cleanup.Export(records), 3);
    EXPECT_EQ(Written(QStringLiteral(".txt")), earlier);
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        QStringLiteral("Error occured in clsCleanup.Export. Error No : ")));

    // The same long path is fine in the other formats, and a second export replaces the first.
    for (const char* format : {"csv", "html", "xml"}) {
        cleanup.ExportFormat = QString::fromLatin1(format);
        EXPECT_EQ(cleanup.Export(records), 1) << format;
    }
    cleanup.ExportFormat = QStringLiteral("csv");
    EXPECT_TRUE(Written(QStringLiteral(".csv")).contains(QString(255, u'x').toUtf8()));
    cleanup.Export(Records());
    EXPECT_EQ(Written(QStringLiteral(".csv")), Golden(QStringLiteral("report.csv")));
}

TEST_F(Export, UnknownFormatsMissingFoldersAndOrphanFiles) {
    cleanup.ExportFormat = QStringLiteral("Text"); // formats compare exactly
    EXPECT_EQ(cleanup.Export(Records()), 1);
    EXPECT_TRUE(QDir(cleanup.ExportLocation).isEmpty());

    cleanup.ExportFormat = QStringLiteral("csv");
    cleanup.ExportLocation = Tree().Path(QStringLiteral("no/such/folder"));
    EXPECT_EQ(cleanup.Export(Records()), 3);

    // In XML a file belongs to a group; one before any group fails the report.
    cleanup.ExportLocation = Tree().Path(QStringLiteral("reports"));
    cleanup.ExportFormat = QStringLiteral("xml");
    std::vector<ExportRecord> orphan = Records();
    orphan.erase(orphan.begin());
    EXPECT_EQ(cleanup.Export(orphan), 3);
    EXPECT_FALSE(Tree().Exists(QStringLiteral("reports/Photos.xml")));
}

} // namespace
