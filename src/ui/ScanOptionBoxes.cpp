#include "ScanOptionBoxes.h"

#include "OptionWidgets.h"

#include "app/MessageService.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

using OptionWidgets::Named;
using OptionWidgets::S;

ScanOptionBoxes::ScanOptionBoxes(const Captions& c, QObject* parent) : QObject(parent) {
    // Every box starts cleared, so reading a document only ever runs a handler for a
    // value the document really sets.
    chkFileName = Named(new QCheckBox(S(c.Name)), "chkFileName");
    chkFileSize = Named(new QCheckBox(S(c.Size)), "chkFileSize");
    chkFileCreate = Named(new QCheckBox(S(c.Create)), "chkFileCreate");
    chkFileModified = Named(new QCheckBox(S(c.Modified)), "chkFileModified");
    chkFileContents = Named(new QCheckBox(S(c.Contents)), "chkFileContents");
    fraFileContent = Named(new QGroupBox, "fraFileContent");
    optCRC = Named(new QRadioButton(S("CRC32 [Faster]")), "optCRC");
    optMD5 = Named(new QRadioButton(S("MD5 [Slower]")), "optMD5");
    auto* methods = new QHBoxLayout(fraFileContent);
    methods->setContentsMargins(24, 0, 2, 0);
    methods->addWidget(optCRC);
    methods->addWidget(optMD5);
    methods->addStretch();
    fraFileContent->setFlat(true);
    fraFileContent->setMinimumHeight(fraFileContent->sizeHint().height());

    m_criteria = new QWidget;
    auto* layout = new QVBoxLayout(m_criteria);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (QWidget* w :
         std::initializer_list<QWidget*>{chkFileName, chkFileSize, chkFileCreate, chkFileModified,
                                         chkFileContents, fraFileContent})
        layout->addWidget(w);

    chkSystemFilesandFolders = Named(new QCheckBox(S(c.System)), "chkSystemFilesandFolders");
    chkHiddenFilesandFolders = Named(new QCheckBox(S(c.Hidden)), "chkHiddenFilesandFolders");
    chkReadonlyFilesandFolders = Named(new QCheckBox(S(c.ReadOnly)), "chkReadonlyFilesandFolders");
    chkZeroByteFiles = Named(new QCheckBox(S(c.ZeroByte)), "chkZeroByteFiles");

    connect(chkFileContents, &QCheckBox::toggled, this, &ScanOptionBoxes::chkFileContents_Click);
    connect(chkSystemFilesandFolders, &QCheckBox::toggled, this,
            &ScanOptionBoxes::chkSystemFilesandFolders_Click);
    chkFileContents_Click();
}

QWidget* ScanOptionBoxes::IgnoreWidget(bool readOnlyFirst) {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const std::initializer_list<QWidget*> profileOrder = {
        chkReadonlyFilesandFolders, chkHiddenFilesandFolders, chkSystemFilesandFolders,
        chkZeroByteFiles};
    const std::initializer_list<QWidget*> defaultOrder = {
        chkSystemFilesandFolders, chkHiddenFilesandFolders, chkReadonlyFilesandFolders,
        chkZeroByteFiles};
    for (QWidget* w : readOnlyFirst ? profileOrder : defaultOrder)
        layout->addWidget(w);
    return widget;
}

void ScanOptionBoxes::chkFileContents_Click() {
    const bool on = chkFileContents->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{fraFileContent, optCRC, optMD5})
        w->setEnabled(on);
    // Ticking starts from the faster method; clearing leaves no method chosen.
    if (on)
        optCRC->setChecked(true);
    else
        OptionWidgets::Uncheck({optCRC, optMD5});
}

void ScanOptionBoxes::chkSystemFilesandFolders_Click() {
    if (chkSystemFilesandFolders->isChecked())
        return;
    if (!Messages().Ask(S("It is not recommended to uncheck this option. Do you want to proceed?")))
        chkSystemFilesandFolders->setChecked(true);
}

void ScanOptionBoxes::Apply(const ProfileReadout& r) {
    if (r.Find) {
        chkFileName->setChecked(r.Find->Name);
        chkFileSize->setChecked(r.Find->Size);
        chkFileCreate->setChecked(r.Find->Create);
        chkFileModified->setChecked(r.Find->Modify);
        chkFileContents->setChecked(r.Find->Content);
        if (chkFileContents->isChecked() && r.Find->MatchType == u"crc")
            optCRC->setChecked(true);
        else if (chkFileContents->isChecked() && r.Find->MatchType == u"md5")
            optMD5->setChecked(true);
    }
    if (r.Ignores) {
        chkSystemFilesandFolders->setChecked(r.Ignores->System);
        chkHiddenFilesandFolders->setChecked(r.Ignores->Hidden);
        chkReadonlyFilesandFolders->setChecked(r.Ignores->ReadOnly);
        chkZeroByteFiles->setChecked(r.Ignores->ZeroByte);
    }
}

void ScanOptionBoxes::Collect(ProfileSettings& p) const {
    p.MatchName = chkFileName->isChecked();
    p.MatchSize = chkFileSize->isChecked();
    p.MatchCreate = chkFileCreate->isChecked();
    p.MatchModify = chkFileModified->isChecked();
    p.MatchContent = chkFileContents->isChecked();
    p.MatchType = !p.MatchContent ? QString() : optCRC->isChecked() ? S("crc") : S("md5");
    p.IgnoreSystem = chkSystemFilesandFolders->isChecked();
    p.IgnoreHidden = chkHiddenFilesandFolders->isChecked();
    p.IgnoreReadOnly = chkReadonlyFilesandFolders->isChecked();
    p.IgnoreZeroByte = chkZeroByteFiles->isChecked();
}

bool ScanOptionBoxes::AnyCriterion() const {
    return chkFileName->isChecked() || chkFileSize->isChecked() || chkFileCreate->isChecked() ||
           chkFileModified->isChecked() || chkFileContents->isChecked();
}
