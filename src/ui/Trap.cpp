#include "Trap.h"

#include "app/AppError.h"
#include "app/modLog.h"

#include <exception>

bool Trap(const QString& procedure, const std::function<void()>& body, const TrapReport& report) {
    try {
        body();
        return true;
    } catch (const AppError& e) {
        modLog::LogProcedureError(procedure, e.Number, e.Description, report.OccuedSpelling);
    } catch (const std::exception& e) {
        modLog::LogProcedureError(procedure, 0, QString::fromLocal8Bit(e.what()),
                                  report.OccuedSpelling);
    }
    if (!report.Message.isEmpty())
        Messages().Show(report.Message, report.Icon, MessageService::Buttons::Ok,
                        MessageService::Answer::Ok);
    return false;
}
