#pragma once

#include <QObject>

class QCheckBox;
class QGroupBox;
class QRadioButton;
class QWidget;
struct ProfileReadout;
struct ProfileSettings;

// The duplicate criteria and the kinds of entries to leave out, as both the profile
// window and the default options show them (with their own captions).
class ScanOptionBoxes final : public QObject {
    Q_OBJECT

public:
    struct Captions {
        const char* Name;
        const char* Size;
        const char* Create;
        const char* Modified;
        const char* Contents;
        const char* System;
        const char* Hidden;
        const char* ReadOnly;
        const char* ZeroByte;
    };

    ScanOptionBoxes(const Captions& captions, QObject* parent);

    // The criteria boxes with the content method frame under them.
    QWidget* CriteriaWidget() const { return m_criteria; }
    // The ignore boxes in their order on screen: read-only first on the profile window.
    QWidget* IgnoreWidget(bool readOnlyFirst);

    void Apply(const ProfileReadout& readout);
    void Collect(ProfileSettings& settings) const;
    bool AnyCriterion() const;

    QCheckBox* chkFileName = nullptr;
    QCheckBox* chkFileSize = nullptr;
    QCheckBox* chkFileCreate = nullptr;
    QCheckBox* chkFileModified = nullptr;
    QCheckBox* chkFileContents = nullptr;
    QGroupBox* fraFileContent = nullptr;
    QRadioButton* optCRC = nullptr;
    QRadioButton* optMD5 = nullptr;
    QCheckBox* chkSystemFilesandFolders = nullptr;
    QCheckBox* chkHiddenFilesandFolders = nullptr;
    QCheckBox* chkReadonlyFilesandFolders = nullptr;
    QCheckBox* chkZeroByteFiles = nullptr;

private:
    void chkFileContents_Click();
    void chkSystemFilesandFolders_Click();

    QWidget* m_criteria = nullptr;
};
