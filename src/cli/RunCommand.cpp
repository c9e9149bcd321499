#include "RunCommand.h"

#include "CliOptions.h"
#include "ProfileScan.h"

#include "actions/DefaultActions.h"
#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "actions/RunLock.h"
#include "actions/XmlReportReader.h"
#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ActionWords.h"
#include "profiles/ProfileDocument.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// One re-marking of the whole list, named as the command line gave it for the summary.
struct MarkStep {
    QString Said;
    MarkRules::Request Rule;
};

struct RunOptions {
    QString Profile;
    bool Remove = false;
    bool SingleCopy = false;
    bool Export = false;
    bool Quiet = false;
    bool Help = false;
    bool NoCache = false;
    QString CacheFile;
    std::optional<MarkStep> Keep;
    QList<MarkStep> Marks; // after --keep, in the order given
    bool Across = false;
    QStringList Protect; // absolute, for this run only
    bool Wait = false;
    QString FromReport; // act on this saved report instead of scanning
};

const char* kUsage =
    "Usage: echofind-cli run NAME [--keep RULE] [--mark-under DIR | --unmark-under DIR |\n"
    "                        --mark-name PATTERN | --unmark-name PATTERN]...\n"
    "                        [--remove] [--single-copy] [--export] [-q] [--wait]\n"
    "                        [--protect DIR]... [--across] [--no-cache | --cache FILE]\n"
    "                        [--from-report FILE]\n"
    "\n"
    "Scans the saved profile NAME as the window does (run log and catalogue entry), prints\n"
    "the groups as 'scan' does, then applies the chosen actions with the default marks:\n"
    "the first file of every group is kept, every other file is marked.\n"
    "\n"
    "  --from-report FILE\n"
    "                   instead of scanning, read the groups and their marks from FILE,\n"
    "                   an XML report saved earlier (as Profile > Open report does); a\n"
    "                   row is acted on only when its file lies under the profile's\n"
    "                   folders and still is as the report shows it\n"
    "\n"
    "  --keep RULE      re-mark every group before the actions: keep one file by RULE\n"
    "                   and mark the others; the groups are then printed with the kept\n"
    "                   file first. RULE is one of\n"
    "                     newest, oldest       by modified time\n"
    "                     shortest, longest    by the length of the full path\n"
    "                     first-under:DIR      the first file under the folder DIR\n"
    "                                          (groups without one keep their marks)\n"
    "                   Ties go to the file listed first. A file under one of the\n"
    "                   profile's protected folders is kept before any other (for\n"
    "                   first-under, after the files under DIR).\n"
    "  --mark-under DIR, --unmark-under DIR\n"
    "                   mark (unmark) every file under the folder DIR; a relative DIR\n"
    "                   is taken from the working folder, and it must exist\n"
    "  --mark-name PATTERN, --unmark-name PATTERN\n"
    "                   mark (unmark) every file whose name matches PATTERN: * any\n"
    "                   characters, ? one character, any case\n"
    "                   These four are repeatable and re-mark the groups after --keep, in\n"
    "                   the order given; the groups are then printed with the kept file\n"
    "                   first. No group is left without an unmarked file: where marking\n"
    "                   would take its last one, one of the files it names stays\n"
    "                   unmarked, one under a protected folder first.\n"
    "  --remove         remove the marked files by the profile's remove rule (trash,\n"
    "                   permanent delete, move, zip, hard links to the kept file of\n"
    "                   each group, or blocks shared with it on btrfs and XFS)\n"
    "  --single-copy    copy the kept files into the profile's single-copy folder\n"
    "  --export         write the report in the profile's format and folder\n"
    "  --protect DIR    never remove, move or zip a file under DIR, whatever its mark\n"
    "                   (repeatable; added to the profile's protected folders for this\n"
    "                   run only); a marked file there is skipped and logged, not an error\n"
    "  --across         only groups whose files lie under at least two of the profile's\n"
    "                   folders, whatever the profile says\n"
    "  --no-cache       read every file, neither using nor updating the hash cache\n"
    "  --cache FILE     keep the hash cache in FILE instead of HashCache.sqlite in the\n"
    "                   user's folder\n"
    "  --wait           when another action run of this application folder is going on,\n"
    "                   wait for it to end instead of giving up with exit status 4\n"
    "  -q, --quiet      no progress line\n"
    "  -h, --help       this text\n"
    "\n"
    "The actions run in that order and the run log is rewritten after each. Nothing is\n"
    "removed without --remove. Before a file is removed, moved, zipped or linked it is\n"
    "checked again: still the file the scan saw, in the folder the scan saw, and for a\n"
    "group found by content equal byte for byte to the kept copy; otherwise it is skipped.\n"
    "One action run at a time acts on the files of an application folder; every file is\n"
    "written into the profile's journal (Log/NAME.journal) before it is touched.\n"
    "Exit status: 0 done, 1 done with errors (a file that an action could not handle, a\n"
    "single copy that could not be made), 2 bad usage, 3 the run failed (the profile could\n"
    "not be scanned, an action could not read its settings or found a rule or folder it\n"
    "cannot act on, or the run's records could not be written), 4 another action run of\n"
    "this application folder was in progress and nothing was done (see --wait).\n";

