#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class DuplicatesPane;
class ProfileOptionsPane;
class QStackedWidget;
class QTabBar;
class ResultsModel;
class RunLogPane;

// One profile's window inside the main window: its options, the duplicates found by its
// last run and its run log, one pane at a time behind three tabs.
class frmProfile final : public QWidget {
    Q_OBJECT
public:
    explicit frmProfile(QWidget* parent = nullptr);
    ~frmProfile() override;

    // "A" opens the profile to look at and edit it, "E" to run it without showing it.
    void SetAction(const QString& mode);
    QString ActionMode() const;
    // The name of the profile last read or saved; empty for a new profile.
    QString OpenProfileName() const;

    // Fills the window from the named profile, or from the default options when the name
    // is empty. Returns 1 when done.
    int Init(const QString& strProfileName);
    // Returns 1 when read, 3 when the document could not be read.
    int ReadProfile(const QString& strProfileName, const QString& caller);
    // Returns 1 when saved, 2 when validation stopped it, 3 when writing failed.
    int SaveProfile();
    void ResetAdvOptions();
    // "profileoptions" | "duplicatesresult" | "runlog"
    void ToggleTabHead(const QString& tab);

    ResultsModel& Results();
    DuplicatesPane* Duplicates();
    RunLogPane* RunLog();
    QString ProfileNameText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
