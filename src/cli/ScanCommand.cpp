#include "ScanCommand.h"

#include "CliOptions.h"
#include "CliProgress.h"
#include "GroupPrinter.h"

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "engine/GroupingPass.h"
#include "engine/clsFindFile.h"
#include "profiles/Catalogue.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace {

enum Exit { Done = 0, DoneWithErrors = 1, BadUsage = 2, RunFailed = 3, Interrupted = 130 };

void Err(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
}

struct Outcome {
    qint64 Files = 0;
    qint64 Groups = 0;
    qint64 DuplicateFiles = 0;
    qint64 BytesToFree = 0;
    double Seconds = 0;
    qint64 Errors = 0;
};

void PrintSummary(const Outcome& o) {
    std::fprintf(stderr,
                 "%lld files processed, %lld groups, %lld duplicate files, %lld bytes to free, "
                 "%.2f seconds, %lld errors\n",
                 static_cast<long long>(o.Files), static_cast<long long>(o.Groups),
                 static_cast<long long>(o.DuplicateFiles), static_cast<long long>(o.BytesToFree),
                 o.Seconds, static_cast<long long>(o.Errors));
}

bool AnyFolderExists(const QStringList& folders) {
    for (const QString& folder : folders) {
        modAPI::FileInfo info;
        if (modAPI::MyStat(folder, info) == Success && info.Type == modAPI::EntryType::Directory)
            return true;
    }
    return false;
}

// Runs the scan and prints the groups. False when the user interrupted it.
bool Scan(clsFindFile& scan, const ScanOptions& o, FileList& list, int& status, Outcome& out) {
    CliProgress progress(scan.CancelOperation, scan.BytesRead(),
                         !o.Quiet && ::isatty(STDERR_FILENO));
    scan.SetObserver(&progress);
    QElapsedTimer timer;
    timer.start();
    if (o.Profile.isEmpty())
        status = scan.ScanFolders(o.Folders, list);
    else
        scan.ExecuteProfile(modCommon::ProfileFolder + o.Profile + QStringLiteral(".xml"), list,
                            status);
    progress.Finish();
    if (status != Success || scan.CancelOperation.load())
        return !scan.CancelOperation.load();
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    GroupPrinter printer(stdout);
    GroupingPass(list, printer, nullptr);
    std::fflush(stdout);
    out.Files = progress.FilesProcessed();
    out.Groups = printer.Groups();
    out.DuplicateFiles = printer.DuplicateFiles();
    out.BytesToFree = printer.BytesToFree();
    out.Seconds = double(timer.elapsed()) / 1000.0;
    out.Errors = modLog::RunStats.ErrorCount + scan.FoldersNotListed();
    return true;
}

// A profile run records itself as a run from the window does: run log and catalogue.
void RecordProfileRun(const QString& name, int status, const Outcome& o) {
    if (status != Success) {
        Catalogue::UpdateProfile(name, QStringLiteral("Error"), modLog::Now());
        return;
    }
    modLog::RunStats.FilesProcessed = o.Files;
    modLog::RunStats.TimeTaken = QString::number(qMax<qint64>(1, qint64(o.Seconds + 0.999)));
    modLog::RunStats.DuplicatesFound = o.Groups;
    modLog::RunStats.EndedAt = modLog::Now();
    modLog::RunStats.RunStatus = QStringLiteral("Success");
    modLog::WriteRunLog(name);
    Catalogue::UpdateProfile(name, modLog::RunStats.RunStatus, modLog::RunStats.EndedAt);
}

int RunFolders(const ScanOptions& o) {
    if (!AnyFolderExists(o.Folders)) {
        Err(QStringLiteral("echofind-cli: none of the folders exists\n"));
        return RunFailed;
    }
    // No application folder in this mode: application-log lines go to standard error.
    modCommon::AppLogFile = QStringLiteral("/dev/stderr");
    modLog::ResetRunStats();
    clsFindFile scan;
    o.ApplyTo(scan);
    FileList list;
    int status = Failed;
    Outcome out;
    if (!Scan(scan, o, list, status, out)) {
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

int RunProfile(const ScanOptions& o) {
    StderrMessageService messages;
    if (modCommon::InitApp(messages) != 1)
        return RunFailed;
    modLog::ResetRunStats();
    modLog::RunStats.StartedAt = modLog::Now();
    clsFindFile scan;
    scan.ReadThreads = o.Threads;
    FileList list;
    int status = Failed;
    Outcome out;
    if (!Scan(scan, o, list, status, out)) {
        Err(QStringLiteral("echofind-cli: cancelled\n"));
        return Interrupted;
    }
    RecordProfileRun(o.Profile, status, out);
    if (status != Success) {
        Err(QStringLiteral("echofind-cli: the profile \"%1\" could not be run\n").arg(o.Profile));
        return RunFailed;
    }
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
    return options.Profile.isEmpty() ? RunFolders(options) : RunProfile(options);
}
