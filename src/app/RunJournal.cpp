#include "RunJournal.h"

#include "AppError.h"
#include "PathCodec.h"
#include "modCommon.h"
#include "modLog.h"

#include <QHash>
#include <QList>

#include <algorithm>

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

// A field back as the name's bytes; false for an escape that Field never writes.
bool Unfield(QByteArrayView field, QString& text) {
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\':
            bytes += '\\';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        default:
            return false;
        }
    }
    text = PathCodec::Decode(bytes);
    return true;
}

// Appends the lines of a file; a missing file adds none. False when it cannot be read.
bool ReadLines(const QString& file, QList<QByteArray>& lines) {
    modAPI::FileInfo info;
    if (modAPI::MyStat(file, info) != Success)
        return true;
    QByteArray data;
    if (modAPI::MyReadFile(file, data) != Success)
        return false;
    // A last line without its line feed was cut short by a killed write: it never happened.
    const qsizetype end = data.lastIndexOf('\n');
    data.truncate(end + 1);
    for (const QByteArray& line : data.split('\n'))
        if (!line.isEmpty())
            lines << line;
    return true;
}

} // namespace

QByteArray RunJournal::IdentityText(const modAPI::FileInfo& f) {
    return QByteArray::number(f.Device) + ':' + QByteArray::number(f.Inode) + ':' +
           QByteArray::number(f.Size) + ':' + QByteArray::number(f.ModifiedNs) + ':' +
           QByteArray::number(f.ChangedNs) + ':' + QByteArray::number(f.Mode, 8) + ':' +
           QByteArray::number(f.Uid) + ':' + QByteArray::number(f.Gid);
}

QByteArray RunJournal::EntryText(qint64 size, quint32 crc) {
    return "crc:" + QByteArray::number(size) + ':' + QByteArray::number(crc, 16);
}

bool RunJournal::ParseIdentity(QByteArrayView text, modAPI::FileInfo& info) {
    const QList<QByteArray> parts = text.toByteArray().split(':');
    if (parts.size() != 8)
        return false;
    bool ok[8] = {};
    modAPI::FileInfo f;
    f.Device = parts[0].toULongLong(&ok[0]);
    f.Inode = parts[1].toULongLong(&ok[1]);
    f.Size = parts[2].toLongLong(&ok[2]);
    f.ModifiedNs = parts[3].toLongLong(&ok[3]);
    f.ChangedNs = parts[4].toLongLong(&ok[4]);
    f.Mode = parts[5].toUInt(&ok[5], 8);
    f.Uid = parts[6].toUInt(&ok[6]);
    f.Gid = parts[7].toUInt(&ok[7]);
    if (std::find(std::begin(ok), std::end(ok), false) != std::end(ok))
        return false;
    f.Type = modAPI::EntryType::File;
    f.ModifiedSecs = f.ModifiedNs / 1000000000;
    info = f;
    return true;
}

bool RunJournal::ParseEntry(QByteArrayView text, qint64& size, quint32& crc) {
    const QList<QByteArray> parts = text.toByteArray().split(':');
    bool sizeOk = false;
    bool crcOk = false;
    if (parts.size() != 3 || parts[0] != "crc")
        return false;
    size = parts[1].toLongLong(&sizeOk);
    crc = parts[2].toUInt(&crcOk, 16);
    return sizeOk && crcOk;
}

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
                 IdentityText(before));
}

bool RunJournal::Done(const QString& path, const QString& where, const QByteArray& after) {
    return Write("done\t" + Field(path) + '\t' + Field(where) +
                 (after.isEmpty() ? QByteArray() : '\t' + after));
}

bool RunJournal::Fail(const QString& path, const QString& why) {
    return Write("fail\t" + Field(path) + '\t' + Field(why));
}

bool RunJournal::End(const QString& how) {
    return Write("end\t" + Field(modLog::Now()) + '\t' + Field(how), true);
}

bool RunJournal::BeginUndo() {
    return Write("undo\t" + Field(modLog::Now()), true);
}

bool RunJournal::Undone(const QString& path, const QString& from) {
    return Write("undone\t" + Field(path) + '\t' + Field(from), true);
}

bool RunJournal::ReadLastRun(Run& run) {
    run = Run{};
    QList<QByteArray> lines;
    for (const QString& file : {m_file + QStringLiteral(".1"), m_file}) {
        if (!ReadLines(file, lines)) {
            m_error = PathCodec::Display(file) + QStringLiteral(" (") +
                      modAPI::SystemMessage(modAPI::LastAPIError) + u')';
            return false;
        }
    }
    // Only what follows the last "run" line matters; find it first.
    qsizetype start = -1;
    for (qsizetype i = lines.size() - 1; i >= 0 && start < 0; --i)
        if (lines[i].startsWith("run\t"))
            start = i;
    if (start < 0)
        return true;
    QHash<QString, size_t> byPath; // the last act of each path
    for (qsizetype i = start; i < lines.size(); ++i) {
        const QList<QByteArray> raw = lines[i].split('\t');
        QStringList f;
        bool ok = true;
        for (qsizetype k = 1; k < raw.size() && ok; ++k) {
            QString text;
            ok = Unfield(raw[k], text);
            f << text;
        }
        // A line this version cannot read is passed over, never guessed at.
        if (!ok)
            continue;
        const QByteArray& kind = raw[0];
        if (kind == "run" && f.size() >= 3) {
            run.Found = true;
            run.Started = f[0];
            run.Action = f[1];
            run.Method = f[2];
        } else if (kind == "act" && f.size() >= 4) {
            Act act;
            act.Verb = f[0];
            act.Path = f[1];
            act.To = f[2];
            if (!ParseIdentity(raw[4], act.Before))
                continue;
            byPath.insert(act.Path, run.Acts.size());
            run.Acts.push_back(act);
        } else if ((kind == "done" || kind == "fail" || kind == "undone") && f.size() >= 2) {
            const auto it = byPath.constFind(f[0]);
            if (it == byPath.constEnd())
                continue;
            Act& act = run.Acts[*it];
            if (kind == "done") {
                act.Done = true;
                act.Where = f[1];
                act.After = f.size() >= 3 ? raw[3] : QByteArray();
            } else if (kind == "fail") {
                act.Failed = true;
            } else {
                act.Undone = true;
            }
        } else if (kind == "end" && !run.Ended) {
            run.Ended = true;
        }
    }
    return true;
}
