#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Which kinds of folders the tree lists besides plain ones.
struct FolderFilter {
    bool system = false;
    bool readOnly = false;
    bool hidden = false;
};

struct SubFolder {
    QString name;
    bool hasVisibleSubFolder = false;
};

// Reads folders for the tree straight from the kernel: a folder of ten thousand
// sub-folders needs one listing plus one short probe per sub-folder, and nothing here
// ever follows a symbolic link or opens a special file. Names are carried byte-exact
// (see FileNames).
class FolderReader {
public:
    void SetSystemMountPoints(const QStringList& mountPoints);
    // Mount points of file systems that may hang: listed as folders on trust, never
    // looked into from a listing of their parent.
    void SetHangingMountPoints(const QStringList& mountPoints);

    // Called after every tenth entry; returning false abandons the listing (the tree
    // it was read for is gone).
    using Yield = std::function<bool()>;

    // The visible sub-folders of folder, in listing order. False with the system's
    // message when the folder cannot be listed or the listing was abandoned.
    bool ReadSubFolders(const QString& folder, const FolderFilter& filter,
                        std::vector<SubFolder>& out, QString& error, const Yield& yield) const;

    // Whether a drive's root can be listed at all (a drive without a medium cannot).
    bool Answers(const QString& root, QString& error) const;

    enum class Outcome { Read, Failed, Abandoned, NoAnswer };

    // ReadSubFolders on a thread of its own, for a folder that may hang. Waits at most
    // timeoutMs, calling pump meanwhile (false abandons the wait); a listing that does
    // not finish in time is left to end, or never, on its own thread.
    Outcome ReadWithin(const QString& folder, const FolderFilter& filter, int timeoutMs,
                       std::vector<SubFolder>& out, QString& error, const Yield& pump) const;

private:
    bool HasVisibleSubFolder(int parentFd, const char* name, const QByteArray& path,
                             const FolderFilter& filter) const;
    bool IsVisibleFolder(int parentFd, const char* name, unsigned char type, const QByteArray& path,
                         const FolderFilter& filter) const;

    QSet<QByteArray> m_systemMountPoints;
    QSet<QByteArray> m_hangingMountPoints;
};
