#include "frmProfile.h"

#include "ActionButtons.h"
#include "ActionCommands.h"
#include "ActionOptionsPages.h"
#include "BrowseFolder.h"
#include "DuplicatesPane.h"
#include "MarkMenu.h"
#include "OptionWidgets.h"
#include "ProfileOptionsPane.h"
#include "ResultPopup.h"
#include "ResultsGrid.h"
#include "RunLogPane.h"
#include "ScanOptionBoxes.h"
#include "Trap.h"
#include "frmActionProgress.h"
#include "frmAdvOptions.h"
#include "frmProgress.h"

#include "actions/DefaultActions.h"
#include "actions/MarkRules.h"
#include "actions/ResultsModel.h"
#include "actions/XmlReportReader.h"
#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/IgnoreList.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"
#include "profiles/ProfileRules.h"
#include "profiles/RunRecord.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

namespace {

// The wait cursor for the length of a save or a run, put back on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    void Restore() {
        if (m_on)
            QApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

void LogOccued(const char* procedure, qint64 number, const QString& description) {
    modLog::LogProcedureError(S("frmProfile.") + S(procedure), number, description, true);
}

// The profile window's procedures write "occued" in their log lines.
const TrapReport Occued{QString(), MessageService::Icon::Critical, true};

} // namespace

struct frmProfile::Impl {
    explicit Impl(Shell& shell) : shell(shell) {}
    Shell& shell;
    ProfileMode ActionMode = ProfileMode::Edit;
    QString OpenProfileName;
    bool marksEdited = false;
    QTabBar* tabs = nullptr;
    QStackedWidget* panes = nullptr;
    ProfileOptionsPane* options = nullptr;
    DuplicatesPane* duplicates = nullptr;
    RunLogPane* runLog = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdExecute = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPointer<frmAdvOptions> adv;
    ActionButtons* actionButtons = nullptr;
    ResultPopup* popup = nullptr;
    MarkMenu* markMenu = nullptr;
    bool unloaded = false;
    bool watchingSubWindow = false;
};

