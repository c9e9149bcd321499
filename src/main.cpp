// Echofind's entry point: refuses a second instance, shows the splash, lays out the
// application folders, records the start and hands over to the main window.

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modAPI_scan.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "ui/Forms.h"
#include "ui/QtMessageService.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>

#include <exception>

namespace {

void StartupFailed() {
    Messages().Critical(QStringLiteral("Unable to Initialize application. Quitting..."));
    Forms::UnloadAllForms();
}

int sub_main(QApplication& app) {
    // Taken before anything touches the disk, so a second start changes nothing.
    modCommon::SingleInstance instance(modCommon::ApplicationFolder());
    if (!instance.TryLock()) {
        // Saying "already open" when nothing else runs would send the user looking for a
        // window that does not exist.
        if (instance.HeldByAnotherInstance())
            Messages().Inform(QStringLiteral("Echofind is already open"));
        else
            Messages().Critical(instance.FailureText());
        return 1;
    }
    {
        frmSplash splash(frmSplash::Use::StartUp);
        splash.exec();
    }
    if (modCommon::InitApp(Messages()) != Success) {
        Forms::UnloadAllForms();
        return 1;
    }
    modLog::WriteAppLog(modCommon::AppLogFile, QStringLiteral("*** Application started at:") +
                                                   modLog::Now() + QStringLiteral("***"));

    // Deleted by the registry when it is unloaded.
    auto* main = new frmMain;
    if (main->InitForm() != Success) {
        StartupFailed();
        return 1;
    }
    main->show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    modAPI::LimitMemoryPools();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Echofind"));
    QApplication::setOrganizationName(QStringLiteral("Echofind"));
#ifdef ECHOFIND_VERSION
    QApplication::setApplicationVersion(QStringLiteral(ECHOFIND_VERSION));
#endif
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("echofind"),
                                                 QIcon(QStringLiteral(":/echofind/echofind.png"))));
    // Lets a desktop match the window to its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("echofind"));
    // Without a screen (the offscreen and minimal platforms) nobody could answer a box, so
    // messages go to standard error instead of waiting for ever.
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == u"offscreen" || platform == u"minimal";
    QtMessageService boxes;
    StderrMessageService printed;
    SetMessageService(headless ? static_cast<MessageService*>(&printed) : &boxes);
    int result = 1;
    try {
        result = sub_main(app);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modCommon.sub_main"), 0,
                                  QString::fromLocal8Bit(e.what()));
        StartupFailed();
    } catch (const AppError& e) {
        modLog::LogProcedureError(QStringLiteral("modCommon.sub_main"), e.Number, e.Description);
        StartupFailed();
    }
    SetMessageService(nullptr);
    return result;
}