// The folder an option names, made absolute against the working folder. It must exist: a
// mistyped folder would otherwise protect or mark nothing, silently.
bool ExistingFolder(const QString& option, const QString& given, QString& folder, QString& error) {
    if (given.isEmpty()) {
        error = option + QStringLiteral(" needs a folder");
        return false;
    }
    if (!MarkRules::AbsoluteFolder(given, folder, error))
        return false;
    modAPI::FileInfo info;
    if (modAPI::MyStat(modCommon::QualifyPath(folder), info) != Success ||
        info.Type != modAPI::EntryType::Directory) {
        error = option + QStringLiteral(": no folder at ") + given;
        return false;
    }
    return true;
}

const struct MarkOption {
    const char* Name;
    MarkRules::Rule What;
    bool TakesFolder; // else a name pattern
} kMarkOptions[] = {{"--mark-under", MarkRules::Rule::MarkUnder, true},
                    {"--unmark-under", MarkRules::Rule::UnmarkUnder, true},
                    {"--mark-name", MarkRules::Rule::MarkMatching, false},
                    {"--unmark-name", MarkRules::Rule::UnmarkMatching, false}};

const MarkOption* FindMarkOption(const QString& arg) {
    for (const MarkOption& option : kMarkOptions) {
        const QLatin1String name(option.Name);
        if (arg == name || (arg.startsWith(name) && arg.mid(name.size()).startsWith(u'=')))
            return &option;
    }
    return nullptr;
}

bool TakeMark(const MarkOption& option, const QString& given, RunOptions& o, QString& error) {
    const QString name = QLatin1String(option.Name);
    MarkStep step;
    step.Said = name.mid(2) + u' ' + given;
    step.Rule.What = option.What;
    if (option.TakesFolder) {
        if (!ExistingFolder(name, given, step.Rule.Folder, error))
            return false;
    } else if (given.trimmed().isEmpty()) {
        // The rule would name no file; asking for it is a slip, not a wish to change nothing.
        error = name + QStringLiteral(" needs a pattern");
        return false;
    } else {
        step.Rule.Pattern = given;
    }
    o.Marks << step;
    return true;
}

