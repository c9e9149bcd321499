// Looking at a file from the grid: Enter or a double click opens it with the desktop's
// program, the popup opens its folder, and the file is named by its exact bytes. What
// would be opened is recorded instead of launched.

#include "ActionsWindowFixture.h"

#include "app/PathCodec.h"
#include "ui/DesktopOpen.h"

namespace {

using namespace actions_window_testing;

class OpenFile : public ActionsWindowTest {
protected:
    void SetUp() override {
        ActionsWindowTest::SetUp();
        DesktopOpen::SetOpener([this](const QUrl& url) {
            Opened << url;
            return true;
        });
    }
    void TearDown() override {
        DesktopOpen::SetOpener({});
        ActionsWindowTest::TearDown();
    }

    // As the window system delivers one: a click, then the double-click event.
    void DoubleClick(qint64 row, int col) {
        const QPoint at = CellRect(row, col).center();
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, at);
    }

    QList<QUrl> Opened;
};

// The bytes a file URL names, as a launcher decodes it.
QByteArray UrlBytes(const QUrl& url) {
    const QByteArray encoded = url.toEncoded();
    EXPECT_TRUE(encoded.startsWith("file:///")) << encoded.toStdString();
    return QByteArray::fromPercentEncoding(encoded.mid(7));
}

TEST(DesktopOpenUrl, AFileUrlNamesTheExactBytesAndHoldsNothingACommandLineSplits) {
    const QString paths[] = {
        S("/plain/a.txt"),
        S("/with space/#hash?query=1&x%25'\"quoted\".txt"),
        S("/ünï/çødé/日本.txt"),
        PathCodec::Decode(QByteArray("/caf\xe9/\xff\x80.txt")),
        S("/"),
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(PathCodec::Display(path).toStdString());
        const QUrl url = DesktopOpen::FileUrl(path);
        ASSERT_TRUE(url.isValid()) << url.errorString().toStdString();
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_EQ(UrlBytes(url), PathCodec::Encode(path));
        for (const char c : {' ', '\'', '"', '\n'})
            EXPECT_FALSE(url.toEncoded().contains(c)) << url.toEncoded().toStdString();
        // Where the name is text, the desktop's own reading gives the same path.
        if (!PathCodec::HasRawBytes(path)) {
            EXPECT_EQ(url.toLocalFile(), path);
        }
    }
}

TEST_F(OpenFile, EnterADoubleClickAndThePopupOpenTheFileOrItsFolderAndNothingElse) {
    SaveProfile(Settings("recycle"));
    OpenResults(); // rows 1-4 and 5-7, headers at 1 and 5

    DoubleClick(3, 2);
    EXPECT_EQ(Opened, QList<QUrl>{DesktopOpen::FileUrl(A[1])});
    EXPECT_TRUE(Model().IsMarked(3));

    // On the mark a double click is still one toggle; on a header's glyph one collapse.
    Opened.clear();
    DoubleClick(3, 1);
    EXPECT_TRUE(Model().IsUnmarked(3));
    DoubleClick(5, 0);
    EXPECT_EQ(Model().Text(5, 0), S("+"));
    EXPECT_TRUE(Model().IsHidden(6) && Model().IsHidden(7));
    DoubleClick(1, 3); // a header is no file
    EXPECT_TRUE(Opened.isEmpty());

    SelectRow(4);
    Grid()->setFocus();
    QTest::keyClick(Grid(), Qt::Key_Return);
    QTest::keyClick(Grid(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Opened, (QList<QUrl>{DesktopOpen::FileUrl(A[2]), DesktopOpen::FileUrl(A[2])}));
    SelectRow(1);
    QTest::keyClick(Grid(), Qt::Key_Return);
    EXPECT_EQ(Opened.size(), 2);
    EXPECT_TRUE(Said().isEmpty());

    // The popup opens the folder that holds the file, asking and changing nothing.
    EXPECT_TRUE(PopupAt(3, S("mnuPopupOpenFolder")).contains(S("mnuPopupOpenFolder")));
    EXPECT_EQ(Opened.last(), DesktopOpen::FileUrl(Folders.Path(S("tree/d2"))));
    EXPECT_TRUE(Said().isEmpty());
    EXPECT_EQ(Flags(), S("......."));

    // A removed file is not handed to the desktop.
    Model().SetFlag(2, ResultsModel::FlagStruck, true);
    DoubleClick(2, 2);
    EXPECT_EQ(Opened.size(), 3);
    EXPECT_EQ(Said(),
              QStringList{S("Cannot open the selected file as it has already been deleted")});

    // A name that is not UTF-8 is opened by its own bytes.
    const QByteArray raw("/data/caf\xe9 \xff.jpg");
    const QString path = PathCodec::Decode(raw);
    const qint64 header = Model().AddHeader(path.section(u'/', -1));
    for (int i = 0; i < 2; ++i)
        Model().AddRow(i == 0, {path.section(u'/', -1), path + QString(i, u'2'), {}, {}, 1, S("N")},
                       {});
    Model().UpdateHeader(header, S("2"));
    DoubleClick(header + 1, 3);
    EXPECT_EQ(UrlBytes(Opened.last()), raw);
}

} // namespace
