#pragma once

#include <QCache>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>

// What the details pane shows under a file: a picture scaled down while it was read, the
// first lines of a text, or failing both the file type's icon. Only image data travels
// between threads; the icon itself is made on the GUI thread from its theme names.
struct Preview {
    enum class Kind : quint8 { Nothing, Image, Text, Icon };
    Kind What = Kind::Nothing;
    QImage Image;
    // The first lines of a text file; beside an icon, why there is no better preview.
    QString Text;
    QString IconName;
    QString GenericIconName;

    qsizetype Cost() const { return Image.sizeInBytes() + Text.size() * 2 + 256; }
};

// Reads previews on a worker thread of its own, one at a time: two cores are shared with a
// scan or an action that may run meanwhile. Each side of the pane has a generation; a new
// request moves it on, so a read that finishes for a file no longer shown is never
// delivered, and one not yet started is skipped. Results are kept by path, size and
// modification time, so a file that changed is read again.
class PreviewLoader final : public QObject {
    Q_OBJECT

public:
    static constexpr int Sides = 2;
    static constexpr int MaxSide = 256;
    static constexpr int TextBytes = 4096;
    static constexpr int TextLines = 40;
    // Most formats decode the whole picture before scaling it; past this many pixels only
    // those that scale while decoding (JPEG) are read, so one picture never takes hundreds
    // of megabytes.
    static constexpr qint64 MaxDecodedPixels = 16'000'000;
    static constexpr qsizetype CacheBytes = 24 * 1024 * 1024;

    explicit PreviewLoader(QObject* parent = nullptr);
    ~PreviewLoader() override;

    // Asks for the preview of the file on a side, dropping that side's earlier request. A
    // cached preview is delivered before this returns.
    void Request(int side, const QString& path, qint64 size, const QDateTime& modified);
    // Whether a file is being read (or a dropped request skipped) right now.
    bool Reading() const { return m_pool.activeThreadCount() > 0; }
    // Drops the side's request, or both sides' when none is named.
    void Cancel(int side = -1);

    // Reads a file's preview; stale() tells that nobody wants it any more.
    static Preview Load(const QString& path, const std::function<bool()>& stale = {});

Q_SIGNALS:
    void Ready(int side, const QString& path, const Preview& preview);

private:
    void Finished(int side, quint64 generation, const QString& path, const QString& key,
                  const Preview& preview);

    QThreadPool m_pool;
    std::atomic<quint64> m_generation[Sides] = {0, 0};
    QCache<QString, Preview> m_cache{CacheBytes};
};
