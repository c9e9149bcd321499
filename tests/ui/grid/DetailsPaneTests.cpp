// The details pane over real files: what it shows of the highlighted and the kept file,
// which differences stand out, and the previews read behind the window's back.

#include "UiTestSupport.h"

#include "ui/DetailsPane.h"
#include "ui/PreviewLoader.h"
#include "ui/ResultsDelegate.h"

using namespace Qt::StringLiterals;
using testing_support::Holds;
using testing_support::TempTree;

namespace {

constexpr int Wait = 20000; // ms; generous for a sanitizer build

// Rows: 1 header, 2 a/same.txt (kept), 3 b/same.txt; 4 header, 5 c/odd.txt (marked),
// 6 d/odd.txt (kept), which differs from 5 in mode and time; 7 header, 8 and 9 two copies
// of a 4000 x 3000 picture.
class Details : public ::testing::Test {
protected:
    void SetUp() override {
        tree.CreateCopies("same text\nsecond line\n", {"a/same.txt", "b/same.txt"});
        tree.CreateCopies("odd one\n", {"c/odd.txt", "d/odd.txt"});
        for (const char* rel : {"a/same.txt", "b/same.txt", "c/odd.txt"})
            tree.SetMTime(QString::fromUtf8(rel), 1'700'000'000);
        tree.SetMTime(u"d/odd.txt"_s, 1'700'086'400);
        tree.SetMode(u"c/odd.txt"_s, 0600);
        tree.SetMode(u"d/odd.txt"_s, 0644);
        tree.CreateDir(u"e"_s);
        QImage picture(4000, 3000, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        ASSERT_TRUE(picture.save(tree.Path(u"e/big.png"_s)));
        ASSERT_TRUE(QFile::copy(tree.Path(u"e/big.png"_s), tree.Path(u"e/copy.png"_s)));

        Group(u"same.txt"_s, {u"a/same.txt"_s, u"b/same.txt"_s}, u"CRC"_s);
        Group(u"odd.txt"_s, {u"c/odd.txt"_s, u"d/odd.txt"_s}, u"MD5"_s);
        Group(u"big.png"_s, {u"e/big.png"_s, u"e/copy.png"_s}, {});
        model.SetMark(6, false);
        model.SetMark(5, true);
        pane.show();
    }

    void Group(const QString& name, const QStringList& rels, const QString& sum) {
        model.AddHeader(name);
        bool first = true;
        for (const QString& rel : rels) {
            clsFileDetails d{.FileName = name, .FilePath = tree.Path(rel)};
            (sum == u"MD5"_s ? d.MD5 : d.CRC32) = sum.isEmpty() ? QString() : u"0badf00d"_s;
            model.AddRow(std::exchange(first, false), d, {});
        }
    }

    QString Field(DetailsPane::Side side, DetailsPane::Field f) const {
        return pane.FieldBox(side, f)->text();
    }
    bool PreviewShows(const QString& text) const {
        return QTest::qWaitFor(
            [&] { return pane.PreviewBox(DetailsPane::Highlighted)->text().startsWith(text); },
            Wait);
    }

    TempTree tree;
    ResultsModel model;
    DetailsPane pane{model};
};

TEST_F(Details, ShowsTheRowBesideTheKeptFileAndHighlightsWhatDiffers) {
    using enum DetailsPane::Field;
    const auto shown = [&](qint64 row) {
        pane.Follow(row);
        return std::pair(pane.ShownRow(DetailsPane::Highlighted), pane.ShownRow(DetailsPane::Kept));
    };
    EXPECT_EQ(shown(3), std::pair(3LL, 2LL));
    EXPECT_EQ(shown(2), std::pair(2LL, 3LL)) << "the kept file shows the next one beside it";
    EXPECT_EQ(shown(4), std::pair(5LL, 6LL)) << "a header shows its first two files";
    EXPECT_EQ(shown(5), std::pair(5LL, 6LL)) << "the first unmarked file is kept";
    EXPECT_EQ(shown(6), std::pair(6LL, 5LL));

    pane.Follow(3);
    EXPECT_EQ(Field(DetailsPane::Highlighted, Path), tree.Path(u"b/same.txt"_s));
    EXPECT_EQ(Field(DetailsPane::Kept, Path), tree.Path(u"a/same.txt"_s));
    EXPECT_EQ(Field(DetailsPane::Kept, Size), u"22 bytes"_s);
    EXPECT_EQ(Field(DetailsPane::Kept, Checksum), u"CRC-32 0badf00d"_s);
    for (auto f : {Path, Size, Modified, Owner, Mode, Checksum})
        EXPECT_FALSE(pane.Differs(f) || pane.FieldBox(DetailsPane::Kept, f)->font().bold()) << f;

    pane.Follow(5);
    EXPECT_EQ(Field(DetailsPane::Highlighted, Mode), u"rw-------"_s);
    EXPECT_EQ(Field(DetailsPane::Kept, Mode), u"rw-r--r--"_s);
    EXPECT_EQ(Field(DetailsPane::Kept, Checksum), u"MD5 0badf00d"_s);
    for (auto f : {Path, Size, Owner, Checksum})
        EXPECT_FALSE(pane.Differs(f)) << f;
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x3a, 0x4a));
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    light.setColor(QPalette::Highlight, QColor(0xcc, 0xe4, 0xf7));
    for (const QPalette& p : {light, dark}) {
        pane.setPalette(p);
        for (auto side : {DetailsPane::Highlighted, DetailsPane::Kept}) {
            for (auto f : {Modified, Mode}) {
                const QLineEdit* box = pane.FieldBox(side, f);
                EXPECT_TRUE(pane.Differs(f) && box->font().bold()) << f;
                const QColor text = box->palette().color(QPalette::Text);
                EXPECT_GE(ResultsDelegate::Contrast(text, p.color(QPalette::Base)), 4.5) << f;
                EXPECT_NE(text, p.color(QPalette::Text)) << f;
            }
        }
    }
    EXPECT_EQ(pane.FieldBox(DetailsPane::Kept, Mode)->accessibleName(), u"Kept file mode"_s);

    for (qint64 row : {0, 10}) {
        pane.Follow(5);
        pane.Follow(row);
        EXPECT_EQ(pane.ShownRow(DetailsPane::Highlighted) + pane.ShownRow(DetailsPane::Kept), 0);
        EXPECT_TRUE(Field(DetailsPane::Highlighted, Path).isEmpty());
        EXPECT_FALSE(pane.Differs(Mode) || pane.FieldBox(DetailsPane::Kept, Mode)->font().bold());
    }
}

TEST_F(Details, PreviewsAPictureScaledAndATextByItsFirstLines) {
    pane.Follow(8);
    QLabel* left = pane.PreviewBox(DetailsPane::Highlighted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !left->pixmap().isNull(); }, Wait));
    EXPECT_EQ(left->pixmap().size(), QSize(PreviewLoader::MaxSide, PreviewLoader::MaxSide * 3 / 4));

