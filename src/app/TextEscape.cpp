#include "TextEscape.h"

namespace TextEscape {

namespace {

constexpr char16_t kByteBase = 0xDC00; // PathCodec's lone surrogate for a byte

bool IsBreak(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\r';
}

// Whether the character at i is written as an escape.
bool NeedsEscape(QStringView s, qsizetype i, Breaks breaks) {
    const char16_t c = s[i].unicode();
    if (c < 0x20)
        return breaks == Breaks::Escape || !IsBreak(c);
    if (c == 0xFFFE || c == 0xFFFF)
        return true;
    if (QChar::isHighSurrogate(c))
        return i + 1 >= s.size() || !QChar::isLowSurrogate(s[i + 1].unicode());
    if (QChar::isLowSurrogate(c))
        return i == 0 || !QChar::isHighSurrogate(s[i - 1].unicode());
    return false;
}

void AppendHex(QString& out, unsigned value, int digits) {
    out += QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// The value of the hexadecimal digits at from, or -1 when there are not that many.
int HexValue(QStringView s, qsizetype from, int digits) {
    if (from + digits > s.size())
        return -1;
    int value = 0;
    for (int k = 0; k < digits; ++k) {
        const int d = HexDigit(s[from + k].unicode());
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// The characters Escape writes as "\uHHHH" (besides the breaks it keeps or not).
bool EscapedByU(int value) {
    return value < 0x20 || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE ||
           value == 0xFFFF;
}

} // namespace

QString Escape(QStringView text, Breaks breaks) {
    qsizetype i = 0;
    while (i < text.size() && text[i] != u'\\' && !NeedsEscape(text, i, breaks))
        ++i;
    if (i == text.size())
        return text.toString();

    QString out = text.first(i).toString();
    out.reserve(text.size() + 16);
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (NeedsEscape(text, i, breaks)) {
            if (c >= 0xDC80 && c <= 0xDCFF) {
                out += QStringLiteral("\\x");
                AppendHex(out, c - kByteBase, 2);
            } else {
                out += QStringLiteral("\\u");
                AppendHex(out, c, 4);
            }
        } else if (c == u'\\') {
            const bool startsEscape =
                i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'x' ||
                                        text[i + 1] == u'u' || NeedsEscape(text, i + 1, breaks));
            out += startsEscape ? QStringLiteral("\\\\") : QStringLiteral("\\");
        } else {
            out += QChar(c);
        }
    }
    return out;
}

QString Unescape(QStringView text) {
    if (!text.contains(u'\\'))
        return text.toString();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[i + 1];
        if (next == u'\\') {
            out += u'\\';
            ++i;
        } else if (next == u'x') {
            const int v = HexValue(text, i + 2, 2);
            if (v >= 0x80) {
                out += QChar(char16_t(kByteBase + v));
                i += 3;
            } else {
                out += text[i];
            }
        } else if (next == u'u') {
            const int v = HexValue(text, i + 2, 4);
            if (v >= 0 && EscapedByU(v)) {
                out += QChar(char16_t(v));
                i += 5;
            } else {
                out += text[i];
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace TextEscape
