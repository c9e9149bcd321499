// Times the two operations a user waits for on a big folder: expanding it, and ticking
// it when all its sub-folders must follow. Run without arguments; it builds its own
// folders in a temporary place.
#include "BenchDrives.h"

#include <FoldersList.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <sys/stat.h>

namespace {

QTreeWidgetItem* ChildByKey(QTreeWidgetItem* node, const QString& key) {
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->data(0, FoldersList::KeyRole).toString() == key)
            return node->child(i);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    const QString big = temp.path() + QStringLiteral("/drive/big");
    const QByteArray base = QFile::encodeName(big);
    mkdir(QFile::encodeName(temp.path() + QStringLiteral("/drive")).constData(), 0755);
    mkdir(base.constData(), 0755);
    // Every tenth sub-folder has one of its own, so the probes find both answers.
    for (int i = 0; i < count; ++i) {
        const QByteArray sub = base + "/folder" + QByteArray::number(i);
        mkdir(sub.constData(), 0755);
        if (i % 10 == 0)
            mkdir((sub + "/inner").constData(), 0755);
    }

    DriveInfo drive;
    drive.mountPoint = temp.path() + QStringLiteral("/drive");
    drive.type = DriveType::Fixed;
    FoldersList list(std::make_unique<BenchDrives>(QList<DriveInfo>{drive}));
    list.resize(400, 600);
    list.show();
    list.IncludeSubFolder(true);
    QTreeWidgetItem* driveNode = list.Tree()->topLevelItem(0)->child(0);
    driveNode->setExpanded(true);
    QTreeWidgetItem* bigNode = ChildByKey(driveNode, big);
    if (!bigNode)
        return 1;

    QElapsedTimer timer;
    timer.start();
    bigNode->setExpanded(true);
    app.processEvents();
    const double expandMs = double(timer.nsecsElapsed()) / 1e6;
    if (bigNode->childCount() != count)
        return 1;

    timer.restart();
    bigNode->setCheckState(0, Qt::Checked);
    app.processEvents();
    const double tickMs = double(timer.nsecsElapsed()) / 1e6;
    if (bigNode->child(count - 1)->checkState(0) != Qt::Checked)
        return 1;

    timer.restart();
    bigNode->child(count / 2)->setCheckState(0, Qt::Unchecked);
    app.processEvents();
    const double untickOneMs = double(timer.nsecsElapsed()) / 1e6;

    // Ticking it again completes the set: the parent update walks every sibling,
    // yielding at each one, before the folder turns blue.
    timer.restart();
    bigNode->child(count / 2)->setCheckState(0, Qt::Checked);
    app.processEvents();
    const double completeMs = double(timer.nsecsElapsed()) / 1e6;
    if (bigNode->checkState(0) != Qt::Checked)
        return 1;

    std::printf("sub-folders:                          %d\n", count);
    std::printf("expand (read, probe, add):            %8.1f ms\n", expandMs);
    std::printf("tick the folder, all follow:          %8.1f ms\n", tickMs);
    std::printf("untick one sub-folder:                %8.1f ms\n", untickOneMs);
    std::printf("tick it again, all siblings checked:  %8.1f ms\n", completeMs);
    return 0;
}
