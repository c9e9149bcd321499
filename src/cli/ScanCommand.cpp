#include "ScanCommand.h"

#include "CliOptions.h"
#include "ProfileScan.h"

#include "app/AppError.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "engine/FileList.h"
#include "engine/clsFindFile.h"

#include <cstdio>

namespace {

void Err(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
}

bool AnyFolderExists(const QStringList& folders) {
    for (const QString& folder : folders) {
        // With its trailing "/" a named link to a folder is looked at where it leads, as
        // the scan itself opens it.
        modAPI::FileInfo info;
        if (modAPI::MyStat(modCommon::QualifyPath(folder), info) == Success &&
            info.Type == modAPI::EntryType::Directory)
            return true;
    }
    return false;
}

int RunFolders(const ScanOptions& o) {
    if (!AnyFolderExists(o.Folders)) {
        Err(QStringLiteral("echofind-cli: none of the folders exists\n"));
        return RunFailed;
    }
    // No application folder in this mode: application-log lines go to standard error.
    modCommon::AppLogFile = modLog::StandardErrorLog;
    modLog::ResetRunStats();
    clsFindFile scan;
    o.ApplyTo(scan);
    FileList list;
    int status = Failed;
    ScanOutcome out;
    if (!RunScan(scan, o, list, status, out)) {
        Err(QStringLiteral("echofind-cli: cancelled\n"));
        return Interrupted;
    }
    if (status != Success)
        return RunFailed;
    for (const QString& detail : modLog::RunStats.ErrorDetails)
        Err(detail + u'\n');
    PrintSummary(out);
    return out.Errors > 0 ? DoneWithErrors : Done;
}

} // namespace

int RunScanCommand(const QStringList& args) {
    ScanOptions options;
    QString error;
    if (!ParseScanOptions(args, options, error)) {
        Err(QStringLiteral("echofind-cli scan: ") + error +
            QStringLiteral("\nTry 'echofind-cli scan --help'.\n"));
        return BadUsage;
    }
    if (options.Help) {
        std::fputs(ScanUsage().toLocal8Bit().constData(), stdout);
        return Done;
    }
    if (!options.Profile.isEmpty()) {
        ScanOutcome out;
        return ScanProfile(options, nullptr, out);
    }
    return RunFolders(options);
}
