#include <FileNames.h>

#include <QList>

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

// A key that does not give back the bytes it came from would tick, scan or miss
// another folder than the one on disk.
TEST(FileNames, AnyBytesComeBackExactlyAndValidUtf8IsItsText) {
    const QList<QByteArray> awkward = {
        "",
        "plain",
        "caf\xc3\xa9",          // valid two-byte UTF-8
        "caf\xe9",              // Latin-1
        "\xc0\xaf",             // overlong "/"
        "\xed\xa0\x80",         // an encoded surrogate
        "\xf4\x90\x80\x80",     // past U+10FFFF
        "\xe2\x82",             // cut short
        "\xf0\x90\x82\x80",     // U+10080: its low surrogate lies among the carried bytes
        "\xf0\x9f\x98\x80\xff", // an emoji, then a stray byte
        "\x80\x80\x80",
    };
    for (const QByteArray& bytes : awkward)
        EXPECT_EQ(FileNames::Encode(FileNames::Decode(bytes)), bytes) << bytes.toHex().constData();

    std::mt19937 random(20261207);
    const char pieces[] = {'a',    '/',    ' ',    '\x80', '\xbf', '\xc3', '\xa9', '\xe2',
                           '\x82', '\xac', '\xed', '\xf0', '\x9f', '\x98', '\xff', '\xdc'};
    for (int round = 0; round < 5000; ++round) {
        QByteArray bytes;
        for (int i = int(random() % 12); i > 0; --i)
            bytes.append(pieces[random() % sizeof pieces]);
        ASSERT_EQ(FileNames::Encode(FileNames::Decode(bytes)), bytes) << bytes.toHex().constData();
    }

    // Valid UTF-8 is its text; other bytes show as escapes.
    for (const QByteArray& text : {QByteArray("caf\xc3\xa9"), QByteArray("\xf0\x90\x82\x80"),
                                   QByteArray("\xe6\x97\xa5\xe6\x9c\xac")}) {
        EXPECT_EQ(FileNames::Decode(text), QString::fromUtf8(text));
        EXPECT_EQ(FileNames::Display(FileNames::Decode(text)), QString::fromUtf8(text));
    }
    const QString latin = FileNames::Decode("caf\xe9");
    EXPECT_EQ(latin, u"caf"_s + QChar(0xDCE9));
    EXPECT_EQ(FileNames::Display(latin), u"caf\\xE9"_s);
    // Two names that differ only in a byte that is not UTF-8 stay two keys.
    EXPECT_NE(FileNames::Decode("caf\xe9"), FileNames::Decode("caf\xe8"));
}
