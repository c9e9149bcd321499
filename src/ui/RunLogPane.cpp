#include "RunLogPane.h"

#include "app/PathCodec.h"
#include "app/RtfReader.h"
#include "app/modCommon.h"

#include <QFile>
#include <QFontDatabase>
#include <QTextEdit>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The run log is read by its exact bytes: a profile name may hold bytes that are not
// UTF-8, which a QFile path would re-encode.
QByteArray ReadWhole(const QString& path) {
    const QByteArray native = PathCodec::Encode(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QFile file;
    QByteArray data;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        data = file.readAll();
    else
        ::close(fd);
    return data;
}

} // namespace

RunLogPane::RunLogPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fraRunLog"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_rtbRunLog = new QTextEdit(this);
    m_rtbRunLog->setObjectName(QStringLiteral("rtbRunLog"));
    m_rtbRunLog->setAccessibleName(QStringLiteral("Run log"));
    m_rtbRunLog->setReadOnly(true);
    m_rtbRunLog->setLineWrapMode(QTextEdit::NoWrap);
    m_rtbRunLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont font(QStringLiteral("Lucida Console"));
    font.setStyleHint(QFont::Monospace);
    if (!QFontDatabase::families().contains(font.family()))
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    m_rtbRunLog->setFont(font);
    m_rtbRunLog->document()->setDefaultFont(font);
    m_rtbRunLog->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(u' ') * 8);
    // The log's colours were chosen for a light page; keep the page light on a dark desktop
    // so navy and red stay readable.
    QPalette page = m_rtbRunLog->palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    m_rtbRunLog->setPalette(page);
    layout->addWidget(m_rtbRunLog);
}

void RunLogPane::LoadRunLog(const QString& profileName) {
    Clear();
    if (profileName.trimmed().isEmpty())
        return;
    const QByteArray rtf =
        ReadWhole(modCommon::LogPath + profileName.trimmed() + QStringLiteral(".log"));
    if (!rtf.isEmpty())
        m_rtbRunLog->setHtml(RtfReader::RtfToHtml(rtf));
}

void RunLogPane::Clear() {
    m_rtbRunLog->clear();
}
