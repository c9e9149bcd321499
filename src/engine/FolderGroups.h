#pragma once

#include "FileList.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

class ResultSink;

// Folders whose whole content is the same: the same relative names of every file and
// sub-folder, all the way down, and each pair of files at the same relative name in the
// same duplicate group of the scan. Built from the scan's sorted list alone, so no file is
// read again; only the folders that look alike are listed once more, because the list
// holds nothing of what the scan left out (hidden or empty files, names the patterns
// skipped, links, empty sub-folders) and a folder holding any of that is not a copy of one
// that lacks it.
class FolderGroups {
public:
    struct Folder {
        QString Path; // as the scan spelt it, without the trailing "/"
        qint64 TotalSize = 0;
        qint64 FileCount = 0;
        // Its files as indexes into the list, ordered by their names relative to the
        // folder, so the n-th file of every folder of a group is at the same relative name.
        std::vector<quint32> Files;
    };
    using Group = std::vector<Folder>;

    // The groups of a list sorted as the scan leaves it, over the folders it scanned. A
    // folder inside one of a group is not listed again; a group is the largest first, then
    // by the path of its first folder, and its folders are in path order. Stops with no
    // groups when the flag is set.
    static std::vector<Group> Find(const FileList& list, const QStringList& scannedFolders,
                                   const std::atomic<bool>* cancel = nullptr);

    // Hands the groups on as a grouping pass would, one folder row (AddFolderRow) per
    // folder: its name, its path, its total size and, where a file's attributes go, how
    // many files it holds. Given the list, each group is followed by its files, one group
    // (AddMemberHeader) per relative name holding the file of each folder in the folders'
    // order: acting on those is how a folder is acted on, file by file, with every check a
    // file gets. Returns the number of folder groups.
    static qint64 HandOn(const std::vector<Group>& groups, ResultSink& sink,
                         const FileList* files = nullptr);

    // The text a folder row shows for its file count: "3 files".
    static QString CountText(qint64 files);
};
