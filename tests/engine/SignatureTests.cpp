// Content signatures: the CRC-32 and MD5 over whole files, at read-part boundaries and past
// the 32-bit size limit, and what paths that are no readable file give.

#include "EngineFixtures.h"

#include "engine/ContentHasher.h"
#include "engine/clsCRC.h"
#include "engine/clsMD5.h"

#include "app/modAPI_scan.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <xxhash.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace engine_test;

class Signatures : public EngineTest {};

namespace {

quint32 ZlibCrc(const QByteArray& bytes) {
    return quint32(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()), size_t(bytes.size())));
}

} // namespace

TEST_F(Signatures, NoRegularFileGivesCrcZeroAndIsNotLogged) {
    t.CreateFile(u"empty"_s, QByteArray());
    t.CreateDir(u"folder"_s);
    // A FIFO is never opened for reading: it could block the scan for ever.
    Fifo(u"fifo"_s);
    for (const QString& rel : {u"empty"_s, u"missing"_s, u"folder"_s, u"fifo"_s})
        EXPECT_EQ(clsCRC().Calculate_Crc32(P(rel)), 0) << rel.toStdString();
    EXPECT_TRUE(app.AppLogLines().isEmpty());
}

TEST_F(Signatures, Md5FollowsTheStandardAndLogsWhatItCannotRead) {
    clsMD5 md5;
    EXPECT_EQ(md5.MD5File(t.CreateFile(u"m"_s, "message digest")),
              u"f96b697d7cb7938d525a2f31aaf161d0"_s);
    EXPECT_TRUE(app.AppLogLines().isEmpty());

    EXPECT_EQ(md5.MD5File(P(u"missing"_s)), QString());
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"Error occured in clsMD5.MD5File. Error No : "_s))
        << log[0].toStdString();
}

// Files are read in parts of 128 KiB: the CRC-32 covers every part, whole or cut short, and
// every byte of a file past the 32-bit size limit.
TEST_F(Signatures, CrcCoversEveryReadPartOfTheFile) {
    clsCRC crc;
    for (const qint64 size : {(1 << 17) - 1, 1 << 17, (1 << 17) + 1, 3 * (1 << 17) + 17}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 131 + 7) % 251);
        EXPECT_EQ(crc.Calculate_Crc32(t.CreateFile(u"f%1"_s.arg(size), bytes)),
                  qint32(ZlibCrc(bytes)))
            << size;
    }
    // A sparse file: no disk space, but every byte must still be read into the CRC.
    const QString path = t.CreateFile(u"big"_s, QByteArray());
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), (qint64(1) << 31) + 3), 0);
    const QByteArray zeros(1 << 20, '\0');
    const uLong part = ZlibCrc(zeros);
    uLong expected = 0;
    for (int i = 0; i < 2048; ++i)
        expected = crc32_combine(expected, part, zeros.size());
    expected = crc32_combine(expected, ZlibCrc(zeros.left(3)), 3);
    EXPECT_EQ(clsCRC().Calculate_Crc32(path), qint32(expected));

    // The bytes read are counted as they are read: a watcher sees a large file move, and a
    // Cancel heard halfway stops its read.
    ContentHasher hasher;
    std::atomic<qint64> counted{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    hasher.CountReadsIn(&counted);
    std::thread watcher([&] {
        while (!done && counted.load() < (qint64(1) << 30))
            std::this_thread::yield();
        cancel = true;
    });
    Signature ignored;
    const int result = hasher.HashFile(QFile::encodeName(path).constData(), 0, 0,
                                       ContentHasher::Mode::Md5, ignored, &cancel);
    done = true;
    watcher.join();
    EXPECT_EQ(result, ECANCELED);
    EXPECT_LT(counted.load(), (qint64(1) << 31));
}