bool Parse(const QStringList& args, RunOptions& o, QString& error) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (arg == u"--protect" || arg.startsWith(u"--protect=")) {
            if (arg == u"--protect" && i + 1 >= args.size()) {
                error = QStringLiteral("option --protect needs a value");
                return false;
            }
            QString folder;
            if (!ExistingFolder(QStringLiteral("--protect"),
                                arg == u"--protect" ? args[++i] : arg.mid(10), folder, error))
                return false;
            o.Protect << folder;
        } else if (const MarkOption* mark = FindMarkOption(arg)) {
            const qsizetype nameSize = qsizetype(std::strlen(mark->Name));
            if (arg.size() == nameSize && i + 1 >= args.size()) {
                error = QStringLiteral("option %1 needs a value").arg(arg);
                return false;
            }
            if (!TakeMark(*mark, arg.size() == nameSize ? args[++i] : arg.mid(nameSize + 1), o,
                          error))
                return false;
        } else if (arg == u"--across") {
            o.Across = true;
        } else if (arg == u"--wait") {
            o.Wait = true;
        } else if (arg == u"--from-report" || arg.startsWith(u"--from-report=")) {
            if (arg == u"--from-report" && i + 1 >= args.size()) {
                error = QStringLiteral("option --from-report needs a file");
                return false;
            }
            o.FromReport = arg == u"--from-report" ? args[++i] : arg.mid(14);
            if (o.FromReport.isEmpty()) {
                error = QStringLiteral("--from-report needs a file name");
                return false;
            }
            if (!o.FromReport.startsWith(u'/'))
                o.FromReport = modCommon::QualifyPath(modAPI::CurrentFolder()) + o.FromReport;
        } else if (arg == u"--cache" || arg.startsWith(u"--cache=")) {
            if (arg == u"--cache") {
                if (i + 1 >= args.size()) {
                    error = QStringLiteral("option --cache needs a value");
                    return false;
                }
                o.CacheFile = args[++i];
            } else {
                o.CacheFile = arg.mid(8);
            }
            if (o.CacheFile.isEmpty()) {
                error = QStringLiteral("--cache needs a file name");
                return false;
            }
        } else if (arg == u"--keep" || arg.startsWith(u"--keep=")) {
            QString given;
            if (arg == u"--keep") {
                if (i + 1 >= args.size()) {
                    error = QStringLiteral("option --keep needs a rule");
                    return false;
                }
                given = args[++i];
            } else {
                given = arg.mid(7);
            }
            MarkStep step;
            step.Said = QStringLiteral("keep ") + given;
            if (!MarkRules::ParseKeep(given, step.Rule, error))
                return false;
            o.Keep = step;
        } else if (arg == u"--no-cache")
            o.NoCache = true;
        else if (arg == u"--remove")
            o.Remove = true;
        else if (arg == u"--single-copy")
            o.SingleCopy = true;
        else if (arg == u"--export")
            o.Export = true;
        else if (arg == u"-q" || arg == u"--quiet")
            o.Quiet = true;
        else if (arg == u"-h" || arg == u"--help")
            o.Help = true;
        else if (arg.startsWith(u'-')) {
            error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        } else if (o.Profile.isEmpty()) {
            o.Profile = arg;
        } else {
            error = QStringLiteral("one profile name only (\"%1\" and \"%2\")").arg(o.Profile, arg);
            return false;
        }
    }
    if (!o.Help && o.Profile.isEmpty()) {
        error = QStringLiteral("no profile name");
        return false;
    }
    return true;
}

void Say(const QString& text) {
    std::fprintf(stderr, "%s\n", PathCodec::Display(text).toLocal8Bit().constData());
}

QString Describe(const QString& what, const ActionSummary& s) {
    switch (s.Outcome) {
    case ActionRun::Outcome::SettingsUnreadable:
        return what + QStringLiteral(": not done, the profile's settings could not be read");
    case ActionRun::Outcome::Failed:
        return what + QStringLiteral(": stopped by an unexpected error (see the application log)");
    case ActionRun::Outcome::Cancelled:
        return what + QStringLiteral(": cancelled");
    case ActionRun::Outcome::NotRecorded:
        return what + QStringLiteral(": stopped, its records could not be written");
    case ActionRun::Outcome::Busy:
        return what + QStringLiteral(": not done, another action run is in progress");
    default:
        break;
    }
    QString text = what + QStringLiteral(": ");
    if (what == u"remove") {
        // Links and shared blocks keep every name: they are called what they are.
        switch (ActionWords::MethodOf(s.DeleteTo)) {
        case RemoveMethod::HardLink:
            text += QStringLiteral("%1 files acted on, %2 replaced by hard links, %3 flagged")
                        .arg(s.FilesActedOn)
                        .arg(s.Removed)
                        .arg(s.Flagged);
            break;
        case RemoveMethod::Clone:
            text += QStringLiteral("%1 files acted on, %2 now share blocks with the kept files "
                                   "(%3), %4, %5 flagged")
                        .arg(s.FilesActedOn)
                        .arg(s.SharedFiles)
                        .arg(MarkRules::SizeText(s.SharedBytes))
                        .arg(s.SpaceFreed < 0
                                 ? QStringLiteral("space freed not known")
                                 : MarkRules::SizeText(s.SpaceFreed) + QStringLiteral(" freed"))
                        .arg(s.Flagged);
            break;
        default:
            text += QStringLiteral("%1 files acted on, %2 removed, %3 flagged")
                        .arg(s.FilesActedOn)
                        .arg(s.Removed)
                        .arg(s.Flagged);
        }
        const qsizetype kept = std::count_if(s.Lines.begin(), s.Lines.end(), [](const QString& l) {
            return l.endsWith(ActionRun::ProtectedText);
        });
        if (kept > 0)
            text += QStringLiteral(", %1 kept in protected folders").arg(kept);
    } else if (what == u"export" && s.ExportFailed)
        text += QStringLiteral("the report could not be written (see the application log)");
    else if (what == u"export")
        text += s.ReportPath.isEmpty() ? QStringLiteral("no report format set in the profile")
                                       : QStringLiteral("report written to ") + s.ReportPath;
    else
        text += QStringLiteral("done");
    return text + QStringLiteral(", %1 errors").arg(s.Errors);
}

