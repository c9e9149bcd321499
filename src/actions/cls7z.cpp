#include "cls7z.h"
#include "app/PathCodec.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modLog.h"

#include <QFile>

#include <zip.h>

namespace {

QString ZipErrorText(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

} // namespace

QString cls7z::EntryName(const QString& filePath) {
    qsizetype start = 0;
    while (start < filePath.size() && filePath[start] == u'/')
        ++start;
    return filePath.mid(start);
}

int cls7z::Archive(const QString& strZipPath, const QString& strFilePath) {
    const QString archive = strZipPath + QStringLiteral(".zip");
    zip_t* za = nullptr;
    try {
        if (modAPI::MyMakeSureDirectoryPathExists(archive) != Success)
            throw AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError),
                           archive};
        // An existing file that is no zip archive is refused, never overwritten.
        int openError = 0;
        za = zip_open(PathCodec::Encode(archive).constData(), ZIP_CREATE, &openError);
        if (!za) {
            zip_error_t error;
            zip_error_init_with_code(&error, openError);
            const AppError failure{openError, ZipErrorText(&error) + u' ' + archive, archive};
            zip_error_fini(&error);
            throw failure;
        }
        zip_source_t* source =
            zip_source_file(za, PathCodec::Encode(strFilePath).constData(), 0, -1);
        if (!source)
            throw AppError{zip_error_code_zip(zip_get_error(za)),
                           ZipErrorText(zip_get_error(za)) + u' ' + strFilePath, archive};
        // The entry keeps the name's own bytes; only a name that is UTF-8 is marked as such.
        const QString entry = EntryName(strFilePath);
        const QByteArray name = PathCodec::Encode(entry);
        const zip_flags_t encoding =
            PathCodec::HasRawBytes(entry) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8;
        if (zip_file_add(za, name.constData(), source, ZIP_FL_OVERWRITE | encoding) < 0) {
            zip_source_free(source);
            throw AppError{zip_error_code_zip(zip_get_error(za)),
                           ZipErrorText(zip_get_error(za)) + u' ' + strFilePath, archive};
        }
        // The file is read here, while the new archive is written beside the old one.
        if (zip_close(za) != 0)
            throw AppError{zip_error_code_zip(zip_get_error(za)),
                           ZipErrorText(zip_get_error(za)) + u' ' + archive, archive};
        return Success;
    } catch (const AppError& e) {
        if (za)
            zip_discard(za);
        modLog::LogProcedureError(QStringLiteral("cls7Z.Archive"), e.Number, e.Description);
    } catch (const std::exception& e) {
        if (za)
            zip_discard(za);
        modLog::LogProcedureError(QStringLiteral("cls7Z.Archive"), 0, QString::fromUtf8(e.what()));
    }
    return Failed;
}
