// How the profile window behaves around its data: tabs, questions, dependent controls,
// keyboard and the names a screen reader finds.

#include "ProfileFixture.h"

#include "ui/RunLogPane.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTextEdit>

using namespace profile_testing;
using Answer = MessageService::Answer;

TEST_F(ProfileWindowTest, TabsChooseThePaneAndTheDismissButton) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    auto* tabs = Find<QTabBar>(w, "tabProfile");
    auto* panes = Find<QStackedWidget>(w, "fraPanes");
    auto* save = Find<QPushButton>(w, "cmdOK");
    auto* dismiss = Find<QPushButton>(w, "cmdCancel");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(panes->currentWidget()->objectName(), S("fraProfileOptions"));

    const struct {
        int Tab;
        const char* Pane;
        bool SaveShown;
        const char* Dismiss;
    } cases[] = {{1, "fraRunResult", false, "Close"},
                 {2, "fraRunLog", false, "Close"},
                 {0, "fraProfileOptions", true, "Cancel"}};
    for (const auto& c : cases) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(c.Tab).center());
        EXPECT_EQ(panes->currentWidget()->objectName(), S(c.Pane));
        EXPECT_EQ(tabs->currentIndex(), c.Tab);
        EXPECT_EQ(save->isVisible(), c.SaveShown) << c.Pane;
        EXPECT_EQ(dismiss->text(), S(c.Dismiss)) << c.Pane;
    }

    // The window's own calls move the tabs along.
    w->ToggleTabHead(ProfileTab::Duplicates);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_FALSE(save->isVisible());

    // From the keyboard: the tab bar takes the focus and the arrow keys change pane.
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Right);
    EXPECT_EQ(panes->currentWidget()->objectName(), S("fraRunLog"));
    QTest::keyClick(tabs, Qt::Key_Left);
    QTest::keyClick(tabs, Qt::Key_Left);
    EXPECT_EQ(panes->currentWidget()->objectName(), S("fraProfileOptions"));
    EXPECT_TRUE(save->isVisible());
}

TEST_F(ProfileWindowTest, TheRunLogTabShowsTheProfilesLogOnlyWhenThereIsOne) {
    ProfileSettings p;
    p.Folders = {Folders.Path(S("Music"))};
    p.MatchSize = true;
    ASSERT_EQ(ProfileDocument::Save(ProfilePath("Songs"), p), 1);
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    QTextEdit* box = w->RunLog()->TextBox();
    box->setPlainText(S("shown before"));
    w->ToggleTabHead(ProfileTab::RunLog);
    EXPECT_EQ(box->toPlainText(), S("shown before")) << "a profile never run keeps the pane";

    App.Tree().CreateFile(S("app/tester/Log/Songs.log"),
                          "{\\rtf1\\ansi\\deff0 Run of Songs\\par }");
    w->ToggleTabHead(ProfileTab::Options);
    w->ToggleTabHead(ProfileTab::RunLog);
    EXPECT_TRUE(box->toPlainText().contains(S("Run of Songs"))) << box->toPlainText().toStdString();
}

TEST_F(ProfileWindowTest, ClosingAlwaysAsksAndNoKeepsTheWindow) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    w->ToggleTabHead(ProfileTab::Duplicates);
    Messages.Script.Answers = {Answer::No};
    Click(w, "cmdCancel");
    ASSERT_EQ(Messages.Script.ShownMessages.size(), 1u);
    EXPECT_EQ(Messages.Script.ShownMessages[0].Text,
              S("All unsaved changes will be lost. Do you want to continue?"));
    EXPECT_EQ(Messages.Script.ShownMessages[0].Choice, MessageService::Buttons::YesNo);
    EXPECT_FALSE(Closed());
    Messages.Script.Answers = {Answer::Yes};
    Click(w, "cmdCancel");
    EXPECT_TRUE(Closed());
}