// The folders whose files the run keeps: the profile's own list and those given with
// --protect. Everything that decides which folders a run protects joins here.
QStringList EffectiveProtectedFolders(const RunOptions& o) {
    const QString path = modCommon::ProfileFolder + o.Profile + QStringLiteral(".xml");
    ProfileSettings settings;
    if (ProfileDocument::Load(path, settings) != 1)
        return o.Protect;
    return settings.ProtectedFolders + o.Protect;
}

// Each group as the paths of its files, the kept file first, an empty line between groups:
// the form 'scan' prints, after the rule has chosen the kept files.
void PrintGroups(const ResultsModel& model) {
    const qint64 rows = model.RowCount();
    bool firstGroup = true;
    for (qint64 row = 1; row <= rows; ++row) {
        if (!model.HasEmptyMark(row))
            continue;
        qint64 last = row;
        qint64 kept = 0;
        while (last + 1 <= rows && !model.HasEmptyMark(last + 1)) {
            ++last;
            if (kept == 0 && model.IsUnmarked(last) && !model.IsStruck(last))
                kept = last;
        }
        if (last == row)
            continue;
        if (!firstGroup)
            std::fputc('\n', stdout);
        firstGroup = false;
        const auto print = [&](qint64 r) {
            const QByteArrayView path = model.RawText(r, 3);
            std::fwrite(path.data(), 1, size_t(path.size()), stdout);
            std::fputc('\n', stdout);
        };
        if (kept)
            print(kept);
        for (qint64 r = row + 1; r <= last; ++r)
            if (r != kept)
                print(r);
        row = last;
    }
    std::fflush(stdout);
}

// Fills the results from a saved report instead of a scan, as the window's Open report
// does; the actions then check every row against the disk as for any reopened report.
int ReadReport(const RunOptions& o, ResultsModel& model) {
    if (modCommon::InitApp(Messages()) != 1)
        return RunFailed;
    bool exists = false;
    modAPI::MyPathFileExists(modCommon::ProfileFolder + o.Profile + QStringLiteral(".xml"), exists);
    if (!exists) {
        Say(QStringLiteral("echofind-cli run: no profile \"") + o.Profile + u'"');
        return RunFailed;
    }
    XmlReportReader reader;
    if (!reader.Read(o.FromReport)) {
        Say(QStringLiteral("echofind-cli run: the report ") + o.FromReport +
            QStringLiteral(" could not be read: ") + reader.Error());
        return RunFailed;
    }
    reader.Fill(model);
    modLog::ResetRunStats();
    modLog::RunStats.StartedAt = modLog::Now();
    modLog::RunStats.EndedAt = modLog::RunStats.StartedAt;
    modLog::RunStats.RunStatus = QStringLiteral("Success");
    modLog::RunStats.DuplicatesFound = qint64(reader.Groups().size());
    return Done;
}

} // namespace

