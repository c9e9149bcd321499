#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ScanOptionBoxes;
struct ProfileReadout;
struct ProfileSettings;

// The profile window's options page: the name, the folder tree, the criteria and the
// kinds of entries to leave out. It shows and hands back values; the window decides.
class ProfileOptionsPane final : public QWidget {
    Q_OBJECT

public:
    explicit ProfileOptionsPane(QWidget* parent = nullptr);
    ~ProfileOptionsPane() override;

    // Takes in the scan part of a document, folders included. keepUnshown: the document
    // is the profile's own, so folders the tree cannot show stay in it.
    void Apply(const ProfileReadout& readout, bool keepUnshown);
    // The scan part as the controls hold it, folders excepted.
    void Collect(ProfileSettings& settings) const;
    // The folders to store: the ticked ones, and every folder of the document that the
    // tree could not show (a stick not plugged in, a folder gone for now): the profile
    // keeps those until the user removes them. One empty text when there are none.
    QStringList Folders() const;
    void FocusFolders();
    bool AnyCriterion() const;

    QLineEdit* txtName = nullptr;
    QLabel* lblName = nullptr;
    QWidget* flExplorer = nullptr; // null when the folder tree library cannot be loaded
    QCheckBox* chkIncludeSubFolders = nullptr;
    QCheckBox* chkAcrossFolders = nullptr;
    QCheckBox* chkFindFolders = nullptr;
    QPushButton* cmdAdvancedOption = nullptr;
    ScanOptionBoxes& Scan() const { return *m_scan; }

private:
    void SetFolders(const QStringList& folders, bool keepUnshown);
    void chkIncludeSubFolders_Click();

    ScanOptionBoxes* m_scan = nullptr;
    QStringList m_unshown;
};
