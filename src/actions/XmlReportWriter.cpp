#include "XmlReportWriter.h"

#include <QIODevice>

namespace {

class DeviceWriter final : public pugi::xml_writer {
public:
    explicit DeviceWriter(QIODevice& out) : m_out(out) {}
    void write(const void* data, size_t size) override {
        if (m_out.write(static_cast<const char*>(data), qint64(size)) != qint64(size))
            Failed = true;
    }
    bool Failed = false;

private:
    QIODevice& m_out;
};

} // namespace

bool XmlReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    modXML::NewDocument(m_doc, QStringLiteral("duplicates"));
    m_group = pugi::xml_node();
    return true;
}

bool XmlReportWriter::Group(const ExportRecord& record) {
    m_group = m_doc.Root().append_child("filedetails");
    modXML::SetAttribute(m_group, QStringLiteral("group"), record.FileName);
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
    return true;
}

bool XmlReportWriter::End() {
    // The same bytes the document service saves: UTF-16 with a byte-order mark and
    // single-quoted attributes, so the declaration reads exactly as the program's own.
    DeviceWriter writer(*m_out);
    m_doc.Dom().save(writer, "\t",
                     pugi::format_default | pugi::format_write_bom |
                         pugi::format_attribute_single_quote,
                     pugi::encoding_utf16_le);
    if (writer.Failed)
        return Fail(m_out->errorString());
    return true;
}
