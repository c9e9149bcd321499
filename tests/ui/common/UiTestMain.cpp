// The window tests' main: one application object for the whole program, a fixed locale
// and font resolution so layouts and texts do not depend on the machine, and a private
// settings store so no test reads or writes the user's real one.

#include <QtWidgets>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", "96");
    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Echofind"));
    QApplication::setOrganizationName(QStringLiteral("Echofind"));
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope,
                       settings.path() + QStringLiteral("/system"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
