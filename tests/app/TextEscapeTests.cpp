// The written form of names that a file cannot carry as they are: readable, reversible, and
// unchanged for ordinary names.

#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/TextEscape.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;
using TextEscape::Breaks;

namespace {

QString Raw(const char* bytes) {
    return PathCodec::Decode(QByteArray(bytes));
}

TEST(TextEscape, OddCharactersAreWrittenReadablyAndOrdinaryOnesNot) {
    struct Case {
        QString Text, Kept, Escaped;
    };
    const Case cases[] = {
        {u"/home/ann/plain é.txt"_s, u"/home/ann/plain é.txt"_s, u"/home/ann/plain é.txt"_s},
        {u"C:\\dir\\file \\ end\\"_s, u"C:\\dir\\file \\ end\\"_s, u"C:\\dir\\file \\ end\\"_s},
        {u"a\nb\tc\rd"_s, u"a\nb\tc\rd"_s, u"a\\u000Ab\\u0009c\\u000Dd"_s},
        {u"x\x01y\x1f"_s, u"x\\u0001y\\u001F"_s, u"x\\u0001y\\u001F"_s},
        {Raw("caf\xe9.txt"), u"caf\\xE9.txt"_s, u"caf\\xE9.txt"_s},
        {u"end\uFFFE\uFFFF"_s, u"end\\uFFFE\\uFFFF"_s, u"end\\uFFFE\\uFFFF"_s},
        {QString(QChar(0xD800)) + u"x"_s, u"\\uD800x"_s, u"\\uD800x"_s},
        // A backslash that would read as the start of an escape is doubled, only there.
        {u"caf\\xE9.txt"_s, u"caf\\\\xE9.txt"_s, u"caf\\\\xE9.txt"_s},
        {u"\\u0001 \\\\"_s, u"\\\\u0001 \\\\\\"_s, u"\\\\u0001 \\\\\\"_s},
        {u"\\"_s + Raw("\xe9"), u"\\\\\\xE9"_s, u"\\\\\\xE9"_s},
        {u"\\\n"_s, u"\\\n"_s, u"\\\\\\u000A"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PathCodec::Display(c.Text).toStdString());
        EXPECT_EQ(TextEscape::Escape(c.Text, Breaks::Keep), c.Kept);
        EXPECT_EQ(TextEscape::Escape(c.Text, Breaks::Escape), c.Escaped);
        EXPECT_EQ(TextEscape::Unescape(c.Kept), c.Text);
        EXPECT_EQ(TextEscape::Unescape(c.Escaped), c.Text);
    }
}

TEST(TextEscape, EveryTextComesBackExactlyAndNoTwoAreWrittenAlike) {
    // Texts made of the characters that interact: escapes, their letters, digits, breaks.
    const QString alphabet = u"\\xuE9A0\n\t\x01é"_s + QChar(0xDCE9) + QChar(0xFFFF);
    QRandomGenerator rng(11);
    for (const Breaks breaks : {Breaks::Keep, Breaks::Escape}) {
        QHash<QString, QString> seen;
        for (int i = 0; i < 5000; ++i) {
            QString text;
            for (int n = int(rng.bounded(0, 9)); n > 0; --n)
                text += alphabet[int(rng.bounded(alphabet.size()))];
            const QString written = TextEscape::Escape(text, breaks);
            ASSERT_EQ(TextEscape::Unescape(written), text) << written.toStdString();
            const auto it = seen.constFind(written);
            ASSERT_TRUE(it == seen.constEnd() || *it == text) << written.toStdString();
            seen.insert(written, text);
        }
    }
}

} // namespace
