#include "frmAdvOptions.h"

#include "ActionOptionsPages.h"
#include "IgnoreListPage.h"
#include "OptionWidgets.h"
#include "ProtectedFoldersPage.h"
#include "Trap.h"

#include "app/MessageService.h"
#include "app/modLog.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

namespace {

bool Trapped(const char* procedure, const std::function<void()>& body) {
    return Trap(S("frmAdvOptions.") + S(procedure), body);
}

} // namespace

frmAdvOptions::frmAdvOptions(QWidget* parent, std::function<void()> resetAdvOptions)
    : QDialog(parent), m_resetAdvOptions(std::move(resetAdvOptions)) {
    setObjectName(S("frmAdvOptions"));
    setWindowTitle(S("Advanced Options"));
    setModal(true);

    // Node n shows page n; the two overview pages head their branches.
    m_tree = std::make_unique<OptionWidgets::PageTree>(
        std::initializer_list<OptionWidgets::PageTree::Node>{{"Filter Options", -1},
                                                             {"Include Options", 0},
                                                             {"Exclude Options", 0},
                                                             {"Action Options", -1},
                                                             {"Remove Options", 3},
                                                             {"Make Single Copy", 3},
                                                             {"Export Duplicates Report", 3},
                                                             {"Protected Folders", 3},
                                                             {"Ignored Files", 0}});
    tvwOptions = m_tree->Tree();
    fraOptions = m_tree->Pages();
    m_pages = new ActionOptionsPages(
        fraOptions, S("Make single copy of duplicate files in selected folders"), this);
    m_protection = new ProtectedFoldersPage(fraOptions, this);
    m_ignored = new IgnoreListPage(fraOptions,
                                   [this] { return m_ignoreFile ? m_ignoreFile() : QString(); });
    // Here a link also moves the tree to its page.
    connect(m_pages, &ActionOptionsPages::LinkActivated, this, [this](int page) {
        ShowOption(page);
        SelectNode(page);
    });

    cmdOK = Named(new QPushButton(S("OK")), "cmdOK");
    cmdCancel = Named(new QPushButton(S("Cancel")), "cmdCancel");
    cmdOK->setDefault(false);
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmAdvOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { DiscardEdits(); });

    m_tree->LayOut(this, cmdOK, cmdCancel);
    resize(680, 420);
    OptionWidgets::ChainTabOrder(QList<QWidget*>{tvwOptions} + m_pages->TabChain() +
                                 m_protection->TabChain() + m_ignored->TabChain() +
                                 QList<QWidget*>{cmdOK, cmdCancel});
    FormInit();
}

frmAdvOptions::~frmAdvOptions() = default;

void frmAdvOptions::FormInit() {
    Trapped("FormInit", [this] {
        tvwOptions->expandAll();
        SelectNode(0);
        ShowOption(0);
    });
}

void frmAdvOptions::SetIgnoreFile(std::function<QString()> file) {
    m_ignoreFile = std::move(file);
    m_ignored->Load();
}

void frmAdvOptions::showEvent(QShowEvent* event) {
    // Groups ignored from the duplicates list since the dialog was last open show here.
    if (!event->spontaneous())
        m_ignored->Load();
    QDialog::showEvent(event);
}

void frmAdvOptions::ShowOption(int page) {
    m_tree->Show(page);
}

void frmAdvOptions::SelectNode(int page) {
    m_tree->Select(page);
}

void frmAdvOptions::ToggleSingleCopyControls() {
    m_pages->ToggleSingleCopyControls();
}

void frmAdvOptions::ToggleExportControls() {
    m_pages->ToggleExportControls();
}

void frmAdvOptions::Apply(const ProfileReadout& readout) {
    m_pages->Apply(readout);
    m_protection->Apply(readout);
}

void frmAdvOptions::Collect(ProfileSettings& settings) const {
    m_pages->Collect(settings);
    m_protection->Collect(settings);
}

void frmAdvOptions::cmdOK_Click() {
    Trapped("cmdOK_Click", [this] {
        const ProfileRules::LocationCheck check = m_pages->CheckLocations();
        if (check.Missing != ProfileRules::Location::None) {
            const int page = ActionOptionsPages::PageOf(check.Missing);
            ShowOption(page);
            SelectNode(page);
            Messages().Inform(check.Message);
            m_pages->FieldOf(check.Missing)->setFocus();
            return;
        }
        if (const QString problem = m_ignored->Save(); !problem.isEmpty()) {
            Messages().Present({S("The ignore list could not be written."),
                                MessageService::Icon::Information, MessageService::Buttons::Ok,
                                MessageService::Answer::Ok, problem});
            return;
        }
        accept();
    });
}

bool frmAdvOptions::DiscardEdits() {
    if (!Messages().Ask(S("All unsaved changes will be lost. Do you want to continue?"),
                        MessageService::Answer::No))
        return false;
    m_pages->ClearFilters();
    m_ignored->Load();
    if (m_resetAdvOptions)
        m_resetAdvOptions();
    QDialog::reject();
    return true;
}

void frmAdvOptions::reject() {
    // Escape is the Cancel button.
    DiscardEdits();
}

void frmAdvOptions::closeEvent(QCloseEvent* event) {
    // Only the program closes the dialog while it is hidden (the program ending, a run
    // that took its profile window away): that unloads it without a question.
    if (!isVisible()) {
        event->accept();
        return;
    }
    // The frame's close never unloads the dialog: the profile window owns it, and it
    // must keep holding the action part for that window.
    event->ignore();
    Trapped("Form_QueryUnload", [this] { DiscardEdits(); });
}
