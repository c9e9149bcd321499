#include "XmlReportWriter.h"

#include <QIODevice>

bool XmlReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    modXML::NewDocument(m_doc, QStringLiteral("duplicates"));
    m_group = pugi::xml_node();
    return true;
}

bool XmlReportWriter::Group(const ExportRecord& record) {
    m_group = m_doc.Root().append_child("filedetails");
    modXML::SetAttribute(m_group, QStringLiteral("group"), record.FileName);
    m_marks.NewGroup();
    return true;
}

bool XmlReportWriter::File(const ExportRecord& r) {
    if (!m_group)
        return Fail(QStringLiteral("A file record came before the first group record"));
    pugi::xml_node file = m_group.append_child("file");
    const std::pair<const char16_t*, const QString*> attributes[] = {
        {u"name", &r.FileName},     {u"location", &r.FileLocation},
        {u"size", &r.FileSize},     {u"created", &r.Created},
        {u"modified", &r.Modified}, {u"attributes", &r.Attributes},
        {u"crc", &r.CRC},           {u"md5", &r.MD5},
        {u"status", &r.Status},
    };
    for (const auto& [name, value] : attributes)
        modXML::SetAttribute(file, QString::fromUtf16(name), *value);
    if (const bool assumed = m_marks.Assumed(r.Status); r.Marked && *r.Marked != assumed)
        modXML::SetAttribute(file, QStringLiteral("marked"),
                             *r.Marked ? QStringLiteral("yes") : QStringLiteral("no"));
    return true;
}

bool XmlReportWriter::End() {
    const QByteArray bytes = modXML::Bytes(m_doc);
    if (m_out->write(bytes) != bytes.size())
        return Fail(m_out->errorString());
    return true;
}
