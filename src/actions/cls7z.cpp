#include "cls7z.h"
#include "app/PathCodec.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modLog.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <memory>

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

// Feeds one file to the archive from a descriptor opened only when libzip comes to read
// it, so a run holds one file open at a time however many it adds.
class HeldSource {
public:
    explicit HeldSource(const cls7z::Item& item) : m_item(item) { zip_error_init(&m_error); }
    ~HeldSource() { zip_error_fini(&m_error); }

    bool Failed() const { return m_failed; }

    static zip_int64_t Callback(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t cmd) {
        return static_cast<HeldSource*>(state)->Handle(data, length, cmd);
    }

private:
    zip_int64_t Refuse(int code) {
        m_failed = true;
        zip_error_set(&m_error, code, modAPI::LastAPIError);
        return -1;
    }

    bool StillAsSeen() const {
        const modAPI::FileInfo& seen = m_item.Seen;
        const modAPI::FileInfo& now = m_file.Info();
        return seen.Inode == 0 ||
               (now.Device == seen.Device && now.Inode == seen.Inode && now.Size == seen.Size &&
                now.ModifiedNs == seen.ModifiedNs && now.ChangedNs == seen.ChangedNs);
    }

    zip_int64_t Handle(void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            m_offset = 0;
            if (const int err = m_file.Open(m_item.Path, m_item.Folder)) {
                modAPI::LastAPIError = err;
                return Refuse(ZIP_ER_OPEN);
            }
            if (!m_file.Readable() || !StillAsSeen()) {
                modAPI::LastAPIError = ESTALE;
                return Refuse(ZIP_ER_CHANGED);
            }
            return 0;
        case ZIP_SOURCE_READ: {
            const qint64 n = m_file.ReadAt(static_cast<char*>(data), qint64(length), m_offset);
            if (n < 0)
                return Refuse(ZIP_ER_READ);
            m_offset += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            m_file.Close();
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            if (m_item.Seen.Inode != 0) {
                st->size = zip_uint64_t(m_item.Seen.Size);
                st->mtime = time_t(m_item.Seen.ModifiedSecs);
                st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&m_error, data, length);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                                  ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default:
            zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    const cls7z::Item& m_item;
    modAPI::HeldFile m_file;
    qint64 m_offset = 0;
    bool m_failed = false;
    zip_error_t m_error;
};

} // namespace

QString cls7z::EntryName(const QString& filePath) {
    qsizetype start = 0;
    while (start < filePath.size() && filePath[start] == u'/')
        ++start;
    return filePath.mid(start);
}

int cls7z::Archive(const QString& strZipPath, const QString& strFilePath) {
    Batch batch;
    if (ArchiveAll(strZipPath, {Item{strFilePath, {}, {}}}, batch) != Success ||
        batch.Added.empty())
        return Failed;
    return Success;
}

int cls7z::ArchiveAll(const QString& strZipPath, const std::vector<Item>& files, Batch& batch,
                      const Progress& progress) {
    batch = Batch{};
    std::vector<Item> pending = files;
    // A file that changed before libzip came to read it fails the whole write, which leaves
    // the earlier archive as it was; the write is then made again without that file.
    for (;;) {
        std::vector<bool> refused;
        const int result = WriteOnce(strZipPath, pending, batch, progress, refused);
        if (result == Success || batch.Cancelled || refused.empty())
            return result;
        std::vector<Item> left;
        for (size_t i = 0; i < pending.size(); ++i)
            (refused[i] ? batch.Refused : left).push_back(pending[i]);
        if (left.size() == pending.size())
            return result;
        pending = std::move(left);
        if (pending.empty())
            return Failed;
    }
}

int cls7z::WriteOnce(const QString& strZipPath, const std::vector<Item>& files, Batch& batch,
                     const Progress& progress, std::vector<bool>& refused) {
    refused.clear();
    if (files.empty())
        return Success;
    const QString archive = strZipPath + QStringLiteral(".zip");
    zip_t* za = nullptr;
    WriteState state;
    state.progress = &progress;
    std::vector<std::unique_ptr<HeldSource>> sources;
    std::vector<Item> added;
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
        for (const Item& file : files) {
            auto held = std::make_unique<HeldSource>(file);
            zip_source_t* source = zip_source_function(za, HeldSource::Callback, held.get());
            if (!source)
                throw ArchiveError(za, file.Path, archive);
            // The entry keeps the name's own bytes; only a name that is UTF-8 is marked as such.
            const QString entry = EntryName(file.Path);
            const QByteArray name = PathCodec::Encode(entry);
            const zip_flags_t encoding =
                PathCodec::HasRawBytes(entry) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8;
            if (zip_file_add(za, name.constData(), source, ZIP_FL_OVERWRITE | encoding) < 0) {
                zip_source_free(source);
                throw ArchiveError(za, file.Path, archive);
            }
            sources.push_back(std::move(held));
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
            for (const auto& s : sources)
                refused.push_back(s->Failed());
            if (std::find(refused.begin(), refused.end(), true) == refused.end())
                refused.clear();
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
    return Failed;
}

cls7z::Reader::~Reader() {
    if (m_za)
        zip_discard(m_za);
}

bool cls7z::Reader::Open(const QString& archive) {
    int err = 0;
    m_za = zip_open(PathCodec::Encode(archive).constData(), ZIP_RDONLY, &err);
    if (m_za)
        return true;
    zip_error_t error;
    zip_error_init_with_code(&error, err);
    m_error = ZipErrorText(&error);
    zip_error_fini(&error);
    return false;
}

bool cls7z::Reader::Find(const QString& filePath, Entry& entry) const {
    const QByteArray name = PathCodec::Encode(EntryName(filePath));
    zip_stat_t st;
    if (!m_za || zip_stat(m_za, name.constData(), ZIP_FL_ENC_RAW, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_CRC))
        return false;
    entry.Size = qint64(st.size);
    entry.Crc = st.crc;
    return true;
}

int cls7z::Reader::Extract(const QString& filePath, const modAPI::FileInfo& like) const {
    const QByteArray name = PathCodec::Encode(EntryName(filePath));
    zip_file_t* entry = m_za ? zip_fopen(m_za, name.constData(), ZIP_FL_ENC_RAW) : nullptr;
    if (!entry) {
        modAPI::LastAPIError = ENOENT;
        return Failed;
    }
    // libzip hands the bytes out in order and fails the last read of a damaged entry.
    const int result = modAPI::MyCreateFileFrom(
        filePath,
        [entry](char* buffer, qint64 size, qint64) -> qint64 {
            const zip_int64_t n = zip_fread(entry, buffer, zip_uint64_t(size));
            if (n < 0)
                modAPI::LastAPIError = EIO;
            return n;
        },
        like);
    zip_fclose(entry);
    return result;
}

int cls7z::Remove(const QString& archive, const QStringList& filePaths, QString& error) {
    int err = 0;
    zip_t* za = zip_open(PathCodec::Encode(archive).constData(), 0, &err);
    // An archive already gone holds nothing more to take out (the last entries taking it
    // with them).
    if (!za && err == ZIP_ER_NOENT)
        return Success;
    if (!za) {
        zip_error_t e;
        zip_error_init_with_code(&e, err);
        error = ZipErrorText(&e);
        zip_error_fini(&e);
        return Failed;
    }
    for (const QString& path : filePaths) {
        const zip_int64_t index =
            zip_name_locate(za, PathCodec::Encode(EntryName(path)).constData(), ZIP_FL_ENC_RAW);
        if (index >= 0 && zip_delete(za, zip_uint64_t(index)) != 0) {
            error = ZipErrorText(zip_get_error(za));
            zip_discard(za);
            return Failed;
        }
    }
    if (zip_close(za) != 0) {
        error = ZipErrorText(zip_get_error(za));
        zip_discard(za);
        modLog::LogProcedureError(QStringLiteral("cls7Z.Remove"), 0, error + u' ' + archive);
        return Failed;
    }
    return Success;
}
