#pragma once

#include "ReportWriter.h"

// Fixed-width columns, every field padded with blanks, so every line is 936 characters
// before its CR LF. A value wider than its column fails the report rather than be cut.
class TextReportWriter final : public ReportWriter {
public:
    bool Begin(QIODevice& out) override;
    bool File(const ExportRecord& record) override;
    bool End() override { return true; }

private:
    bool Line(const std::array<QString, 10>& fields);
};
