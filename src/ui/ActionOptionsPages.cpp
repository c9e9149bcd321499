#include "ActionOptionsPages.h"

#include "BrowseFolder.h"
#include "OptionWidgets.h"

#include "app/MessageService.h"
#include "profiles/ActionWords.h"
#include "profiles/ProfileDocument.h"

#include <QCheckBox>
#include <QCommandLinkButton>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

ActionOptionsPages::ActionOptionsPages(QStackedWidget* stack,
                                       const QString& copyOnlyDuplicateCaption, QWidget* owner)
    : QObject(stack), m_owner(owner) {
    stack->addWidget(BuildFilterPage());
    stack->addWidget(BuildListPage(true));
    stack->addWidget(BuildListPage(false));
    stack->addWidget(BuildActionPage());
    stack->addWidget(BuildRemovePage());
    stack->addWidget(BuildCopyPage(copyOnlyDuplicateCaption));
    stack->addWidget(BuildExportPage());
    ToggleSingleCopyControls();
    ToggleExportControls();
}

QCommandLinkButton* ActionOptionsPages::Link(const char* name, const char* caption,
                                             const char* description, Page page) {
    auto* link = Named(new QCommandLinkButton(S(caption), S(description)), name);
    connect(link, &QCommandLinkButton::clicked, this, [this, page] { Q_EMIT LinkActivated(page); });
    return link;
}

QPushButton* ActionOptionsPages::BrowseButton(const char* name, QLineEdit* field,
                                              const char* prompt) {
    auto* button = OptionWidgets::BrowseButton(name, S(prompt));
    connect(button, &QPushButton::clicked, this, [this, field, prompt] {
        // A cancelled browse leaves the field and puts the user back into it.
        const QString chosen = SelectFolder(field->text(), S(prompt), m_owner).trimmed();
        if (chosen.isEmpty())
            field->setFocus();
        else
            field->setText(chosen);
    });
    return button;
}

QWidget* ActionOptionsPages::BuildFilterPage() {
    auto* page = OptionWidgets::Page("Filter Options");
    lblIncludeHand = Link("lblIncludeHand", "Include Options",
                          "Only files matching this criteria are considered for duplicate checking",
                          IncludePage);
    lblExcludeHand =
        Link("lblExcludeHand", "Exclude Options",
             "Files matching this criteria are excluded from duplicate checking", ExcludePage);
    page->layout()->addWidget(lblIncludeHand);
    page->layout()->addWidget(lblExcludeHand);
    static_cast<QVBoxLayout*>(page->layout())->addStretch();
    return page;
}

