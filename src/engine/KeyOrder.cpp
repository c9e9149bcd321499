#include "KeyOrder.h"

#include <QString>
#include <QUtf8StringView>

#include <algorithm>
#include <cstring>

namespace KeyOrder {

namespace {

template <typename T> int Cmp(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

unsigned char AsciiLower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? u - 'A' + 'a' : u;
}

int CompareBytesAsciiFolded(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = AsciiLower(a[i]);
        const unsigned char cb = AsciiLower(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return Cmp(a.size(), b.size());
}

int CompareFolded(std::string_view a, std::string_view b) {
    const QString qa = QString::fromUtf8(a.data(), qsizetype(a.size()));
    const QString qb = QString::fromUtf8(b.data(), qsizetype(b.size()));
    if (const int c = qa.compare(qb, Qt::CaseInsensitive))
        return c;
    if (a == b)
        return 0;
    // Decoding turns every invalid byte into U+FFFD, so names that are not UTF-8 and differ
    // only there would look equal and group. Their bytes decide instead. A valid name sorts
    // before an invalid one that decodes alike, which keeps the order one strict order.
    const bool validA = QUtf8StringView(a.data(), qsizetype(a.size())).isValidUtf8();
    const bool validB = QUtf8StringView(b.data(), qsizetype(b.size())).isValidUtf8();
    if (validA && validB)
        return 0;
    if (validA != validB)
        return validA ? -1 : 1;
    return CompareBytesAsciiFolded(a, b);
}

} // namespace

// The first position from i on where the bytes differ, eight bytes at a time.
size_t Mismatch(std::string_view a, std::string_view b, size_t i, size_t n) {
    while (i + 8 <= n) {
        quint64 x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            return i + size_t(__builtin_ctzll(x ^ y) / 8); // little-endian byte order
        i += 8;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

int CompareNamesCI(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    // Equal bytes are equal in any case, and most names part at their first difference.
    for (size_t i = Mismatch(a, b, 0, n); i < n; i = Mismatch(a, b, i + 1, n)) {
        const unsigned char ca = AsciiLower(a[i]);
        const unsigned char cb = AsciiLower(b[i]);
        if (ca >= 0x80 || cb >= 0x80)
            return CompareFolded(a, b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) {
        // A longer name whose rest is not ASCII still needs the folded order, so that the
        // order stays one order across both paths.
        const std::string_view rest = a.size() > b.size() ? a.substr(n) : b.substr(n);
        for (const char c : rest) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return CompareFolded(a, b);
        }
    }
    return Cmp(a.size(), b.size());
}

int ComparePreKey(const FileList& list, const FileRecord& a, const FileRecord& b) {
    if (list.KeyName) {
        // Two ASCII beginnings that differ decide exactly as the full comparison would.
        if ((a.Flags & b.Flags & FileRecord::FlagAsciiKey) && a.NameKey != b.NameKey)
            return a.NameKey < b.NameKey ? -1 : 1;
        if (const int c = CompareNamesCI(list.Name(a), list.Name(b)))
            return c;
    }
    if (list.KeySize || list.Content != FileList::ContentKind::None) {
        if (const int c = Cmp(a.Size, b.Size))
            return c;
    }
    if (list.KeyCreated) {
        if (const int c = Cmp(a.CreatedSecs, b.CreatedSecs))
            return c;
    }
    if (list.KeyModified) {
        if (const int c = Cmp(a.ModifiedSecs(), b.ModifiedSecs()))
            return c;
    }
    return 0;
}

int CompareContent(const FileList& list, const FileRecord& a, const FileRecord& b) {
    if (list.Content == FileList::ContentKind::None)
        return 0;
    if (!a.HasSignature() || !b.HasSignature())
        return Cmp(!a.HasSignature(), !b.HasSignature());
    const Signature& sa = list.SignatureOf(a);
    const Signature& sb = list.SignatureOf(b);
    if (const int c = Cmp(sa.Crc, sb.Crc))
        return c;
    return std::memcmp(sa.Digest, sb.Digest, sizeof sa.Digest);
}

bool SameKey(const FileList& list, const FileRecord& a, const FileRecord& b) {
    if (ComparePreKey(list, a, b) != 0)
        return false;
    if (list.Content == FileList::ContentKind::None)
        return true;
    return a.HasSignature() && b.HasSignature() && CompareContent(list, a, b) == 0;
}

bool Less(const FileList& list, const FileRecord& a, const FileRecord& b) {
    if (const int c = ComparePreKey(list, a, b))
        return c < 0;
    if (const int c = CompareContent(list, a, b))
        return c < 0;
    return ComparePath(list, a, b) < 0;
}

} // namespace KeyOrder

void QuickSort(FileList& list, qint64 low, qint64 high) {
    if (low < 0 || high <= low || size_t(high) >= list.size())
        return;
    auto& records = list.Records();
    std::sort(
        records.begin() + low, records.begin() + high + 1,
        [&list](const FileRecord& a, const FileRecord& b) { return KeyOrder::Less(list, a, b); });
}
