#pragma once

#include "ExportRecord.h"

#include <QString>

#include <memory>

class QIODevice;

// Writes one format of the duplicate report. The exporter calls Begin once, then Group or
// File per record in order, then End; the first call that returns false ends the report,
// with the reason in Error(). A group record is written like a file record unless a
// format gives groups a shape of their own.
class ReportWriter {
public:
    virtual ~ReportWriter() = default;

    virtual bool Begin(QIODevice& out) = 0;
    virtual bool Group(const ExportRecord& record) { return File(record); }
    virtual bool File(const ExportRecord& record) = 0;
    virtual bool End() = 0;

    QString Error() const { return m_error; }

    // The writer for a format name ("text", "csv", "html", "xml"), compared exactly;
    // null for any other name.
    static std::unique_ptr<ReportWriter> ForFormat(const QString& format);
    // The report file's extension with its dot; empty for an unknown format.
    static QString Extension(const QString& format);

protected:
    bool Fail(const QString& reason) {
        m_error = reason;
        return false;
    }
    // Writes the text to the report as UTF-8 followed by CR LF.
    bool WriteLine(const QString& line);

    QIODevice* m_out = nullptr; // set by Begin

private:
    QString m_error;
};