QWidget* ActionOptionsPages::BuildListPage(bool include) {
    auto* page = OptionWidgets::Page(include ? "Include Options" : "Exclude Options");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(OptionWidgets::WrappedLabel(
        include ? "Only files matching this criteria are considered for duplicate checking"
                : "Files matching this criteria are excluded from duplicate checking"));
    auto* criteria = new QLabel(S("Filter Criteria"));
    layout->addWidget(criteria);
    layout->addWidget(OptionWidgets::WrappedLabel("Enter file name or the following patterns: "));
    layout->addWidget(OptionWidgets::WrappedLabel(
        "? - Any single character, * - Zero or more characters, # - Any single digit [0-9]"));

    auto* box = Named(new QLineEdit, include ? "txtInclude" : "txtExclude");
    criteria->setBuddy(box);
    auto* add = Named(new QPushButton(S("+")), include ? "cmdIncludeAdd" : "cmdExcludeAdd");
    auto* remove =
        Named(new QPushButton(S("-")), include ? "cmdIncludeRemove" : "cmdExcludeRemove");
    add->setToolTip(S("Add"));
    add->setAccessibleName(S("Add"));
    remove->setToolTip(S("Remove"));
    remove->setAccessibleName(S("Remove"));
    for (QPushButton* b : {add, remove})
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(S("MM")) + 12);
    auto* row = new QHBoxLayout;
    row->addWidget(box, 1);
    row->addWidget(add);
    row->addWidget(remove);
    layout->addLayout(row);

    auto* list = Named(new QTreeWidget, include ? "lvwInclude" : "lvwExclude");
    list->setHeaderLabels({S("File Desc")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAccessibleName(include ? S("Include Options") : S("Exclude Options"));
    layout->addWidget(list, 1);

    if (include) {
        txtInclude = box, cmdIncludeAdd = add, cmdIncludeRemove = remove, lvwInclude = list;
    } else {
        txtExclude = box, cmdExcludeAdd = add, cmdExcludeRemove = remove, lvwExclude = list;
    }
    const auto validate = [this, include] {
        if (include)
            ValidateFilter(txtInclude, lvwInclude, lvwExclude, S("Exclude"));
        else
            ValidateFilter(txtExclude, lvwExclude, lvwInclude, S("Include"));
    };
    connect(add, &QPushButton::clicked, this, validate);
    connect(box, &QLineEdit::returnPressed, this, validate);
    connect(remove, &QPushButton::clicked, this, [this, list] { RemoveListItem(list); });
    return page;
}

QWidget* ActionOptionsPages::BuildActionPage() {
    auto* page = OptionWidgets::Page("Action Options");
    lblRemoveHand =
        Link("lblRemoveHand", "Remove Options", "Rules to remove duplicate files ", RemovePage);
    lblSingleCopyHead =
        Link("lblSingleCopyHead", "Single Copy",
             "Make single copy of duplicate files in the selected folders", CopyPage);
    lblExportHand = Link("lblExportHand", "Export Duplicates Report",
                         "Export the list of duplicate files for the selected profile", ExportPage);
    for (QWidget* w : {lblRemoveHand, lblSingleCopyHead, lblExportHand})
        page->layout()->addWidget(w);
    static_cast<QVBoxLayout*>(page->layout())->addStretch();
    return page;
}

QWidget* ActionOptionsPages::BuildRemovePage() {
    auto* page = OptionWidgets::Page("Remove Options");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(OptionWidgets::WrappedLabel("Rules to remove duplicate files "));
    auto* rules = new QWidget;
    auto* grid = new QGridLayout(rules);
    grid->setContentsMargins(0, 0, 0, 0);
    optRecycleBin = Named(new QRadioButton(S("Send to Recycle Bin")), "optRecycleBin");
    optPermanent = Named(new QRadioButton(S("Delete permanently")), "optPermanent");
    optMove = Named(new QRadioButton(S("Move to folder")), "optMove");
    optZip = Named(new QRadioButton(S("Zip to folder")), "optZip");
    optHardLink = Named(new QRadioButton(S("Replace by a hard link to the kept copy (same file "
                                           "system only)")),
                        "optHardLink");
    optClone = Named(new QRadioButton(S("Share blocks with the kept copy (btrfs and XFS only; "
                                        "every file stays)")),
                     "optClone");
    txtMoveToLocation = Named(new QLineEdit, "txtMoveToLocation");
    txtZipToLocation = Named(new QLineEdit, "txtZipToLocation");
    txtMoveToLocation->setAccessibleName(optMove->text());
    txtZipToLocation->setAccessibleName(optZip->text());
    cmdMoveBrowse =
        BrowseButton("cmdMoveBrowse", txtMoveToLocation, "Select a folder to move duplicate files");
    cmdZipBrowse =
        BrowseButton("cmdZipBrowse", txtZipToLocation, "Select a folder to zip duplicate files");
    grid->addWidget(optRecycleBin, 0, 0, 1, 3);
    grid->addWidget(optPermanent, 1, 0, 1, 3);
    grid->addWidget(optMove, 2, 0);
    grid->addWidget(txtMoveToLocation, 2, 1);
    grid->addWidget(cmdMoveBrowse, 2, 2);
    grid->addWidget(optZip, 3, 0);
    grid->addWidget(txtZipToLocation, 3, 1);
    grid->addWidget(cmdZipBrowse, 3, 2);
    grid->addWidget(optHardLink, 4, 0, 1, 3);
    grid->addWidget(optClone, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(rules);
    optRecycleBin->setChecked(true);
    lblOtherRule = Named(new QLabel, "lblOtherRule");
    lblOtherRule->setWordWrap(true);
    lblOtherRule->setTextFormat(Qt::PlainText);
    lblOtherRule->hide();
    layout->addWidget(lblOtherRule);

    auto* other = Named(new QGroupBox, "fraOtherRemoval");
    auto* otherLayout = new QVBoxLayout(other);
    chkDeleteEmptyFolder =
        Named(new QCheckBox(S("Delete folder when all files inside are removed")),
              "chkDeleteEmptyFolder");
    otherLayout->addWidget(chkDeleteEmptyFolder);
    layout->addWidget(other);
    layout->addStretch();

    // Only a person's choice clears the other rule's folder; reading a document sets the
    // rule without touching the fields.
    connect(optMove, &QRadioButton::clicked, this, [this] { txtZipToLocation->clear(); });
    connect(optZip, &QRadioButton::clicked, this, [this] { txtMoveToLocation->clear(); });
    // A linked or sharing file keeps its name, so its folder never becomes empty: the choice
    // does not apply, and is kept for when another rule is chosen again.
    for (QRadioButton* b : {optHardLink, optClone})
        connect(b, &QRadioButton::toggled, chkDeleteEmptyFolder, [this] {
            chkDeleteEmptyFolder->setEnabled(!optHardLink->isChecked() && !optClone->isChecked());
        });
    for (QRadioButton* b : {optRecycleBin, optPermanent, optHardLink, optClone})
        connect(b, &QRadioButton::clicked, this, [this] {
            txtMoveToLocation->clear();
            txtZipToLocation->clear();
        });
    for (QRadioButton* b : {optRecycleBin, optPermanent, optMove, optZip, optHardLink, optClone})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                SetOtherRule({}, {});
        });
    return page;
}

