#pragma once

#include <QString>

#include <array>
#include <optional>

// One line of the duplicate report, taken from a row of the results. A record without a
// location is a group record; the file records of its group follow it.
struct ExportRecord {
    QString FileName;
    QString FileLocation;
    QString FileSize;
    QString Created;
    QString Modified;
    QString Attributes;
    QString Version;
    QString CRC;
    QString MD5;
    QString Status; // "deleted" for a file an action removed
    // The file's mark in the results, when the records come from them. Only the XML report
    // keeps it, and only where it differs from what a reader would assume (XmlReportMarks).
    std::optional<bool> Marked;

    bool IsGroup() const { return FileLocation.isEmpty(); }
    // The ten fields in report order; a group record's are its label and nine empties.
    std::array<QString, 10> Fields() const {
        return {FileName,   FileLocation, FileSize, Created, Modified,
                Attributes, Version,      CRC,      MD5,     Status};
    }
};
