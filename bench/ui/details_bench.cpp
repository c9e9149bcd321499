// Whether the details pane keeps the window responsive while previews of large pictures
// are read.
//
//   details_bench [--root DIR] [--steps N]
//
// Makes (once, kept for the next run) a 10000 x 10000 PNG, a 4000 x 4000 PNG that is read
// in full, and some texts under DIR (default /tmp/echofind-details-bench), puts them in
// groups of two, and moves the highlight across all rows every 20 ms for N steps. A 5 ms
// timer on the GUI thread tells the longest time its event loop stood still; the longest
// single Follow() call is reported beside it. Runs offscreen.

#include "ui/DetailsPane.h"

#include "actions/ResultsModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void MakeOnce(const QString& path, const std::function<void()>& make) {
    if (!QFile::exists(path))
        make();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString root = u"/tmp/echofind-details-bench"_s;
    int steps = 400;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--root"_s)
            root = args[i + 1];
        else if (args[i] == u"--steps"_s)
            steps = args[i + 1].toInt();
    }
    QDir().mkpath(root);
    const auto picture = [&](const QString& name, int side, QImage::Format format) {
        const QString path = root + u'/' + name;
        MakeOnce(path, [&] {
            QImage image(side, side, format);
            image.fill(Qt::darkCyan);
            image.save(path);
        });
        return path;
    };
    QStringList files = {picture(u"huge-1.png"_s, 10000, QImage::Format_Mono),
                         picture(u"huge-2.png"_s, 10000, QImage::Format_Mono),
                         picture(u"big-1.png"_s, 4000, QImage::Format_RGB32),
                         picture(u"big-2.png"_s, 4000, QImage::Format_RGB32)};
    for (int i = 0; i < 8; ++i) {
        const QString path = root + u"/text-%1.txt"_s.arg(i);
        MakeOnce(path, [&] {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write(QByteArray("line of text ").repeated(400));
        });
        files << path;
    }

    ResultsModel model;
    for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
        model.AddHeader(files[i]);
        for (int j = 0; j < 2; ++j)
            model.AddRow(j == 0, {.FileName = files[i + j], .FilePath = files[i + j]}, {});
    }
    // Inside a window of its own, as in the program; the offscreen platform complains of
    // every size hint change of a top-level pane.
    QWidget window;
    DetailsPane pane(model, &window);
    window.resize(800, 600);
    pane.resize(800, 600);
    window.show();

    QElapsedTimer sinceTick, followClock, wall;
    qint64 longestStall = 0, longestFollow = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    int step = 0;
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, &app, [&] {
        if (step == steps) {
            app.quit();
            return;
        }
        followClock.start();
        pane.Follow(1 + step++ % model.RowCount());
        longestFollow = std::max(longestFollow, followClock.elapsed());
    });
    wall.start();
    sinceTick.start();
    ticker.start(5);
    mover.start(20);
    app.exec();
    std::printf("%d highlight moves over %lld rows in %lld ms\n"
                "longest GUI stall: %lld ms (5 ms timer), longest Follow(): %lld ms\n",
                steps, model.RowCount(), wall.elapsed(), longestStall, longestFollow);
    return longestStall > 50 ? 1 : 0;
}