frmProfile::frmProfile(Shell& shell, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Impl>(shell)) {
    setObjectName(S("frmProfile"));
    setWindowTitle(S("Profile"));
    setAttribute(Qt::WA_DeleteOnClose);

    d->tabs = Named(new QTabBar, "tabProfile");
    d->tabs->setDrawBase(true);
    d->tabs->setExpanding(false);
    d->tabs->setCursor(Qt::PointingHandCursor);
    d->tabs->setFocusPolicy(Qt::StrongFocus);
    const struct {
        const char* Text;
        QStyle::StandardPixmap Picture;
    } tabs[] = {{"Profile Options", QStyle::SP_FileDialogDetailedView},
                {"Duplicates List", QStyle::SP_FileDialogListView},
                {"Run Log", QStyle::SP_FileDialogInfoView}};
    for (const auto& t : tabs) {
        const int i = d->tabs->addTab(style()->standardIcon(t.Picture), S(t.Text));
        d->tabs->setAccessibleTabName(i, S(t.Text));
        d->tabs->setTabToolTip(i, S(t.Text));
    }

    d->options = new ProfileOptionsPane;
    d->duplicates = new DuplicatesPane;
    d->actionButtons = new ActionButtons(d->duplicates->Actions());
    connect(d->actionButtons, &ActionButtons::Command, this, &frmProfile::TakeAction);
    d->popup = new ResultPopup(
        d->duplicates->Grid(), shell.PopupMenu(),
        [this](const QString& command) { TakeAction(command); }, this);
    const auto protectedFolders = [this] { return ProtectedFolders(); };
    d->markMenu =
        new MarkMenu(d->duplicates->Actions(), d->duplicates->Model(), protectedFolders, this);
    d->popup->AddMarkEntries(d->markMenu->Menu());
    d->popup->AddReviewEntries(d->duplicates->ReviewActions());
    connect(d->duplicates, &DuplicatesPane::IgnoreGroupRequested, this, &frmProfile::IgnoreGroup);
    d->markMenu->SetStartFolder([this] { return d->options->Folders().value(0); });
    d->markMenu->Button()->setEnabled(false);
    d->duplicates->Grid()->SetProtectedFolders(protectedFolders);
    connect(&d->duplicates->Model(), &ResultsModel::MarksChanged, this,
            &frmProfile::ShowMarkTotals);
    // Marks changed after the scan (or the report) that set them, until acted on.
    connect(&d->duplicates->Model(), &ResultsModel::MarksChanged, this,
            [this] { d->marksEdited = true; });
    connect(d->markMenu, &MarkMenu::Applied, this,
            [this](const QString& summary) { d->shell.DisplayMarkTotals(summary); });
    d->runLog = new RunLogPane;
    d->runLog->setObjectName(S("fraRunLog"));
    // The three panes share one place; the tabs choose which is in front.
    d->panes = Named(new QStackedWidget, "fraPanes");
    d->panes->addWidget(d->options);
    d->panes->addWidget(d->duplicates);
    d->panes->addWidget(d->runLog);

    d->cmdOK = Named(new QPushButton(S("Save")), "cmdOK");
    d->cmdExecute = Named(new QPushButton(S("Find Duplicates")), "cmdExecute");
    d->cmdCancel = Named(new QPushButton(S("Cancel")), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(d->cmdOK);
    buttons->addWidget(d->cmdExecute);
    buttons->addWidget(d->cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(d->tabs);
    layout->addWidget(d->panes, 1);
    layout->addLayout(buttons);

    const auto chosen = [this](int index) {
        if (index >= 0 && index < 3)
            ToggleTabHead(static_cast<ProfileTab>(index));
    };
    connect(d->tabs, &QTabBar::tabBarClicked, this, chosen);
    // Ctrl+Tab and Ctrl+PgDn go to the next pane from anywhere in the window, as in a
    // tabbed dialog; with Shift, or Ctrl+PgUp, to the one before.
    const struct {
        QKeySequence Keys;
        int Step;
    } steps[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                 {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), 2},
                 {QKeySequence(Qt::CTRL | Qt::Key_Backtab), 2},
                 {QKeySequence(Qt::CTRL | Qt::Key_PageUp), 2}};
    for (const auto& step : steps) {
        auto* shortcut = new QShortcut(step.Keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, chosen, n = step.Step] { chosen((d->panes->currentIndex() + n) % 3); });
    }
    // Arrow keys on the focused tab bar move between the panes as a click does.
    connect(d->tabs, &QTabBar::currentChanged, this, [this, chosen](int index) {
        if (index != d->panes->currentIndex())
            chosen(index);
    });
    connect(d->cmdOK, &QPushButton::clicked, this, &frmProfile::cmdOK_Click);
    connect(d->cmdExecute, &QPushButton::clicked, this, &frmProfile::cmdExecute_Click);
    connect(d->cmdCancel, &QPushButton::clicked, this, &frmProfile::cmdCancel_Click);
    connect(d->options->cmdAdvancedOption, &QPushButton::clicked, this,
            &frmProfile::cmdAdvancedOption_Click);

    setTabOrder(d->tabs, d->options->txtName);
    setTabOrder(d->options->cmdAdvancedOption, d->cmdOK);
    setTabOrder(d->cmdOK, d->cmdExecute);
    setTabOrder(d->cmdExecute, d->cmdCancel);

    ToggleTabHead(ProfileTab::Options);
    resize(860, 600);
}

frmProfile::~frmProfile() = default;

void frmProfile::SetAction(ProfileMode mode) {
    d->ActionMode = mode;
}

ProfileMode frmProfile::ActionMode() const {
    return d->ActionMode;
}

QString frmProfile::OpenProfileName() const {
    return d->OpenProfileName;
}

QString frmProfile::ProfileNameText() const {
    return d->options->txtName->text();
}

ResultsModel& frmProfile::Results() {
    return d->duplicates->Model();
}

DuplicatesPane* frmProfile::Duplicates() {
    return d->duplicates;
}

RunLogPane* frmProfile::RunLog() {
    return d->runLog;
}

ProfileOptionsPane* frmProfile::Options() const {
    return d->options;
}

