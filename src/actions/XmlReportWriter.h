#pragma once

#include "ReportWriter.h"
#include "app/modXML.h"

// The mark a file element of the XML report leaves unsaid: in each group the first file
// not deleted is the one kept, every other file is marked, as a run leaves them. A report
// carries a "marked" attribute only where the mark differs, so a report of the marks a run
// starts with reads, and is written again, exactly as it was before marks were kept.
class XmlReportMarks {
public:
    void NewGroup() { m_kept = false; }
    // The mark assumed for the group's next file, given its status.
    bool Assumed(const QString& status) {
        if (m_kept || status == u"deleted")
            return true;
        m_kept = true;
        return false;
    }

private:
    bool m_kept = false;
};

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
    XmlReportMarks m_marks;
};
