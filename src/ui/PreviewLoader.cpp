#include "PreviewLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>

using namespace Qt::StringLiterals;

namespace {

Preview IconOf(const QMimeType& mime, const QString& caption) {
    Preview p;
    p.What = Preview::Kind::Icon;
    p.IconName = mime.iconName();
    p.GenericIconName = mime.genericIconName();
    p.Text = caption.isEmpty() ? mime.comment() : caption;
    return p;
}

// The picture at most MaxSide on either side, scaled while it is read where the format can.
// An empty image, with the reason in why, when the picture is not to be read.
QImage ReadImage(const QString& path, QString& why) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize full = reader.size();
    if (!full.isValid() || full.isEmpty())
        return QImage();
    const int side = PreviewLoader::MaxSide;
    const QSize target = full.width() > side || full.height() > side
                             ? full.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1})
                             : full;
    const bool scalesWhileDecoding = reader.format() == "jpeg";
    if (qint64(full.width()) * full.height() > PreviewLoader::MaxDecodedPixels &&
        !scalesWhileDecoding) {
        why = u"%1 × %2 picture, too large to preview"_s.arg(full.width()).arg(full.height());
        return QImage();
    }
    if (target != full && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (!image.isNull() && image.size() != target)
        image = image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// The first lines of the text; a line cut by the byte limit is left out unless it is all
// there is.
QString FirstLines(const QByteArray& head) {
    QStringList lines = QString::fromUtf8(head).split(u'\n');
    if (head.size() >= PreviewLoader::TextBytes && lines.size() > 1)
        lines.removeLast();
    if (lines.size() > PreviewLoader::TextLines)
        lines.resize(PreviewLoader::TextLines);
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines.join(u'\n');
}

} // namespace

PreviewLoader::PreviewLoader(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(1);
    m_pool.setObjectName(u"PreviewLoader"_s);
}

PreviewLoader::~PreviewLoader() {
    // A read under way cannot be interrupted, but it holds no more than one picture of a
    // bounded size; waiting for it keeps it from delivering to a loader that is gone.
    Cancel();
    m_pool.clear();
    m_pool.waitForDone();
}

void PreviewLoader::Request(int side, const QString& path, qint64 size, const QDateTime& modified) {
    if (side < 0 || side >= Sides)
        return;
    const quint64 generation = ++m_generation[side];
    const QString key = path + u'\n' + QString::number(size) + u'\n' +
                        QString::number(modified.toMSecsSinceEpoch());
    if (const Preview* cached = m_cache.object(key)) {
        Q_EMIT Ready(side, path, *cached);
        return;
    }
    m_pool.start([this, side, generation, path, key] {
        const auto stale = [this, side, generation] { return m_generation[side] != generation; };
        if (stale())
            return;
        Preview preview = Load(path, stale);
        if (preview.What == Preview::Kind::Nothing)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, side, generation, path, key, preview = std::move(preview)] {
                Finished(side, generation, path, key, preview);
            },
            Qt::QueuedConnection);
    });
}

void PreviewLoader::Cancel(int side) {
    for (int s = 0; s < Sides; ++s)
        if (side < 0 || side == s)
            ++m_generation[s];
}

void PreviewLoader::Finished(int side, quint64 generation, const QString& path, const QString& key,
                             const Preview& preview) {
    // Kept even when it came too late: the person often moves back to the row.
    auto* kept = new Preview(preview);
    m_cache.insert(key, kept, kept->Cost());
    if (m_generation[side] == generation)
        Q_EMIT Ready(side, path, preview);
}

Preview PreviewLoader::Load(const QString& path, const std::function<bool()>& stale) {
    static const QMimeDatabase mimes;
    const QFileInfo info(path);
    // Anything but a regular file (a pipe would block the open) gets its icon only.
    if (!info.isFile())
        return IconOf(mimes.mimeTypeForName(u"application/octet-stream"_s),
                      info.exists() ? u"Not a regular file"_s : u"File not found"_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return IconOf(mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension),
                      u"The file cannot be read"_s);
    const QByteArray head = file.read(TextBytes);
    file.close();
    if (stale && stale())
        return Preview();
    const QMimeType mime = mimes.mimeTypeForFileNameAndData(info.fileName(), head);
    if (head.isEmpty())
        return IconOf(mime, u"Empty file"_s);

    static const QList<QByteArray> pictures = QImageReader::supportedMimeTypes();
    QString why;
    if (pictures.contains(mime.name().toLatin1())) {
        QImage image = ReadImage(path, why);
        if (!image.isNull()) {
            Preview p;
            p.What = Preview::Kind::Image;
            p.Image = std::move(image);
            return p;
        }
    }
    // A type nobody registered is taken for text when it holds no NUL byte.
    if (mime.inherits(u"text/plain"_s) || (mime.isDefault() && !head.contains('\0'))) {
        Preview p;
        p.What = Preview::Kind::Text;
        p.Text = FirstLines(head);
        return p;
    }
    return IconOf(mime, why);
}
