#include "BrowseFolder.h"

#include "Trap.h"
#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QFileDialog>

namespace {

FolderBrowser& Replacement() {
    static FolderBrowser browser;
    return browser;
}

QString Browse(const QString& prompt, const QString& start, QWidget* owner) {
    // A folder whose name is not UTF-8 cannot be handed to the dialog without being
    // re-encoded into another name; the browse then starts from the top instead.
    const QString from = PathCodec::HasRawBytes(start) ? QString() : start;
    if (Replacement())
        return Replacement()(prompt, from);
    // Only folders can be chosen; the native dialog's own places stand for the desktop.
    return QFileDialog::getExistingDirectory(owner, prompt, from, QFileDialog::ShowDirsOnly);
}

ReportBrowser& ReportReplacement() {
    static ReportBrowser browser;
    return browser;
}

} // namespace

void SetFolderBrowser(FolderBrowser browser) {
    Replacement() = std::move(browser);
}

QString BrowseFolder(const QString& title, QWidget* owner) {
    QString folder;
    Trap(QStringLiteral("modCommon.BrowseFolder"),
         [&] { folder = Browse(title, QString(), owner); });
    return folder;
}

QString BrowseForFolderByPath(const QString& startFolder, const QString& prompt, QWidget* owner) {
    QString folder;
    Trap(QStringLiteral("BrowseForFolderByPath"),
         [&] { folder = Browse(prompt, startFolder, owner); });
    return folder;
}

QString SelectFolder(const QString& fieldText, const QString& prompt, QWidget* owner) {
    QString folder = fieldText.trimmed();
    if (folder.isEmpty())
        return BrowseFolder(prompt, owner);
    // The root keeps its separator; any other folder loses a trailing one.
    if (folder.size() > 1)
        folder = modCommon::UnQualifyPath(folder);
    return BrowseForFolderByPath(folder, prompt, owner);
}

void SetReportBrowser(ReportBrowser browser) {
    ReportReplacement() = std::move(browser);
}

QString BrowseReportFile(const QString& startFolder, QWidget* owner) {
    QString file;
    Trap(QStringLiteral("BrowseReportFile"), [&] {
        const QString from = PathCodec::HasRawBytes(startFolder) ? QString() : startFolder;
        file = ReportReplacement()
                   ? ReportReplacement()(from)
                   : QFileDialog::getOpenFileName(owner, QStringLiteral("Open report"), from,
                                                  QStringLiteral("XML reports (*.xml)"));
    });
    return file;
}
