#include "GroupRecorder.h"

#include <algorithm>
#include <iterator>

namespace {

// A file row's texts, in the order they are joined.
constexpr QString clsFileDetails::*Texts[] = {
    &clsFileDetails::FileName,
    &clsFileDetails::FilePath,
    &clsFileDetails::CreateDateTime,
    &clsFileDetails::ModifiedDateTime,
    &clsFileDetails::FileAttributes,
    &clsFileDetails::CRC32,
    &clsFileDetails::MD5,
};

} // namespace

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

qint64 GroupRecorder::AddMemberHeader(const QString& fileName) {
    AddHeader(fileName);
    m_entries.back().What = Kind::MemberHeader;
    return m_rows;
}

void GroupRecorder::AddRow(bool firstRecord, const clsFileDetails& details,
                           const FileIdentity& identity) {
    qsizetype size = qsizetype(std::size(Texts)) - 1;
    for (const auto text : Texts)
        size += (details.*text).size();
    QString texts;
    texts.reserve(size);
    for (const auto text : Texts) {
        if (text != Texts[0])
            texts.append(QChar(u'\0'));
        texts.append(details.*text);
    }
    ++m_rows;
    m_entries.push_back(
        {Kind::Row, firstRecord, m_rows, details.FileSize, std::move(texts), identity});
}

void GroupRecorder::AddFolderRow(bool firstRecord, const clsFileDetails& details) {
    AddRow(firstRecord, details, FileIdentity{});
    m_entries.back().What = Kind::FolderRow;
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
        case Kind::MemberHeader:
            m_sinkRows[size_t(e.Row)] = sink.AddMemberHeader(e.Texts);
            break;
        case Kind::Row:
        case Kind::FolderRow: {
            // The fields borrow the recording's buffer: the sink copies what it keeps, so
            // half a million rows cost no allocation here.
            clsFileDetails details;
            details.FileSize = e.Value;
            qsizetype start = 0;
            for (const auto text : Texts) {
                qsizetype stop = e.Texts.indexOf(u'\0', start);
                if (stop < 0)
                    stop = e.Texts.size();
                if (stop > start)
                    details.*text = QString::fromRawData(e.Texts.constData() + start, stop - start);
                start = stop + 1;
            }
            if (e.What == Kind::FolderRow)
                sink.AddFolderRow(e.First, details);
            else
                sink.AddRow(e.First, details, e.Identity);
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