QStringList frmProfile::ProtectedFolders() const {
    ProfileSettings settings;
    if (!d->OpenProfileName.isEmpty()) {
        const QString path = ProfileRules::DocumentPath(d->OpenProfileName);
        bool exists = false;
        modAPI::MyPathFileExists(path, exists);
        if (exists)
            ProfileDocument::Load(path, settings);
    }
    if (d->adv)
        d->adv->Collect(settings);
    return settings.ProtectedFolders;
}

void frmProfile::ShowMarkTotals() {
    if (d->unloaded)
        return;
    const ResultsModel& results = d->duplicates->Model();
    // Rules over an empty list would do nothing; the button says so by being off.
    d->markMenu->Button()->setEnabled(results.RowCount() > 0);
    d->shell.DisplayMarkTotals(results.RowCount() > 0 ? MarkRules::TotalsText(results.Marks())
                                                      : QString());
}

bool frmProfile::MarksEditedSinceScan() {
    return d->marksEdited && Results().RowCount() > 0;
}

frmAdvOptions* frmProfile::AdvOptions() const {
    return d->adv;
}

int frmProfile::Init(const QString& strProfileName) {
    d->OpenProfileName = strProfileName;
    return ReadProfile(strProfileName, ProfileReader::Scope::Whole);
}

void frmProfile::ResetAdvOptions() {
    ReadProfile(d->OpenProfileName, ProfileReader::Scope::ActionsOnly);
}

frmAdvOptions* frmProfile::LoadAdvOptions() {
    if (!d->adv) {
        d->adv = new frmAdvOptions(this, [this] { ResetAdvOptions(); });
        d->adv->SetIgnoreFile([this] {
            const QString name = ProfileRules::ProfileName(ProfileNameText());
            return name.isEmpty() ? QString()
                                  : IgnoreList::FileBeside(ProfileRules::DocumentPath(name));
        });
        d->adv->FormInit();
    }
    return d->adv;
}

int frmProfile::ReadProfile(const QString& strProfileName, ProfileReader::Scope part) {
    int result = Failed;
    Trap(
        S("frmProfile.ReadProfile"), [&] { result = ReadDocument(strProfileName, part); }, Occued);
    return result;
}

int frmProfile::ReadDocument(const QString& strProfileName, ProfileReader::Scope part) {
    const bool adding = d->ActionMode == ProfileMode::Add;
    const QString path = adding ? modCommon::AppPath + S("config.xml")
                                : modCommon::ProfileFolder + strProfileName + S(".xml");
    if (!adding) {
        d->options->txtName->setText(strProfileName);
        d->options->txtName->setReadOnly(true);
    }
    ProfileReader::Options options;
    options.Part = part;
    ProfileReadout readout;
    QString missing;
    switch (ProfileReader::Read(path, options, readout, missing)) {
    case ProfileReader::Status::Missing:
        Messages().Critical(
            adding ? S("Application could not locate default profile. Please contact the vendor")
                   : S("Application could not locate ") + d->OpenProfileName + S(" profile."));
        return Refused;
    case ProfileReader::Status::Unreadable:
        Messages().Critical(S("Error in reading selected profile"));
        return Refused;
    case ProfileReader::Status::Incomplete:
    case ProfileReader::Status::Read:
        break;
    }
    d->options->Apply(readout, !adding);
    LoadAdvOptions()->Apply(readout);
    if (!missing.isEmpty()) {
        LogOccued("ReadProfile", 91, missing);
        return Failed;
    }
    return Success;
}

int frmProfile::SaveProfile() {
    int result = Failed;
    Trap(S("frmProfile.SaveProfile"), [&] { result = SaveDocument(); });
    return result;
}

