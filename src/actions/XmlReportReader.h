#pragma once

#include "ExportRecord.h"

#include <QString>

#include <vector>

class ResultsModel;

// Reads a duplicate report of the program's XML form back into the results, so a person
// can stop and continue later: groups, rows, marks and the files already removed (struck
// through). The whole report is checked before anything is shown; a file that is not such
// a report, or is damaged, is refused with the reason and leaves the results as they were.
//
// Rows read back carry no file identity: the scan that saw the files is gone. The action
// run checks them against the report's size and time, and compares the bytes where the
// group was formed by content, before it touches anything.
class XmlReportReader {
public:
    struct File {
        ExportRecord Record; // Marked always set
        qint64 Size = 0;
    };
    struct Group {
        QString Caption; // as the grid shows it, with its copy count
        std::vector<File> Files;
        qint64 Total = 0; // bytes, as the header shows them
    };

    // False with Error() when the file cannot be read or is not a report of this form.
    bool Read(const QString& filePath);
    QString Error() const { return m_error; }
    const std::vector<Group>& Groups() const { return m_groups; }

    // Replaces every row of the results by the report's, the current cell on the first
    // file as after a run.
    void Fill(ResultsModel& model) const;

private:
    bool Refuse(const QString& reason);

    QString m_error;
    std::vector<Group> m_groups;
};
