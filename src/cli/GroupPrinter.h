#pragma once

#include "engine/FolderGroups.h"
#include "engine/ResultSink.h"

#include <cstdio>
#include <memory>
#include <vector>

// What the groups add up to, for the closing summary line; both printers keep one.
struct GroupTally {
    qint64 Groups = 0;
    qint64 DuplicateFiles = 0;
    qint64 BytesToFree = 0;

    // Every file after a group's first is a copy that could go.
    void Row(bool firstRecord, qint64 fileSize) {
        if (!firstRecord) {
            ++DuplicateFiles;
            BytesToFree += fileSize;
        }
    }
};

// Prints each group as the paths of its files, each ended by the terminator, in grid
// order; an empty record between groups. Also counts what removing the duplicates would
// free. With no stream it only counts.
class GroupPrinter final : public ResultSink {
public:
    explicit GroupPrinter(std::FILE* out, char terminator = '\n') : m_out(out), m_end(terminator) {}

    bool TakesListRows() const override { return true; }
    void AddListRow(bool firstRecord, const FileList& list, size_t index) override;

    void ClearRecs() override {}
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;

    const GroupTally& Tally() const { return m_tally; }

private:
    std::FILE* m_out;
    char m_end;
    GroupTally m_tally;
};

class FileList;

// Writes the groups as one JSON document (the README gives its schema): the criteria, then
// per group the values its files share and each file with its path, size, times (seconds
// since the epoch) and signatures. A path that is UTF-8 is a JSON string; any other is the
// array of its bytes, so every path survives the trip. The scan's own values are looked up
// in its list, because the rows handed on carry them only as shown text (local time).
class JsonGroupPrinter final : public ResultSink {
public:
    JsonGroupPrinter(std::FILE* out, const FileList& list);
    ~JsonGroupPrinter() override;

    void ClearRecs() override {}
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;
    // Closes the document; also the whole document when there was no group.
    void Finish();

    const GroupTally& Tally() const { return m_tally; }

    // A path as JSON: a string when its bytes are UTF-8, else the array of its bytes.
    static QByteArray PathValue(const QString& path);

private:
    struct Index;
    void Begin();
    void Write(const QByteArray& text);

    std::FILE* m_out;
    const FileList& m_list;
    std::unique_ptr<Index> m_index; // (device, inode) -> record, made at the first row
    GroupTally m_tally;
    bool m_begun = false;
};

// Holds every group back until Finish hands them on in the asked order: "size" (largest
// total first), "count" (most files first) or "name"; equal keys keep the order found.
class SortingSink final : public ResultSink {
public:
    SortingSink(ResultSink& next, const QString& by) : m_next(next), m_by(by) {}

    void ClearRecs() override;
    qint64 AddHeader(const QString& fileName) override;
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override;
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override;
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override;
    void Finish();

private:
    struct Group {
        QString Name;
        std::vector<HeldRow> Rows;
        qint64 Total = 0;
        QString Count;
    };
    ResultSink& m_next;
    QString m_by;
    std::vector<Group> m_groups;
};

// Writes groups of duplicate folders as one JSON document (the README gives its schema):
// the criteria the files were compared by, then per group its folders with their paths
// (as file paths are written), total sizes and file counts. Returns what the groups add
// up to, a folder after each group's first counting as a copy.
GroupTally WriteFolderGroupsJson(std::FILE* out, const std::vector<FolderGroups::Group>& groups,
                                 const FileList& list);
