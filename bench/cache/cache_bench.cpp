// Times the hash cache on a table of synthetic entries: filling it, and looking up a share
// of them both ways, each file on its own and all of a device's entries in one pass, so
// that HashCache::OnePassShare can be set where the two cost the same.

#include "engine/HashCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// Inode numbers as a file system hands them out: mostly dense, with gaps.
HashCache::Key KeyOf(size_t i) {
    return {2049, 12 + quint64(i) * 3, qint64(1000 + i % 50000),
            1'700'000'000'000'000'000 + qint64(i), 1'700'000'100'000'000'000 + qint64(i)};
}

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    size_t entries = 200000;
    int repeats = 5;
    const QStringList args = app.arguments();
    for (qsizetype a = 1; a + 1 < args.size(); a += 2) {
        if (args[a] == u"--entries")
            entries = args[a + 1].toULongLong();
        else if (args[a] == u"--repeats")
            repeats = args[a + 1].toInt();
    }
    HashCache::SettleNs = 0;
    HashCache::SmallestKept = 0;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cache.sqlite"));
    const auto value = [](size_t i, HashCache::Value& v) {
        v.Crc = quint32(i * 2654435761u);
        for (int b = 0; b < 16; ++b)
            v.Digest[b] = quint8(i >> (b % 4 * 8));
        return true;
    };
    {
        QElapsedTimer t;
        t.start();
        HashCache cache(file);
        cache.Store(HashCache::Kind::XxhCrc, entries, KeyOf, value);
        cache.Finish();
        std::printf("%zu entries stored in %.1f ms, %.2f us an entry (one transaction)\n", entries,
                    Ms(t), Ms(t) * 1000 / double(entries));
    }
    std::printf("\n| share | keys | each ms | one pass ms | each us/key | one pass us/key |\n"
                "|---:|---:|---:|---:|---:|---:|\n");
    std::mt19937_64 random(1);
    for (const double share : {0.005, 0.01, 0.02, 0.03, 0.05, 0.1, 0.2, 0.5, 1.0}) {
        const size_t keys = std::max<size_t>(1, size_t(double(entries) * share));
        std::vector<size_t> picked(entries);
        for (size_t i = 0; i < entries; ++i)
            picked[i] = i;
        std::shuffle(picked.begin(), picked.end(), random);
        picked.resize(keys);
        double best[2] = {1e100, 1e100};
        for (int r = 0; r < repeats; ++r) {
            for (int road = 0; road < 2; ++road) {
                HashCache::OnePassShare = road == 0 ? 2.0 : 0.0;
                HashCache cache(file);
                size_t found = 0;
                QElapsedTimer t;
                t.start();
                cache.Lookup(
                    HashCache::Kind::XxhCrc, keys, [&](size_t i) { return KeyOf(picked[i]); },
                    [&](size_t, const HashCache::Value&) { ++found; });
                best[road] = std::min(best[road], Ms(t));
                if (found != keys) {
                    std::fprintf(stderr, "found %zu of %zu\n", found, keys);
                    return 1;
                }
            }
        }
        std::printf("| %.3f | %zu | %.2f | %.2f | %.3f | %.3f |\n", share, keys, best[0], best[1],
                    best[0] * 1000 / double(keys), best[1] * 1000 / double(keys));
    }
    return 0;
}
