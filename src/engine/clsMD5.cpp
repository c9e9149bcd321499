#include "clsMD5.h"
#include "app/PathCodec.h"

#include "ContentHasher.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modLog.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>

QString clsMD5::Text(const unsigned char* digest) {
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), 16).toHex());
}

QString clsMD5::MD5File(const QString& path, int* errorCode) {
    if (errorCode)
        *errorCode = 0;
    modAPI::FileInfo info;
    int err = 0;
    Signature s;
    if (modAPI::MyStat(path, info) != Success)
        err = modAPI::LastAPIError;
    else if (info.Type != modAPI::EntryType::File)
        err = EINVAL;
    else
        err = ContentHasher().HashFile(PathCodec::Encode(path).constData(), info.Device, info.Inode,
                                       ContentHasher::Mode::Md5, s);
    if (err == 0)
        return Text(s.Digest);
    if (errorCode)
        *errorCode = err;
    LogFailure(path, err);
    return QString();
}

void clsMD5::LogFailure(const QString& path, int err) {
    modLog::LogProcedureError(QStringLiteral("clsMD5.MD5File"), err,
                              modAPI::SystemMessage(err) + u' ' + path);
}

QString clsMD5::MD5String(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const Signature s =
        ContentHasher::HashBytes(bytes.constData(), size_t(bytes.size()), ContentHasher::Mode::Md5);
    return Text(s.Digest);
}
