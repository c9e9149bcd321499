#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class ActionOptionsPages;
class IgnoreListPage;
class ProtectedFoldersPage;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
struct ProfileReadout;
struct ProfileSettings;
namespace OptionWidgets {
class PageTree;
}

// The action part of the profile being edited: filters, remove rule, single copy,
// export and the protected folders. It writes no file; the profile window keeps one loaded, hidden,
// and saves what it holds. What OK accepted stays here until the profile is saved or the edits are
// thrown away.
class frmAdvOptions final : public QDialog {
    Q_OBJECT

public:
    // resetAdvOptions reads the profile's saved action part back into this dialog.
    frmAdvOptions(QWidget* parent, std::function<void()> resetAdvOptions);
    ~frmAdvOptions() override;

    // Prepares the dialog without showing it: first page, both branches open.
    void FormInit();
    void ShowOption(int page);
    void ToggleSingleCopyControls();
    void ToggleExportControls();

    void Apply(const ProfileReadout& readout);
    void Collect(ProfileSettings& settings) const;
    ActionOptionsPages& Pages() const { return *m_pages; }
    ProtectedFoldersPage& Protection() const { return *m_protection; }
    IgnoreListPage& Ignored() const { return *m_ignored; }
    // Where the profile's ignore list is kept, asked each time it is read or written.
    void SetIgnoreFile(std::function<QString()> file);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void cmdOK_Click();
    // Asks before throwing the edits away; true when they were.
    bool DiscardEdits();
    void SelectNode(int page);

    std::function<void()> m_resetAdvOptions;
    std::unique_ptr<OptionWidgets::PageTree> m_tree;
    QTreeWidget* tvwOptions = nullptr;
    QStackedWidget* fraOptions = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    ActionOptionsPages* m_pages = nullptr;
    ProtectedFoldersPage* m_protection = nullptr;
    IgnoreListPage* m_ignored = nullptr;
    std::function<QString()> m_ignoreFile;
};
