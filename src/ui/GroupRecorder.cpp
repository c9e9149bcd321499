#include "GroupRecorder.h"

#include <algorithm>

void GroupRecorder::ClearRecs() {
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_sinkRows.clear();
    m_rows = 0;
}

qint64 GroupRecorder::AddHeader(const QString& fileName) {
    ++m_rows;
    m_entries.push_back({Kind::Header, false, m_rows, 0, fileName});
    return m_rows;
}

void GroupRecorder::AddRow(bool firstRecord, const QString& fileName, const QString& filePath,
                           const QString& createdDateTime, const QString& modifiedDateTime,
                           qint64 fileSize, const QString& attributes, const QString& version,
                           const QString& crc32, const QString& md5, const FileIdentity& identity) {
    const QChar sep(u'\0');
    QString texts;
    texts.reserve(fileName.size() + filePath.size() + createdDateTime.size() +
                  modifiedDateTime.size() + attributes.size() + version.size() + crc32.size() +
                  md5.size() + 7);
    texts.append(fileName).append(sep).append(filePath).append(sep).append(createdDateTime);
    texts.append(sep).append(modifiedDateTime).append(sep).append(attributes).append(sep);
    texts.append(version).append(sep).append(crc32).append(sep).append(md5);
    ++m_rows;
    m_entries.push_back({Kind::Row, firstRecord, m_rows, fileSize, std::move(texts), identity});
}

void GroupRecorder::UpdateHeadTotal(qint64 rowNo, qint64 total) {
    m_entries.push_back({Kind::Total, false, rowNo, total, QString()});
}

qint64 GroupRecorder::UpdateHeader(qint64 rowNo, const QString& text) {
    m_entries.push_back({Kind::Count, false, rowNo, 0, text});
    return 0;
}

size_t GroupRecorder::Replay(ResultSink& sink, size_t from, size_t count) {
    if (from == 0)
        m_sinkRows.assign(size_t(m_rows) + 1, 0);
    const auto sinkRow = [this](qint64 recorded) {
        return recorded >= 0 && size_t(recorded) < m_sinkRows.size() ? m_sinkRows[size_t(recorded)]
                                                                     : qint64(0);
    };
    const size_t end = std::min(m_entries.size(), from + count);
    for (size_t i = from; i < end; ++i) {
        const Entry& e = m_entries[i];
        switch (e.What) {
        case Kind::Header:
            m_sinkRows[size_t(e.Row)] = sink.AddHeader(e.Texts);
            break;
        case Kind::Row: {
            // The fields borrow the recording's buffer: the sink copies what it keeps, so
            // half a million rows cost no allocation here.
            QString f[8];
            qsizetype start = 0;
            for (QString& field : f) {
                qsizetype stop = e.Texts.indexOf(u'\0', start);
                if (stop < 0)
                    stop = e.Texts.size();
                if (stop > start)
                    field = QString::fromRawData(e.Texts.constData() + start, stop - start);
                start = stop + 1;
            }
            sink.AddRow(e.First, f[0], f[1], f[2], f[3], e.Value, f[4], f[5], f[6], f[7],
                        e.Identity);
            break;
        }
        case Kind::Total:
            sink.UpdateHeadTotal(sinkRow(e.Row), e.Value);
            break;
        case Kind::Count:
            sink.UpdateHeader(sinkRow(e.Row), e.Texts);
            break;
        }
    }
    return end;
}
