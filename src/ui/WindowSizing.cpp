#include "WindowSizing.h"

#include <QSettings>

namespace {

QSettings Store() {
    return QSettings(QStringLiteral("Echofind"), QStringLiteral("Echofind"));
}

} // namespace

namespace WindowSizing {

bool Resizable() {
    return Store().value(QStringLiteral("Window/Resizable"), false).toBool();
}

void SetResizable(bool resizable) {
    Store().setValue(QStringLiteral("Window/Resizable"), resizable);
}

QSize SavedSize() {
    return Store().value(QStringLiteral("Window/Size")).toSize();
}

void SaveSize(const QSize& size) {
    Store().setValue(QStringLiteral("Window/Size"), size);
}

} // namespace WindowSizing
