#include "SettingsStore.h"

#include <QSettings>

using namespace Qt::StringLiterals;

QString SettingsStore::GetString(qint32 root, const QString& keyPath, const QString& valueName,
                                 QString& error) {
    QSettings::Scope scope;
    if (root == CurrentUser)
        scope = QSettings::UserScope;
    else if (root == LocalMachine)
        scope = QSettings::SystemScope;
    else
        return {};
    QSettings store(QSettings::IniFormat, scope, u"Treewell"_s, u"FoldersList"_s);
    QString group = keyPath;
    group.replace(u'\\', u'/');
    store.beginGroup(group);
    const QString value = QueryValue(store, valueName);
    if (store.status() != QSettings::NoError)
        error = u"settings store "_s + store.fileName() + u" could not be read"_s;
    return value;
}

QString SettingsStore::QueryValue(QSettings& key, const QString& valueName) {
    // The store has no nameless values; a key's default value lives under "Default".
    const QString name = valueName.isEmpty() ? u"Default"_s : valueName;
    if (!key.contains(name))
        return {};
    const QVariant value = key.value(name);
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString text = value.toString();
        const qsizetype nul = text.indexOf(QChar(0));
        return nul < 0 ? text : text.left(nul);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    default:
        return {};
    }
}
