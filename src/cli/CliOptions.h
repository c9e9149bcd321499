#pragma once

#include <QString>
#include <QStringList>

class clsFindFile;

// The options of the scan subcommand. Shared with any later subcommand that scans first.
struct ScanOptions {
    QStringList Folders;
    QString Profile;
    bool SubFolders = false;
    bool Name = false;
    bool Size = false;
    bool Created = false;
    bool Modified = false;
    QString Content; // "crc", "md5" or empty
    bool Hidden = false;
    bool ReadOnly = false;
    bool System = false;
    bool ZeroByte = false;
    QStringList Include;
    QStringList Exclude;
    bool Quiet = false;
    bool Null = false; // paths ended by NUL, groups by an empty record
    bool Help = false;
    int Threads = 0;

    // Copies the folder-mode settings onto a scan; no criterion given means size and
    // content by CRC-32.
    void ApplyTo(clsFindFile& scan) const;
};

// Parses the arguments after the subcommand. False with a message for the user on bad
// usage.
bool ParseScanOptions(const QStringList& args, ScanOptions& options, QString& error);

QString ScanUsage();
