#include "frmOptions.h"

#include "ActionOptionsPages.h"
#include "BrowseFolder.h"
#include "CompareTool.h"
#include "OptionWidgets.h"
#include "ScanOptionBoxes.h"
#include "Trap.h"
#include "WindowSizing.h"

#include "app/AppError.h"
#include "app/MessageService.h"
#include "app/modCommon.h"
#include "app/modLog.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

namespace {

QString ConfigPath() {
    return modCommon::AppPath + S("config.xml");
}

// The action pages come after the profile page here.
constexpr int ActionOffset = 1;

} // namespace

frmOptions::frmOptions(Shell& shell, QWidget* parent) : QDialog(parent), m_shell(shell) {
    setObjectName(S("frmOptions"));
    setWindowTitle(S("Default Options"));
    setModal(true);

    m_tree = std::make_unique<OptionWidgets::PageTree>(
        std::initializer_list<OptionWidgets::PageTree::Node>{{"Profile Options", -1},
                                                             {"Filter Options", -1},
                                                             {"Include Filter", 1},
                                                             {"Exclude Filter", 1},
                                                             {"Action Options", -1},
                                                             {"Remove Options", 4},
                                                             {"Make Single Copy", 4},
                                                             {"Export Duplicates Report", 4}});
    tvwOptions = m_tree->Tree();
    fraOptions = m_tree->Pages();
    m_scan = new ScanOptionBoxes({"Match Name", "Match Size", "Match create date && time",
                                  "Match last modified date && time", "Match contents",
                                  "System files and folders", "Hidden files and folders",
                                  "Readonly files and folders", "Zero byte files"},
                                 this);
    fraOptions->addWidget(BuildProfilePage());
    m_actions = new ActionOptionsPages(
        fraOptions, S("Make single copy of only duplicate files in selected folders"), this);
    connect(m_actions, &ActionOptionsPages::LinkActivated, this,
            [this](int page) { ShowOption(page + ActionOffset); });

    cmdOK = Named(new QPushButton(S("OK")), "cmdOK");
    cmdCancel = Named(new QPushButton(S("Cancel")), "cmdCancel");
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::reject);

    m_tree->LayOut(this, cmdOK, cmdCancel);
    resize(720, 500);
    const ScanOptionBoxes& b = *m_scan;
    OptionWidgets::ChainTabOrder(
        QList<QWidget*>{tvwOptions, txtDefaultPath, cmdDefaultBrowse, chkIncludeSubFolders,
                        b.chkFileName, b.chkFileSize, b.chkFileCreate, b.chkFileModified,
                        b.chkFileContents, b.optCRC, b.optMD5, b.chkSystemFilesandFolders,
                        b.chkHiddenFilesandFolders, b.chkReadonlyFilesandFolders,
                        b.chkZeroByteFiles, chkResizableMain, txtCompareCommand} +
        m_actions->TabChain() + QList<QWidget*>{cmdOK, cmdCancel});
}

frmOptions::~frmOptions() = default;

QWidget* frmOptions::BuildProfilePage() {
    QWidget* page = OptionWidgets::Page("Profile Options");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(S("Default Path"));
    txtDefaultPath = Named(new QLineEdit, "txtDefaultPath");
    pathLabel->setBuddy(txtDefaultPath);
    cmdDefaultBrowse = OptionWidgets::BrowseButton("cmdDefaultBrowse", S("Select default folder"));
    connect(cmdDefaultBrowse, &QPushButton::clicked, this, [this] {
        const QString chosen =
            SelectFolder(txtDefaultPath->text(), S("Select default folder"), this).trimmed();
        if (chosen.isEmpty())
            txtDefaultPath->setFocus();
        else
            txtDefaultPath->setText(chosen);
    });
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(txtDefaultPath, 1);
    pathRow->addWidget(cmdDefaultBrowse);
    layout->addLayout(pathRow);
    chkIncludeSubFolders = Named(new QCheckBox(S("Include sub folders")), "chkIncludeSubFolders");
    layout->addWidget(chkIncludeSubFolders);

    auto* frames = new QHBoxLayout;
    auto* criteria = new QGroupBox(S("Criteria for finding duplicate files"));
    (new QVBoxLayout(criteria))->addWidget(m_scan->CriteriaWidget());
    auto* ignore = new QGroupBox(S("Ignore the following"));
    auto* ignoreLayout = new QVBoxLayout(ignore);
    ignoreLayout->addWidget(m_scan->IgnoreWidget(false));
    ignoreLayout->addStretch();
    frames->addWidget(criteria);
    frames->addWidget(ignore);
    layout->addLayout(frames);
    chkResizableMain =
        Named(new QCheckBox(S("Let the main window be resized")), "chkResizableMain");
    chkResizableMain->setChecked(WindowSizing::Resizable());
    layout->addWidget(chkResizableMain);
    auto* compareRow = new QHBoxLayout;
    auto* compareLabel = new QLabel(S("Compare command"));
    txtCompareCommand = Named(new QLineEdit(CompareTool::Command()), "txtCompareCommand");
    txtCompareCommand->setToolTip(
        S("Shows two files side by side; the two paths are added as its last arguments"));
    compareLabel->setBuddy(txtCompareCommand);
    compareRow->addWidget(compareLabel);
    compareRow->addWidget(txtCompareCommand, 1);
    layout->addLayout(compareRow);
    layout->addStretch();
    return page;
}

