// Times zipping n small files as one action run does (one archive write, then the deletes)
// and, for comparison, one archive write per file as the program used to. Also reports the
// longest gap between two progress calls of the write, which is how long the action window
// could go without repainting or hearing Cancel.
//
//   zip_bench [--root DIR] [--counts 500,1000,2000,4000] [--per-file 250,500,1000]

#include "actions/cls7z.h"
#include "actions/clsCleanup.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QStringList MakeFiles(const QString& folder, int count) {
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/f%1.txt").arg(i, 5, 10, QChar(u'0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        // About 2 KiB of text per file, a little different each time.
        for (int line = 0; line < 32; ++line)
            f.write(QByteArray::number(i * 31 + line).rightJustified(63, '.') + '\n');
        files << path;
    }
    return files;
}

QList<int> Counts(const QStringList& args, const QString& option, QList<int> fallback) {
    const qsizetype at = args.indexOf(option);
    if (at < 0 || at + 1 >= args.size())
        return fallback;
    QList<int> counts;
    for (const QString& n : args[at + 1].split(u',', Qt::SkipEmptyParts))
        counts << n.toInt();
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir temp(args.contains(QStringLiteral("--root"))
                           ? args[args.indexOf(QStringLiteral("--root")) + 1] +
                                 QStringLiteral("/zip-bench-XXXXXX")
                           : QDir::tempPath() + QStringLiteral("/zip-bench-XXXXXX"));
    if (!temp.isValid())
        qFatal("no temporary folder");
    const QString root = temp.path();
    modCommon::SetPaths(root + QStringLiteral("/app"), QStringLiteral("bench"));

    std::printf("one write per run (the action run's way), files of about 2 KiB\n");
    std::printf("%8s %12s %14s %16s %16s\n", "files", "total ms", "us per file", "longest gap ms",
                "entries");
    for (const int n : Counts(args, QStringLiteral("--counts"), {500, 1000, 2000, 4000})) {
        const QString set = root + QStringLiteral("/batch%1").arg(n);
        const QStringList files = MakeFiles(set + QStringLiteral("/src"), n);
        clsCleanup cleanup;
        cleanup.DeleteTo = QStringLiteral("zip");
        cleanup.TargetFolder = set + QStringLiteral("/zips");
        cleanup.ProfileName = QStringLiteral("Bench");
        modLog::RunStats.ActionDetails.clear();

        QElapsedTimer total, gap;
        qint64 longestGap = 0;
        total.start();
        gap.start();
        cleanup.BeginZipBatch();
        for (const QString& f : files)
            cleanup.DeleteFile(f);
        cleanup.CommitZipBatch([&](double) {
            longestGap = qMax(longestGap, gap.restart());
            return true;
        });
        const qint64 ms = total.elapsed();
        const int left = int(QDir(set + QStringLiteral("/src")).entryList(QDir::Files).size());
        if (left != 0)
            std::printf("  %d files were not removed\n", left);
        std::printf("%8d %12lld %14.1f %16lld %16lld\n", n, static_cast<long long>(ms),
                    1000.0 * double(ms) / n, static_cast<long long>(longestGap),
                    static_cast<long long>(modLog::RunStats.ActionDetails.size() / 2));
        QDir(set).removeRecursively();
    }

    std::printf("\none write per file (as before), the archive only, files kept\n");
    std::printf("%8s %12s %14s\n", "files", "total ms", "us per file");
    for (const int n : Counts(args, QStringLiteral("--per-file"), {250, 500, 1000})) {
        const QString set = root + QStringLiteral("/single%1").arg(n);
        const QStringList files = MakeFiles(set + QStringLiteral("/src"), n);
        QElapsedTimer total;
        total.start();
        cls7z zipper;
        for (const QString& f : files)
            zipper.Archive(set + QStringLiteral("/zips/Bench"), f);
        const qint64 ms = total.elapsed();
        std::printf("%8d %12lld %14.1f\n", n, static_cast<long long>(ms), 1000.0 * double(ms) / n);
        QDir(set).removeRecursively();
    }
    return 0;
}
