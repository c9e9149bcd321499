// The same rules with the results grid on screen: the rule, the view's handling of the one
// change it hears, and the repaint that follows.

#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "app/modLog.h"
#include "ui/DuplicatesPane.h"
#include "ui/ResultsGrid.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 500000;
    DuplicatesPane pane;
    ResultsModel& model = pane.Model();
    model.SetRedraw(false);
    model.ClearRecs();
    quint64 inode = 1;
    for (qint64 g = 0; g < rows / 4; ++g) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(g);
        const qint64 header = model.AddHeader(name);
        for (int f = 0; f < 3; ++f) {
            const qint64 secs = 1600000000 + (g * 7919 + f * 104729) % 50000000;
            model.AddRow(f == 0,
                         {name, QStringLiteral("/home/someone/%1/%2").arg(f).arg(name), QString(),
                          modLog::DateTextFromSecs(secs), 1000, QStringLiteral("N")},
                         {1, inode++, 1, secs});
        }
        model.UpdateHeadTotal(header, 3000);
        model.UpdateHeader(header, QStringLiteral("3"));
    }
    model.SetRedraw(true);
    pane.resize(1000, 700);
    pane.show();
    app.processEvents();

    using MarkRules::Rule;
    const struct {
        const char* Name;
        MarkRules::Request Request;
    } rules[] = {
        {"keep newest", {Rule::KeepNewest, {}, {}, {}}},
        {"keep oldest", {Rule::KeepOldest, {}, {}, {}}},
        {"unmark matching *", {Rule::UnmarkMatching, {}, QStringLiteral("*"), {}}},
        {"mark under a folder", {Rule::MarkUnder, QStringLiteral("/home/someone/1"), {}, {}}},
    };
    std::printf("%lld rows in the grid\n%-24s %8s %12s %10s\n",
                static_cast<long long>(model.RowCount()), "rule", "rule ms", "+ repaint ms",
                "changed");
    for (const auto& rule : rules) {
        QElapsedTimer t;
        t.start();
        const MarkRules::Outcome out = MarkRules::Apply(model, rule.Request);
        const qint64 ruled = t.elapsed();
        pane.Grid()->viewport()->repaint();
        app.processEvents();
        std::printf("%-24s %8lld %12lld %10lld\n", rule.Name, static_cast<long long>(ruled),
                    static_cast<long long>(t.elapsed()), static_cast<long long>(out.Changed));
    }
    return 0;
}
