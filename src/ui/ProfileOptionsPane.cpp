#include "ProfileOptionsPane.h"

#include "OptionWidgets.h"
#include "ScanOptionBoxes.h"
#include "TreewellHost.h"

#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

namespace {

QString WithoutSeparator(const QString& path) {
    return path.size() > 1 && path.endsWith(u'/') ? path.chopped(1) : path;
}

// Whether the tree's selection stands for the folder: the folder itself, or with
// sub-folders included, a ticked folder above it.
bool Covered(const QString& folder, const QStringList& selection, bool withSubFolders) {
    const QString f = WithoutSeparator(folder.trimmed());
    for (const QString& s : selection) {
        const QString key = WithoutSeparator(s);
        if (key.isEmpty())
            continue;
        if (key == f)
            return true;
        const QString above = key.endsWith(u'/') ? key : key + u'/';
        if (withSubFolders && f.startsWith(above))
            return true;
    }
    return false;
}

} // namespace

ProfileOptionsPane::ProfileOptionsPane(QWidget* parent) : QWidget(parent) {
    setObjectName(S("fraProfileOptions"));
    lblName = new QLabel(S("Profile Name"));
    txtName = Named(new QLineEdit, "txtName");
    lblName->setBuddy(txtName);

    flExplorer = TreewellHost::CreateFoldersList(this);
    if (flExplorer) {
        flExplorer->setObjectName(S("flExplorer"));
        flExplorer->setAccessibleName(S("Folders"));
        // Folders a person may mean to scan even though the desktop hides them.
        TreewellHost::SetBool(flExplorer, "ReadOnlyFoldersFiles", true);
        TreewellHost::SetBool(flExplorer, "SystemFoldersFiles", true);
        TreewellHost::SetBool(flExplorer, "HiddenFoldersFiles", true);
    }
    chkIncludeSubFolders = Named(new QCheckBox(S("Include sub folders")), "chkIncludeSubFolders");
    connect(chkIncludeSubFolders, &QCheckBox::toggled, this,
            &ProfileOptionsPane::chkIncludeSubFolders_Click);
    // Beside the folders it is about: which of the ticked folders a group must span.
    chkAcrossFolders =
        Named(new QCheckBox(S("Only duplicates across the selected folders")), "chkAcrossFolders");
    chkAcrossFolders->setToolTip(
        S("A file counts for the deepest selected folder that holds it; groups whose files "
          "all lie in one selected folder are left out"));
    chkFindFolders = Named(new QCheckBox(S("Find duplicate folders")), "chkFindFolders");
    chkFindFolders->setAccessibleName(S("Find duplicate folders"));
    chkFindFolders->setToolTip(
        S("After the scan, show the folders whose files and sub-folders are all copies of "
          "another folder's, instead of the files; only the outermost such folders are "
          "listed, and their rows cannot be marked"));

    m_scan = new ScanOptionBoxes({"Name", "Size", "Create date && time", "Modified date && time",
                                  "Match Contents", "System", "Hidden", "Readonly ",
                                  "Zero byte size files"},
                                 this);
    cmdAdvancedOption = Named(new QPushButton(S("Advanced Options")), "cmdAdvancedOption");

    auto* left = new QVBoxLayout;
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(lblName);
    nameRow->addWidget(txtName, 1);
    left->addLayout(nameRow);
    if (flExplorer)
        left->addWidget(flExplorer, 1);
    else
        left->addWidget(new QLabel(S("The folder tree could not be loaded.")), 1);
    left->addWidget(chkIncludeSubFolders);
    left->addWidget(chkAcrossFolders);
    left->addWidget(chkFindFolders);

    auto* criteria = new QGroupBox(S("Match criteria to find duplicate files"));
    (new QVBoxLayout(criteria))->addWidget(m_scan->CriteriaWidget());
    auto* ignore = new QGroupBox(S("Ignore the following file && folder types"));
    (new QVBoxLayout(ignore))->addWidget(m_scan->IgnoreWidget(true));
    auto* right = new QVBoxLayout;
    right->addWidget(criteria);
    right->addWidget(ignore);
    right->addStretch();
    right->addWidget(cmdAdvancedOption);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);

    setTabOrder(txtName, flExplorer ? flExplorer : static_cast<QWidget*>(chkIncludeSubFolders));
    if (flExplorer)
        setTabOrder(flExplorer, chkIncludeSubFolders);
    setTabOrder(chkIncludeSubFolders, chkAcrossFolders);
    setTabOrder(chkAcrossFolders, chkFindFolders);
    QWidget* previous = chkFindFolders;
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_scan->chkFileName, m_scan->chkFileSize, m_scan->chkFileCreate,
             m_scan->chkFileModified, m_scan->chkFileContents, m_scan->optCRC, m_scan->optMD5,
             m_scan->chkReadonlyFilesandFolders, m_scan->chkHiddenFilesandFolders,
             m_scan->chkSystemFilesandFolders, m_scan->chkZeroByteFiles, cmdAdvancedOption}) {
        setTabOrder(previous, w);
        previous = w;
    }
    chkIncludeSubFolders_Click();
}

ProfileOptionsPane::~ProfileOptionsPane() = default;

void ProfileOptionsPane::chkIncludeSubFolders_Click() {
    TreewellHost::SetBool(flExplorer, "IncludeSubFolder", chkIncludeSubFolders->isChecked());
}

void ProfileOptionsPane::Apply(const ProfileReadout& r, bool keepUnshown) {
    if (r.IncludeSubFolder)
        chkIncludeSubFolders->setChecked(*r.IncludeSubFolder);
    if (r.AcrossFolders)
        chkAcrossFolders->setChecked(*r.AcrossFolders);
    if (r.FindFolders)
        chkFindFolders->setChecked(*r.FindFolders);
    m_scan->Apply(r);
    // The handlers run only on a change; the tree must agree with the box whatever the
    // box showed before.
    chkIncludeSubFolders_Click();
    if (r.Folders)
        SetFolders(*r.Folders, keepUnshown);
}

void ProfileOptionsPane::SetFolders(const QStringList& folders, bool keepUnshown) {
    TreewellHost::SetUserSelection(flExplorer, folders);
    const QStringList shown = TreewellHost::GetUserSelection(flExplorer);
    m_unshown.clear();
    // The default options only suggest where a new profile starts.
    if (!keepUnshown)
        return;
    for (const QString& f : folders)
        if (!f.trimmed().isEmpty() && !Covered(f, shown, chkIncludeSubFolders->isChecked()) &&
            !m_unshown.contains(f))
            m_unshown << f;
}

QStringList ProfileOptionsPane::Folders() const {
    QStringList folders = TreewellHost::GetUserSelection(flExplorer);
    folders.removeAll(QString());
    for (const QString& f : m_unshown)
        if (!folders.contains(f))
            folders << f;
    return folders.isEmpty() ? QStringList{QString()} : folders;
}

void ProfileOptionsPane::FocusFolders() {
    if (flExplorer)
        flExplorer->setFocus();
}

void ProfileOptionsPane::Collect(ProfileSettings& p) const {
    p.IncludeSubFolder = chkIncludeSubFolders->isChecked();
    p.AcrossFolders = chkAcrossFolders->isChecked();
    p.FindFolders = chkFindFolders->isChecked();
    m_scan->Collect(p);
}

bool ProfileOptionsPane::AnyCriterion() const {
    return m_scan->AnyCriterion();
}
