#pragma once

#include <QString>

// The program decides on these; profile documents and journals keep the words
// ("recycle", "zip", "html", ...), which are turned into these once, where they are read.

// How a run removes a marked file. Unknown stands for a rule written by a later version or
// by hand: kept as written, never taken for another rule, and never acted on.
enum class RemoveMethod { Trash, Permanent, Move, Zip, HardLink, Clone, Unknown };

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
// Hard links and shared blocks leave every name where it is: only the space goes.
inline bool KeepsNames(RemoveMethod m) {
    return m == RemoveMethod::HardLink || m == RemoveMethod::Clone;
}

ReportFormat FormatOf(const QString& format);
QString Word(ReportFormat format);

} // namespace ActionWords
