#include "ProfileScan.h"

#include "CliOptions.h"
#include "CliProgress.h"
#include "GroupPrinter.h"

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "engine/FileList.h"
#include "engine/FolderGroups.h"
#include "engine/GroupingPass.h"
#include "engine/ResultSink.h"
#include "engine/clsFindFile.h"
#include "profiles/IgnoreList.h"
#include "profiles/RunRecord.h"

#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// Feeds two sinks at once. Each numbers its rows its own way, so the header row of the
// group being filled is remembered for the second one.
class TeeSink final : public ResultSink {
public:
    TeeSink(ResultSink& first, ResultSink& second) : m_first(first), m_second(second) {}

    void ClearRecs() override {
        m_first.ClearRecs();
        m_second.ClearRecs();
    }
    qint64 AddHeader(const QString& fileName) override {
        m_secondHeader = m_second.AddHeader(fileName);
        return m_first.AddHeader(fileName);
    }
    void AddRow(bool firstRecord, const clsFileDetails& details,
                const FileIdentity& identity) override {
        m_first.AddRow(firstRecord, details, identity);
        m_second.AddRow(firstRecord, details, identity);
    }
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override {
        m_first.UpdateHeadTotal(rowNo, total);
        m_second.UpdateHeadTotal(m_secondHeader, total);
    }
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override {
        m_second.UpdateHeader(m_secondHeader, text);
        return m_first.UpdateHeader(rowNo, text);
    }

private:
    ResultSink& m_first;
    ResultSink& m_second;
    qint64 m_secondHeader = 0;
};

// The profile's ignore list; an unreadable one hides nothing, and says so.
bool LoadIgnoreList(const QString& profile, IgnoreList& ignored) {
    QString error;
    if (ignored.Load(
            IgnoreList::FileBeside(modCommon::ProfileFolder + profile + QStringLiteral(".xml")),
            &error) == Success)
        return true;
    std::fprintf(stderr, "echofind-cli: the ignore list cannot be read, so it hides nothing: %s\n",
                 error.toLocal8Bit().constData());
    return false;
}

} // namespace

bool RunScan(clsFindFile& scan, const ScanOptions& o, FileList& list, int& status, ScanOutcome& out,
             ResultSink* also) {
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
    GroupPrinter printer(o.PrintGroups ? stdout : nullptr, o.Null ? '\0' : '\n');
    JsonGroupPrinter json(stdout, list);
    ResultSink& printed = o.Json ? static_cast<ResultSink&>(json) : printer;
    // Sorting only changes what is printed; whoever acts on the groups takes them as found.
    SortingSink sorted(printed, o.Sort);
    ResultSink& shown = o.Sort.isEmpty() ? printed : sorted;
    out.Files = progress.FilesProcessed();
    out.Errors = modLog::RunStats.ErrorCount + scan.FoldersNotListed();
    if (o.FolderGroups || scan.FindFolders) {
        std::vector<FolderGroups::Group> groups =
            FolderGroups::Find(list, scan.ScannedFolders(), &scan.CancelOperation);
        if (scan.CancelOperation.load())
            return false;
        if (!o.Profile.isEmpty() && !o.NoIgnore) {
            IgnoreList ignored;
            if (LoadIgnoreList(o.Profile, ignored))
                ignored.DropFolderGroups(groups);
        }
        GroupTally tally;
        if (o.Json) {
            tally = WriteFolderGroupsJson(stdout, groups, list);
        } else {
            // Already largest first; a sort asked for orders them again as it would files.
            FolderGroups::HandOn(groups, shown);
            if (!o.Sort.isEmpty())
                sorted.Finish();
            tally = printer.Tally();
        }
        // Whoever acts on them gets each folder's files too, as groups of their own.
        if (also)
            FolderGroups::HandOn(groups, *also, &list);
        std::fflush(stdout);
        modLog::RunStats.DuplicatesFound = tally.Groups;
        out.Folders = true;
        out.Groups = tally.Groups;
        out.DuplicateFiles = tally.DuplicateFiles;
        out.BytesToFree = tally.BytesToFree;
        out.Seconds = double(timer.elapsed()) / 1000.0;
        return true;
    }
    TeeSink both(shown, also ? *also : shown);
    // Groups the person chose to ignore are neither printed nor acted on.
    IgnoreList ignored;
    if (!o.Profile.isEmpty() && !o.NoIgnore)
        LoadIgnoreList(o.Profile, ignored);
    ResultSink& grouped = also ? static_cast<ResultSink&>(both) : shown;
    IgnoringSink kept(grouped, ignored);
    GroupingPass(list, ignored.IsEmpty() ? grouped : kept, nullptr);
    modLog::RunStats.DuplicatesFound -= kept.Dropped();
    if (!o.Sort.isEmpty())
        sorted.Finish();
    if (o.Json)
        json.Finish();
    std::fflush(stdout);
    const GroupTally& tally = o.Json ? json.Tally() : printer.Tally();
    out.Groups = tally.Groups;
    out.DuplicateFiles = tally.DuplicateFiles;
    out.BytesToFree = tally.BytesToFree;
    out.Seconds = double(timer.elapsed()) / 1000.0;
    out.Errors = modLog::RunStats.ErrorCount + scan.FoldersNotListed();
    return true;
}

int ScanProfile(const ScanOptions& o, ResultSink* also, ScanOutcome& out) {
    if (modCommon::InitApp(Messages()) != 1)
        return RunFailed;
    modLog::ResetRunStats();
    modLog::RunStats.StartedAt = modLog::Now();
    clsFindFile scan;
    scan.ReadThreads = o.Threads;
    scan.AcrossFolders = o.Across;
    o.ApplyCacheTo(scan, false);
    FileList list;
    int status = Failed;
    if (!RunScan(scan, o, list, status, out, also)) {
        std::fputs("echofind-cli: cancelled\n", stderr);
        return Interrupted;
    }
    RecordRun(o.Profile, {status == Success, out.Files, out.Groups, qint64(out.Seconds + 0.999)});
    // What went wrong, as the folder mode says it too; a failed run writes no run log, so
    // for it this is the only place the reason shows.
    for (const QString& detail : modLog::RunStats.ErrorDetails)
        std::fprintf(stderr, "%s\n", detail.toLocal8Bit().constData());
    if (status != Success) {
        std::fprintf(stderr, "echofind-cli: the profile \"%s\" could not be run\n",
                     o.Profile.toLocal8Bit().constData());
        return RunFailed;
    }
    PrintSummary(out);
    return out.Errors > 0 ? DoneWithErrors : Done;
}

void PrintSummary(const ScanOutcome& o) {
    std::fprintf(stderr,
                 o.Folders ? "%lld files processed, %lld folder groups, %lld duplicate folders, "
                             "%lld bytes to free, %.2f seconds, %lld errors\n"
                           : "%lld files processed, %lld groups, %lld duplicate files, %lld bytes "
                             "to free, %.2f seconds, %lld errors\n",
                 static_cast<long long>(o.Files), static_cast<long long>(o.Groups),
                 static_cast<long long>(o.DuplicateFiles), static_cast<long long>(o.BytesToFree),
                 o.Seconds, static_cast<long long>(o.Errors));
}
