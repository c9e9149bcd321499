#pragma once

#include <QString>

// Where the grouping pass hands each duplicate group, in this order per group: AddHeader,
// AddRow for every file (the first with firstRecord true), UpdateHeadTotal, UpdateHeader.
// ClearRecs comes once before the first group. The results model implements it for the
// window, the command line prints, tests record.
class ResultSink {
public:
    virtual ~ResultSink() = default;

    virtual void ClearRecs() = 0;
    // Returns the header's row number.
    virtual qint64 AddHeader(const QString& fileName) = 0;
    virtual void AddRow(bool firstRecord, const QString& fileName, const QString& filePath,
                        const QString& createdDateTime, const QString& modifiedDateTime,
                        qint64 fileSize, const QString& attributes, const QString& version,
                        const QString& crc32, const QString& md5) = 0;
    virtual void UpdateHeadTotal(qint64 rowNo, qint64 total) = 0;
    virtual qint64 UpdateHeader(qint64 rowNo, const QString& text) = 0;
};