int RunRunCommand(const QStringList& args) {
    RunOptions o;
    QString error;
    if (!Parse(args, o, error)) {
        Say(QStringLiteral("echofind-cli run: ") + error +
            QStringLiteral("\nTry 'echofind-cli run --help'."));
        return BadUsage;
    }
    if (o.Help) {
        std::fputs(kUsage, stdout);
        return Done;
    }

    // One action run at a time per application folder, from the scan on: a second run
    // started meanwhile would otherwise act on what this one is about to remove.
    RunLock lock;
    if (o.Remove || o.SingleCopy || o.Export) {
        if (modCommon::InitApp(Messages()) != 1)
            return RunFailed;
        switch (lock.Take(o.Wait)) {
        case RunLock::Result::Taken:
            break;
        case RunLock::Result::Busy:
            Say(QStringLiteral("echofind-cli run: another action run is in progress; nothing was "
                               "done (--wait queues behind it)"));
            return AnotherRun;
        case RunLock::Result::Failed:
            Say(QStringLiteral("echofind-cli run: the action lock ") + lock.Error() +
                QStringLiteral(" could not be taken; nothing was done"));
            return RunFailed;
        }
    }

    ScanOptions scanOptions;
    scanOptions.Profile = o.Profile;
    scanOptions.Quiet = o.Quiet;
    scanOptions.NoCache = o.NoCache;
    scanOptions.CacheFile = o.CacheFile;
    QList<MarkStep> marking = o.Marks;
    if (o.Keep)
        marking.prepend(*o.Keep);
    scanOptions.PrintGroups = marking.isEmpty();
    scanOptions.Across = o.Across;
    ResultsModel model;
    int scanStatus = Done;
    if (!o.FromReport.isEmpty()) {
        scanStatus = ReadReport(o, model);
        if (scanStatus != Done)
            return scanStatus;
        if (marking.isEmpty())
            PrintGroups(model);
    } else {
        ScanOutcome scanned;
        model.SetRedraw(false);
        scanStatus = ScanProfile(scanOptions, &model, scanned);
        model.SetRedraw(true);
        if (scanStatus != Done && scanStatus != DoneWithErrors)
            return scanStatus;
    }

    if (!marking.isEmpty()) {
        const QStringList protectedFolders = EffectiveProtectedFolders(o);
        QStringList lines;
        for (const MarkStep& step : marking) {
            MarkRules::Request rule = step.Rule;
            rule.Protected = protectedFolders;
            const MarkRules::Outcome marked = MarkRules::Apply(model, rule);
            // Concatenated, so a "%1" in a folder name or pattern stays as it is.
            QString line = step.Said + QStringLiteral(": ") + QString::number(marked.Groups) +
                           QStringLiteral(" groups re-marked, ") +
                           MarkRules::TotalsText(marked.Marked);
            // Exact for scripts, where the rounded size is not.
            if (marked.Marked.Bytes >= 1000)
                line += QStringLiteral(" (%1 bytes)").arg(marked.Marked.Bytes);
            if (marked.Spared > 0)
                line += QStringLiteral(", %1 groups keep a file the rule would have marked, as "
                                       "their last copy")
                            .arg(marked.Spared);
            lines << line;
        }
        PrintGroups(model);
        for (const QString& line : lines) {
            Say(line);
            // Into the run log too, which the actions rewrite after each of them.
            modLog::LogActionDetails(line);
        }
        modLog::WriteRunLog(o.Profile);
    }

    qint64 actionErrors = 0;
    const struct {
        bool Wanted;
        const char* Action;
        const char* Name;
    } steps[] = {{o.Remove, "DeleteAll", "remove"},
                 {o.SingleCopy, "SingleCopy", "single copy"},
                 {o.Export, "Export", "export"}};
    for (const auto& step : steps) {
        if (!step.Wanted)
            continue;
        const ActionSummary s = RunDefaultAction(model, o.Profile, QString::fromLatin1(step.Action),
                                                 nullptr, Messages(), o.Protect);
        Say(Describe(QString::fromLatin1(step.Name), s));
        // Without its settings (or after an unexpected stop, or without its records) the
        // action was not carried out at all: that is a failed run, not one with a few errors.
        if (s.Outcome == ActionRun::Outcome::SettingsUnreadable ||
            s.Outcome == ActionRun::Outcome::Failed ||
            s.Outcome == ActionRun::Outcome::NotRecorded || s.RunLogFailed)
            return RunFailed;
        actionErrors += s.Errors;
        if (s.Outcome != ActionRun::Outcome::Finished || s.ExportFailed)
            ++actionErrors;
    }
    return scanStatus == DoneWithErrors || actionErrors > 0 ? DoneWithErrors : Done;
}
