#include "PathCodec.h"

namespace PathCodec {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// A low surrogate of that range is an escaped byte only when it stands alone: the second
// half of a pair (a letter past U+FFFF) can fall in the same range.
bool IsEscapedByte(QStringView s, qsizetype i) {
    const char16_t c = s[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !QChar::isHighSurrogate(s[i - 1].unicode()));
}

// Length of the valid UTF-8 sequence starting at p (1..4), or 0 when it is not one.
// Overlong forms, surrogates and values past U+10FFFF are not valid.
int ValidSequence(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int n = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

QString Decode(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    // The common case, a valid UTF-8 name, takes Qt's fast decoder.
    qsizetype i = 0;
    while (i < size) {
        const int n = ValidSequence(p + i, size - i);
        if (n == 0)
            break;
        i += n;
    }
    if (i == size)
        return QString::fromUtf8(bytes);

    QString out = QString::fromUtf8(bytes.first(i));
    out.reserve(size);
    while (i < size) {
        const qsizetype start = i;
        int n = 0;
        while (i < size && (n = ValidSequence(p + i, size - i)) != 0)
            i += n;
        if (i > start)
            out += QString::fromUtf8(bytes.sliced(start, i - start));
        if (i < size) {
            out += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
        }
    }
    return out;
}

QByteArray Encode(QStringView path) {
    qsizetype i = 0;
    while (i < path.size() && !IsEscapedByte(path, i))
        ++i;
    if (i == path.size())
        return path.toUtf8();

    QByteArray out = path.first(i).toUtf8();
    while (i < path.size()) {
        const qsizetype start = i;
        while (i < path.size() && !IsEscapedByte(path, i))
            ++i;
        if (i > start)
            out += path.sliced(start, i - start).toUtf8();
        while (i < path.size() && IsEscapedByte(path, i)) {
            out += char(path[i].unicode() - kEscapeBase);
            ++i;
        }
    }
    return out;
}

bool HasRawBytes(QStringView path) {
    for (qsizetype i = 0; i < path.size(); ++i)
        if (IsEscapedByte(path, i))
            return true;
    return false;
}

QString Display(QStringView path) {
    if (!HasRawBytes(path))
        return path.toString();
    QString out;
    out.reserve(path.size() + 8);
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        if (IsEscapedByte(path, i))
            out += QStringLiteral("\\x") + QString::number(unsigned(c.unicode() - kEscapeBase), 16)
                                               .toUpper()
                                               .rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

} // namespace PathCodec
