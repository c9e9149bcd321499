// Times every marking rule over a results model filled as a scan fills it: groups of
// files with a header each, half a million rows by default.

#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "app/modLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Fill(ResultsModel& model, qint64 rows, int perGroup) {
    model.SetRedraw(false);
    model.ClearRecs();
    const qint64 groups = rows / (perGroup + 1);
    quint64 inode = 1;
    for (qint64 g = 0; g < groups; ++g) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(g);
        const qint64 header = model.AddHeader(name);
        for (int f = 0; f < perGroup; ++f) {
            // Folders of differing depth and files of differing age, so every rule has a
            // choice to make.
            const QString path = QStringLiteral("/home/someone/%1/%2/%3")
                                     .arg(f == 0 ? QStringLiteral("Pictures")
                                                 : QStringLiteral("Backup/old/%1").arg(f))
                                     .arg(g % 97)
                                     .arg(name);
            const qint64 secs = 1600000000 + (g * 7919 + f * 104729) % 50000000;
            model.AddRow(f == 0,
                         {name, path, modLog::DateTextFromSecs(secs),
                          modLog::DateTextFromSecs(secs), 123456 + g % 1000, QStringLiteral("N"),
                          QStringLiteral("0A1B2C3D")},
                         {1, inode++, secs * 1000000000, secs});
        }
        model.UpdateHeadTotal(header, (123456 + g % 1000) * perGroup);
        model.UpdateHeader(header, QString::number(perGroup));
    }
    model.SetRedraw(true);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    qint64 rows = 500000;
    int perGroup = 3;
    int repeats = 5;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--rows")
            rows = args[i + 1].toLongLong();
        else if (args[i] == u"--per-group")
            perGroup = std::max(2, args[i + 1].toInt());
        else if (args[i] == u"--repeats")
            repeats = std::max(1, args[i + 1].toInt());
    }

    ResultsModel model;
    QElapsedTimer fill;
    fill.start();
    Fill(model, rows, perGroup);
    std::printf("%lld rows (%d files a group), filled in %lld ms\n",
                static_cast<long long>(model.RowCount()), perGroup,
                static_cast<long long>(fill.elapsed()));

    using MarkRules::Rule;
    const QStringList prot{QStringLiteral("/home/someone/Backup/old/2")};
    // Each rule starts from the same marks every time: the scan's (the first file of a
    // group kept), or none at all for the rules that mark.
    const MarkRules::Request scanMarks{
        Rule::KeepFirstUnder, QStringLiteral("/home/someone/Pictures"), {}, {}};
    const MarkRules::Request noMarks{Rule::UnmarkMatching, {}, QStringLiteral("*"), {}};
    const struct {
        const char* Name;
        MarkRules::Request Request;
        const MarkRules::Request& From;
    } rules[] = {
        {"keep newest", {Rule::KeepNewest, {}, {}, {}}, scanMarks},
        {"keep oldest", {Rule::KeepOldest, {}, {}, {}}, scanMarks},
        {"keep shortest path", {Rule::KeepShortestPath, {}, {}, {}}, noMarks},
        {"keep longest path", {Rule::KeepLongestPath, {}, {}, {}}, scanMarks},
        {"keep newest, one protected folder", {Rule::KeepNewest, {}, {}, prot}, scanMarks},
        {"keep first under a folder",
         {Rule::KeepFirstUnder, QStringLiteral("/home/someone/Backup"), {}, {}},
         scanMarks},
        {"mark under a folder",
         {Rule::MarkUnder, QStringLiteral("/home/someone/Backup"), {}, {}},
         noMarks},
        {"unmark under a folder",
         {Rule::UnmarkUnder, QStringLiteral("/home/someone/Backup"), {}, {}},
         scanMarks},
        {"mark matching *5.jpg", {Rule::MarkMatching, {}, QStringLiteral("*5.jpg"), {}}, noMarks},
        {"unmark matching *5.jpg",
         {Rule::UnmarkMatching, {}, QStringLiteral("*5.jpg"), {}},
         scanMarks},
    };
    std::printf("%-36s %8s %8s %10s\n", "rule", "best ms", "worst ms", "changed");
    for (const auto& rule : rules) {
        qint64 best = -1, worst = 0, changed = 0;
        for (int r = 0; r < repeats; ++r) {
            MarkRules::Apply(model, rule.From);
            QElapsedTimer t;
            t.start();
            const MarkRules::Outcome out = MarkRules::Apply(model, rule.Request);
            const qint64 ms = t.elapsed();
            best = best < 0 ? ms : std::min(best, ms);
            worst = std::max(worst, ms);
            changed = out.Changed;
        }
        std::printf("%-36s %8lld %8lld %10lld\n", rule.Name, static_cast<long long>(best),
                    static_cast<long long>(worst), static_cast<long long>(changed));
    }
    MarkRules::Apply(model, noMarks);
    QElapsedTimer t;
    t.start();
    const MarkRules::Outcome range = MarkRules::MarkRange(model, 1, model.RowCount(), {});
    std::printf("%-36s %8lld %8s %10lld\n", "range over every row",
                static_cast<long long>(t.elapsed()), "", static_cast<long long>(range.Changed));
    return 0;
}