int frmProfile::SaveDocument() {
    ProfileOptionsPane& o = *d->options;
    const QStringList folders = o.Folders();
    const ProfileRules::SaveCheck check = ProfileRules::ValidateSave(
        {folders.value(0), o.txtName->text(), d->ActionMode == ProfileMode::Add, o.AnyCriterion()});
    if (check.NameText != o.txtName->text())
        o.txtName->setText(check.NameText);
    if (check.Result != Success) {
        Messages().Inform(check.Message);
        switch (check.FocusTo) {
        case ProfileRules::Focus::Folders:
            o.FocusFolders();
            break;
        case ProfileRules::Focus::Name:
            o.txtName->setFocus();
            break;
        case ProfileRules::Focus::Criteria:
            o.Scan().chkFileName->setFocus();
            break;
        case ProfileRules::Focus::None:
            break;
        }
        return Refused;
    }

    ProfileSettings settings;
    settings.Folders = folders;
    o.Collect(settings);
    // The action part is what the advanced options hold now, edits accepted by their
    // OK included; without the dialog the document has none.
    settings.HasActions = d->adv != nullptr;
    if (d->adv)
        d->adv->Collect(settings);
    const QString name = o.txtName->text();
    // Written whole beside the old document and renamed over it: a failed save
    // keeps the previous profile. The document service has logged the failure.
    if (ProfileDocument::Save(ProfileRules::DocumentPath(name), settings) != Success)
        return Failed;
    d->shell.AddNewProfile(ProfileRules::ProfileName(name));
    return Success;
}

void frmProfile::cmdOK_Click() {
    WaitCursor wait;
    const int result = SaveProfile();
    wait.Restore();
    if (result == Success) {
        Messages().Inform(S("Profile has been saved successfully"));
        CloseWindow();
    } else if (result != Refused) {
        Messages().Critical(S("Error occured while saving profile details"));
    }
}

void frmProfile::cmdExecute_Click() {
    WaitCursor wait;
    const bool ran = Trap(
        S("frmProfile.cmdExecute_Click"),
        [&] {
            const int result = SaveProfile();
            if (result == Success) {
                const QString name = d->options->txtName->text();
                d->ActionMode = ProfileMode::Edit;
                d->OpenProfileName = ProfileRules::ProfileName(name);
                // From now on this is an existing profile: its name names its document, and a
                // later save must not write it over another profile's document.
                d->options->txtName->setReadOnly(true);
                wait.Restore();
                RunScan();
            } else if (result != Refused) {
                wait.Restore();
                Messages().Critical(S("Error occured while saving profile details"));
            }
        },
        Occued);
    if (!ran) {
        wait.Restore();
        Messages().Critical(S("Error occured while executing the profile"));
    }
    if (d->duplicates)
        d->duplicates->RowHighlight(S("Key"));
}

frmProgress::Ending frmProfile::RunScan() {
    const QString name = ProfileRules::ProfileName(d->options->txtName->text());
    modLog::ResetRunStats();
    // Over the main window: a dialog of a window still hidden would bring it to the front.
    frmProgress progress(window());
    progress.SetProfilePath(ProfileRules::DocumentPath(name));
    progress.SetResults(&Results());
    progress.exec();
    const frmProgress::Result& result = progress.Outcome();
    if (result.How == frmProgress::Ending::Stopped)
        return result.How;
    d->marksEdited = false;
    const RecordedRun recorded = RecordRun(name, result.Summary);
    d->shell.UpdateProfile(name, recorded.Status, recorded.LastRun);
    if (result.How == frmProgress::Ending::Finished) {
        ToggleTabHead(ProfileTab::Duplicates);
        // Whatever an earlier run of this window said goes.
        ShowStatus(Results().RowCount() == 0 ? S("No Duplicate files found")
                                             : FoundText(Results()));
    }
    return result.How;
}

QString frmProfile::FoundText(const ResultsModel& results) {
    qint64 groups = 0, files = 0, folders = 0;
    for (qint64 r = 1; r <= results.RowCount(); ++r) {
        if (results.IsFolderRow(r))
            ++folders;
        else if (!results.IsGroupHeader(r))
            ++files;
        else if (!results.HasFlag(r, ResultsModel::FlagMember))
            ++groups;
    }
    // The files of duplicate folders are listed only to act on them: the folders are found.
    return QString::number(folders > 0 ? folders : files) +
           (folders > 0 ? S(" duplicate folders found in ") : S(" duplicate files found in ")) +
           QString::number(groups) + (groups == 1 ? S(" group") : S(" groups"));
}

