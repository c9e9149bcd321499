#include "RunCommand.h"

#include "CliOptions.h"
#include "ProfileScan.h"

#include "actions/DefaultActions.h"
#include "actions/ResultsModel.h"
#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "profiles/ProfileDocument.h"

#include <cstdio>

namespace {

struct RunOptions {
    QString Profile;
    bool Remove = false;
    bool SingleCopy = false;
    bool Export = false;
    bool Quiet = false;
    bool Help = false;
    bool NoCache = false;
    QString CacheFile;
};

const char* kUsage =
    "Usage: echofind-cli run NAME [--remove] [--single-copy] [--export] [-q]\n"
    "                        [--no-cache | --cache FILE]\n"
    "\n"
    "Scans the saved profile NAME as the window does (run log and catalogue entry), prints\n"
    "the groups as 'scan' does, then applies the chosen actions with the default marks:\n"
    "the first file of every group is kept, every other file is marked.\n"
    "\n"
    "  --remove         remove the marked files by the profile's remove rule (trash,\n"
    "                   permanent delete, move, zip, or hard links to the kept file of\n"
    "                   each group)\n"
    "  --single-copy    copy the kept files into the profile's single-copy folder\n"
    "  --export         write the report in the profile's format and folder\n"
    "  --no-cache       read every file, neither using nor updating the hash cache\n"
    "  --cache FILE     keep the hash cache in FILE instead of HashCache.sqlite in the\n"
    "                   user's folder\n"
    "  -q, --quiet      no progress line\n"
    "  -h, --help       this text\n"
    "\n"
    "The actions run in that order and the run log is rewritten after each. Nothing is\n"
    "removed without --remove.\n"
    "Exit status: 0 done, 1 done with errors (a file that an action could not handle, a\n"
    "single copy that could not be made), 2 bad usage, 3 the run failed (the profile could\n"
    "not be scanned, or an action could not read its settings and stopped the run).\n";

bool Parse(const QStringList& args, RunOptions& o, QString& error) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        if (arg == u"--cache" || arg.startsWith(u"--cache=")) {
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

// Whether the profile's saved remove rule replaces copies by hard links, which the summary
// then calls what it is: the names stay, so nothing was removed.
bool LinksInsteadOfRemoval(const QString& profile) {
    ProfileSettings settings;
    return ProfileDocument::Load(modCommon::ProfileFolder + profile + QStringLiteral(".xml"),
                                 settings) == Success &&
           settings.DeleteTo == u"hardlink";
}

QString Describe(const QString& what, const ActionSummary& s, bool links) {
    switch (s.Outcome) {
    case ActionRun::Outcome::SettingsUnreadable:
        return what + QStringLiteral(": not done, the profile's settings could not be read");
    case ActionRun::Outcome::Failed:
        return what + QStringLiteral(": stopped by an unexpected error (see the application log)");
    case ActionRun::Outcome::Cancelled:
        return what + QStringLiteral(": cancelled");
    default:
        break;
    }
    QString text = what + QStringLiteral(": ");
    if (what == u"remove")
        text += (links ? QStringLiteral("%1 files acted on, %2 replaced by hard links, %3 flagged")
                       : QStringLiteral("%1 files acted on, %2 removed, %3 flagged"))
                    .arg(s.FilesActedOn)
                    .arg(s.Removed)
                    .arg(s.Flagged);
    else if (what == u"export" && s.ExportFailed)
        text += QStringLiteral("the report could not be written (see the application log)");
    else if (what == u"export")
        text += s.ReportPath.isEmpty() ? QStringLiteral("no report format set in the profile")
                                       : QStringLiteral("report written to ") + s.ReportPath;
    else
        text += QStringLiteral("done");
    return text + QStringLiteral(", %1 errors").arg(s.Errors);
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

    ScanOptions scanOptions;
    scanOptions.Profile = o.Profile;
    scanOptions.Quiet = o.Quiet;
    scanOptions.NoCache = o.NoCache;
    scanOptions.CacheFile = o.CacheFile;
    ResultsModel model;
    ScanOutcome scanned;
    model.SetRedraw(false);
    const int scanStatus = ScanProfile(scanOptions, &model, scanned);
    model.SetRedraw(true);
    if (scanStatus != Done && scanStatus != DoneWithErrors)
        return scanStatus;

    qint64 actionErrors = 0;
    const bool links = o.Remove && LinksInsteadOfRemoval(o.Profile);
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
        const ActionSummary s =
            RunDefaultAction(model, o.Profile, QString::fromLatin1(step.Action));
        Say(Describe(QString::fromLatin1(step.Name), s, links));
        // Without its settings (or after an unexpected stop) the action was not carried
        // out at all: that is a failed run, not one done with a few errors.
        if (s.Outcome == ActionRun::Outcome::SettingsUnreadable ||
            s.Outcome == ActionRun::Outcome::Failed)
            return RunFailed;
        actionErrors += s.Errors;
        if (s.Outcome != ActionRun::Outcome::Finished || s.ExportFailed)
            ++actionErrors;
    }
    return scanStatus == DoneWithErrors || actionErrors > 0 ? DoneWithErrors : Done;
}
