#include "ReportWriter.h"

#include "CsvReportWriter.h"
#include "HtmlReportWriter.h"
#include "TextReportWriter.h"
#include "XmlReportWriter.h"

#include <QIODevice>

std::unique_ptr<ReportWriter> ReportWriter::ForFormat(const QString& format) {
    if (format == u"text")
        return std::make_unique<TextReportWriter>();
    if (format == u"csv")
        return std::make_unique<CsvReportWriter>();
    if (format == u"html")
        return std::make_unique<HtmlReportWriter>();
    if (format == u"xml")
        return std::make_unique<XmlReportWriter>();
    return nullptr;
}

QString ReportWriter::Extension(const QString& format) {
    if (format == u"text")
        return QStringLiteral(".txt");
    if (format == u"csv" || format == u"html" || format == u"xml")
        return u'.' + format;
    return {};
}

bool ReportWriter::WriteLine(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.append("\r\n");
    if (m_out->write(bytes) != bytes.size())
        return Fail(m_out->errorString());
    return true;
}
