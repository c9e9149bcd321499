// The picture of the duplicates pane in the documentation: a real scan of a small made-up
// tree through the scan window, a few marks changed, one group collapsed.
//
//   grid_screenshot OUT.png [--dark]

#include "ui/DuplicatesPane.h"
#include "ui/ResultsGrid.h"
#include "ui/frmProgress.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"
#include "app/modCommon.h"
#include "profiles/ProfileDocument.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

class Silent final : public MessageService {
public:
    Answer Present(const Message& m) override { return m.Default; }
};

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2a));
    p.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    return p;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: grid_screenshot OUT.png [--dark]\n");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc > 2 && !std::strcmp(argv[2], "--dark"))
        QApplication::setPalette(DarkPalette());
    Silent silent;
    SetMessageService(&silent);

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/demo-XXXXXX"));
    const QString root = dir.path() + QStringLiteral("/");
    modCommon::SetPaths(root + QStringLiteral("app"), QStringLiteral("ann"));
    QDir().mkpath(modCommon::ProfileFolder);
    QDir().mkpath(modCommon::LogPath);
    QDir().mkpath(modCommon::AppPath + QStringLiteral("Log"));

    const QString home = root + QStringLiteral("home/ann/");
    const QByteArray photo(48213, 'p');
    const QByteArray report = "Quarterly report, final version\n";
    const QByteArray song(3145728 / 64, 's');
    Write(home + QStringLiteral("Pictures/2025/Summer/IMG_0412.jpg"), photo);
    Write(home + QStringLiteral("Backup/Phone/IMG_0412.jpg"), photo);
    Write(home + QStringLiteral("Desktop/IMG_0412.jpg"), photo);
    Write(home + QStringLiteral("Documents/Work/report-q3.odt"), report);
    Write(home + QStringLiteral("Downloads/report-q3.odt"), report);
    Write(home + QStringLiteral("Music/Album/03 Intro.ogg"), song);
    Write(home + QStringLiteral("Backup/Music/03 Intro.ogg"), song);
    Write(home + QStringLiteral("Documents/notes.txt"), "only one of these");

    ProfileSettings s;
    s.Folders = {home};
    s.IncludeSubFolder = true;
    s.MatchName = true;
    s.MatchSize = true;
    s.MatchContent = true;
    s.MatchType = QStringLiteral("md5");
    const QString profile = modCommon::ProfileFolder + QStringLiteral("Home.xml");
    ProfileDocument::Save(profile, s);

    DuplicatesPane pane;
    pane.resize(1180, 330);
    frmProgress window;
    window.SetProfilePath(profile);
    window.SetResults(&pane.Model());
    window.exec();

    ResultsModel& m = pane.Model();
    pane.show();
    QCoreApplication::processEvents();
    // Show each kind of row: a collapsed group, a file an action struck through, one it
    // could not find, and the highlighted row.
    for (qint64 r = 1; r <= m.RowCount(); ++r) {
        if (m.Text(r, 2).startsWith(QStringLiteral("03 Intro.ogg   (")))
            m.CollExpRows(r);
        if (m.Text(r, 3).contains(QStringLiteral("Desktop")) && m.IsMarked(r))
            m.SetFlag(r, ResultsModel::FlagStruck, true);
        if (m.Text(r, 3).contains(QStringLiteral("Downloads")) && m.IsMarked(r))
            m.SetFlag(r, ResultsModel::FlagRed, true);
    }
    m.SetCurrent(m.RowCount() - 1, 2);
    pane.RowHighlight(QStringLiteral("Key"));
    QCoreApplication::processEvents();
    const bool saved = pane.grab().save(QString::fromLocal8Bit(argv[1]));
    SetMessageService(nullptr);
    return saved ? 0 : 1;
}
