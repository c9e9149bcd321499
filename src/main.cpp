// Echofind's entry point: refuses a second instance, lays out the application folders,
// and records the start in the application log.

#include "app/MessageService.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

namespace {

int sub_main(StderrMessageService& messages) {
    // Taken before anything touches the disk, so a second start changes nothing.
    modCommon::SingleInstance instance(modCommon::ApplicationFolder());
    if (!instance.TryLock()) {
        // Saying "already open" when nothing else runs would send the user looking for a
        // window that does not exist.
        if (instance.HeldByAnotherInstance())
            messages.Inform(QStringLiteral("Echofind is already open"));
        else
            messages.Critical(instance.FailureText());
        return 1;
    }
    if (modCommon::InitApp(messages) != 1)
        return 1;
    modLog::WriteAppLog(modCommon::AppLogFile, QStringLiteral("*** Application started at:") +
                                                   modLog::Now() + QStringLiteral("***"));

    // The windows are not part of this build yet: report the folders that start-up laid
    // out and point at the command line, which runs the same engine.
    std::printf("Echofind started.\n"
                "Application folder: %s\n"
                "Profiles:           %s\n"
                "Run logs:           %s\n"
                "The main window is not built yet; scan with echofind-cli (see --help).\n",
                qPrintable(modCommon::AppPath), qPrintable(modCommon::ProfileFolder),
                qPrintable(modCommon::LogPath));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Echofind"));
    QCoreApplication::setOrganizationName(QStringLiteral("Echofind"));
    StderrMessageService messages;
    SetMessageService(&messages);
    try {
        return sub_main(messages);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(QStringLiteral("modCommon.sub_main"), 0,
                                  QString::fromLocal8Bit(e.what()));
        messages.Critical(QStringLiteral("Unable to Initialize application. Quitting..."));
        return 1;
    }
}
