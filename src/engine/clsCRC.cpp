#include "clsCRC.h"
#include "app/PathCodec.h"

#include "ContentHasher.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFile>

#include <cerrno>

qint32 clsCRC::Calculate_Crc32(const QString& path, int* errorCode) {
    if (errorCode)
        *errorCode = 0;
    modAPI::FileInfo info;
    if (modAPI::MyStat(path, info) != Success || info.Type != modAPI::EntryType::File)
        return 0;
    ContentHasher hasher;
    Signature s;
    const int err = hasher.HashFile(PathCodec::Encode(path).constData(), info.Device, info.Inode,
                                    ContentHasher::Mode::Crc, s);
    if (err == 0)
        return qint32(s.Crc);
    if (errorCode)
        *errorCode = err;
    LogFailure(path, err);
    return 0;
}

void clsCRC::LogFailure(const QString& path, int err) {
    modLog::WriteAppLog(modCommon::AppLogFile,
                        QStringLiteral("Error occured in clsCRC.Calculate_Crc32. File:") + path +
                            QStringLiteral(". Error No : ") + QString::number(err) +
                            QStringLiteral(" Desc : ") + modAPI::SystemMessage(err) +
                            QStringLiteral(" at:") + modLog::Now());
}