// The CRC-32 is computed in parts as the file is read; every length and alignment must give
// zlib's value, including those the folded computation handles in its own way (under one
// block, odd tails, an unaligned start).
TEST_F(Signatures, CrcOfAnyLengthAndAlignmentIsZlibs) {
    QByteArray bytes(70000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 2654435761u) >> 13);
    std::vector<qsizetype> lengths;
    for (qsizetype n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (const qsizetype n : {1023, 1024, 1025, 4095, 4096, 4097, 65537, 69990})
        lengths.push_back(n);
    for (const qsizetype n : lengths) {
        for (const qsizetype offset : {0, 1, 7}) {
            const QByteArray part = bytes.mid(offset, n);
            EXPECT_EQ(ContentHasher::HashBytes(bytes.constData() + offset, size_t(n),
                                               ContentHasher::Mode::Crc)
                          .Crc,
                      ZlibCrc(part))
                << n << " at " << offset;
        }
    }
}

// The whole-content digest is what hash caches keep from one run to the next, so it must be
// the library's own XXH3-128 (here its plain entry point) whichever vector unit the scan's
// reads pick at run time: in one piece at every length its short, middle and long ways cover,
// and read from a file in parts, where the parts and the last partial stripe meet.
TEST_F(Signatures, DigestIsTheLibrarysXxh3WholeAndReadInParts) {
    QByteArray bytes(300001, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 2246822519u) >> 11);
    const auto plain = [&](qsizetype n) {
        XXH128_canonical_t c;
        XXH128_canonicalFromHash(&c, XXH3_128bits(bytes.constData(), size_t(n)));
        return QByteArray(reinterpret_cast<const char*>(c.digest), 16);
    };
    const auto digest = [](const Signature& s) {
        return QByteArray(reinterpret_cast<const char*>(s.Digest), 16);
    };
    std::vector<qsizetype> lengths;
    for (qsizetype n = 0; n <= 260; ++n)
        lengths.push_back(n);
    for (const qsizetype n : {1023, 1024, 1025, 4096, 65537, 131071, 131072, 131073, 300001})
        lengths.push_back(n);
    for (const qsizetype n : lengths) {
        EXPECT_EQ(digest(ContentHasher::HashBytes(bytes.constData(), size_t(n),
                                                  ContentHasher::Mode::Xxh)),
                  plain(n))
            << n;
    }
    ContentHasher hasher;
    for (const qsizetype n : {qsizetype(4097), qsizetype(131073), bytes.size()}) {
        const QString path = t.CreateFile(u"part"_s, bytes.left(n));
        for (const auto mode : {ContentHasher::Mode::Xxh, ContentHasher::Mode::Crc}) {
            Signature read;
            ASSERT_EQ(hasher.HashFile(QFile::encodeName(path).constData(), 0, 0, mode, read), 0);
            EXPECT_EQ(digest(read), plain(n)) << n;
        }
    }
}