void frmProfile::cmdAdvancedOption_Click() {
    Trap(
        S("frmProfile.cmdAdvancedOption_Click"),
        [this] {
            frmAdvOptions* adv = LoadAdvOptions();
            // Just inside the main window's left edge, near its top.
            const QPoint corner = window()->frameGeometry().topLeft();
            adv->move(corner.x() + 3, corner.y() + 60);
            adv->exec();
        },
        Occued);
}

void frmProfile::cmdCancel_Click() {
    if (Messages().Ask(S("All unsaved changes will be lost. Do you want to continue?"),
                       MessageService::Answer::No))
        CloseWindow();
}

void frmProfile::CloseWindow() {
    // Hosted in the main window the frame closes, which closes this window with it.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->close();
    } else {
        close();
    }
}

void frmProfile::ToggleTabHead(ProfileTab which) {
    Trap(
        S("frmProfile.ToggleTabHead"),
        [&] {
            if (which == ProfileTab::RunLog) {
                const QString name = ProfileRules::RunLogName(d->options->txtName->text());
                bool exists = false;
                modAPI::MyPathFileExists(modCommon::LogPath + name + S(".log"), exists);
                // A profile never run keeps whatever the pane showed.
                if (exists)
                    d->runLog->LoadRunLog(name);
            }
            if (which == ProfileTab::Duplicates)
                EnableDisableActionOptions();
            const int index = static_cast<int>(which);
            d->panes->setCurrentIndex(index);
            if (d->tabs->currentIndex() != index) {
                const QSignalBlocker block(d->tabs);
                d->tabs->setCurrentIndex(index);
            }
            SetDismissButton(which == ProfileTab::Options ? S("Cancel") : S("Close"));
            if (which != ProfileTab::Duplicates)
                ShowStatus(OpenStatus());
        },
        Occued);
}

void frmProfile::SetDismissButton(const QString& caption) {
    d->cmdOK->setVisible(caption == u"Cancel");
    d->cmdCancel->setText(caption);
}

void frmProfile::ShowStatus(const QString& text) {
    d->shell.DisplayStatusMsg(text);
}

void frmProfile::Activated() {
    if (d->ActionMode == ProfileMode::Add) {
        ShowStatus(S("Currently open profile: <new profile>"));
        d->options->txtName->setFocus();
    } else {
        ShowStatus(OpenStatus());
    }
}

QString frmProfile::OpenStatus() const {
    // The name box is filled a moment after a profile opened for a run is shown.
    const QString typed = d->options->txtName->text();
    return S("Currently open profile:") + (typed.isEmpty() ? d->OpenProfileName : typed);
}

void frmProfile::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow())
        Activated();
}

void frmProfile::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (frame && !d->watchingSubWindow) {
        d->watchingSubWindow = true;
        connect(frame, &QMdiSubWindow::windowStateChanged, this,
                [this](Qt::WindowStates before, Qt::WindowStates now) {
                    if (!(before & Qt::WindowActive) && (now & Qt::WindowActive))
                        Activated();
                });
        // The document area may have made the frame active before it showed us.
        if (frame->mdiArea() && frame->mdiArea()->activeSubWindow() == frame)
            Activated();
    }
}

void frmProfile::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void frmProfile::Unload() {
    if (d->unloaded)
        return;
    d->unloaded = true;
    delete d->adv;
    d->shell.DisplayMarkTotals(QString());
}

// ---- commands on the results ----------------------------------------------------------

void frmProfile::EnableDisableActionOptions() {
    Trap(
        S("frmProfile.EnableDisableActionOptions"),
        [this] {
            // What the dialog holds now, read as TakeAction reads it, saved or not.
            ActionCommands::Offer offer;
            if (frmAdvOptions* adv = d->adv) {
                ProfileSettings settings;
                adv->Collect(settings);
                offer = ActionCommands::OfferFor(settings.DeleteTo, settings.SingleCopyCreate,
                                                 settings.DoExport);
            }
            d->actionButtons->Apply(offer);
            d->popup->Apply(offer);
        },
        Occued);
}

void frmProfile::ShowResultPopup(qint64 row, const QPoint& globalPos) {
    d->popup->Show(row, globalPos);
}

qint64 frmProfile::GetGroupFileCount(const QString& text) {
    return ResultsModel::GetGroupFileCount(text);
}

