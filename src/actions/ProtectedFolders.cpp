#include "ProtectedFolders.h"

#include "app/modAPI.h"
#include "app/modCommon.h"

ProtectedFolders::ProtectedFolders(const QStringList& folders) {
    for (const QString& folder : folders) {
        // A blank entry would cover nothing; "/" would cover everything, as it should.
        if (folder.trimmed().isEmpty())
            continue;
        m_folders.push_back({folder, modAPI::CanonicalPath(folder)});
    }
}

bool ProtectedFolders::Covers(const QString& filePath) const {
    if (m_folders.empty())
        return false;
    for (const Folder& f : m_folders)
        if (modCommon::IsUnderFolder(filePath, f.AsWritten))
            return true;
    // The folder is resolved, not the file: a file that is itself a link stays the entry
    // the row names.
    const qsizetype slash = filePath.lastIndexOf(u'/');
    if (slash < 0)
        return false;
    const QString realFolder =
        modAPI::CanonicalPath(slash == 0 ? QStringLiteral("/") : filePath.left(slash));
    if (realFolder.isEmpty())
        return false;
    const QString realPath = modCommon::QualifyPath(realFolder) + filePath.mid(slash + 1);
    for (const Folder& f : m_folders)
        if (!f.Real.isEmpty() && modCommon::IsUnderFolder(realPath, f.Real))
            return true;
    return false;
}
