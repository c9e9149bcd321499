#include "ReportWriter.h"

#include "CsvReportWriter.h"
#include "HtmlReportWriter.h"
#include "TextReportWriter.h"
#include "XmlReportWriter.h"

#include "profiles/ActionWords.h"

#include <QIODevice>

std::unique_ptr<ReportWriter> ReportWriter::ForFormat(const QString& format) {
    switch (ActionWords::FormatOf(format)) {
    case ReportFormat::Text:
        return std::make_unique<TextReportWriter>();
    case ReportFormat::Csv:
        return std::make_unique<CsvReportWriter>();
    case ReportFormat::Html:
        return std::make_unique<HtmlReportWriter>();
    case ReportFormat::Xml:
        return std::make_unique<XmlReportWriter>();
    case ReportFormat::Unknown:
        break;
    }
    return nullptr;
}

QString ReportWriter::Extension(const QString& format) {
    switch (ActionWords::FormatOf(format)) {
    case ReportFormat::Text:
        return QStringLiteral(".txt");
    case ReportFormat::Unknown:
        return {};
    default:
        return u'.' + format;
    }
}

bool ReportWriter::WriteLine(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.append("\r\n");
    if (m_out->write(bytes) != bytes.size())
        return Fail(m_out->errorString());
    return true;
}
