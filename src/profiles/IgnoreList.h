#pragma once

#include "engine/FolderGroups.h"
#include "engine/ResultSink.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

// Files a person has said are duplicates on purpose: a group whose every file is on the
// list is left out of later runs of the profile, in the window and on the command line.
// Kept beside the profile's document as "<name>.ignore", one file per line: its size, a
// tab, and its path's bytes with "%", tabs and line breaks written as %XX, so any name
// the file system allows comes back exactly.
class IgnoreList {
public:
    struct Entry {
        QString Path;
        qint64 Size = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // The list's file beside a profile's document (".xml" replaced).
    static QString FileBeside(const QString& documentPath);

    // A missing file is an empty list. 1, or 3 with the reason in *error.
    int Load(const QString& file, QString* error = nullptr);
    // Written beside and renamed over the old list; an empty list removes the file.
    int Save(const QString& file) const;

    const std::vector<Entry>& Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.empty(); }
    // False when already listed.
    bool Add(const Entry& entry);
    void Remove(size_t index);
    bool Contains(const QString& path, qint64 size) const;
    // Takes out the groups of duplicate folders whose every folder the list holds, by its
    // path and total size, as a group of files goes when it holds every file. A folder
    // whose content grew or shrank since it was ignored comes back. Returns how many went.
    qint64 DropFolderGroups(std::vector<FolderGroups::Group>& groups) const;

    static QByteArray Line(const Entry& entry);
    // False for a line that is no entry (a comment, a blank, garbage).
    static bool ParseLine(QByteArrayView line, Entry& entry);

private:
    std::vector<Entry> m_entries;
    QHash<QString, qint64> m_index; // path -> size
};

// Passes groups on to another sink, except those whose every file the list holds. One
// group is held back at a time, so it costs nothing for the rest of the run.
class IgnoringSink final : public ResultSink {
public:
    IgnoringSink(ResultSink& next, const IgnoreList& list) : m_next(next), m_list(list) {}

    void ClearRecs() override;
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;

    // Groups left out so far.
    qint64 Dropped() const { return m_dropped; }

private:
    ResultSink& m_next;
    const IgnoreList& m_list;
    QString m_header;
    std::vector<HeldRow> m_rows;
    qint64 m_total = 0;
    qint64 m_dropped = 0;
};