int frmOptions::FormInit() {
    const bool done = Trap(S("frmOptions.FormInit"), [this] {
        tvwOptions->expandAll();
        SelectNode(0);
        ShowOption(0);
        if (ReadProfile() == Failed)
            throw AppError{0, S("Error in reading default profile"), {}};
    });
    return done ? Success : Failed;
}

int frmOptions::ReadProfile() {
    const bool done = Trap(S("frmOptions.ReadProfile"), [this] {
        ProfileReadout r;
        QString error;
        ProfileReader::Options options;
        options.SingleCopyAlwaysDuplicates = true;
        switch (ProfileReader::Read(ConfigPath(), options, r, error)) {
        case ProfileReader::Status::Missing: {
            const QString text =
                S("Application could not locate default profile. Please contact the vendor");
            Messages().Critical(text);
            throw AppError{528, text, {}};
        }
        case ProfileReader::Status::Unreadable: {
            const QString text = S("Error occured while reading default profile details");
            Messages().Critical(text);
            throw AppError{527, text, {}};
        }
        case ProfileReader::Status::Incomplete:
        case ProfileReader::Status::Read:
            break;
        }
        if (r.Folders && !r.Folders->isEmpty())
            txtDefaultPath->setText(r.Folders->first());
        if (r.IncludeSubFolder)
            chkIncludeSubFolders->setChecked(*r.IncludeSubFolder);
        m_scan->Apply(r);
        m_actions->Apply(r);
        if (!error.isEmpty())
            throw AppError{91, error, {}};
    });
    return done ? Success : Failed;
}

void frmOptions::ShowOption(int page) {
    m_tree->Show(page);
}

void frmOptions::SelectNode(int page) {
    m_tree->Select(page);
}

void frmOptions::cmdOK_Click() {
    if (!m_scan->AnyCriterion()) {
        Messages().Inform(S("Please select atleast one criteria to find duplicate files."));
        m_scan->chkFileName->setFocus();
        return;
    }
    const ProfileRules::LocationCheck check = m_actions->CheckLocations();
    if (check.Missing != ProfileRules::Location::None) {
        const int page = ActionOptionsPages::PageOf(check.Missing) + ActionOffset;
        ShowOption(page);
        SelectNode(page);
        Messages().Inform(check.Message);
        m_actions->FieldOf(check.Missing)->setFocus();
        return;
    }
    int saved = Failed;
    Trap(S("frmOptions.OK_Click"), [&] {
        ProfileSettings p;
        p.Folders = {txtDefaultPath->text().trimmed()};
        p.IncludeSubFolder = chkIncludeSubFolders->isChecked();
        m_scan->Collect(p);
        m_actions->Collect(p);
        // Written whole beside the old file and then put in its place, so a failure
        // leaves the previous defaults as they were.
        saved = ProfileDocument::Save(ConfigPath(), p);
    });
    if (saved != Success) {
        Messages().Inform(S("Error occured while storing the default options"));
        return;
    }
    if (txtCompareCommand->text().trimmed() != CompareTool::Command())
        CompareTool::SetCommand(txtCompareCommand->text());
    if (chkResizableMain->isChecked() != WindowSizing::Resizable()) {
        WindowSizing::SetResizable(chkResizableMain->isChecked());
        m_shell.WindowSizingChanged();
    }
    Messages().Inform(S("Options saved successfully."));
    accept();
}

void frmOptions::reject() {
    // Cancel and Escape ask first.
    if (Messages().Ask(S("All unsaved changes will be lost. Do you want to continue?"),
                       MessageService::Answer::No))
        QDialog::reject();
}

void frmOptions::closeEvent(QCloseEvent* event) {
    // Closing by the frame throws the edits away without asking.
    done(Rejected);
    event->accept();
}

void frmOptions::hideEvent(QHideEvent* event) {
    // Its name must not outlive it in the status bar.
    m_shell.DisplayStatusMsg(QString());
    QDialog::hideEvent(event);
}

void frmOptions::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_shell.DisplayStatusMsg(S("Default options "));
}
