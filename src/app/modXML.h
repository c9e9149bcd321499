#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <optional>
#include <vector>

// The document service every XML file of the program goes through: profiles, the default
// options, the catalogue and the XML report. Files are UTF-16 with a fixed declaration;
// elements and attributes keep the order in which they were added.
namespace modXML {

struct XMLAttributeInfo {
    QString Name;
    QString Value;
};

// One element to append under the first element named ParentName (created under the root
// when there is none).
struct XMLElementInfo {
    QString Name;
    QString Text;
    int AttributeCount = 0; // how many entries of Attributes are used
    QString ParentName;
    std::vector<XMLAttributeInfo> Attributes;
};

// An element record with every attribute given used.
XMLElementInfo Element(const QString& name, const QString& parent,
                       std::vector<XMLAttributeInfo> attributes = {});

inline constexpr const char* DeclarationData = "version='1.0' encoding='UTF-16' standalone='yes'";

// An open document; lives for one operation, never cached.
class Document {
public:
    pugi::xml_document& Dom() { return m_doc; }
    const pugi::xml_document& Dom() const { return m_doc; }
    pugi::xml_node Root() const { return m_doc.document_element(); }
    // Whether the root element has any child: readers treat a bare root as empty.
    bool HasChildNodes() const { return bool(m_doc.document_element().first_child()); }

private:
    pugi::xml_document m_doc;
};

// A new document holding the declaration and an empty root element.
void NewDocument(Document& doc, const QString& rootName);
// Parses a file; on failure gives the parser's reason and the offending source text.
bool Load(const QString& filePath, Document& doc, QString& reason, QString& source);
// The document as the program writes it: UTF-16 with a byte-order mark, single-quoted
// attributes, so the declaration reads exactly as fixed.
QByteArray Bytes(const Document& doc);
// Saves Bytes(doc), written beside the target and renamed over it.
bool Save(const Document& doc, const QString& filePath);

// Creates the file with the declaration and one empty root element, replacing any file.
int InitXML(const QString& rootName, const QString& filePath);
// Appends records 0..lastIndex to the document in the file and saves it back.
int AddXML(qsizetype lastIndex, const std::vector<XMLElementInfo>& records,
           const QString& filePath);
// Appends records 0..lastIndex to an open document, each under the first element named
// by its ParentName, created under the root when missing.
void AppendRecords(Document& doc, qsizetype lastIndex, const std::vector<XMLElementInfo>& records);
// Builds a whole document (a new root plus the records) and saves it in one step, so a
// failure keeps the previous file instead of leaving an emptied one.
int WriteXML(const QString& rootName, const std::vector<XMLElementInfo>& records,
             const QString& filePath);
// Opens the file; the root element is doc.Root().
int ReadProfile(const QString& filePath, Document& doc);

// "//name" and "//parent/child" queries; all-nodes results in document order.
pugi::xml_node SelectFirst(const pugi::xml_node& context, const QString& query);
std::vector<pugi::xml_node> SelectAll(const pugi::xml_node& context, const QString& query);
// A missing attribute gives no value (readers decide what that means).
std::optional<QString> Attribute(const pugi::xml_node& element, const QString& name);
// Missing reads as the empty text.
QString AttributeText(const pugi::xml_node& element, const QString& name);
void SetAttribute(pugi::xml_node element, const QString& name, const QString& value);

} // namespace modXML
