#include "app/PathCodec.h"

#include <QList>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(PathCodec, EveryByteStringSurvivesTheRoundTrip) {
    const QList<QByteArray> samples = {
        QByteArray(),
        QByteArray("/home/ann/plain.txt"),
        QByteArray("/tmp/caf\xe9.txt"),                    // Latin-1
        QByteArray("/tmp/caf\xc3\xa9.txt"),                // the same name in UTF-8
        QByteArray("/tmp/\xed\xa0\x80surrogate"),          // an encoded surrogate is not UTF-8
        QByteArray("/tmp/\xc0\xafoverlong"),               // overlong "/"
        QByteArray("/tmp/cut\xe2\x82"),                    // a sequence cut short at the end
        QByteArray("/tmp/\xf4\x90\x80\x80") + "beyond",    // past U+10FFFF
        QByteArray("/tmp/\xff\xfe\x80mixed \xe6\x97\xa5"), // raw bytes, then a valid letter
        // U+10080: the second half of its pair lies among the halves that carry raw bytes.
        QByteArray("/tmp/\xf0\x90\x82\x80"),
    };
    for (const QByteArray& b : samples)
        EXPECT_EQ(PathCodec::Encode(PathCodec::Decode(b)), b) << b.toHex().constData();

    QRandomGenerator rng(7);
    for (int i = 0; i < 2000; ++i) {
        QByteArray b(int(rng.bounded(1, 24)), '\0');
        for (char& c : b)
            c = char(rng.bounded(1, 256));
        ASSERT_EQ(PathCodec::Encode(PathCodec::Decode(b)), b) << b.toHex().constData();
    }
}

TEST(PathCodec, NamesThatDecodeAlikeLossilyStayApartAndShowTheirRawBytes) {
    // Both would become "caf\uFFFD.txt" through a lossy decoder.
    const QString latin1 = PathCodec::Decode("caf\xe9.txt");
    EXPECT_NE(latin1, PathCodec::Decode("caf\xe8.txt"));
    EXPECT_EQ(PathCodec::Decode("caf\xc3\xa9.txt"), u"caf\u00e9.txt"_s);
    EXPECT_FALSE(PathCodec::HasRawBytes(PathCodec::Decode("caf\xc3\xa9.txt")));
    EXPECT_TRUE(PathCodec::HasRawBytes(latin1));
    EXPECT_FALSE(PathCodec::HasRawBytes(PathCodec::Decode("\xf0\x90\x82\x80")));
    EXPECT_EQ(PathCodec::Display(PathCodec::Decode("/tmp/caf\xe9.txt")), u"/tmp/caf\\xE9.txt"_s);
    EXPECT_EQ(PathCodec::Display(u"/tmp/caf\u00e9.txt"_s), u"/tmp/caf\u00e9.txt"_s);
}

} // namespace
