#include "CompareTool.h"

#include "app/PathCodec.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

namespace CompareTool {

namespace {

const QString Key = QStringLiteral("Compare/Command");

QSettings Store() {
    return QSettings(QStringLiteral("Echofind"), QStringLiteral("Echofind"));
}

} // namespace

QString Command() {
    const QSettings store = Store();
    return store.contains(Key) ? store.value(Key).toString() : Detect();
}

void SetCommand(const QString& command) {
    QSettings store = Store();
    store.setValue(Key, command.trimmed());
}

QString Detect() {
    // Searched once: the review commands ask on every move of the highlight.
    static const QString found = [] {
        for (const char* tool : {"meld", "kdiff3", "kompare", "diffuse"})
            if (!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                return QString::fromLatin1(tool);
        return QString();
    }();
    return found;
}

QString Run(const QString& command, const QString& first, const QString& second) {
    QStringList args = QProcess::splitCommand(command);
    if (args.isEmpty())
        return QStringLiteral("No compare command is set in the default options.");
    // Arguments reach the program as text: a name that is not UTF-8 would arrive as
    // another name.
    for (const QString& path : {first, second})
        if (PathCodec::HasRawBytes(path))
            return PathCodec::Display(path) + QStringLiteral(": the name is not UTF-8, so "
                                                             "the compare command cannot be "
                                                             "given it.");
    const QString program = args.takeFirst();
    args << first << second;
    if (!QProcess::startDetached(program, args))
        return QStringLiteral("Could not start the compare command \"%1\".").arg(program);
    return {};
}

} // namespace CompareTool