void ActionOptionsPages::SetOtherRule(const QString& rule, const QString& folder) {
    m_otherRule = rule;
    m_otherFolder = folder;
    lblOtherRule->setVisible(!rule.isEmpty());
    if (rule.isEmpty())
        return;
    lblOtherRule->setText(S("The profile's remove rule \"") + rule +
                          S("\" is not one this version of Echofind knows. Nothing is removed "
                            "until one of the rules above is chosen."));
    OptionWidgets::Uncheck({optRecycleBin, optPermanent, optMove, optZip, optHardLink, optClone});
}

QString ActionOptionsPages::OtherRule() const {
    return m_otherRule;
}

QWidget* ActionOptionsPages::BuildCopyPage(const QString& copyOnlyDuplicateCaption) {
    auto* page = OptionWidgets::Page("Single Copy");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    chkAutomaticCopy = Named(new QCheckBox(S("Create single copy")), "chkAutomaticCopy");
    layout->addWidget(chkAutomaticCopy);
    fraCopyFiles = Named(new QGroupBox, "fraCopyFiles");
    auto* grid = new QGridLayout(fraCopyFiles);
    optCopyOnlyDuplicate =
        Named(new QRadioButton(copyOnlyDuplicateCaption), "optCopyOnlyDuplicate");
    lblCreate = Named(new QLabel(S("Create in folder")), "lblCreate");
    txtCopyToLocation = Named(new QLineEdit, "txtCopyToLocation");
    lblCreate->setBuddy(txtCopyToLocation);
    cmdBrowseCopy =
        BrowseButton("cmdBrowseCopy", txtCopyToLocation, "Select a folder to create single copy");
    grid->addWidget(optCopyOnlyDuplicate, 0, 0, 1, 3);
    grid->addWidget(lblCreate, 1, 0);
    grid->addWidget(txtCopyToLocation, 1, 1);
    grid->addWidget(cmdBrowseCopy, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addWidget(fraCopyFiles);
    layout->addStretch();
    connect(chkAutomaticCopy, &QCheckBox::clicked, this,
            &ActionOptionsPages::ToggleSingleCopyControls);
    return page;
}

QWidget* ActionOptionsPages::BuildExportPage() {
    auto* page = OptionWidgets::Page("Export Duplicates Report");
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    chkExport = Named(new QCheckBox(S("Export")), "chkExport");
    layout->addWidget(chkExport);
    fraExport = Named(new QGroupBox, "fraExport");
    auto* grid = new QGridLayout(fraExport);
    lblExport = Named(new QLabel(S("Export to folder")), "lblExport");
    txtExportFolder = Named(new QLineEdit, "txtExportFolder");
    lblExport->setBuddy(txtExportFolder);
    cmdBrowseExport = BrowseButton("cmdBrowseExport", txtExportFolder,
                                   "Select a folder to export duplicate files report");
    fraExportFormat = Named(new QGroupBox(S("Format")), "fraExportFormat");
    auto* formats = new QHBoxLayout(fraExportFormat);
    optExportHTML = Named(new QRadioButton(S("HTML ")), "optExportHTML");
    optExportCSV = Named(new QRadioButton(S("CSV ")), "optExportCSV");
    optExportText = Named(new QRadioButton(S("Text")), "optExportText");
    optExportXML = Named(new QRadioButton(S("XML")), "optExportXML");
    for (QRadioButton* b : {optExportHTML, optExportCSV, optExportText, optExportXML})
        formats->addWidget(b);
    formats->addStretch();
    grid->addWidget(lblExport, 0, 0);
    grid->addWidget(txtExportFolder, 0, 1);
    grid->addWidget(cmdBrowseExport, 0, 2);
    grid->addWidget(fraExportFormat, 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    layout->addWidget(fraExport);
    layout->addStretch();
    connect(chkExport, &QCheckBox::clicked, this, &ActionOptionsPages::ToggleExportControls);
    return page;
}

void ActionOptionsPages::ToggleSingleCopyControls() {
    const bool on = chkAutomaticCopy->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{lblCreate, txtCopyToLocation, cmdBrowseCopy,
                                                      optCopyOnlyDuplicate, fraCopyFiles})
        w->setEnabled(on);
    if (on) {
        optCopyOnlyDuplicate->setChecked(true);
    } else {
        OptionWidgets::Uncheck({optCopyOnlyDuplicate});
        txtCopyToLocation->clear();
    }
}

void ActionOptionsPages::ToggleExportControls() {
    const bool on = chkExport->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{
             txtExportFolder, cmdBrowseExport, optExportHTML, optExportCSV, optExportText,
             optExportXML, lblExport, fraExportFormat, fraExport})
        w->setEnabled(on);
    if (on) {
        optExportText->setChecked(true);
    } else {
        txtExportFolder->clear();
        OptionWidgets::Uncheck({optExportHTML, optExportCSV, optExportText, optExportXML});
    }
}

