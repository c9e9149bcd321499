#pragma once

#include "Shell.h"

#include <QDialog>

#include <memory>

class ActionOptionsPages;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class ScanOptionBoxes;
namespace OptionWidgets {
class PageTree;
}

// The default options: edits config.xml, the document every new profile starts from.
// The main window calls FormInit and then shows the dialog (exec); OK and Cancel close it
// themselves. It never deletes itself.
class frmOptions final : public QDialog {
    Q_OBJECT

public:
    frmOptions(Shell& shell, QWidget* parent = nullptr);
    ~frmOptions() override;

    // Fills the dialog from config.xml; 1, or 3 after a failure the user was told about.
    int FormInit();
    int ReadProfile();
    void ShowOption(int page);

    ScanOptionBoxes& Scan() const { return *m_scan; }
    ActionOptionsPages& Actions() const { return *m_actions; }

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QWidget* BuildProfilePage();
    void cmdOK_Click();
    void SelectNode(int page);

    std::unique_ptr<OptionWidgets::PageTree> m_tree;
    QTreeWidget* tvwOptions = nullptr;
    QStackedWidget* fraOptions = nullptr;
    QLineEdit* txtDefaultPath = nullptr;
    QPushButton* cmdDefaultBrowse = nullptr;
    QCheckBox* chkResizableMain = nullptr;
    QLineEdit* txtCompareCommand = nullptr;
    QCheckBox* chkIncludeSubFolders = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    ScanOptionBoxes* m_scan = nullptr;
    ActionOptionsPages* m_actions = nullptr;
    Shell& m_shell;
};
