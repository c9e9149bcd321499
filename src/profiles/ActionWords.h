#pragma once

#include <QString>

// The program decides on these; profile documents and journals keep the words
// ("recycle", "zip", "html", ...), which are turned into these once, where they are read.

// How a run removes a marked file. Unknown stands for a rule written by a later version or
// by hand: kept as written, never taken for another rule, and never acted on.
enum class RemoveMethod { Trash, Permanent, Move, Zip, HardLink, Unknown };

// The format of an exported report.
enum class ReportFormat { Text, Csv, Html, Xml, Unknown };

namespace ActionWords {

// Words compare exactly; no rule at all ("") is the trash.
RemoveMethod MethodOf(const QString& deleteTo);
// The word stored for a known method; empty for Unknown.
QString Word(RemoveMethod method);
// Move and zip put files in a folder of their own.
inline bool HasFolder(RemoveMethod m) {
    return m == RemoveMethod::Move || m == RemoveMethod::Zip;
}

ReportFormat FormatOf(const QString& format);
QString Word(ReportFormat format);

} // namespace ActionWords
