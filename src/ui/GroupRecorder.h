#pragma once

#include "engine/ResultSink.h"

#include <QString>

#include <vector>

// Keeps the groups a grouping pass hands over, so the pass can run on a worker thread and
// the grid's model, which lives on the GUI thread, be filled from the recording afterwards
// in slices. Each call is one entry holding its texts in one string, so half a million
// rows cost half a million allocations, not five million.
class GroupRecorder final : public ResultSink {
public:
    void ClearRecs() override;
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;
    void AddFolderRow(bool firstRecord, const clsFileDetails& details) override;
    qint64 AddMemberHeader(const QString& fileName) override;

    // Calls recorded since the last ClearRecs.
    size_t Size() const { return m_entries.size(); }
    // Rows the recorded calls add (headers and files).
    qint64 Rows() const { return m_rows; }

    // Hands the recorded calls from `from` on to the sink, at most `count` of them, and
    // returns where the next slice starts. The sink's ClearRecs is not called: whoever fills
    // it clears it first. The sink numbers its own rows; headers are matched up here.
    size_t Replay(ResultSink& sink, size_t from, size_t count);

private:
    enum class Kind : quint8 { Header, MemberHeader, Row, FolderRow, Total, Count };
    struct Entry {
        Kind What;
        bool First = false;
        qint64 Row = 0;   // the recorded row a header adds or a total or count refers to
        qint64 Value = 0; // a file's size or a group's total
        QString Texts;    // fields joined by NUL, which no name or text can hold
        FileIdentity Identity{};
    };

    std::vector<Entry> m_entries;
    qint64 m_rows = 0;
    // Recorded row -> the sink's row of the same header; filled during replay.
    std::vector<qint64> m_sinkRows;
};
