#include "modXML.h"

#include "AppError.h"
#include "TextEscape.h"
#include "modAPI.h"
#include "modLog.h"

#include <string>

namespace modXML {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

// Values are written in the escaped form, so a name with a control character or a byte
// that is not UTF-8 neither breaks the document nor comes back changed.
std::string ValueUtf8(const QString& value) {
    return Utf8(TextEscape::Escape(value, TextEscape::Breaks::Keep));
}

class StringWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        m_bytes.append(static_cast<const char*>(data), qsizetype(size));
    }
    QByteArray m_bytes;
};

} // namespace

XMLElementInfo Element(const QString& name, const QString& parent,
                       std::vector<XMLAttributeInfo> attributes) {
    XMLElementInfo e;
    e.Name = name;
    e.ParentName = parent;
    e.AttributeCount = int(attributes.size());
    e.Attributes = std::move(attributes);
    return e;
}

void NewDocument(Document& doc, const QString& rootName) {
    doc.Dom().reset();
    pugi::xml_node decl = doc.Dom().append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-16";
    decl.append_attribute("standalone") = "yes";
    doc.Dom().append_child(Utf8(rootName).c_str());
}

bool Load(const QString& filePath, Document& doc, QString& reason, QString& source) {
    QByteArray bytes;
    if (modAPI::MyReadFile(filePath, bytes) != Success) {
        reason = modAPI::SystemMessage(modAPI::LastAPIError);
        source = filePath;
        return false;
    }
    const pugi::xml_parse_result result =
        doc.Dom().load_buffer(bytes.constData(), size_t(bytes.size()),
                              pugi::parse_default | pugi::parse_declaration, pugi::encoding_auto);
    if (result)
        return true;
    reason = QString::fromUtf8(result.description());
    // The text around the failure, for the record.
    const qsizetype at = qBound<qsizetype>(0, qsizetype(result.offset), bytes.size());
    source = QString::fromUtf8(bytes.mid(qMax<qsizetype>(0, at - 20), 60));
    return false;
}

QByteArray Bytes(const Document& doc) {
    StringWriter writer;
    doc.Dom().save(writer, "\t",
                   pugi::format_default | pugi::format_write_bom |
                       pugi::format_attribute_single_quote,
                   pugi::encoding_utf16_le);
    return writer.m_bytes;
}

bool Save(const Document& doc, const QString& filePath) {
    return modAPI::SaveFileAtomically(filePath, Bytes(doc)) == Success;
}

int InitXML(const QString& rootName, const QString& filePath) {
    try {
        Document doc;
        NewDocument(doc, rootName);
        if (!Save(doc, filePath))
            throw AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError), {}};
        return Success;
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.InitXML"), e.Number, e.Description);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.InitXML"), 0, QString::fromUtf8(e.what()));
    }
    return Failed;
}

int AddXML(qsizetype lastIndex, const std::vector<XMLElementInfo>& records,
           const QString& filePath) {
    try {
        Document doc;
        QString reason, source;
        if (!Load(filePath, doc, reason, source))
            throw AppError{523, reason, source};
        pugi::xml_node root = doc.Root();
        if (!root)
            throw AppError{523, QStringLiteral("No document element"), filePath};
        AppendRecords(doc, lastIndex, records);
        if (!Save(doc, filePath))
            throw AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError), {}};
        return Success;
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.AddXML"), e.Number, e.Description);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.AddXML"), 0, QString::fromUtf8(e.what()));
    }
    return Failed;
}

void AppendRecords(Document& doc, qsizetype lastIndex, const std::vector<XMLElementInfo>& records) {
    pugi::xml_node root = doc.Root();
    for (qsizetype i = 0; i <= lastIndex && i < qsizetype(records.size()); ++i) {
        const XMLElementInfo& r = records[size_t(i)];
        pugi::xml_node parent = SelectFirst(doc.Dom(), QStringLiteral("//") + r.ParentName);
        if (!parent)
            parent = root.append_child(Utf8(r.ParentName).c_str());
        pugi::xml_node element = parent.append_child(Utf8(r.Name).c_str());
        if (!r.Text.isEmpty())
            // A parser folds line ends in element text, so its breaks are escaped as well.
            element.text().set(
                Utf8(TextEscape::Escape(r.Text, TextEscape::Breaks::Escape)).c_str());
        for (int a = 0; a < r.AttributeCount && a < int(r.Attributes.size()); ++a)
            SetAttribute(element, r.Attributes[size_t(a)].Name, r.Attributes[size_t(a)].Value);
    }
}

int WriteXML(const QString& rootName, const std::vector<XMLElementInfo>& records,
             const QString& filePath) {
    try {
        Document doc;
        NewDocument(doc, rootName);
        AppendRecords(doc, qsizetype(records.size()) - 1, records);
        if (!Save(doc, filePath))
            throw AppError{modAPI::LastAPIError, modAPI::SystemMessage(modAPI::LastAPIError), {}};
        return Success;
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.WriteXML"), e.Number, e.Description);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.WriteXML"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}

int ReadProfile(const QString& filePath, Document& doc) {
    try {
        QString reason, source;
        if (!Load(filePath, doc, reason, source))
            throw AppError{524, reason, source};
        return Success;
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.ReadProfile"), e.Number, e.Description);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modXML.ReadProfile"), 0,
                                  QString::fromUtf8(e.what()));
    }
    return Failed;
}

pugi::xml_node SelectFirst(const pugi::xml_node& context, const QString& query) {
    return context.select_node(Utf8(query).c_str()).node();
}

std::vector<pugi::xml_node> SelectAll(const pugi::xml_node& context, const QString& query) {
    pugi::xpath_node_set set = context.select_nodes(Utf8(query).c_str());
    set.sort();
    std::vector<pugi::xml_node> nodes;
    nodes.reserve(set.size());
    for (const pugi::xpath_node& n : set)
        nodes.push_back(n.node());
    return nodes;
}

std::optional<QString> Attribute(const pugi::xml_node& element, const QString& name) {
    const pugi::xml_attribute a = element.attribute(Utf8(name).c_str());
    if (!a)
        return std::nullopt;
    return TextEscape::Unescape(QString::fromUtf8(a.value()));
}

QString AttributeText(const pugi::xml_node& element, const QString& name) {
    return Attribute(element, name).value_or(QString());
}

void SetAttribute(pugi::xml_node element, const QString& name, const QString& value) {
    const std::string n = Utf8(name);
    pugi::xml_attribute a = element.attribute(n.c_str());
    if (!a)
        a = element.append_attribute(n.c_str());
    a.set_value(ValueUtf8(value).c_str());
}

} // namespace modXML
