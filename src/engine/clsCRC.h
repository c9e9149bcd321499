#pragma once

#include <QString>

// The CRC-32 content signature (zlib's crc32, ISO-HDLC), over the whole file whatever its
// size.
class clsCRC {
public:
    // 0 for a path that is no regular file, for an empty file and after a failed read;
    // only a real read failure is written to the application log. errorCode, when given,
    // receives the errno of that failure (0 otherwise).
    qint32 Calculate_Crc32(const QString& path, int* errorCode = nullptr);

    // The application-log line of a failed read.
    static void LogFailure(const QString& path, int error);

    // The signature's text form: the decimal text of the signed 32-bit value.
    static QString Text(quint32 crc) { return QString::number(qint32(crc)); }
};