TEST_F(ProfileWindowTest, ClearingSystemAsksAndContentsSelectsCrc) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    auto* system = Find<QCheckBox>(w, "chkSystemFilesandFolders");
    ASSERT_TRUE(system->isChecked());
    Messages.Script.Answers = {Answer::No};
    Click(w, "chkSystemFilesandFolders");
    EXPECT_TRUE(system->isChecked());
    EXPECT_EQ(
        Messages.Script.Texts(),
        QStringList{S("It is not recommended to uncheck this option. Do you want to proceed?")});
    Messages.Script.Answers = {Answer::Yes};
    Click(w, "chkSystemFilesandFolders");
    EXPECT_FALSE(system->isChecked());
    Click(w, "chkSystemFilesandFolders");
    EXPECT_EQ(Messages.Script.ShownMessages.size(), 2u) << "ticking asks nothing";

    auto* crc = Find<QRadioButton>(w, "optCRC");
    auto* md5 = Find<QRadioButton>(w, "optMD5");
    auto* frame = Find<QGroupBox>(w, "fraFileContent");
    EXPECT_FALSE(frame->isEnabled());
    Click(w, "chkFileContents");
    EXPECT_TRUE(frame->isEnabled() && crc->isChecked());
    Click(w, "optMD5");
    Click(w, "chkFileContents");
    EXPECT_FALSE(crc->isChecked() || md5->isChecked()) << "clearing leaves no method";
    Click(w, "chkFileContents");
    EXPECT_TRUE(crc->isChecked()) << "ticking again starts from CRC32";
}

TEST_F(ProfileWindowTest, ControlsAreFoundByTheNamesPeopleSee) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    EXPECT_EQ(w->windowTitle(), S("Profile"));
    EXPECT_EQ(QApplication::focusWidget(), Find<QLineEdit>(w, "txtName"))
        << "a new profile starts in its name";
    // The name's label is its buddy, so it names the box.
    bool labelled = false;
    for (QLabel* label : w->findChildren<QLabel*>())
        if (label->text() == S("Profile Name"))
            labelled = label->buddy() == Find<QLineEdit>(w, "txtName");
    EXPECT_TRUE(labelled);

    auto* tabs = Find<QTabBar>(w, "tabProfile");
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs);
    ASSERT_NE(bar, nullptr);
    QStringList names;
    for (int i = 0; i < bar->childCount(); ++i)
        if (bar->child(i)->role() == QAccessible::PageTab)
            names << bar->child(i)->text(QAccessible::Name);
    EXPECT_EQ(names, (QStringList{S("Profile Options"), S("Duplicates List"), S("Run Log")}));

    const struct {
        const char* Name;
        const char* Text;
    } captions[] = {{"chkIncludeSubFolders", "Include sub folders"},
                    {"chkFileCreate", "Create date & time"},
                    {"chkFileModified", "Modified date & time"},
                    {"chkFileContents", "Match Contents"},
                    {"chkReadonlyFilesandFolders", "Readonly "},
                    {"chkZeroByteFiles", "Zero byte size files"},
                    {"cmdAdvancedOption", "Advanced Options"},
                    {"cmdOK", "Save"},
                    {"cmdExecute", "Find Duplicates"}};
    for (const auto& c : captions) {
        auto* control = Find<QAbstractButton>(w, c.Name);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), S(c.Text)) << c.Name;
    }
    QGroupBox* ignore = nullptr;
    for (QGroupBox* g : w->findChildren<QGroupBox*>())
        if (g->title() == S("Ignore the following file && folder types"))
            ignore = g;
    ASSERT_NE(ignore, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ignore)->text(QAccessible::Name),
              S("Ignore the following file & folder types"));

    // Tab walks from the name into the tree and on through the options.
    Find<QLineEdit>(w, "txtName")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    QWidget* tree = Tree();
    EXPECT_TRUE(next == tree || tree->isAncestorOf(next)) << next->objectName().toStdString();
    Find<QAbstractButton>(w, "cmdAdvancedOption")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Find<QPushButton>(w, "cmdOK"));
}
