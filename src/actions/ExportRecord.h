#pragma once

#include <QString>

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

    bool IsGroup() const { return FileLocation.isEmpty(); }
};
