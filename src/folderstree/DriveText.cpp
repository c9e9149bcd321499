#include "DriveText.h"

using namespace Qt::StringLiterals;

namespace DriveText {

QString NetworkLabel(const QString& remoteName) {
    QString remote = remoteName.trimmed();
    while (remote.size() > 1 && remote.endsWith(u'/'))
        remote.chop(1);
    const qsizetype lastSlash = remote.lastIndexOf(u'/');
    QString server;
    if (remote.startsWith(u"//") && lastSlash > 2) {
        server = remote.mid(2, lastSlash - 2);
    } else {
        const qsizetype colon = remote.indexOf(u':');
        if (colon > 0)
            server = remote.left(colon);
    }
    const QString share = remote.mid(lastSlash + 1);
    if (server.isEmpty() || share.isEmpty() || share.contains(u':'))
        return remote;
    return share + u" on '"_s + server + u"'"_s;
}

QString DisplayText(const DriveInfo& drive) {
    const QString where = u" ("_s + drive.mountPoint + u")"_s;
    if (drive.type == DriveType::Network && !drive.remoteName.trimmed().isEmpty())
        return NetworkLabel(drive.remoteName) + where;
    if (!drive.label.isEmpty())
        return drive.label + where;
    switch (drive.type) {
    case DriveType::Removable:
        return u"Removeable Disk"_s + where;
    case DriveType::Fixed:
        return u"Local Disk"_s + where;
    case DriveType::Network:
        return u"Network Drive"_s + where;
    case DriveType::CdRom:
        return u"Compact Disc"_s + where;
    case DriveType::RamDisk:
        return u"Ram Disc"_s + where;
    case DriveType::Unknown:
        break;
    }
    return u"No Label"_s + where;
}

} // namespace DriveText
