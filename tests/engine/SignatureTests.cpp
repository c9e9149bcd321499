// Content signatures: the CRC-32 and MD5 over whole files, at part boundaries and past the
// 32-bit size limit, and what happens for paths that are no readable file.

#include "EngineFixtures.h"

#include "engine/clsCRC.h"
#include "engine/clsMD5.h"

#include <QFile>

#include <zlib.h>

#include <unistd.h>

using namespace testing_support;

namespace {

QByteArray Pattern(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + 7) % 251);
    return bytes;
}

qint32 ZlibCrc(const QByteArray& bytes) {
    return qint32(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()), size_t(bytes.size())));
}

} // namespace

TEST(Signatures, CrcCoversEveryPartBoundaryOfTheFile) {
    AppFolder app;
    clsCRC crc;
    for (const qint64 size : {1, 65535, 65536, 65537, 3 * 65536 + 17}) {
        const QByteArray bytes = Pattern(size);
        const QString path = app.Tree().CreateFile(QStringLiteral("f%1").arg(size), bytes);
        EXPECT_EQ(crc.Calculate_Crc32(path), ZlibCrc(bytes)) << size;
    }
    // The standard check value, read back as a signed 32-bit number.
    const QString check = app.Tree().CreateFile(QStringLiteral("check"), "123456789");
    EXPECT_EQ(crc.Calculate_Crc32(check), qint32(0xCBF43926u));
    EXPECT_EQ(clsCRC::Text(0xCBF43926u), QStringLiteral("-873187034"));
}

TEST(Signatures, NoFileGivesZeroAndOnlyReadFailuresAreLogged) {
    AppFolder app;
    clsCRC crc;
    app.Tree().CreateFile(QStringLiteral("empty"), QByteArray());
    app.Tree().CreateDir(QStringLiteral("folder"));
    EXPECT_EQ(crc.Calculate_Crc32(app.Tree().Path(QStringLiteral("empty"))), 0);
    EXPECT_EQ(crc.Calculate_Crc32(app.Tree().Path(QStringLiteral("missing"))), 0);
    EXPECT_EQ(crc.Calculate_Crc32(app.Tree().Path(QStringLiteral("folder"))), 0);
    EXPECT_TRUE(app.AppLogLines().isEmpty());

    // A FIFO is never opened for reading: it could block the scan for ever.
    const QString fifo = app.Tree().Path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    EXPECT_EQ(crc.Calculate_Crc32(fifo), 0);
}

TEST(Signatures, HiddenAndReadOnlyFilesGetTheirTrueSignature) {
    AppFolder app;
    const QByteArray bytes = Pattern(5000);
    const QString plain = app.Tree().CreateFile(QStringLiteral("plain"), bytes);
    const QString hidden = app.Tree().CreateFile(QStringLiteral(".hidden"), bytes);
    app.Tree().SetMode(QStringLiteral(".hidden"), 0444);
    clsCRC crc;
    clsMD5 md5;
    EXPECT_EQ(crc.Calculate_Crc32(hidden), crc.Calculate_Crc32(plain));
    EXPECT_EQ(md5.MD5File(hidden), md5.MD5File(plain));
    QByteArray changed = bytes;
    changed[2500] = char(changed[2500] ^ 0x01);
    const QString other = app.Tree().CreateFile(QStringLiteral("other"), changed);
    EXPECT_NE(crc.Calculate_Crc32(other), crc.Calculate_Crc32(plain));
    EXPECT_NE(md5.MD5File(other), md5.MD5File(plain));
}

TEST(Signatures, Md5FollowsTheStandardForTextsAndFiles) {
    AppFolder app;
    clsMD5 md5;
    EXPECT_EQ(md5.MD5String(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(md5.MD5String(QStringLiteral("abc")),
              QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(md5.MD5String(QStringLiteral("message digest")),
              QStringLiteral("f96b697d7cb7938d525a2f31aaf161d0"));
    const QString path = app.Tree().CreateFile(QStringLiteral("abc"), "abc");
    EXPECT_EQ(md5.MD5File(path), md5.MD5String(QStringLiteral("abc")));
    EXPECT_TRUE(app.AppLogLines().isEmpty());

    EXPECT_EQ(md5.MD5File(app.Tree().Path(QStringLiteral("missing"))), QString());
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Error occured in clsMD5.MD5File. Error No : ")))
        << log[0].toStdString();
}

TEST(Signatures, FilesPastTwoGigabytesAreReadWhole) {
    AppFolder app;
    // A sparse file: no disk space, but every byte must still be read into the CRC.
    const qint64 size = (qint64(1) << 31) + 3;
    const QString path = app.Tree().CreateFile(QStringLiteral("big"), QByteArray());
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
    const QByteArray zeros(1 << 20, '\0');
    uLong part =
        crc32_z(0, reinterpret_cast<const Bytef*>(zeros.constData()), size_t(zeros.size()));
    uLong expected = 0;
    for (int i = 0; i < 2048; ++i)
        expected = crc32_combine(expected, part, zeros.size());
    expected = crc32_combine(expected,
                             crc32_z(0, reinterpret_cast<const Bytef*>(zeros.constData()), 3), 3);
    EXPECT_EQ(clsCRC().Calculate_Crc32(path), qint32(expected));
}
