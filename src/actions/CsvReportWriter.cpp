#include "CsvReportWriter.h"

#include "app/TextEscape.h"

#include <QStringList>

bool CsvReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    return WriteLine(QStringLiteral("File name,File location,File size,Created,Modified,"
                                    "Attributes,Version,CRC,MD5,Status"));
}

bool CsvReportWriter::File(const ExportRecord& record) {
    QStringList fields;
    for (const QString& f : record.Fields())
        fields << Field(f);
    return WriteLine(fields.join(u','));
}

QString CsvReportWriter::Field(const QString& text) {
    // Line breaks stay, inside the quotes that keep them in their field.
    const QString value = TextEscape::Escape(text, TextEscape::Breaks::Keep);
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') &&
        !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}
