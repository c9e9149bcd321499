#include "cls7z.h"
#include "app/PathCodec.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modLog.h"

#include <zip.h>

namespace {

QString ZipErrorText(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

AppError ArchiveError(zip_t* za, const QString& subject, const QString& archive) {
    return AppError{zip_error_code_zip(zip_get_error(za)),
                    ZipErrorText(zip_get_error(za)) + u' ' + subject, archive};
}

// What libzip's callbacks share with the caller while the archive is written.
struct WriteState {
    const cls7z::Progress* progress = nullptr;
    bool cancelled = false;
};

void OnProgress(zip_t*, double fraction, void* data) {
    auto* state = static_cast<WriteState*>(data);
    if (!state->cancelled && !(*state->progress)(fraction))
        state->cancelled = true;
}

int OnCancel(zip_t*, void* data) {
    auto* state = static_cast<WriteState*>(data);
    if (!state->cancelled && !(*state->progress)(-1))
        state->cancelled = true;
    return state->cancelled ? 1 : 0;
}

} // namespace

QString cls7z::EntryName(const QString& filePath) {
    qsizetype start = 0;
    while (start < filePath.size() && filePath[start] == u'/')
        ++start;
    return filePath.mid(start);
}

int cls7z::Archive(const QString& strZipPath, const QString& strFilePath) {
    Batch batch;
    if (ArchiveAll(strZipPath, {strFilePath}, batch) != Success || batch.Added.isEmpty())
        return Failed;
    return Success;
}

int cls7z::ArchiveAll(const QString& strZipPath, const QStringList& files, Batch& batch,
                      const Progress& progress) {
    batch = Batch{};
    if (files.isEmpty())
        return Success;
    const QString archive = strZipPath + QStringLiteral(".zip");
    zip_t* za = nullptr;
    WriteState state;
    state.progress = &progress;
    QStringList added;
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
        for (const QString& file : files) {
            // The source only names the file and is read during zip_close, where one missing
            // file would fail the whole write; so a file already gone is left out here.
            modAPI::FileInfo info;
            zip_source_t* source = nullptr;
            if (modAPI::MyStat(file, info) == Success && info.Type == modAPI::EntryType::File)
                source = zip_source_file(za, PathCodec::Encode(file).constData(), 0, -1);
            if (!source) {
                batch.Refused.push_back(file);
                modLog::LogProcedureError(QStringLiteral("cls7Z.Archive"), 0,
                                          QStringLiteral("Not a readable file: ") + file);
                continue;
            }
            // The entry keeps the name's own bytes; only a name that is UTF-8 is marked as such.
            const QString entry = EntryName(file);
            const QByteArray name = PathCodec::Encode(entry);
            const zip_flags_t encoding =
                PathCodec::HasRawBytes(entry) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8;
            if (zip_file_add(za, name.constData(), source, ZIP_FL_OVERWRITE | encoding) < 0) {
                zip_source_free(source);
                throw ArchiveError(za, file, archive);
            }
            added.push_back(file);
        }
        if (progress) {
            zip_register_progress_callback_with_state(za, 0.01, OnProgress, nullptr, &state);
            zip_register_cancel_callback_with_state(za, OnCancel, nullptr, &state);
        }
        // The files are read here, while the new archive is written beside the old one.
        if (zip_close(za) != 0) {
            if (state.cancelled) {
                zip_discard(za);
                batch.Refused.clear();
                batch.Cancelled = true;
                return Failed;
            }
            throw ArchiveError(za, archive, archive);
        }
        batch.Added = added;
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
    batch.Refused.clear();
    return Failed;
}
