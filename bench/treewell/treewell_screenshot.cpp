// Shows the folder tree over a few made-up drives, with folders ticked the way a user
// would tick them, and saves a picture of the window: treewell_screenshot OUT.png
// (run it under xvfb-run). Without an argument the window stays open.
#include "BenchDrives.h"

#include <FoldersList.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QTreeWidgetItem* Find(QTreeWidgetItem* node, const QString& key) {
    if (node->data(0, FoldersList::KeyRole).toString() == key)
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QTreeWidgetItem* found = Find(node->child(i), key))
            return found;
    }
    return nullptr;
}

DriveInfo MakeDrive(const QString& mountPoint, DriveType type, const QString& label = {},
                    const QString& remote = {}) {
    DriveInfo drive;
    drive.mountPoint = mountPoint;
    drive.type = type;
    drive.label = label;
    drive.remoteName = remote;
    return drive;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // A desktop session names its icon theme; a bare X server does not.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
        QIcon::setThemeName(u"Adwaita"_s);

    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QSettings(QSettings::IniFormat, QSettings::UserScope, u"Treewell"_s, u"FoldersList"_s)
        .setValue(u"Computer/Name"_s, u"workstation"_s);

    // A fixed, short place keeps the drive texts readable in the picture.
    const QString at = u"/tmp/treewell-demo"_s;
    QDir(at).removeRecursively();
    for (const QString& folder :
         {u"data/Music/Jazz"_s, u"data/Music/Live"_s, u"data/Photos/2023"_s, u"data/Photos/2024"_s,
          u"data/Projects/echofind"_s, u"data/Projects/garden"_s, u"data/Projects/taxes"_s,
          u"data/Videos"_s, u"data/.cache/thumbnails"_s, u"usb/Backup"_s, u"share/Reports"_s,
          u"ram"_s, u"cd"_s})
        QDir().mkpath(at + u'/' + folder);

    const QList<DriveInfo> drives = {
        MakeDrive(at + u"/data"_s, DriveType::Fixed, u"DATA"_s),
        MakeDrive(at + u"/usb"_s, DriveType::Removable),
        MakeDrive(at + u"/share"_s, DriveType::Network, {}, u"//srv/docs"_s),
        MakeDrive(at + u"/cd"_s, DriveType::CdRom),
        MakeDrive(at + u"/ram"_s, DriveType::RamDisk),
    };

    QWidget window;
    window.setWindowTitle(u"Folders to scan"_s);
    auto* layout = new QVBoxLayout(&window);
    auto* list = new FoldersList(std::make_unique<BenchDrives>(drives), &window);
    layout->addWidget(list);
    window.resize(460, 470);
    window.show();

    list->IncludeSubFolder(true);
    QTreeWidget* tree = list->Tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* data = Find(root, at + u"/data/"_s);
    data->setExpanded(true);
    Find(root, at + u"/data/Projects"_s)->setExpanded(true);
    Find(root, at + u"/data/Photos"_s)->setExpanded(true);
    // A whole folder (its sub-folders follow and it turns blue) and one project.
    Find(root, at + u"/data/Photos"_s)->setCheckState(0, Qt::Checked);
    Find(root, at + u"/data/Projects/echofind"_s)->setCheckState(0, Qt::Checked);
    list->SetUserSelection({at + u"/usb/Backup"_s});
    tree->clearSelection();

    if (argc >= 2) {
        QTimer::singleShot(300, &window, [&window, argv] {
            window.grab().save(QString::fromLocal8Bit(argv[1]));
            QApplication::quit();
        });
    }
    const int result = app.exec();
    QDir(at).removeRecursively();
    return result;
}
