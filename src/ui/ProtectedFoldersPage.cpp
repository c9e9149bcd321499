#include "ProtectedFoldersPage.h"

#include "BrowseFolder.h"
#include "OptionWidgets.h"

#include "app/MessageService.h"
#include "app/PathCodec.h"
#include "app/modCommon.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

namespace {

// The item shows the path as people read it; the path itself, exact, rides along.
constexpr int kPathRole = Qt::UserRole;

QPushButton* IconButton(const char* name, QStyle::StandardPixmap icon, const char* fallback,
                        const char* what) {
    auto* button = Named(new QPushButton, name);
    const QIcon shown = button->style()->standardIcon(icon);
    if (shown.isNull())
        button->setText(S(fallback));
    else
        button->setIcon(shown);
    // Without a caption the tool tip is the button's name, for eyes and screen readers.
    button->setToolTip(S(what));
    button->setAccessibleName(S(what));
    return button;
}

} // namespace

ProtectedFoldersPage::ProtectedFoldersPage(QStackedWidget* stack, QWidget* owner)
    : QObject(stack), m_owner(owner) {
    auto* page = OptionWidgets::Page("Protected Folders");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(OptionWidgets::WrappedLabel(
        "Files in these folders and their sub-folders are never removed, moved or zipped, "
        "whatever their marks. A marked file there is skipped and the action log says so."));

    lblProtected = Named(new QLabel(S("&Protected folders")), "lblProtected");
    lvwProtected = Named(new QTreeWidget, "lvwProtected");
    lblProtected->setBuddy(lvwProtected);
    lvwProtected->setHeaderLabels({S("Folder")});
    lvwProtected->setRootIsDecorated(false);
    lvwProtected->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwProtected->setAccessibleName(S("Protected folders"));

    cmdProtectAdd = IconButton("cmdProtectAdd", QStyle::SP_FileDialogNewFolder, "+",
                               "Add a protected folder...");
    cmdProtectRemove = IconButton("cmdProtectRemove", QStyle::SP_DialogDiscardButton, "-",
                                  "Remove the selected protected folders");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdProtectAdd);
    buttons->addWidget(cmdProtectRemove);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(lvwProtected, 1);
    row->addLayout(buttons);
    layout->addWidget(lblProtected);
    layout->addLayout(row, 1);
    stack->addWidget(page);

    connect(cmdProtectAdd, &QPushButton::clicked, this, &ProtectedFoldersPage::cmdProtectAdd_Click);
    connect(cmdProtectRemove, &QPushButton::clicked, this,
            &ProtectedFoldersPage::cmdProtectRemove_Click);
}

void ProtectedFoldersPage::Apply(const ProfileReadout& readout) {
    lvwProtected->clear();
    for (const QString& folder : readout.ProtectedFolders)
        AddFolder(folder);
    lvwProtected->clearSelection();
}

void ProtectedFoldersPage::Collect(ProfileSettings& settings) const {
    settings.ProtectedFolders = Folders();
}

QStringList ProtectedFoldersPage::Folders() const {
    QStringList folders;
    for (int i = 0; i < lvwProtected->topLevelItemCount(); ++i)
        folders << lvwProtected->topLevelItem(i)->data(0, kPathRole).toString();
    return folders;
}

QList<QWidget*> ProtectedFoldersPage::TabChain() const {
    return {lvwProtected, cmdProtectAdd, cmdProtectRemove};
}

void ProtectedFoldersPage::AddFolder(const QString& folder) {
    // A folder listed already, with or without its final "/", is selected, not doubled.
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < lvwProtected->topLevelItemCount() && !item; ++i) {
        QTreeWidgetItem* listed = lvwProtected->topLevelItem(i);
        if (modCommon::QualifyPath(listed->data(0, kPathRole).toString()) ==
            modCommon::QualifyPath(folder))
            item = listed;
    }
    if (!item) {
        item = new QTreeWidgetItem(lvwProtected, {PathCodec::Display(folder)});
        item->setData(0, kPathRole, folder);
    }
    lvwProtected->clearSelection();
    item->setSelected(true);
    lvwProtected->setCurrentItem(item);
    lvwProtected->scrollToItem(item);
}

void ProtectedFoldersPage::cmdProtectAdd_Click() {
    const QString chosen = BrowseFolder(S("Select a folder to protect"), m_owner);
    if (!chosen.isEmpty())
        AddFolder(chosen);
    lvwProtected->setFocus();
}

void ProtectedFoldersPage::cmdProtectRemove_Click() {
    int lowest = -1;
    for (int i = lvwProtected->topLevelItemCount() - 1; i >= 0; --i) {
        if (lvwProtected->topLevelItem(i)->isSelected()) {
            delete lvwProtected->takeTopLevelItem(i);
            lowest = i;
        }
    }
    if (lowest < 0) {
        Messages().Inform(S("Please select an item to remove and try again."));
        return;
    }
    if (lvwProtected->topLevelItemCount() > 0) {
        QTreeWidgetItem* next = lvwProtected->topLevelItem(qMax(0, lowest - 1));
        lvwProtected->clearSelection();
        next->setSelected(true);
        lvwProtected->setCurrentItem(next);
    }
    lvwProtected->setFocus();
}
