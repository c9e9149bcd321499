#pragma once

#include <QByteArray>
#include <QString>

// Reads the RTF the run log writer produces and turns it into HTML for a rich-text view.
// Only that subset is understood: the colour table, \cfN, \b and \b0, \par, \tab, \uN with
// its one-character fallback, \'hh, and the escapes \\ \{ \}. Other control words and
// destinations such as the font table are skipped.
namespace RtfReader {

QString RtfToHtml(const QByteArray& rtf);
// The plain text of the same document, one line per paragraph.
QString RtfToPlainText(const QByteArray& rtf);

} // namespace RtfReader
