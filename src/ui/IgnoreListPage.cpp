#include "IgnoreListPage.h"

#include "OptionWidgets.h"

#include "app/AppError.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using OptionWidgets::Named;
using OptionWidgets::S;

IgnoreListPage::IgnoreListPage(QStackedWidget* stack, std::function<QString()> file)
    : QObject(stack), m_file(std::move(file)) {
    auto* page = OptionWidgets::Page("Ignored Files");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(OptionWidgets::WrappedLabel(
        "Groups whose every file is listed here (same path, same size) are left out of this "
        "profile's runs. \"Ignore this group\" on the duplicates list adds to it."));
    lblProblem = Named(new QLabel, "lblIgnoreProblem");
    lblProblem->setWordWrap(true);
    lblProblem->hide();
    layout->addWidget(lblProblem);
    auto* label = new QLabel(S("&Ignored files"));
    lvwIgnored = Named(new QTreeWidget, "lvwIgnored");
    label->setBuddy(lvwIgnored);
    lvwIgnored->setAccessibleName(S("Ignored files"));
    lvwIgnored->setHeaderLabels({S("File"), S("Size")});
    lvwIgnored->setRootIsDecorated(false);
    lvwIgnored->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwIgnored->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvwIgnored->header()->setStretchLastSection(false);
    cmdRemoveIgnored = Named(new QPushButton(S("&Remove")), "cmdRemoveIgnored");
    cmdRemoveIgnored->setToolTip(S("Show the selected files' groups again in later runs"));
    connect(cmdRemoveIgnored, &QPushButton::clicked, this, &IgnoreListPage::RemoveSelected);
    connect(lvwIgnored, &QTreeWidget::itemSelectionChanged, this,
            [this] { cmdRemoveIgnored->setEnabled(!lvwIgnored->selectedItems().isEmpty()); });
    layout->addWidget(label);
    layout->addWidget(lvwIgnored, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRemoveIgnored);
    buttons->addStretch();
    layout->addLayout(buttons);
    stack->addWidget(page);
    Load();
}

void IgnoreListPage::Load() {
    QString error;
    m_changed = false;
    const bool read = m_list.Load(m_file(), &error) == Success;
    lblProblem->setText(S("The list cannot be read: ") + error);
    lblProblem->setVisible(!read);
    Show();
}

void IgnoreListPage::Show() {
    lvwIgnored->clear();
    for (const IgnoreList::Entry& e : m_list.Entries()) {
        auto* item = new QTreeWidgetItem(
            lvwIgnored, {PathCodec::Display(e.Path), QString::number(e.Size) + S(" bytes")});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
    lvwIgnored->resizeColumnToContents(1);
    cmdRemoveIgnored->setEnabled(false);
}

void IgnoreListPage::RemoveSelected() {
    std::vector<size_t> rows;
    for (QTreeWidgetItem* item : lvwIgnored->selectedItems())
        rows.push_back(size_t(lvwIgnored->indexOfTopLevelItem(item)));
    std::sort(rows.rbegin(), rows.rend());
    for (const size_t row : rows)
        m_list.Remove(row);
    m_changed = m_changed || !rows.empty();
    const int at = rows.empty() ? 0 : int(rows.back());
    Show();
    if (lvwIgnored->topLevelItemCount() > 0)
        lvwIgnored->setCurrentItem(
            lvwIgnored->topLevelItem(std::min(at, lvwIgnored->topLevelItemCount() - 1)));
    lvwIgnored->setFocus();
}

QString IgnoreListPage::Save() {
    if (!m_changed)
        return {};
    if (m_list.Save(m_file()) != Success)
        return m_file() + S(": ") + modAPI::SystemMessage(modAPI::LastAPIError);
    m_changed = false;
    return {};
}

QList<QWidget*> IgnoreListPage::TabChain() const {
    return {lvwIgnored, cmdRemoveIgnored};
}
