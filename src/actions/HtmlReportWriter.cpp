#include "HtmlReportWriter.h"

#include "app/TextEscape.h"

bool HtmlReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    return WriteLine(QStringLiteral("<html><table border=1 cellpadding=0 cellspacing=0>"
                                    "<tr><td width=10%>Name</td><td>File location</td>"
                                    "<td width=10%>Size</td><td>Created</td>"
                                    "<td>Modified</td><td>Attributes</td><td>Version</td>"
                                    "<td>CRC</td><td>MD5</td><td>Status</td></tr>"));
}

bool HtmlReportWriter::File(const ExportRecord& record) {
    return Row(record.Fields());
}

bool HtmlReportWriter::End() {
    return WriteLine(QStringLiteral("</table></html>"));
}

bool HtmlReportWriter::Row(const std::array<QString, 10>& fields) {
    QString line = QStringLiteral("<tr>");
    for (const QString& f : fields)
        line += QStringLiteral("<td>&nbsp;") +
                TextEscape::Escape(f, TextEscape::Breaks::Escape).toHtmlEscaped() +
                QStringLiteral("</td>");
    line += QStringLiteral("</tr>");
    return WriteLine(line);
}
