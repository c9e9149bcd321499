#pragma once

#include "Shell.h"
#include "frmProgress.h"
#include "profiles/ProfileReader.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

class DuplicatesPane;
class ProfileOptionsPane;
class ResultsModel;
class RunLogPane;
class frmAdvOptions;

// Add: a new profile, filled from the default options. Edit: a saved one, to look at, edit
// or run.
enum class ProfileMode { Add, Edit };
// The three panes, in the order of their tabs.
enum class ProfileTab { Options, Duplicates, RunLog };

// One profile's window inside the main window: its options, the duplicates found by its
// last run and its run log, one pane at a time behind three tabs.
class frmProfile final : public QWidget {
    Q_OBJECT
public:
    explicit frmProfile(Shell& shell, QWidget* parent = nullptr);
    ~frmProfile() override;

    void SetAction(ProfileMode mode);
    ProfileMode ActionMode() const;
    // The name of the profile last read or saved; empty for a new profile.
    QString OpenProfileName() const;

    // Fills the window from the named profile, or from the default options when the name
    // is empty. Returns 1 when done.
    int Init(const QString& strProfileName);
    // Returns 1 when read, 3 when the document could not be read.
    int ReadProfile(const QString& strProfileName, ProfileReader::Scope part);
    // Returns 1 when saved, 2 when validation stopped it, 3 when writing failed.
    int SaveProfile();
    void ResetAdvOptions();
    void ToggleTabHead(ProfileTab tab);

    // Scans the profile's saved document into this window's results, records the run and,
    // when it finished, shows the duplicates. The one place that decides what the window
    // shows after a scan.
    frmProgress::Ending RunScan();

    ResultsModel& Results();
    DuplicatesPane* Duplicates();
    RunLogPane* RunLog();
    QString ProfileNameText() const;

    // Carries out one of the fourteen commands on the results after asking its question;
    // any other name does nothing.
    void TakeAction(const QString& strAction);
    // Puts the group's files on the profile's ignore list and takes the group off the grid.
    void IgnoreGroup(qint64 header);

    // Asks for a saved XML report (from the profile's export location) and shows it in the
    // duplicates, to act on as after a run. 1 when shown; 2 when cancelled or refused, the
    // user told why and the results untouched.
    int OpenReport();

    // The folders whose files are never removed, as the profile stands now: the advanced
    // options' values once they are loaded, the saved document's before.
    QStringList ProtectedFolders() const;

    ProfileOptionsPane* Options() const;
    // The advanced options holding this profile's action part; null until loaded. While
    // it is loaded its values, not the saved document's, are the profile's actions.
    frmAdvOptions* AdvOptions() const;
    // Whether marks were changed by hand since the results were shown, and not acted on.
    bool MarksEditedSinceScan();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdOK_Click();
    void cmdExecute_Click();
    void cmdAdvancedOption_Click();
    void cmdCancel_Click();
    frmAdvOptions* LoadAdvOptions();
    int ReadDocument(const QString& strProfileName, ProfileReader::Scope part);
    int SaveDocument();
    void SetDismissButton(const QString& caption);
    void ShowStatus(const QString& text);
    // "Currently open profile:" and the profile's name.
    QString OpenStatus() const;
    // "57 duplicate files found in 12 groups".
    static QString FoundText(const ResultsModel& results);
    void ShowMarkTotals();
    void Activated();
    void CloseWindow();
    void Unload();
    // Shows the command buttons and popup entries the advanced options offer now.
    void EnableDisableActionOptions();
    void ShowResultPopup(qint64 row, const QPoint& globalPos);
    static qint64 GetGroupFileCount(const QString& text);

    struct Impl;
    std::unique_ptr<Impl> d;
};