void ActionOptionsPages::Apply(const ProfileReadout& r) {
    for (const QString& f : r.IncludeFilters)
        new QTreeWidgetItem(lvwInclude, {f});
    for (const QString& f : r.ExcludeFilters)
        new QTreeWidgetItem(lvwExclude, {f});
    if (r.Remove) {
        switch (ActionWords::MethodOf(r.Remove->DeleteTo)) {
        case RemoveMethod::Zip:
            optZip->setChecked(true);
            txtZipToLocation->setText(r.Remove->Folder);
            break;
        case RemoveMethod::Move:
            optMove->setChecked(true);
            txtMoveToLocation->setText(r.Remove->Folder);
            break;
        case RemoveMethod::Permanent:
            optPermanent->setChecked(true);
            break;
        case RemoveMethod::HardLink:
            optHardLink->setChecked(true);
            break;
        case RemoveMethod::Clone:
            optClone->setChecked(true);
            break;
        case RemoveMethod::Trash:
            optRecycleBin->setChecked(true);
            break;
        case RemoveMethod::Unknown:
            SetOtherRule(r.Remove->DeleteTo, r.Remove->Folder);
            break;
        }
        chkDeleteEmptyFolder->setChecked(r.Remove->DeleteEmptyFolder);
    }
    if (r.Copy) {
        chkAutomaticCopy->setChecked(r.Copy->Create);
        ToggleSingleCopyControls();
        if (chkAutomaticCopy->isChecked()) {
            if (r.Copy->DuplicatesOnly)
                optCopyOnlyDuplicate->setChecked(true);
            else
                OptionWidgets::Uncheck({optCopyOnlyDuplicate});
            txtCopyToLocation->setText(r.Copy->Folder);
        }
    }
    if (r.Exports) {
        chkExport->setChecked(r.Exports->DoExport);
        ToggleExportControls();
        if (chkExport->isChecked()) {
            txtExportFolder->setText(r.Exports->Location);
            const ReportFormat f = ActionWords::FormatOf(r.Exports->Format);
            (f == ReportFormat::Text  ? optExportText
             : f == ReportFormat::Xml ? optExportXML
             : f == ReportFormat::Csv ? optExportCSV
                                      : optExportHTML)
                ->setChecked(true);
        }
    }
}

