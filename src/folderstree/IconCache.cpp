#include "IconCache.h"

#include <QFileIconProvider>
#include <QFileInfo>

using namespace Qt::StringLiterals;

IconCache::IconCache() : IconCache(std::make_unique<QFileIconProvider>()) {}

IconCache::IconCache(std::unique_ptr<QAbstractFileIconProvider> provider)
    : m_provider(std::move(provider)) {
    Append(ComputerKey(), m_provider->icon(QAbstractFileIconProvider::Computer));
    Append(DefaultKey(), m_provider->icon(QAbstractFileIconProvider::File));
}

IconCache::~IconCache() = default;

QString IconCache::ComputerKey() {
    return u"My Computer"_s;
}

QString IconCache::DefaultKey() {
    return u"WinDefault"_s;
}

QString IconCache::CacheKey(const QString& path) {
    const QFileInfo info(path.trimmed());
    if (info.isDir())
        return u"folder"_s;
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return u"noextn"_s;
    const QString extension = name.mid(dot + 1).toLower();
    // Every program carries its own icon, so programs are cached by name.
    if (extension == u"exe")
        return name.toLower();
    return extension;
}

int IconCache::FindImageIndex(const QString& key) const {
    return m_indexByKey.value(key, 0);
}

int IconCache::IconIndex(const QString& path, bool& failed) {
    failed = false;
    const QString key = CacheKey(path);
    if (const int index = FindImageIndex(key))
        return index;
    const int index = Append(key, m_provider->icon(QFileInfo(path.trimmed())));
    return index ? index : Fallback(failed);
}

int IconCache::DriveIconIndex(const QString& rootKey, DriveType type, bool& failed) {
    failed = false;
    if (const int index = FindImageIndex(rootKey))
        return index;
    const auto kind = type == DriveType::Network ? QAbstractFileIconProvider::Network
                                                 : QAbstractFileIconProvider::Drive;
    const int index = Append(rootKey, m_provider->icon(kind));
    return index ? index : Fallback(failed);
}

int IconCache::FolderIconIndex(bool& failed) {
    failed = false;
    const QString key = u"folder"_s;
    if (const int index = FindImageIndex(key))
        return index;
    const int index = Append(key, m_provider->icon(QAbstractFileIconProvider::Folder));
    return index ? index : Fallback(failed);
}

QIcon IconCache::Image(int index) const {
    if (index < 1 || index > m_images.size())
        return {};
    return m_images.at(index - 1);
}

int IconCache::Append(const QString& key, const QIcon& icon) {
    if (icon.isNull())
        return 0;
    m_images.append(icon);
    m_indexByKey.insert(key, int(m_images.size()));
    return int(m_images.size());
}

int IconCache::Fallback(bool& failed) const {
    const int index = FindImageIndex(DefaultKey());
    failed = index == 0;
    return index;
}
