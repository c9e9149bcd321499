#pragma once

#include <QString>

// The MD5 content signature (RFC 1321) as 32 lower-case hexadecimal digits. OpenSSL's MD5
// is used: on this platform it is the fastest well-kept implementation at hand.
class clsMD5 {
public:
    // Empty after a failure (no such file, not a regular file, a read error), which is
    // written to the application log. errorCode, when given, receives the errno.
    QString MD5File(const QString& path, int* errorCode = nullptr);
    // The digest of the text in the system's 8-bit encoding.
    QString MD5String(const QString& text);

    // The application-log line of a failed read.
    static void LogFailure(const QString& path, int error);

    static QString Text(const unsigned char* digest);
};
