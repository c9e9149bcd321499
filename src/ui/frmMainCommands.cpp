#include "frmMain.h"
#include "frmMainParts.h"

#include "DuplicatesPane.h"
#include "Forms.h"
#include "frmHelp.h"
#include "frmLog.h"
#include "frmOptions.h"
#include "frmProfile.h"
#include "frmSplash.h"
#include "frmSupport.h"
#include "frmSysStats.h"

#include "actions/ResultsModel.h"
#include "actions/RunLock.h"
#include "actions/UndoRun.h"
#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTreeWidget>

using namespace main_window;

// What the main window's commands do, and the one table that says where each appears.

const std::vector<frmMain::Command>& frmMain::Commands() {
    // Each command once: where it shows, its texts and key, and how it is trapped. The menu
    // and the toolbar each get an action of their own from this, since the toolbar's
    // profile commands are disabled on an empty list while the menu's answer with a notice.
    static const std::vector<Command> table = {
        {"mnuProfile", "mnuProfileNew", "&New", "Ctrl+N", "New", "New Profile", "document-new",
         QStyle::SP_FileIcon, false, nullptr, nullptr, &frmMain::NewProfile},
        {"mnuProfile", "mnuProfileEdit", "&Edit", "Ctrl+E", "Edit", "Edit profile", "document-edit",
         QStyle::SP_FileDialogContentsView, true, "mnuProfileEdit_Click",
         "Error occured while displaying profile details for edit", &frmMain::EditSelected},
        {"mnuProfile", "mnuProfileDelete", "&Delete", "Ctrl+D", "Delete", "Delete profile",
         "edit-delete", QStyle::SP_TrashIcon, true, "mnuProfileDelete_Click",
         "Error occured while deleting profile details", &frmMain::DeleteCommand},
        {"mnuProfile", "mnuProfileOpenReport", "Open &report...", "", nullptr, nullptr, nullptr,
         QStyle::SP_CustomBase, false, "mnuProfileOpenReport_Click",
         "Error occured while opening the report", &frmMain::OpenReportInProfile},
        {"mnuProfile", "mnuProfileExit", "E&xit", "", "Exit", "Exit", "application-exit",
         QStyle::SP_DialogCloseButton, false, nullptr, nullptr, &frmMain::Exit},
        {"mnuRun", "mnuRunExecute", "Exec&ute", "Ctrl+U", "Execute", "Find Duplicates",
         "system-search", QStyle::SP_MediaPlay, true, "mnuRunExecute_Click",
         "Error occured while executing profile", &frmMain::ExecuteCommand},
        {"mnuRun", "mnuRunViewLog", "View &log", "Ctrl+L", "View Log", "View Log", "text-x-generic",
         QStyle::SP_FileDialogInfoView, true, "mnuRunViewLog_Click",
         "Error occured while displaying log", &frmMain::ViewLog},
        {"mnuRun", "mnuRunUndo", "Und&o last action...", "", nullptr, nullptr, nullptr,
         QStyle::SP_CustomBase, false, "mnuRunUndo_Click",
         "Error occured while undoing the last action", &frmMain::UndoLastAction},
        {"mnuTools", "mnuToolsOptions", "&Options", "Ctrl+O", "Options", "Default Options",
         "preferences-system", QStyle::SP_FileDialogDetailedView, false, "mnuToolsOptions_Click",
         "Error occured while displaying profile options", &frmMain::OptionsCommand},
        {"mnuHelp", "mnuHelpContents", "&Contents", "Ctrl+C", "Help", "Help", "help-contents",
         QStyle::SP_DialogHelpButton, false, nullptr, nullptr, &frmMain::ShowHelp},
        {"mnuHelp", "mnuHelpSupport", "Suppo&rt", "Ctrl+R", nullptr, nullptr, nullptr,
         QStyle::SP_CustomBase, false, "mnuHelpSupport_Click",
         "Error occured while loading support form", &frmMain::ShowSupport},
        {"mnuHelp", "mnuAbout", "&About", "Ctrl+A", nullptr, nullptr, nullptr,
         QStyle::SP_CustomBase, false, nullptr, nullptr, &frmMain::ShowAbout},
        // Also in the Tools menu: the toolbar is out of the keyboard's reach.
        {"mnuTools", "mnuToolsManager", "Profile &Manager", "", "Manager", "Profile Manager",
         "view-list-details", QStyle::SP_FileDialogListView, false, nullptr, nullptr,
         &frmMain::ShowProfileManager},
        {"mnuTools", "mnuToolsSysStats", "&System Statistics", "", "Sys Stats", "System Statistics",
         "drive-harddisk", QStyle::SP_DriveHDIcon, false, nullptr, nullptr, &frmMain::SysStats},
    };
    return table;
}

