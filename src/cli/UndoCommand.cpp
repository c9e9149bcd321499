#include "UndoCommand.h"

#include "ProfileScan.h"

#include "actions/UndoRun.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"

#include <cstdio>

namespace {

const char* kUsage =
    "Usage: echofind-cli undo NAME [--wait] [-q]\n"
    "\n"
    "Puts back what the last action run of the saved profile NAME removed, as the\n"
    "profile's journal (Log/NAME.journal) tells: trashed files come back from the trash,\n"
    "moved files from the move folder, zipped files out of the archive (which is rewritten\n"
    "without them), and files replaced by hard links or shared blocks get a file of their\n"
    "own again, with their permissions, owner and modified time. Files deleted\n"
    "permanently cannot come back.\n"
    "\n"
    "Nothing is ever written over a file: a file whose place has been taken since, or\n"
    "whose stored copy changed since the run, stays where it is and is named in the\n"
    "output; clear the way and run the undo again. An undo notes in the journal what came\n"
    "back, so running it again (also after it was stopped) does only what is left.\n"
    "One line per file goes to the standard output:\n"
    "  back: PATH                 it is at its place again\n"
    "  already back: PATH         an earlier undo brought it back\n"
    "  skipped: PATH - WHY        left where it is\n"
    "  failed: PATH - WHY         could not be put back; everything is as it was\n"
    "  deleted: PATH              deleted permanently: it cannot come back\n"
    "  unknown: PATH - WHY        the journal does not say enough to bring it back\n"
    "followed by a summary on the standard error. The run log of the profile is\n"
    "rewritten with what the undo did.\n"
    "\n"
    "  --wait           when another action run of this application folder is going on,\n"
    "                   wait for it to end instead of giving up with exit status 4\n"
    "  -q, --quiet      no line per file, only the summary\n"
    "  -h, --help       this text\n"
    "\n"
    "Exit status: 0 every file of the run is back (now or by an earlier undo), 1 some files\n"
    "did not come back (skipped, failed, deleted permanently or unknown), 2 bad usage,\n"
    "3 nothing could be undone (no such profile, no action run in its journal, or the\n"
    "journal could not be read or written), 4 another action run of this application\n"
    "folder was in progress and nothing was done (see --wait).\n";

void Say(const QString& text) {
    std::fprintf(stderr, "%s\n", PathCodec::Display(text).toLocal8Bit().constData());
}

// The path as its bytes, so that a script gets back exactly the name it can use.
void PrintLine(const char* what, const UndoRun::FileResult& r, bool why) {
    std::fputs(what, stdout);
    const QByteArray path = PathCodec::Encode(r.Path);
    std::fwrite(path.constData(), 1, size_t(path.size()), stdout);
    if (why) {
        const QString text = r.Text;
        std::fputs(" - ", stdout);
        std::fputs(text.toUtf8().constData(), stdout);
    }
    std::fputc('\n', stdout);
}

} // namespace

int RunUndoCommand(const QStringList& args) {
    QString profile;
    bool wait = false;
    bool quiet = false;
    for (const QString& arg : args) {
        if (arg == u"-h" || arg == u"--help") {
            std::fputs(kUsage, stdout);
            return Done;
        }
        if (arg == u"--wait") {
            wait = true;
        } else if (arg == u"-q" || arg == u"--quiet") {
            quiet = true;
        } else if (arg.startsWith(u'-')) {
            Say(QStringLiteral("echofind-cli undo: unknown option ") + arg +
                QStringLiteral("\nTry 'echofind-cli undo --help'."));
            return BadUsage;
        } else if (profile.isEmpty()) {
            profile = arg;
        } else {
            Say(QStringLiteral("echofind-cli undo: one profile name only\nTry 'echofind-cli undo "
                               "--help'."));
            return BadUsage;
        }
    }
    if (profile.isEmpty()) {
        Say(QStringLiteral("echofind-cli undo: no profile name\nTry 'echofind-cli undo --help'."));
        return BadUsage;
    }
    if (modCommon::InitApp(Messages()) != 1)
        return RunFailed;
    bool exists = false;
    modAPI::MyPathFileExists(modCommon::ProfileFolder + profile + QStringLiteral(".xml"), exists);
    if (!exists) {
        Say(QStringLiteral("echofind-cli undo: no profile \"") + profile + u'"');
        return RunFailed;
    }

    UndoRun undo;
    switch (undo.Execute(profile, wait)) {
    case UndoRun::Outcome::Busy:
        Say(QStringLiteral("echofind-cli undo: another action run is in progress; nothing was "
                           "done (--wait queues behind it)"));
        return AnotherRun;
    case UndoRun::Outcome::NothingToUndo:
        Say(QStringLiteral("echofind-cli undo: the journal of \"") + profile +
            QStringLiteral("\" holds no action run to undo"));
        return RunFailed;
    default:
        break;
    }
    if (!quiet) {
        for (const UndoRun::FileResult& r : undo.Results()) {
            switch (r.What) {
            case UndoRun::State::Back:
                PrintLine("back: ", r, false);
                break;
            case UndoRun::State::AlreadyBack:
                PrintLine("already back: ", r, false);
                break;
            case UndoRun::State::Skipped:
                PrintLine("skipped: ", r, true);
                break;
            case UndoRun::State::Failed:
                PrintLine("failed: ", r, true);
                break;
            case UndoRun::State::Deleted:
                PrintLine("deleted: ", r, false);
                break;
            case UndoRun::State::Unknown:
                PrintLine("unknown: ", r, true);
                break;
            }
        }
        std::fflush(stdout);
    }
    const qint64 back = undo.CountOf(UndoRun::State::Back);
    const qint64 before = undo.CountOf(UndoRun::State::AlreadyBack);
    const qint64 skipped =
        undo.CountOf(UndoRun::State::Skipped) + undo.CountOf(UndoRun::State::Failed);
    const qint64 cannot =
        undo.CountOf(UndoRun::State::Deleted) + undo.CountOf(UndoRun::State::Unknown);
    Say(QStringLiteral("undo: %1 back, %2 already back, %3 not put back, %4 cannot come back")
            .arg(back)
            .arg(before)
            .arg(skipped)
            .arg(cannot));
    if (!undo.Error().isEmpty()) {
        Say(QStringLiteral("echofind-cli undo: stopped: ") + undo.Error());
        return RunFailed;
    }
    if (undo.RunLogFailed())
        Say(QStringLiteral("echofind-cli undo: the run log of \"") + profile +
            QStringLiteral("\" could not be rewritten"));
    return undo.NotBack() > 0 ? DoneWithErrors : Done;
}
