// How responsive the scan window stays and how fast the results grid fills.
//
//   ui_bench [--root DIR] [--tree N] [--flat N] [--rows N] [--keep]
//
// Makes a nested tree of about N files and one flat folder of N files under DIR (default
// /tmp/echofind-ui-bench; not /dev/shm, which sits under /dev and so counts as a virtual
// file system the scan never enters), runs each through the scan window as a person would, and
// reports the longest time the engine went without a chance to hear Cancel, the longest
// time the window's own event loop stood still, and how long Cancel took to stop a run.
// Then it fills the grid with --rows rows from a recording, as the window does after a
// scan, and scrolls through it. Runs on any Qt platform; offscreen is fine.

#include "ui/DuplicatesPane.h"
#include "ui/GroupRecorder.h"
#include "ui/ResultsGrid.h"
#include "ui/ReviewBar.h"
#include "ui/ScanRun.h"
#include "ui/frmProgress.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ProfileDocument.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include <unistd.h>

namespace {

// CPU time of the calling thread: on a shared machine wall times swing with the load,
// this does not.
qint64 ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class AnswerYes final : public MessageService {
public:
    Answer Present(const Message& m) override {
        return m.Choice == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
};

// Content shared by every `modulo`-th file, so the scan has real groups to hash and form.
void WriteFile(const QByteArray& path, int i, int modulo) {
    std::FILE* f = std::fopen(path.constData(), "wb");
    if (!f)
        return;
    const QByteArray body = "content " + QByteArray::number(i % modulo) + '\n' +
                            QByteArray(64 + (i % modulo) % 900, 'x');
    std::fwrite(body.constData(), 1, size_t(body.size()), f);
    std::fclose(f);
}

// About `files` files in 10 x 10 x 10 folders.
void MakeTree(const QString& root, int files) {
    const int perFolder = std::max(1, files / 1000);
    int n = 0;
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            for (int c = 0; c < 10; ++c) {
                const QString dir = root + QStringLiteral("/%1/%2/%3").arg(a).arg(b).arg(c);
                QDir().mkpath(dir);
                const QByteArray base = PathCodec::Encode(dir) + "/f";
                for (int i = 0; i < perFolder; ++i, ++n)
                    WriteFile(base + QByteArray::number(i) + ".dat", n, files / 4);
            }
}

void MakeFlat(const QString& root, int files) {
    QDir().mkpath(root);
    const QByteArray base = PathCodec::Encode(root) + "/f";
    for (int i = 0; i < files; ++i)
        WriteFile(base + QByteArray::number(i) + ".dat", i, files / 4);
}

// `count` copies of one file of `megabytes` MiB: every byte of each is hashed.
void MakeBig(const QString& root, int count, int megabytes) {
    QDir().mkpath(root);
    QByteArray block(1 << 20, 'b');
    for (int i = 0; i < count; ++i) {
        std::FILE* f = std::fopen(
            PathCodec::Encode(root + QStringLiteral("/big%1.bin").arg(i)).constData(), "wb");
        if (!f)
            return;
        for (int m = 0; m < megabytes; ++m) {
            block[0] = char(m);
            std::fwrite(block.constData(), 1, size_t(block.size()), f);
        }
        std::fclose(f);
    }
}

// everything: hidden and read-only files too, as bench/run scans.
QString WriteProfile(const QString& name, const QString& folder,
                     const QString& type = QStringLiteral("crc"), bool everything = false) {
    ProfileSettings s;
    s.Folders = {folder};
    s.IncludeSubFolder = true;
    s.MatchName = false;
    s.MatchSize = true;
    s.MatchContent = true;
    s.MatchType = type;
    s.IgnoreHidden = !everything && s.IgnoreHidden;
    s.IgnoreReadOnly = !everything && s.IgnoreReadOnly;
    const QString path = modCommon::ProfileFolder + name + QStringLiteral(".xml");
    ProfileDocument::Save(path, s);
    return path;
}

struct RunFacts {
    qint64 TotalMs = 0;
    qint64 EventLoopGapMs = 0;
    qint64 CancelMs = -1;
    QString CancelledDuring;
    qint64 GroupingFromMs = -1; // the window shows that it analyses
    qint64 FillDoneMs = -1;     // the window shows "Processing over"
    qint64 Files = 0;
    qint64 Rows = 0;
};

// One run through the window; cancelAfterMs >= 0 presses Cancel that long after the start.
RunFacts RunWindow(const QString& profile, ResultsModel& model, qint64 cancelAfterMs) {
    RunFacts facts;
    modLog::ResetRunStats();
    frmProgress window;
    window.SetProfilePath(profile);
    window.SetResults(&model);
    auto* progress = window.findChild<QLabel*>(QStringLiteral("lblProgress"));

    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QElapsedTimer sinceCancel;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, &window, [&] {
        facts.EventLoopGapMs = std::max(facts.EventLoopGapMs, sinceTick.restart());
        const QString text = progress->text();
        if (facts.GroupingFromMs < 0 && text.startsWith(QStringLiteral("Analysing")))
            facts.GroupingFromMs = clock.elapsed();
        if (facts.FillDoneMs < 0 && text == QStringLiteral("Processing over"))
            facts.FillDoneMs = clock.elapsed();
        if (cancelAfterMs >= 0 && !sinceCancel.isValid() && clock.elapsed() >= cancelAfterMs) {
            facts.CancelledDuring = facts.GroupingFromMs >= 0 ? QStringLiteral("grouping or fill")
                                    : text.startsWith(QStringLiteral("Processing."))
                                        ? QStringLiteral("signatures and sort")
                                        : QStringLiteral("walk");
            sinceCancel.start();
            window.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        }
    });
    clock.start();
    sinceTick.start();
    probe.start();
    window.exec();
    facts.TotalMs = clock.elapsed();
    if (sinceCancel.isValid())
        facts.CancelMs = sinceCancel.elapsed();
    facts.Files = modLog::RunStats.FilesProcessed;
    facts.Rows = model.RowCount();
    return facts;
}

// The engine alone on a worker thread, as the window runs it: how long each stage takes
// and the longest pause between two chances to hear Cancel within it.
void ReportStages(const QString& profile) {
    modLog::ResetRunStats();
    ScanRun run(profile);
    QElapsedTimer clock;
    qint64 stageStart[ScanRun::StageCount] = {0, -1, -1};
    std::unique_ptr<QThread> worker(QThread::create([&run] { run.Run(); }));
    clock.start();
    worker->start();
    while (!worker->wait(1)) {
        const int stage = int(run.CurrentStage());
        if (stageStart[stage] < 0)
            stageStart[stage] = clock.elapsed();
    }
    const qint64 end = clock.elapsed();
    static const char* const Names[] = {"walk", "signatures and sort", "grouping"};
    for (int s = 0; s < ScanRun::StageCount; ++s) {
        if (stageStart[s] < 0)
            continue;
        qint64 until = end;
        for (int n = s + 1; n < ScanRun::StageCount; ++n) {
            if (stageStart[n] >= 0) {
                until = stageStart[n];
                break;
            }
        }
        std::printf("  %-20s %6lld ms, longest gap between yields %lld ms\n", Names[s],
                    static_cast<long long>(until - stageStart[s]),
                    static_cast<long long>(run.LongestYieldGapMs(ScanRun::Stage(s))));
    }
}

void ReportScan(const char* what, const QString& profile, ResultsModel& model,
                const QString& folder = {}, bool coldHashCache = false) {
    // The first run warms the page cache; the second is the one reported. Large files are
    // read each time: with the hash cache warm there would be nothing to read.
    const auto forget = [&] {
        // Read from the disk, not the page cache, where the machine lets us say so.
        if (coldHashCache) {
            ::sync();
            if (std::FILE* drop = std::fopen("/proc/sys/vm/drop_caches", "w")) {
                std::fputs("3\n", drop);
                std::fclose(drop);
            }
        }
        // A new change time is a new key: the cache has nothing for the files.
        if (coldHashCache)
            for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files)) {
                QFile file(f.filePath());
                if (file.open(QIODevice::ReadWrite))
                    file.setFileTime(QDateTime::currentDateTime(),
                                     QFileDevice::FileModificationTime);
            }
    };
    forget();
    const RunFacts first = RunWindow(profile, model, -1);
    if (coldHashCache)
        std::printf("first run: window open %lld ms, longest stall of its event loop %lld ms\n",
                    static_cast<long long>(first.TotalMs),
                    static_cast<long long>(first.EventLoopGapMs));
    forget();
    const RunFacts full = RunWindow(profile, model, -1);
    forget();
    std::printf("%s: %lld files, %lld grid rows, window open %lld ms (grouping from %lld ms, "
                "grid filled at %lld ms); longest stall of the window's event loop %lld ms\n",
                what, static_cast<long long>(full.Files), static_cast<long long>(full.Rows),
                static_cast<long long>(full.TotalMs), static_cast<long long>(full.GroupingFromMs),
                static_cast<long long>(full.FillDoneMs),
                static_cast<long long>(full.EventLoopGapMs));
    ReportStages(profile);
    for (double share : {0.05, 0.15, 0.4, 0.7}) {
        const RunFacts cancelled = RunWindow(profile, model, qint64(double(full.TotalMs) * share));
        forget();
        std::printf("  Cancel at %lld ms (%s): window closed %lld ms later, event loop stall "
                    "%lld ms\n",
                    static_cast<long long>(double(full.TotalMs) * share),
                    cancelled.CancelledDuring.toLatin1().constData(),
                    static_cast<long long>(cancelled.CancelMs),
                    static_cast<long long>(cancelled.EventLoopGapMs));
    }
    std::fflush(stdout);
}

