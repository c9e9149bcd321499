#include "DesktopOpen.h"

#include "app/PathCodec.h"

#include <QDesktopServices>

namespace DesktopOpen {

namespace {

Opener& Replacement() {
    static Opener opener;
    return opener;
}

} // namespace

QUrl FileUrl(const QString& path) {
    // Everything but the unreserved characters and the separators is percent-encoded, so
    // the launcher's command line holds no blank or quote and each byte comes back as is.
    const QByteArray bytes = PathCodec::Encode(path);
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes.toPercentEncoding("/"),
                             QUrl::StrictMode);
}

bool Open(const QString& path) {
    return OpenUrl(FileUrl(path));
}

bool OpenUrl(const QUrl& url) {
    if (Replacement())
        return Replacement()(url);
    return QDesktopServices::openUrl(url);
}

bool OpenContainingFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return false;
    return Open(slash == 0 ? QStringLiteral("/") : path.left(slash));
}

void SetOpener(Opener opener) {
    Replacement() = std::move(opener);
}

} // namespace DesktopOpen
