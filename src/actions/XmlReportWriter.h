#pragma once

#include "ReportWriter.h"
#include "app/modXML.h"

// The report as a document of the program's own XML form (UTF-16, the fixed declaration):
// a root "duplicates" with one "filedetails" element per group holding its "file" elements.
class XmlReportWriter final : public ReportWriter {
public:
    bool Begin(QIODevice& out) override;
    bool Group(const ExportRecord& record) override;
    bool File(const ExportRecord& record) override;
    bool End() override;

private:
    modXML::Document m_doc;
    pugi::xml_node m_group;
};