void ReportFill(int rows) {
    GroupRecorder recorder;
    recorder.ClearRecs();
    // Groups of one header and four files, with texts of a realistic length: 500,000 rows
    // are 100,000 groups.
    const int groups = rows / 5;
    for (int g = 0; g < groups; ++g) {
        const QString name = QStringLiteral("holiday-photo-%1.jpg").arg(g);
        const qint64 header = recorder.AddHeader(name);
        for (int f = 0; f < 4; ++f)
            recorder.AddRow(
                f == 0,
                {name, QStringLiteral("/home/someone/Pictures/%1/2026/%2").arg(f).arg(name),
                 QStringLiteral("2026-12-06 18:39:43"), QStringLiteral("2026-12-06 18:39:43"),
                 1234567 + g, QStringLiteral("N"), QStringLiteral("0A1B2C3D"),
                 QStringLiteral("0123456789abcdef0123456789abcdef")},
                {});
        recorder.UpdateHeadTotal(header, 4 * (1234567 + g));
        recorder.UpdateHeader(header, QStringLiteral("4"));
    }

    DuplicatesPane pane;
    pane.resize(1200, 700);
    pane.show();
    QCoreApplication::processEvents();
    ResultsModel& model = pane.Model();

    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = ThreadCpuMs();
    model.ClearRecs();
    model.SetRedraw(false);
    for (size_t from = 0; from < recorder.Size();)
        from = recorder.Replay(model, from, 4096);
    const qint64 replayMs = clock.elapsed();
    model.SetRedraw(true);
    model.SetCurrent(1, 1);
    pane.Grid()->viewport()->repaint();
    const qint64 fillMs = clock.elapsed();
    const qint64 fillCpuMs = ThreadCpuMs() - cpuBefore;

    QScrollBar* bar = pane.Grid()->verticalScrollBar();
    qint64 worstScrollMs = 0;
    clock.restart();
    constexpr int Steps = 200;
    for (int s = 0; s <= Steps; ++s) {
        QElapsedTimer one;
        one.start();
        bar->setValue(int(qint64(bar->maximum()) * s / Steps));
        pane.Grid()->viewport()->repaint();
        worstScrollMs = std::max(worstScrollMs, one.elapsed());
    }
    const qint64 scrollMs = clock.elapsed();
    clock.restart();
    pane.Model().CollExpRows(model.RowCount() - 3);
    QCoreApplication::processEvents();
    const qint64 collapseMs = clock.elapsed();
    std::printf("grid fill: %lld rows in %lld ms, %lld ms of CPU (replay %lld ms, reset and first "
                "paint %lld ms); %d scroll jumps with repaint in %lld ms, worst %lld ms; collapse "
                "of the last "
                "group %lld ms\n",
                static_cast<long long>(model.RowCount()), static_cast<long long>(fillMs),
                static_cast<long long>(fillCpuMs), static_cast<long long>(replayMs),
                static_cast<long long>(fillMs - replayMs), Steps + 1,
                static_cast<long long>(scrollMs), static_cast<long long>(worstScrollMs),
                static_cast<long long>(collapseMs));

    // Review: each character typed in the filter box, then each order of the Sort menu,
    // timed to the grid repainted.
    QLineEdit* filter = pane.Review()->FilterBox();
    qint64 worstKeyMs = 0;
    for (const QChar c : QStringLiteral("Photo-12")) {
        clock.restart();
        filter->setText(filter->text() + c);
        pane.Grid()->viewport()->repaint();
        worstKeyMs = std::max(worstKeyMs, clock.elapsed());
    }
    const QString shown = pane.Review()->ShowingText();
    clock.restart();
    filter->clear();
    pane.Grid()->viewport()->repaint();
    const qint64 clearMs = clock.elapsed();
    std::printf("filter: worst keystroke %lld ms (%s), cleared in %lld ms\n",
                static_cast<long long>(worstKeyMs), qPrintable(shown),
                static_cast<long long>(clearMs));
    using Sort = ResultsModel::GroupSort;
    for (const auto& [by, name] : {std::pair{Sort::Size, "total size"},
                                   {Sort::Count, "copies"},
                                   {Sort::Name, "name"},
                                   {Sort::KeptPath, "kept path"},
                                   {Sort::Original, "original order"}}) {
        clock.restart();
        pane.Review()->SortBy(by, by == Sort::Size);
        pane.Grid()->viewport()->repaint();
        std::printf("sort by %s: %lld ms\n", name, static_cast<long long>(clock.elapsed()));
    }
    std::fflush(stdout);
}

} // namespace

