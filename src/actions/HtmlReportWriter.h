#pragma once

#include "ReportWriter.h"

// One HTML table. Values are escaped, so a file name never becomes markup or script in the
// browser that opens the report.
class HtmlReportWriter final : public ReportWriter {
public:
    bool Begin(QIODevice& out) override;
    bool File(const ExportRecord& record) override;
    bool End() override;

private:
    bool Row(const std::array<QString, 10>& fields);
};