void frmMain::RunCommand(const Command& command, bool fromToolbar) {
    // While a toolbar command runs the pointer is the hourglass; Exit leaves at once.
    const bool wait = fromToolbar && command.Run != &frmMain::Exit;
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    if (command.Procedure)
        MainTrap(command.Procedure, QLatin1String(command.Failure),
                 [&] { (this->*command.Run)(); });
    else
        (this->*command.Run)();
    if (wait)
        QApplication::restoreOverrideCursor();
}

void frmMain::EditSelected() {
    EditProfile(m_lvwProfiles->currentItem());
}

void frmMain::Exit() {
    // Marks chosen by hand are lost with the window: asked, never taken for granted.
    if (frmProfile* profile = Forms::Profile();
        profile && profile->MarksEditedSinceScan() &&
        !Messages().Ask(QStringLiteral("The marks you changed have "
                                       "not been acted on. Do you "
                                       "want to exit?"),
                        MessageService::Answer::No))
        return;
    close();
}

void frmMain::OptionsCommand() {
    if (OpenDefaultOptions() == Failed)
        Forms::UnloadAllForms();
}

void frmMain::NewProfile() {
    MainTrap("mnuProfileNew_Click", QStringLiteral("Error occured while opening new profile"),
             [this] {
                 const int result = OpenProfile(QStringLiteral("config.xml"), ProfileMode::Add);
                 if (result == Failed) {
                     Messages().Critical(
                         QStringLiteral("Error occured while intialising the new profile"));
                     Forms::UnloadAllForms();
                 } else if (result == Success) {
                     ToggleMnuBar(QStringLiteral("NewEdit"), false);
                 }
             });
}

void frmMain::EditProfile(QTreeWidgetItem* row) {
    if (!row) {
        // With nothing selected (an empty list) there is nothing to edit.
        if (!Forms::Profile()) {
            Messages().Inform(PleaseSelect());
            return;
        }
    }
    const QString name = row ? row->text(ColName) : QString();
    if (OpenProfile(name, ProfileMode::Edit) == Success)
        ToggleMnuBar(QStringLiteral("NewEdit"), false);
}

void frmMain::OpenReportInProfile() {
    // A report is shown in the duplicates of the profile it belongs to: the open profile
    // window, or the profile selected in the list, opened as Edit opens it.
    const bool opened = !Forms::Profile();
    if (opened) {
        QTreeWidgetItem* row = m_lvwProfiles->currentItem();
        if (!row) {
            Messages().Inform(PleaseSelect());
            return;
        }
        if (OpenProfile(row->text(ColName), ProfileMode::Edit) != Success)
            return;
        ToggleMnuBar(QStringLiteral("NewEdit"), false);
    }
    if (frmProfile* profile = Forms::Profile()) {
        BringToFront(profile);
        // A window opened only to show the report goes again when no report was shown.
        if (profile->OpenReport() != Success && opened)
            Forms::Unload(profile);
    }
}

void frmMain::DeleteCommand() {
    if (Forms::LoadedCount() == 1 && m_lvwProfiles->topLevelItemCount() > 0) {
        DeleteProfile();
        ToggleMnuTbrInit();
    } else {
        Messages().Inform(PleaseSelect());
    }
}