    pane.Follow(2);
    EXPECT_TRUE(left->pixmap().isNull()) << "the last file's picture is gone at once";
    EXPECT_TRUE(PreviewShows(u"same text\nsecond line"_s));
    pane.Follow(8);
    EXPECT_FALSE(left->pixmap().isNull()) << "a picture read once comes from the cache";

    // Past the limit only formats that decode at a smaller size are read.
    QImage huge(5000, 4000, QImage::Format_Mono);
    huge.fill(0);
    ASSERT_TRUE(huge.save(tree.Path(u"huge.png"_s)));
    const Preview p = PreviewLoader::Load(tree.Path(u"huge.png"_s));
    EXPECT_EQ(p.What, Preview::Kind::Icon);
    EXPECT_TRUE(Holds(p.Text, u"5000 × 4000"_s));
}

TEST_F(Details, AReadForARowLeftBehindNeverLands) {
    QSignalSpy shown(&pane, &DetailsPane::PreviewShown);
    const auto* loader = pane.findChild<PreviewLoader*>();
    pane.Follow(8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loader->Reading(); }, Wait));
    // The picture is being read while the highlight races over every row.
    for (qint64 row = 1; row <= model.RowCount(); ++row)
        pane.Follow(row);
    pane.Follow(5);
    const QStringList last = {tree.Path(u"c/odd.txt"_s), tree.Path(u"d/odd.txt"_s)};
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.size() >= 2; }, Wait));
    // The reader works through its queue in order, so nothing older is still on its way.
    EXPECT_TRUE(PreviewShows(u"odd one"_s));
    for (const QList<QVariant>& signal : shown)
        EXPECT_TRUE(last.contains(signal.at(1).toString()))
            << signal.at(1).toString().toStdString();
    EXPECT_EQ(shown.size(), 2);
}

} // namespace
