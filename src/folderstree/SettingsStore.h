#pragma once

#include "TreewellExport.h"

#include <QString>

class QSettings;

// The control's small settings store, read the way a registry is: a root (the user's
// or the machine's store), a key path with parts separated by "\" and a value name.
// The user's store is ~/.config/Treewell/FoldersList.ini.
class TREEWELL_EXPORT SettingsStore {
public:
    static constexpr qint32 CurrentUser = qint32(0x80000001);
    static constexpr qint32 LocalMachine = qint32(0x80000002);

    // An empty value name reads the key's default value. Anything missing, of another
    // kind than text or a number, or unreadable gives an empty string; error is set
    // when the store itself could not be read.
    static QString GetString(qint32 root, const QString& keyPath, const QString& valueName,
                             QString& error);
    static QString QueryValue(QSettings& key, const QString& valueName);
};
