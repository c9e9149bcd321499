#pragma once

#include <QString>

// One file of a scan as the rest of the program sees it: every value as the text that is
// shown and exported. Made from the compact record when a file is handed on. The members
// follow the grid's columns, the key it does not show last, and each has an initializer,
// so a row can be written with only the values it has: {name, path, created, modified,
// size, attributes, crc32, md5}.
class clsFileDetails {
public:
    QString FileName{};
    QString FilePath{};
    QString CreateDateTime{};
    QString ModifiedDateTime{};
    qint64 FileSize = 0;
    QString FileAttributes{};
    // Decimal text of the CRC-32 as a signed 32-bit number; empty when not computed.
    QString CRC32{};
    // 32 lower-case hexadecimal digits; empty when not computed.
    QString MD5{};
    // The comparison key: the chosen criteria joined by "/", which no file name holds.
    QString FileKey{};
};
