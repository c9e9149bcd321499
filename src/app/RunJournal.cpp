#include "RunJournal.h"

#include "AppError.h"
#include "PathCodec.h"
#include "modCommon.h"
#include "modLog.h"

namespace {

QByteArray Field(const QString& text) {
    const QByteArray bytes = PathCodec::Encode(text);
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray Identity(const modAPI::FileInfo& f) {
    return QByteArray::number(f.Device) + ':' + QByteArray::number(f.Inode) + ':' +
           QByteArray::number(f.Size) + ':' + QByteArray::number(f.ModifiedNs) + ':' +
           QByteArray::number(f.ChangedNs) + ':' + QByteArray::number(f.Mode, 8) + ':' +
           QByteArray::number(f.Uid) + ':' + QByteArray::number(f.Gid);
}

} // namespace

QString RunJournal::FileFor(const QString& profileName) {
    return modCommon::LogPath + profileName + QStringLiteral(".journal");
}

bool RunJournal::Write(const QByteArray& line, bool durable) {
    if (Failed())
        return false;
    if ((m_out.IsOpen() || m_out.Open(m_file) == Success) &&
        m_out.Write(line + '\n', durable) == Success)
        return true;
    m_error = PathCodec::Display(m_file) + QStringLiteral(" (") +
              modAPI::SystemMessage(modAPI::LastAPIError) + u')';
    return false;
}

bool RunJournal::Begin(const QString& action, const QString& method) {
    modAPI::FileInfo info;
    if (modAPI::MyStat(m_file, info) == Success && info.Size > RotateBytes) {
        m_out.Close();
        modAPI::MyRename(m_file, m_file + QStringLiteral(".1"));
    }
    return Write("run\t" + Field(modLog::Now()) + '\t' + Field(action) + '\t' + Field(method),
                 true);
}

bool RunJournal::Intent(const QString& verb, const QString& path, const QString& to,
                        const modAPI::FileInfo& before) {
    return Write("act\t" + Field(verb) + '\t' + Field(path) + '\t' + Field(to) + '\t' +
                 Identity(before));
}

bool RunJournal::Done(const QString& path, const QString& where) {
    return Write("done\t" + Field(path) + '\t' + Field(where));
}

bool RunJournal::Fail(const QString& path, const QString& why) {
    return Write("fail\t" + Field(path) + '\t' + Field(why));
}

bool RunJournal::End(const QString& how) {
    return Write("end\t" + Field(modLog::Now()) + '\t' + Field(how), true);
}
