#include "TextReportWriter.h"

#include "app/TextEscape.h"

namespace {

constexpr int Widths[10] = {255, 255, 50, 25, 25, 11, 20, 30, 255, 10};

// Characters as a reader counts them: a letter outside the basic plane is one, not two.
qsizetype Characters(const QString& text) {
    qsizetype n = 0;
    for (const QChar c : text) {
        if (!c.isLowSurrogate())
            ++n;
    }
    return n;
}

} // namespace

bool TextReportWriter::Begin(QIODevice& out) {
    m_out = &out;
    const std::array<QString, 10> headers = {
        QStringLiteral("File name"), QStringLiteral("File location"), QStringLiteral("File size"),
        QStringLiteral("Created"),   QStringLiteral("Modified"),      QStringLiteral("Attributes"),
        QStringLiteral("Version"),   QStringLiteral("CRC"),           QStringLiteral("MD5"),
        QStringLiteral("Status"),
    };
    return Line(headers);
}

bool TextReportWriter::File(const ExportRecord& record) {
    return Line(record.Fields());
}

bool TextReportWriter::Line(const std::array<QString, 10>& fields) {
    QString line;
    line.reserve(940);
    for (int i = 0; i < 10; ++i) {
        // A line break or a tab in a name would break the line or its columns.
        const QString field = TextEscape::Escape(fields[i], TextEscape::Breaks::Escape);
        const qsizetype n = Characters(field);
        if (n > Widths[i])
            return Fail(QStringLiteral("The value is wider than its column of ") +
                        QString::number(Widths[i]) + QStringLiteral(": ") + field);
        line += field;
        line += QString(Widths[i] - n, u' ');
    }
    return WriteLine(line);
}