void frmMain::DeleteProfile() {
    MainTrap("DeleteProfile", QString(), [this] {
        const QTreeWidgetItem* item = m_lvwProfiles->currentItem();
        if (!item)
            return;
        const QString name = item->text(ColName);
        if (Messages().Show(QStringLiteral("Do you want to delete the profile ") + name +
                                QStringLiteral("?"),
                            MessageService::Icon::Information, MessageService::Buttons::YesNo,
                            MessageService::Answer::No) != MessageService::Answer::Yes)
            return;
        if (modAPI::MyDeleteFile(modCommon::ProfileFolder + name + QStringLiteral(".xml")) ==
            Success) {
            // A profile that never ran has no log; the failed delete only leaves a log line.
            modAPI::MyDeleteFile(modCommon::LogPath + name + QStringLiteral(".log"));
            // Its ignore list would otherwise hide groups from a new profile of that name.
            const QString ignored = modCommon::ProfileFolder + name + QStringLiteral(".ignore");
            bool listed = false;
            modAPI::MyPathFileExists(ignored, listed);
            if (listed)
                modAPI::MyDeleteFile(ignored);
            DeleteSelectedListViewRecord();
        } else {
            Messages().Inform(QStringLiteral("Error occured while deleting profile - ") + name);
        }
    });
}

void frmMain::ExecuteCommand() {
    if (!ManagerVisible()) {
        Messages().Inform(PleaseSelect());
        return;
    }
    const QString name = SelectedProfileName();
    if (!name.isEmpty())
        ExecuteProfile(name);
}

void frmMain::ExecuteProfile(const QString& name) {
    MainTrap("ExecuteProfile", QString(), [&] {
        if (OpenProfile(name, ProfileMode::Edit, false) != Success)
            return;
        frmProfile* profile = Forms::Profile();
        if (!profile)
            return;
        // The window was opened for this run alone: without results it goes again, as one
        // left loaded behind the list would refuse every later New or Edit.
        if (profile->RunScan() != frmProgress::Ending::Finished) {
            Forms::Unload(profile);
            return;
        }
        BringToFront(profile);
        if (profile->Results().rowCount() > 0)
            profile->Duplicates()->RowHighlight(QStringLiteral("Key"));
    });
}

void frmMain::ViewLog() {
    if (QWidget* open = Forms::Find(QStringLiteral("frmLog"))) {
        BringToFront(open);
        return;
    }
    auto* log = new frmLog;
    log->LoadLog(SelectedProfileName().trimmed());
    Host(log, false)->resize(960, 560);
    ToggleMnuBar(QStringLiteral("ViewLog"), false);
    BringToFront(log);
}

void frmMain::UndoLastAction() {
    // The profile of the open window, which may not be highlighted in the list behind it.
    QString name;
    if (frmProfile* open = Forms::Profile(); open && open->ActionMode() == ProfileMode::Edit)
        name = open->OpenProfileName().trimmed();
    if (name.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive))
        name.chop(4);
    if (name.isEmpty())
        name = SelectedProfileName().trimmed();
    if (name.isEmpty()) {
        Messages().Inform(PleaseSelect());
        return;
    }
    UndoRun::Preview preview;
    QString error;
    if (!UndoRun::Look(name, preview, error)) {
        Messages().Inform(QStringLiteral("Nothing was undone: the journal ") + error +
                          QStringLiteral(" could not be read."));
        return;
    }
    if (!preview.Found) {
        Messages().Inform(QStringLiteral("The profile ") + name +
                          QStringLiteral(" has no action run to undo."));
        return;
    }
    const QString cannot =
        QStringLiteral("%1 cannot come back (%2 deleted permanently, %3 already back, %4 not "
                       "recorded well enough).")
            .arg(preview.CannotComeBack())
            .arg(preview.Deleted)
            .arg(preview.AlreadyBack)
            .arg(preview.Unknown);
    if (preview.CanComeBack == 0) {
        Messages().Inform(QStringLiteral("Nothing of the last action run of ") + name +
                          QStringLiteral(" (") + preview.Started +
                          QStringLiteral(") can come back: ") + cannot);
        return;
    }
    if (!Messages().Ask(QStringLiteral("Undo the last action run of ") + name +
                            QStringLiteral(" (") + preview.Started + QStringLiteral(")?\n\n") +
                            QString::number(preview.CanComeBack) +
                            QStringLiteral(" files can come back; ") + cannot,
                        MessageService::Answer::No))
        return;
    UndoRun undo;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const UndoRun::Outcome outcome = undo.Execute(name);
    QApplication::restoreOverrideCursor();
    switch (outcome) {
    case UndoRun::Outcome::Busy:
        Messages().Inform(RunLock::BusyText);
        return;
    case UndoRun::Outcome::NothingToUndo:
        Messages().Inform(QStringLiteral("The profile ") + name +
                          QStringLiteral(" has no action run to undo."));
        return;
    default:
        break;
    }
    QString told =
        QString::number(undo.CountOf(UndoRun::State::Back)) + QStringLiteral(" files are back");
    if (const qint64 left =
            undo.CountOf(UndoRun::State::Skipped) + undo.CountOf(UndoRun::State::Failed))
        told += QStringLiteral("; %1 were left where they are (see the run log), and the undo "
                               "can be run again once their places are clear")
                    .arg(left);
    if (const qint64 gone =
            undo.CountOf(UndoRun::State::Deleted) + undo.CountOf(UndoRun::State::Unknown))
        told += QStringLiteral("; %1 cannot come back").arg(gone);
    told += u'.';
    if (!undo.Error().isEmpty())
        told += QStringLiteral(" The undo stopped: ") + undo.Error() + u'.';
    if (undo.RunLogFailed())
        told += QStringLiteral(" The run log could not be rewritten.");
    Messages().Inform(told);
}