void frmProfile::TakeAction(const QString& strAction) {
    const ActionCommands::Command* command = ActionCommands::Find(strAction);
    if (!command)
        return;
    ResultsModel& results = Results();
    qint64 count = 1;
    if (command->Rows == ActionCommands::Scope::AllRows)
        count = results.RowCount();
    else if (command->Rows == ActionCommands::Scope::Group)
        count = GetGroupFileCount(results.Text(results.CurrentRow(), 2));
    // The question as it has always been, then how much it is about.
    const QString action = QString::fromLatin1(command->RunAction);
    if (!Messages().Ask(QString::fromLatin1(command->Question), MessageService::Answer::No,
                        ConcernedBy(results, action, count).Text()))
        return;

    frmActionProgress progress(results, ProfileNameText(), this);
    progress.SetAction(action);
    progress.SetFileCount(count);
    // What the person just confirmed is what the advanced options show now, saved or not:
    // the buttons were built from them, and no action falls back to the document's. (The
    // saved protected folders are honoured by the run itself; these add to them.)
    if (frmAdvOptions* adv = d->adv) {
        ProfileSettings shown;
        adv->Collect(shown);
        progress.UseShownSettings(shown);
    }
    progress.exec();
    d->marksEdited = false;
    if (const std::optional<ActionSummary>& done = progress.Summary();
        done && done->Outcome == ActionRun::Outcome::Finished)
        ShowStatus(done->Text(action));
}

int frmProfile::OpenReport() {
    // The actions on a report's rows follow this profile's saved rules, so it must have some.
    if (d->ActionMode == ProfileMode::Add) {
        Messages().Inform(S("Please save the profile before opening a report"));
        return Refused;
    }
    QString start;
    if (frmAdvOptions* adv = d->adv) {
        ProfileSettings settings;
        adv->Collect(settings);
        start = settings.ExportLocation;
    }
    const QString path = BrowseReportFile(start, this);
    if (path.isEmpty())
        return Refused;
    XmlReportReader reader;
    if (!reader.Read(path)) {
        Messages().Inform(S("The report ") + PathCodec::Display(path) +
                          S(" could not be opened: ") + reader.Error());
        return Refused;
    }
    reader.Fill(Results());
    d->marksEdited = false;
    ToggleTabHead(ProfileTab::Duplicates);
    d->duplicates->RowHighlight(S("Key"));
    d->duplicates->setFocus();
    ShowStatus(Results().RowCount() > 0 ? S("Report opened: ") + PathCodec::Display(path)
                                        : S("No Duplicate files found"));
    return Success;
}

void frmProfile::IgnoreGroup(qint64 header) {
    const QString name = ProfileRules::ProfileName(ProfileNameText());
    if (name.isEmpty()) {
        Messages().Inform(S("Give the profile a name first: its ignore list is kept beside it."));
        return;
    }
    ResultsModel& results = Results();
    const QString file = IgnoreList::FileBeside(ProfileRules::DocumentPath(name));
    IgnoreList list;
    QString error;
    if (list.Load(file, &error) != Success) {
        Messages().Present({S("The group was not ignored: the ignore list cannot be read."),
                            MessageService::Icon::Information, MessageService::Buttons::Ok,
                            MessageService::Answer::Ok, error});
        return;
    }
    // A folder group is known by its folders and their total sizes.
    const auto [folderFirst, folderLast] = results.FolderRows(header);
    const auto [first, last] =
        folderFirst > 0 ? std::pair(folderFirst, folderLast) : results.GroupFiles(header + 1);
    for (qint64 row = first; row <= last; ++row)
        list.Add({results.Text(row, 3), results.FileSize(row)});
    if (list.Save(file) != Success) {
        Messages().Present({S("The group was not ignored: the ignore list could not be written."),
                            MessageService::Icon::Information, MessageService::Buttons::Ok,
                            MessageService::Answer::Ok,
                            file + S(": ") + modAPI::SystemMessage(modAPI::LastAPIError)});
        return;
    }
    results.RemoveFromList({header});
    d->shell.DisplayStatusMsg(S("Group ignored: later runs of %1 leave it out").arg(name));
}
