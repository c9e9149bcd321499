#include "CsvReportWriter.h"

#include <QStringList>

bool CsvReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    return WriteLine(out, QStringLiteral("File name,File location,File size,Created,Modified,"
                                         "Attributes,Version,CRC,MD5,Status"));
}

bool CsvReportWriter::Group(const ExportRecord& record) {
    return WriteLine(*m_out, Field(record.FileName) + QString(9, u','));
}

bool CsvReportWriter::File(const ExportRecord& r) {
    const QStringList fields = {Field(r.FileName), Field(r.FileLocation), Field(r.FileSize),
                                Field(r.Created),  Field(r.Modified),     Field(r.Attributes),
                                Field(r.Version),  Field(r.CRC),          Field(r.MD5),
                                Field(r.Status)};
    return WriteLine(*m_out, fields.join(u','));
}

QString CsvReportWriter::Field(const QString& value) {
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') &&
        !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}
