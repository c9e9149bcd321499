#include "TestSupport.h"

#include "app/RtfReader.h"
#include "app/modLog.h"

#include <QFile>

using namespace Qt::StringLiterals;
using testing_support::Golden;

namespace {

QString Text(const QByteArray& rtf) {
    return RtfReader::RtfToPlainText(rtf);
}

} // namespace

TEST(RtfReader, GoldenRunLogsReadAsTheirText) {
    // Every golden log reads back as text: no control word, brace or table leaks through,
    // and the lines the log writer wrote are there.
    for (const char* name : {"runlog_clean.rtf", "runlog_errors.rtf", "runlog_actions.rtf",
                             "runlog_error_count_only.rtf", "runlog_name70.rtf"}) {
        SCOPED_TRACE(name);
        const QString text = Text(Golden(name));
        for (const QString& leak :
             {u"\\par"_s, u"\\cf"_s, u"\\tab"_s, u"Tahoma"_s, u"red0"_s, u"{"_s})
            EXPECT_FALSE(text.contains(leak)) << leak.toStdString();
        // The blank after a control word ends the word and is not text.
        EXPECT_TRUE(text.startsWith(u"\n\tProfile : "_s)) << text.left(40).toStdString();
        EXPECT_TRUE(text.contains(u"\n\t\t\t\t\tFind duplicates - Details\n"_s));
        EXPECT_TRUE(text.contains(u"\n\tNo of errors occured\t\t:  "_s));
        EXPECT_TRUE(text.contains(u"\n\tCurrent Status : "_s));
    }
    const QString errors = Text(Golden("runlog_errors.rtf"));
    // The doubled backslash of the written path is one backslash again.
    EXPECT_TRUE(errors.contains(u"\t/srv/odd\\name.txt -  details could not be retrieved"_s));
    EXPECT_TRUE(
        errors.contains(u"Current Status : Error\t \t\t\tEnded at :  2026-12-06 10:00:03"_s));
}

TEST(RtfReader, ColoursAndBoldBecomeStyles) {
    const QString html = RtfReader::RtfToHtml(Golden("runlog_errors.rtf"));
    // Colour 1 blue and bold for the header line, colour 6 red for an error detail.
    EXPECT_TRUE(html.contains(u"color:#0000ff;font-weight:bold;"_s));
    EXPECT_TRUE(html.contains(QStringLiteral(
        "<span style=\"color:#ff0000;font-size:8pt;\">\t/home/ann/locked.txt -  details")))
        << html.toStdString();
    // The heading's larger size and the "auto" colour (no colour style at all).
    EXPECT_TRUE(html.contains(u"font-size:10pt;"_s));
    EXPECT_TRUE(html.contains(u"<span style=\"font-size:8pt;\">\t---"_s));
}

TEST(RtfReader, EscapesCoverTheWholeOfUnicode) {
    // The log writer's own escaping of a name with accents, an emoji (a surrogate pair,
    // written as two negative numbers), a backslash and braces reads back unchanged.
    const QString name = u"Fotos d\u00E9j\u00E0 vu \U0001F600 C:\\{1}"_s;
    QByteArray rtf = "{\\rtf1\\ansi\\uc1 " + modLog::RtfText(name) + "\\par}";
    EXPECT_EQ(Text(rtf), name);
    EXPECT_TRUE(modLog::RtfText(name).contains("\\u-10179?"));

    const struct {
        const char* Rtf;
        const char* Expected;
    } cases[] = {
        {"{\\rtf1 a\\u228?b}", "aäb"},                 // fallback skipped
        {"{\\rtf1\\uc2 \\u228??b}", "äb"},             // two fallback characters
        {"{\\rtf1\\uc0 \\u228 b}", "äb"},              // none; the blank ends the word
        {"{\\rtf1 \\u228\\'e4b}", "äb"},               // a hex fallback counts as one
        {"{\\rtf1 x\\u-10179?}", "x\xEF\xBF\xBD"},     // a lone high half is replaced
        {"{\\rtf1 \\'e9t\\'e9}", "\xC3\xA9t\xC3\xA9"}, // code page bytes
        {"{\\rtf1 a\\\\b\\{c\\}}", "a\\b{c}"},         // escaped specials
        {"{\\rtf1 {\\*\\generator x;}kept}", "kept"},  // ignorable destinations
        {"{\\rtf1 one\\par two\\line three}", "one\ntwo\nthree"},
        // Truncated files (a failed write) and stray braces give the text that is there.
        {"{\\rtf1 abc\\", "abc"},
        {"{\\rtf1 abc}}}", "abc"},
        {"{\\rtf1 \\u", ""},
        {"{\\rtf1 \\'4", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(c.Rtf), QString::fromUtf8(c.Expected)) << c.Rtf;
}

TEST(RtfReader, HtmlIsEscapedAndNotUnderstood) {
    // A profile name that looks like markup is shown as written, never interpreted.
    const QString html = RtfReader::RtfToHtml("{\\rtf1 <b>&amp;\"</b>\\par}");
    EXPECT_TRUE(html.contains(u"&lt;b&gt;&amp;amp;&quot;&lt;/b&gt;"_s));
    EXPECT_FALSE(html.contains(u"<b>"_s));
}

TEST(RtfReader, ATruncatedLogShowsTheTextWrittenSoFar) {
    // A run log cut off by a failed write, at any byte, reads as the beginning of the
    // whole log: nothing invented, nothing out of order.
    for (const char* name : {"runlog_errors.rtf", "runlog_actions.rtf"}) {
        const QByteArray whole = Golden(name);
        const QString full = Text(whole);
        for (qsizetype cut = 0; cut < whole.size(); ++cut)
            ASSERT_TRUE(full.startsWith(Text(whole.left(cut)))) << name << " cut at " << cut;
    }
}
