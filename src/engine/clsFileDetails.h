#pragma once

#include <QString>

// One file of a scan as the rest of the program sees it: every value as the text that is
// shown and exported. Made from the compact record when a file is handed on.
class clsFileDetails {
public:
    // The comparison key: the chosen criteria joined by "/", which no file name holds.
    QString FileKey;
    QString FileName;
    QString CreateDateTime;
    QString ModifiedDateTime;
    // Decimal text of the CRC-32 as a signed 32-bit number; empty when not computed.
    QString CRC32;
    // 32 lower-case hexadecimal digits; empty when not computed.
    QString MD5;
    QString FilePath;
    qint64 FileSize = 0;
    QString FileAttributes;
};
