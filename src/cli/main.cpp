// echofind-cli: the scan engine without a window, for scripts and measurements. Each
// subcommand lives in its own file; this only dispatches.

#include "RunCommand.h"
#include "ScanCommand.h"
#include "UndoCommand.h"

#include "app/PathCodec.h"
#include "app/modAPI_scan.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <map>

namespace {

const char* kUsage = "Usage: echofind-cli COMMAND [options]\n"
                     "\n"
                     "Commands:\n"
                     "  scan    find duplicate files in folders or by a saved profile\n"
                     "  run     scan a saved profile and act on its duplicates\n"
                     "  undo    put back what the last action run of a profile removed\n"
                     "\n"
                     "'echofind-cli COMMAND --help' describes a command.\n";

} // namespace

int main(int argc, char* argv[]) {
    modAPI::LimitMemoryPools();
    QCoreApplication app(argc, argv);
    // Taken as bytes: Qt's own list decodes a folder name that is not UTF-8 lossily.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << PathCodec::Decode(QByteArrayView(argv[i]));
    static const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {QStringLiteral("scan"), RunScanCommand},
        {QStringLiteral("run"), RunRunCommand},
        {QStringLiteral("undo"), RunUndoCommand},
    };
    if (args.isEmpty() || args[0] == u"--help" || args[0] == u"-h") {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::fprintf(stderr, "echofind-cli: unknown command \"%s\"\n%s",
                     PathCodec::Display(args[0]).toLocal8Bit().constData(), kUsage);
        return 2;
    }
    return it->second(args.mid(1));
}
