#pragma once

#include "profiles/ProfileReader.h"
#include "profiles/ProfileRules.h"

#include <QObject>
#include <QString>

class QAbstractButton;
class QCheckBox;
class QCommandLinkButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QWidget;
struct ProfileSettings;

// The pages both option dialogs share: the filter lists, the remove rule, single copy and
// export, with their controls under the names the documents map onto. The dialogs own the
// page tree and the OK and Cancel buttons; these pages own what happens inside them.
class ActionOptionsPages final : public QObject {
    Q_OBJECT

public:
    // The page numbers, counted from the first page these add.
    enum Page {
        FilterPage,
        IncludePage,
        ExcludePage,
        ActionPage,
        RemovePage,
        CopyPage,
        ExportPage
    };
    static constexpr int PageCount = 7;

    // Adds the seven pages to the stack. copyOnlyDuplicateCaption differs between the
    // dialogs; owner is the dialog the messages and browsers belong to.
    ActionOptionsPages(QStackedWidget* stack, const QString& copyOnlyDuplicateCaption,
                       QWidget* owner);

    // Enable the dependent controls from their check box; calling twice changes nothing.
    void ToggleSingleCopyControls();
    void ToggleExportControls();

    // Takes in the action part of a document; filters are added after the items there.
    void Apply(const ProfileReadout& readout);
    // Puts the action part as the controls hold it into settings.
    void Collect(ProfileSettings& settings) const;
    // The first action without its folder, as the OK buttons refuse it.
    ProfileRules::LocationCheck CheckLocations() const;
    // The page and field of a missing location.
    static Page PageOf(ProfileRules::Location missing);
    QLineEdit* FieldOf(ProfileRules::Location missing) const;

    // Empties both filter lists and their boxes.
    void ClearFilters();

    QStringList Items(const QTreeWidget* list) const;
    // The document's remove rule when this version does not know it and no other has been
    // chosen; empty otherwise.
    QString OtherRule() const;
    // The pages' controls in the order Tab visits them.
    QList<QWidget*> TabChain() const;

    // Controls, named as the documents map them.
    QCommandLinkButton* lblIncludeHand = nullptr;
    QCommandLinkButton* lblExcludeHand = nullptr;
    QCommandLinkButton* lblRemoveHand = nullptr;
    QCommandLinkButton* lblSingleCopyHead = nullptr;
    QCommandLinkButton* lblExportHand = nullptr;
    QLineEdit* txtInclude = nullptr;
    QPushButton* cmdIncludeAdd = nullptr;
    QPushButton* cmdIncludeRemove = nullptr;
    QTreeWidget* lvwInclude = nullptr;
    QLineEdit* txtExclude = nullptr;
    QPushButton* cmdExcludeAdd = nullptr;
    QPushButton* cmdExcludeRemove = nullptr;
    QTreeWidget* lvwExclude = nullptr;
    QRadioButton* optRecycleBin = nullptr;
    QRadioButton* optPermanent = nullptr;
    QRadioButton* optMove = nullptr;
    QRadioButton* optZip = nullptr;
    QRadioButton* optHardLink = nullptr;
    QRadioButton* optClone = nullptr;
    // Shown while the profile holds a remove rule this version does not know.
    QLabel* lblOtherRule = nullptr;
    QLineEdit* txtMoveToLocation = nullptr;
    QLineEdit* txtZipToLocation = nullptr;
    QPushButton* cmdMoveBrowse = nullptr;
    QPushButton* cmdZipBrowse = nullptr;
    QCheckBox* chkDeleteEmptyFolder = nullptr;
    QCheckBox* chkAutomaticCopy = nullptr;
    QGroupBox* fraCopyFiles = nullptr;
    QRadioButton* optCopyOnlyDuplicate = nullptr;
    QLabel* lblCreate = nullptr;
    QLineEdit* txtCopyToLocation = nullptr;
    QPushButton* cmdBrowseCopy = nullptr;
    QCheckBox* chkExport = nullptr;
    QGroupBox* fraExport = nullptr;
    QLabel* lblExport = nullptr;
    QLineEdit* txtExportFolder = nullptr;
    QPushButton* cmdBrowseExport = nullptr;
    QGroupBox* fraExportFormat = nullptr;
    QRadioButton* optExportHTML = nullptr;
    QRadioButton* optExportCSV = nullptr;
    QRadioButton* optExportText = nullptr;
    QRadioButton* optExportXML = nullptr;

Q_SIGNALS:
    // A link on one of the two overview pages asks for a page.
    void LinkActivated(ActionOptionsPages::Page page);

private:
    QWidget* BuildFilterPage();
    QWidget* BuildListPage(bool include);
    QWidget* BuildActionPage();
    QWidget* BuildRemovePage();
    QWidget* BuildCopyPage(const QString& copyOnlyDuplicateCaption);
    QWidget* BuildExportPage();
    QCommandLinkButton* Link(const char* name, const char* caption, const char* description,
                             Page page);
    QPushButton* BrowseButton(const char* name, QLineEdit* field, const char* prompt);

    void ValidateFilter(QLineEdit* box, QTreeWidget* list, QTreeWidget* other,
                        const QString& otherName);
    void AddToListView(const QString& text, QTreeWidget* list);
    void RemoveListItem(QTreeWidget* list);
    QString DeleteTo() const;
    void SetOtherRule(const QString& rule, const QString& folder);

    QWidget* m_owner = nullptr;
    // A remove rule of the document that none of the choices stands for; kept as written
    // until a person chooses one, so nothing takes it for another rule.
    QString m_otherRule;
    QString m_otherFolder;
};
