#include "FileNames.h"

namespace FileNames {

namespace {

constexpr char16_t kByteBase = 0xDC00;

// A low surrogate in U+DC80..U+DCFF stands for a byte only when no high surrogate
// precedes it; otherwise it is the second half of a character past U+FFFF.
bool IsCarriedByte(QStringView text, qsizetype i) {
    const char16_t c = text[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

// The length of the well-formed UTF-8 sequence at the start of bytes, or 0.
qsizetype SequenceLength(QByteArrayView bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past Unicode are not UTF-8.
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString Decode(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype length = SequenceLength(bytes.sliced(i));
        if (length > 0) {
            i += length;
            continue;
        }
        out += QString::fromUtf8(bytes.sliced(runStart, i - runStart));
        out += QChar(char16_t(kByteBase + static_cast<unsigned char>(bytes[i])));
        runStart = ++i;
    }
    out += QString::fromUtf8(bytes.sliced(runStart));
    return out;
}

QByteArray Encode(QStringView path) {
    QByteArray out;
    out.reserve(path.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!IsCarriedByte(path, i))
            continue;
        out += path.sliced(runStart, i - runStart).toUtf8();
        out += char(path[i].unicode() - kByteBase);
        runStart = i + 1;
    }
    out += path.sliced(runStart).toUtf8();
    return out;
}

QString Display(QStringView path) {
    QString out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (IsCarriedByte(path, i))
            out += QStringLiteral("\\x") + QString::number(path[i].unicode() - kByteBase, 16)
                                               .toUpper()
                                               .rightJustified(2, u'0');
        else
            out += path[i];
    }
    return out;
}

} // namespace FileNames
