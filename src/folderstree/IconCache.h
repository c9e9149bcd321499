#pragma once

#include "DriveSource.h"
#include "TreewellExport.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

#include <memory>

class QAbstractFileIconProvider;

// The control's image list: icons from the desktop icon theme, each kept under a text
// key for the life of the control, so that ten thousand folders share one image.
// Indexes are 1-based; 0 means "no image".
class TREEWELL_EXPORT IconCache {
public:
    // The desktop icon theme, or another provider of icons.
    IconCache();
    explicit IconCache(std::unique_ptr<QAbstractFileIconProvider> provider);
    ~IconCache();
    IconCache(const IconCache&) = delete;
    IconCache& operator=(const IconCache&) = delete;

    static QString ComputerKey();
    static QString DefaultKey();

    // "folder" for a directory, "noextn" for a file without a dot, the lower-case name
    // of a program file, else the lower-case extension.
    static QString CacheKey(const QString& path);

    // Exact, case-sensitive lookup.
    int FindImageIndex(const QString& key) const;

    // Index of the path's icon, loaded on first use. Falls back to the default image;
    // when even that is missing, returns 0 and sets failed.
    int IconIndex(const QString& path, bool& failed);
    int DriveIconIndex(const QString& rootKey, DriveType type, bool& failed);
    // The icon every folder shares ("folder"), found without looking at any folder:
    // the first folder of a listing may be a mount point that does not answer.
    int FolderIconIndex(bool& failed);

    QIcon Image(int index) const;
    int Count() const { return int(m_images.size()); }

private:
    int Append(const QString& key, const QIcon& icon);
    int Fallback(bool& failed) const;

    std::unique_ptr<QAbstractFileIconProvider> m_provider;
    QList<QIcon> m_images;
    QHash<QString, int> m_indexByKey;
};