QString ActionOptionsPages::DeleteTo() const {
    if (!m_otherRule.isEmpty())
        return m_otherRule;
    // Decided in this order, so a rule is always written even if none shows as chosen.
    const RemoveMethod chosen = optRecycleBin->isChecked()  ? RemoveMethod::Trash
                                : optPermanent->isChecked() ? RemoveMethod::Permanent
                                : optMove->isChecked()      ? RemoveMethod::Move
                                : optHardLink->isChecked()  ? RemoveMethod::HardLink
                                : optClone->isChecked()     ? RemoveMethod::Clone
                                                            : RemoveMethod::Zip;
    return ActionWords::Word(chosen);
}

void ActionOptionsPages::Collect(ProfileSettings& p) const {
    p.IncludeFilters = Items(lvwInclude);
    p.ExcludeFilters = Items(lvwExclude);
    p.DeleteTo = DeleteTo();
    const RemoveMethod method = ActionWords::MethodOf(p.DeleteTo);
    p.RemoveFolder = !m_otherRule.isEmpty()         ? m_otherFolder
                     : method == RemoveMethod::Move ? txtMoveToLocation->text().trimmed()
                     : method == RemoveMethod::Zip  ? txtZipToLocation->text().trimmed()
                                                    : QString();
    p.DeleteEmptyFolder = chkDeleteEmptyFolder->isChecked();
    p.SingleCopyCreate = chkAutomaticCopy->isChecked();
    p.SingleCopyDuplicatesOnly = optCopyOnlyDuplicate->isChecked();
    p.SingleCopyFolder = txtCopyToLocation->text().trimmed();
    p.DoExport = chkExport->isChecked();
    p.ExportLocation = p.DoExport ? txtExportFolder->text().trimmed() : QString();
    p.ExportFormat = !p.DoExport
                         ? QString()
                         : ActionWords::Word(optExportText->isChecked()   ? ReportFormat::Text
                                             : optExportHTML->isChecked() ? ReportFormat::Html
                                             : optExportXML->isChecked()  ? ReportFormat::Xml
                                                                          : ReportFormat::Csv);
}

ProfileRules::LocationCheck ActionOptionsPages::CheckLocations() const {
    ProfileRules::LocationInput in;
    in.DeleteTo = DeleteTo();
    in.MoveFolder = txtMoveToLocation->text();
    in.ZipFolder = txtZipToLocation->text();
    in.SingleCopy = chkAutomaticCopy->isChecked();
    in.CopyFolder = txtCopyToLocation->text();
    in.Export = chkExport->isChecked();
    in.ExportFolder = txtExportFolder->text();
    return ProfileRules::CheckLocations(in);
}

