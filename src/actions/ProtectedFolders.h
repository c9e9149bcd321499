#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The folders whose files an action run never removes, moves, zips or links over,
// whatever their marks. A file is covered when its path lies under one of them as
// written, or when the real location of its folder lies under the real location of one
// (a protected folder named through a link, or a scanned folder reached through one).
class ProtectedFolders {
public:
    ProtectedFolders() = default;
    explicit ProtectedFolders(const QStringList& folders);

    bool Covers(const QString& filePath) const;
    bool IsEmpty() const { return m_folders.empty(); }

private:
    struct Folder {
        QString AsWritten;
        QString Real; // empty when it does not resolve (not there now)
    };
    std::vector<Folder> m_folders;
};