// Run > Execute to the grid filled in the window against echofind-cli's scan of the same
// profile, both with an empty hash cache and again with the cache the run filled; the
// rounds take turns so a busy neighbour slows both alike. The first round warms up.
void CompareWithCli(const QString& folder, int runs, ResultsModel& model) {
    const QString profile =
        WriteProfile(QStringLiteral("cli"), folder, QStringLiteral("crc"), true);
    const QString cache = modCommon::UserPath + QStringLiteral("HashCache.sqlite");
    const auto forgetCache = [&] {
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(cache + QLatin1String(suffix));
    };
    const auto cli = [&] {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ECHOFIND_HOME"), modCommon::AppPath);
        p.setProcessEnvironment(env);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/echofind-cli"),
                {QStringLiteral("scan"), QStringLiteral("--profile"), QStringLiteral("cli"),
                 QStringLiteral("-q")});
        p.waitForFinished(-1);
        return clock.elapsed();
    };
    std::vector<qint64> windowFirst, windowSecond, cliFirst, cliSecond;
    for (int round = 0; round <= runs; ++round) {
        forgetCache();
        const qint64 w1 = RunWindow(profile, model, -1).TotalMs;
        const qint64 w2 = RunWindow(profile, model, -1).TotalMs;
        forgetCache();
        const qint64 c1 = cli();
        const qint64 c2 = cli();
        if (round == 0)
            continue;
        windowFirst.push_back(w1);
        windowSecond.push_back(w2);
        cliFirst.push_back(c1);
        cliSecond.push_back(c2);
    }
    const auto median = [](std::vector<qint64> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? qint64(0) : v[v.size() / 2];
    };
    const qint64 w1 = median(windowFirst), w2 = median(windowSecond);
    const qint64 c1 = median(cliFirst), c2 = median(cliSecond);
    double load[3] = {};
    ::getloadavg(load, 3);
    std::printf("%s, %lld grid rows, median of %d, load %.2f %.2f %.2f\n"
                "  first run (empty hash cache): window %lld ms, echofind-cli %lld ms, "
                "ratio %.2f\n"
                "  second run (cache warm):      window %lld ms, echofind-cli %lld ms, "
                "ratio %.2f\n",
                qPrintable(folder), static_cast<long long>(model.RowCount()), runs, load[0],
                load[1], load[2], static_cast<long long>(w1), static_cast<long long>(c1),
                c1 ? double(w1) / double(c1) : 0.0, static_cast<long long>(w2),
                static_cast<long long>(c2), c2 ? double(w2) / double(c2) : 0.0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString root = QStringLiteral("/tmp/echofind-ui-bench");
    int treeFiles = 100000;
    int flatFiles = 200000;
    int rows = 500000;
    int bigFiles = 0;
    int bigMegabytes = 1024;
    bool keep = false;
    QString scanFolder;
    int scanRuns = 3;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--root") && hasValue)
            root = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--tree") && hasValue)
            treeFiles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--flat") && hasValue)
            flatFiles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--rows") && hasValue)
            rows = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--big") && hasValue)
            bigFiles = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--big-mb") && hasValue)
            bigMegabytes = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--keep"))
            keep = true;
        else if (!std::strcmp(argv[i], "--scan") && hasValue)
            scanFolder = PathCodec::Decode(QByteArrayView(argv[++i]));
        else if (!std::strcmp(argv[i], "--scan-runs") && hasValue)
            scanRuns = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: ui_bench [--root DIR] [--tree N] [--flat N] "
                                 "[--rows N] [--big N [--big-mb M]] [--keep]\n"
                                 "       ui_bench --scan FOLDER [--scan-runs N] [--root DIR]\n");
            return 2;
        }
    }
    AnswerYes answers;
    SetMessageService(&answers);
    // echofind-cli finds the profile under the name of the user running it.
    QString user = QStringLiteral("bench");
    if (!scanFolder.isEmpty())
        modAPI::MyGetUserName(user);
    modCommon::SetPaths(root + QStringLiteral("/app"), user);
    QDir().mkpath(modCommon::ProfileFolder);
    QDir().mkpath(modCommon::LogPath);
    QDir().mkpath(modCommon::AppPath + QStringLiteral("Log"));

    DuplicatesPane pane;
    if (!scanFolder.isEmpty()) {
        // On screen, as after Run > Execute: the grid repaints as its model fills.
        pane.resize(1200, 800);
        pane.show();
        CompareWithCli(scanFolder, scanRuns, pane.Model());
        SetMessageService(nullptr);
        if (!keep)
            QDir(root).removeRecursively();
        return 0;
    }
    if (treeFiles > 0) {
        const QString dir = root + QStringLiteral("/tree");
        if (!QDir(dir).exists())
            MakeTree(dir, treeFiles);
        ReportScan("nested tree", WriteProfile(QStringLiteral("tree"), dir), pane.Model());
    }
    if (flatFiles > 0) {
        const QString dir = root + QStringLiteral("/flat");
        if (!QDir(dir).exists())
            MakeFlat(dir, flatFiles);
        ReportScan("flat folder", WriteProfile(QStringLiteral("flat"), dir), pane.Model());
    }
    if (bigFiles > 0) {
        // Large files read whole, by MD5: the window must not stand still within a file.
        const QString dir = root + QStringLiteral("/big");
        if (!QDir(dir).exists())
            MakeBig(dir, bigFiles, bigMegabytes);
        ReportScan("large files, MD5",
                   WriteProfile(QStringLiteral("big"), dir, QStringLiteral("md5")), pane.Model(),
                   dir, true);
    }
    if (rows > 0)
        ReportFill(rows);
    SetMessageService(nullptr);
    if (!keep)
        QDir(root).removeRecursively();
    return 0;
}
