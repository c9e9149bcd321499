#pragma once

#include "engine/ResultSink.h"

#include <cstdio>

// Prints each group as the paths of its files, each ended by the terminator, in grid
// order; an empty record between groups. Also counts what removing the duplicates would
// free. With no stream it only counts.
class GroupPrinter final : public ResultSink {
public:
    explicit GroupPrinter(std::FILE* out, char terminator = '\n') : m_out(out), m_end(terminator) {}

    void ClearRecs() override {}
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const QString& fileName, const QString& filePath,
                const QString& createdDateTime, const QString& modifiedDateTime, qint64 fileSize,
                const QString& attributes, const QString& version, const QString& crc32,
                const QString& md5, const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;

    qint64 Groups() const { return m_groups; }
    qint64 DuplicateFiles() const { return m_duplicateFiles; }
    qint64 BytesToFree() const { return m_bytesToFree; }

private:
    std::FILE* m_out;
    char m_end;
    qint64 m_groups = 0;
    qint64 m_duplicateFiles = 0;
    qint64 m_bytesToFree = 0;
};
