#pragma once

#include "ReportWriter.h"

// Comma-separated values. A field holding a comma, a double quote or a line break is
// quoted with its quotes doubled, so no file name shifts the columns; every other field is
// written as it stands.
class CsvReportWriter final : public ReportWriter {
public:
    bool Begin(QIODevice& out) override;
    bool File(const ExportRecord& record) override;
    bool End() override { return true; }

    static QString Field(const QString& value);
};