int frmMain::OpenDefaultOptions() {
    int result = Success;
    MainTrap("Options", QStringLiteral("Error occured while loading default settings"), [&] {
        if (QWidget* open = Forms::Find(QStringLiteral("frmOptions"))) {
            BringToFront(open);
            return;
        }
        // Not modal, like the other windows: it closes itself with OK or Cancel and tells
        // this window as it goes.
        auto* options = new frmOptions(*this, this);
        if (options->FormInit() != Success) {
            delete options;
            result = Failed;
            Forms::UnloadAllForms();
            return;
        }
        options->setAttribute(Qt::WA_DeleteOnClose);
        Track(options);
        ToggleMnuBar(QStringLiteral("Options"), false);
        options->show();
    });
    return result;
}

void frmMain::SysStats() {
    MainTrap("SysStats", QString(), [this] {
        if (QWidget* open = Forms::Find(QStringLiteral("frmSysStats"))) {
            BringToFront(open);
            return;
        }
        auto* stats = new frmSysStats;
        if (stats->FormInit() != Success) {
            delete stats;
            return;
        }
        Host(stats, false)->resize(620, 480);
        ToggleMnuBar(QStringLiteral("SysStat"), false);
        BringToFront(stats);
    });
}

void frmMain::ShowProfileManager() {
    MainTrap("ShowProfileManager", QString(), [this] {
        if (frmProfile* profile = Forms::Profile()) {
            if (!Messages().Ask(
                    QStringLiteral(
                        "Currently open profile will be closed. Do you want to continue? "),
                    MessageService::Answer::No))
                return;
            Forms::Unload(profile);
        }
        Forms::UnloadOthers(this);
        DisplayStatusMsg(QString());
        ShowManagerPane(true);
    });
}

void frmMain::ShowHelp() {
    MainTrap("mnuHelpContents_Click", QString(), [this] {
        auto* help = qobject_cast<frmHelp*>(Forms::Find(QStringLiteral("frmHelp")));
        if (!help) {
            help = new frmHelp(this);
            help->setAttribute(Qt::WA_DeleteOnClose);
            if (help->OpenContents() != Success) {
                // A missing guide is only written to the application log.
                delete help;
                return;
            }
        }
        BringToFront(help);
    });
}

void frmMain::ShowSupport() {
    if (QWidget* open = Forms::Find(QStringLiteral("frmSupport"))) {
        BringToFront(open);
        return;
    }
    auto* support = new frmSupport;
    QMdiSubWindow* sub = Host(support, false);
    sub->adjustSize();
    sub->move(0, 0);
    ToggleMnuBar(QStringLiteral("Support"), false);
    BringToFront(support);
}

void frmMain::ShowAbout() {
    frmSplash about(frmSplash::Use::About, this);
    about.exec();
}
