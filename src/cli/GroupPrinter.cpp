#include "GroupPrinter.h"
#include "app/PathCodec.h"

#include <QFile>

qint64 GroupPrinter::AddHeader(const QString&) {
    if (m_groups > 0 && m_out)
        std::fputc(m_end, m_out);
    return ++m_groups;
}

void GroupPrinter::AddRow(bool firstRecord, const QString&, const QString& filePath, const QString&,
                          const QString&, qint64 fileSize, const QString&, const QString&,
                          const QString&, const QString&, const FileIdentity&) {
    if (m_out) {
        // The path as the file system spells it, so the output can be fed back to other
        // tools.
        const QByteArray path = PathCodec::Encode(filePath);
        std::fwrite(path.constData(), 1, size_t(path.size()), m_out);
        std::fputc(m_end, m_out);
    }
    if (!firstRecord) {
        ++m_duplicateFiles;
        m_bytesToFree += fileSize;
    }
}

void GroupPrinter::UpdateHeadTotal(qint64, qint64) {}

qint64 GroupPrinter::UpdateHeader(qint64, const QString&) {
    return 1;
}