// Files are opened, read and closed together where the kernel offers an io_uring, in
// batches that span folders; either way each file must get the signature and error a read of
// it alone gives, whatever its size against the shared buffer and the first-block size and
// however many folders a batch holds, and a file that is missing, not regular, a link, or not
// the one the walk saw must fail alone. A folder that cannot be held fails its files alone.
TEST_F(Signatures, FilesReadTogetherSignAndFailAsFilesReadAlone) {
    struct Case {
        QByteArray Folder;
        std::string Name;
        quint64 Inode = 0; // 0: the file's own
        int Error = 0;
    };
    std::vector<Case> cases;
    int made = 0;
    for (const qint64 size :
         {1, 4095, 4096, 5000, 40000, (1 << 17) - 1, 1 << 17, (1 << 17) + 1, 300000, 0}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 37 + size) % 253);
        // Runs of one to three files in six folders: more folders than a batch holds open.
        const QString folder = u"d%1/"_s.arg(made++ % 6);
        t.CreateFile(folder + u"f%1"_s.arg(size), bytes);
        cases.push_back({QFile::encodeName(P(folder)), "f" + std::to_string(size)});
    }
    Fifo(u"d0/fifo"_s);
    t.CreateFile(u"d1/other"_s, "x");
    ASSERT_EQ(::symlink("f4096", QFile::encodeName(P(u"d2/link"_s)).constData()), 0);
    const auto in = [&](const char* folder) {
        return QFile::encodeName(P(QString::fromUtf8(folder)));
    };
    cases.push_back({in("d0/"), "missing", 0, ENOENT});
    cases.push_back({in("d0/"), "fifo", 0, EINVAL});
    cases.push_back({in("d2/"), "link", 0, ELOOP});
    cases.push_back({in("d1/"), "other", 1, ESTALE}); // another file took its name since the walk
    cases.push_back({in("gone/"), "f1", 0, ENOENT});
    std::stable_sort(cases.begin(), cases.end(),
                     [](const Case& a, const Case& b) { return a.Folder < b.Folder; });
    const quint64 device = [&] {
        struct stat st;
        return ::stat(cases[0].Folder.constData(), &st) == 0
                   ? (quint64(major(st.st_dev)) << 32) | minor(st.st_dev)
                   : 0;
    }();
    for (Case& c : cases) {
        struct stat st;
        if (!c.Inode && ::lstat((c.Folder + c.Name.c_str()).constData(), &st) == 0)
            c.Inode = st.st_ino;
    }
    ASSERT_LE(cases.size(), modAPI::ScanBatch::Most);

    const bool ring = modAPI::ScanBatch().Usable();
    for (const ContentHasher::Mode mode : {ContentHasher::Mode::Crc, ContentHasher::Mode::Md5,
                                           ContentHasher::Mode::Xxh, ContentHasher::Mode::Prefix}) {
        SCOPED_TRACE(int(mode));
        ContentHasher alone;
        std::vector<Signature> expected(cases.size());
        for (size_t i = 0; i < cases.size(); ++i) {
            const int error = alone.HashFileIn(cases[i].Folder.constData(), cases[i].Name.c_str(),
                                               device, cases[i].Inode, mode, expected[i], nullptr);
            EXPECT_EQ(error, cases[i].Error) << cases[i].Name;
        }
        for (const bool allowed : {true, false}) {
            SCOPED_TRACE(allowed ? "together" : "one by one");
            modAPI::ScanBatch::Allowed = allowed;
            ContentHasher together;
            std::atomic<qint64> counted{0};
            together.CountReadsIn(&counted);
            std::vector<Signature> got(cases.size());
            std::vector<int> errors(cases.size(), -1);
            std::vector<ContentHasher::FileIn> files;
            for (size_t i = 0; i < cases.size(); ++i)
                files.push_back({cases[i].Folder.constData(), cases[i].Name.c_str(), device,
                                 cases[i].Inode, &got[i], &errors[i]});
            // Twice, the second time with the folders held from the first.
            for (int round = 0; round < 2; ++round) {
                together.HashAll(files, mode, nullptr);
                for (size_t i = 0; i < cases.size(); ++i) {
                    EXPECT_EQ(errors[i], cases[i].Error)
                        << cases[i].Folder.constData() << cases[i].Name;
                    EXPECT_EQ(got[i].Crc, expected[i].Crc) << cases[i].Name;
                    EXPECT_EQ(std::memcmp(got[i].Digest, expected[i].Digest, 16), 0)
                        << cases[i].Name;
                }
            }
            EXPECT_GT(counted.load(), 0);
        }
        modAPI::ScanBatch::Allowed = true;
    }
    // A Cancel already heard: nothing is opened.
    std::atomic<bool> cancel{true};
    ContentHasher hasher;
    Signature s;
    int error = 0;
    const ContentHasher::FileIn two[] = {
        {cases[0].Folder.constData(), cases[0].Name.c_str(), device, cases[0].Inode, &s, &error},
        {cases[1].Folder.constData(), cases[1].Name.c_str(), device, cases[1].Inode, &s, &error}};
    hasher.HashAll(two, ContentHasher::Mode::Crc, &cancel);
    EXPECT_EQ(error, ECANCELED);
    if (!ring)
        GTEST_SKIP() << "no io_uring here: only files read one at a time were checked";
}