ActionOptionsPages::Page ActionOptionsPages::PageOf(ProfileRules::Location missing) {
    switch (missing) {
    case ProfileRules::Location::SingleCopy:
        return CopyPage;
    case ProfileRules::Location::Export:
        return ExportPage;
    default:
        return RemovePage;
    }
}

QLineEdit* ActionOptionsPages::FieldOf(ProfileRules::Location missing) const {
    switch (missing) {
    case ProfileRules::Location::Move:
        return txtMoveToLocation;
    case ProfileRules::Location::Zip:
        return txtZipToLocation;
    case ProfileRules::Location::SingleCopy:
        return txtCopyToLocation;
    case ProfileRules::Location::Export:
        return txtExportFolder;
    case ProfileRules::Location::None:
        break;
    }
    return nullptr;
}

void ActionOptionsPages::ClearFilters() {
    lvwInclude->clear();
    lvwExclude->clear();
    txtInclude->clear();
    txtExclude->clear();
}

QList<QWidget*> ActionOptionsPages::TabChain() const {
    QList<QWidget*> chain = {
        lblIncludeHand,    lblExcludeHand,       txtInclude,       cmdIncludeAdd,
        cmdIncludeRemove,  lvwInclude,           txtExclude,       cmdExcludeAdd,
        cmdExcludeRemove,  lvwExclude,           lblRemoveHand,    lblSingleCopyHead,
        lblExportHand,     optRecycleBin,        optPermanent,     optMove,
        txtMoveToLocation, cmdMoveBrowse,        optZip,           txtZipToLocation,
        cmdZipBrowse,      chkDeleteEmptyFolder, chkAutomaticCopy, optCopyOnlyDuplicate,
        txtCopyToLocation, cmdBrowseCopy,        chkExport,        txtExportFolder,
        cmdBrowseExport,   optExportHTML,        optExportCSV,     optExportText,
        optExportXML};
    // Below the zip row.
    chain.insert(chain.indexOf(chkDeleteEmptyFolder), optHardLink);
    chain.insert(chain.indexOf(chkDeleteEmptyFolder), optClone);
    return chain;
}

QStringList ActionOptionsPages::Items(const QTreeWidget* list) const {
    QStringList items;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        items << list->topLevelItem(i)->text(0);
    return items;
}

void ActionOptionsPages::ValidateFilter(QLineEdit* box, QTreeWidget* list, QTreeWidget* other,
                                        const QString& otherName) {
    const QString refusal = ProfileRules::FilterRefusal(box->text(), Items(other), otherName);
    if (!refusal.isEmpty()) {
        Messages().Inform(refusal);
    } else {
        AddToListView(box->text().trimmed(), list);
        box->clear();
    }
    box->setFocus();
}

void ActionOptionsPages::AddToListView(const QString& text, QTreeWidget* list) {
    QTreeWidgetItem* item = nullptr;
    const QList<QTreeWidgetItem*> same =
        list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!same.isEmpty()) {
        Messages().Inform(S("The text already exists in the list"));
        item = same.first();
    } else {
        item = new QTreeWidgetItem(list, {text});
    }
    list->clearSelection();
    item->setSelected(true);
    list->setCurrentItem(item);
    list->scrollToItem(item);
}

void ActionOptionsPages::RemoveListItem(QTreeWidget* list) {
    int lowest = -1;
    for (int i = list->topLevelItemCount() - 1; i >= 0; --i) {
        if (list->topLevelItem(i)->isSelected()) {
            delete list->takeTopLevelItem(i);
            lowest = i;
        }
    }
    if (lowest < 0) {
        Messages().Inform(S("Please select an item to remove and try again."));
        return;
    }
    if (list->topLevelItemCount() > 0) {
        QTreeWidgetItem* next = list->topLevelItem(qMax(0, lowest - 1));
        list->clearSelection();
        next->setSelected(true);
        list->setCurrentItem(next);
    }
}
