// How the profile window behaves around its data: tabs, questions, dependent controls,
// keyboard and the names a screen reader finds.

#include "ProfileFixture.h"

using namespace profile_testing;

TEST_F(ProfileWindowTest, TabsChooseThePaneAndTheDismissButtonAndClosingNeverSaves) {
    Store("Songs", MusicBySize());
    const QByteArray before = App.Tree().Read(S("app/tester/Profile/Songs.xml"));
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    auto* tabs = Find<QTabBar>(w, "tabProfile");
    auto* panes = Find<QStackedWidget>(w, "fraPanes");
    auto* save = Find<QPushButton>(w, "cmdOK");
    QTextEdit* log = w->RunLog()->TextBox();
    log->setPlainText(S("shown before"));
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
        EXPECT_EQ(Find<QPushButton>(w, "cmdCancel")->text(), S(c.Dismiss)) << c.Pane;
    }
    EXPECT_EQ(log->toPlainText(), S("shown before")) << "a profile never run keeps the pane";
    // From the keyboard, wherever the focus is: Ctrl+Tab and Ctrl+PgDn on, back with Shift
    // or Ctrl+PgUp.
    QApplication::setActiveWindow(w);
    using Mods = Qt::KeyboardModifiers;
    for (const auto& [key, mods, tab] :
         {std::tuple{Qt::Key_Tab, Mods(Qt::ControlModifier), 1},
          {Qt::Key_PageDown, Mods(Qt::ControlModifier), 2},
          {Qt::Key_PageDown, Mods(Qt::ControlModifier), 0},
          {Qt::Key_PageUp, Mods(Qt::ControlModifier), 2},
          {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1}}) {
        QTest::keyClick(w, key, mods);
        EXPECT_EQ(tabs->currentIndex(), tab) << key;
    }

    // The window's own calls move the tabs along.
    w->ToggleTabHead(ProfileTab::Duplicates);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_FALSE(save->isVisible());

    // From the keyboard: the tab bar takes the focus and the arrow keys change pane; the
    // run log is read each time its pane is shown.
    App.Tree().CreateFile(S("app/tester/Log/Songs.log"),
                          "{\\rtf1\\ansi\\deff0 Run of Songs\\par }");
    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Right);
    EXPECT_EQ(panes->currentWidget()->objectName(), S("fraRunLog"));
    EXPECT_TRUE(Holds(log->toPlainText(), S("Run of Songs")));
    QTest::keyClick(tabs, Qt::Key_Left);
    QTest::keyClick(tabs, Qt::Key_Left);
    EXPECT_EQ(panes->currentWidget()->objectName(), S("fraProfileOptions"));
    EXPECT_TRUE(save->isVisible());

    // Closing always asks and never saves: what was changed, in the window or in the
    // accepted advanced options, is thrown away once the person agrees.
    Click(w, "chkFileName");
    EditAdvancedOptions([](frmAdvOptions* adv) {
        ShowPage(adv, "Remove Options");
        Click(adv, "optPermanent");
        Click(adv, "cmdOK");
    });
    w->ToggleTabHead(ProfileTab::Duplicates);
    Messages.Script.Answers = {Answer::No};
    Click(w, "cmdCancel");
    ASSERT_EQ(Messages.Script.ShownMessages.size(), 1u);
    EXPECT_EQ(Messages.Script.ShownMessages[0].Text, kLoseChanges);
    EXPECT_EQ(Messages.Script.ShownMessages[0].Choice, MessageService::Buttons::YesNo);
    EXPECT_FALSE(Closed());
    Messages.Script.Answers = {Answer::Yes};
    Click(w, "cmdCancel");
    EXPECT_TRUE(Closed());
    EXPECT_EQ(App.Tree().Read(S("app/tester/Profile/Songs.xml")), before);
}

// A new profile window as people meet it: the focus in the name, every control named for
// a screen reader, Tab through the fields; clearing System asks first, and Contents picks
// CRC32 each time it is ticked.
TEST_F(ProfileWindowTest, ANewProfileWindowIsReadWalkedAndAsksBeforeSystemFilesAreScanned) {
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    EXPECT_EQ(QApplication::focusWidget(), Find<QLineEdit>(w, "txtName"))
        << "a new profile starts in its name";
    ExpectEveryControlNamed(w->AdvOptions()); // the window itself: where the main window opens it
    // A caption's doubled ampersand is a single one for a screen reader, as on screen.
    int doubled = 0;
    for (QGroupBox* g : w->findChildren<QGroupBox*>()) {
        if (g->title().contains(S("&&")) && ++doubled) {
            EXPECT_EQ(QAccessible::queryAccessibleInterface(g)->text(QAccessible::Name),
                      QString(g->title()).replace(S("&&"), S("&")));
        }
    }
    EXPECT_GT(doubled, 0);

    // Tab walks from the name into the tree and on through the options.
    Find<QLineEdit>(w, "txtName")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next == Tree() || Tree()->isAncestorOf(next)) << next->objectName().toStdString();
    Find<QAbstractButton>(w, "cmdAdvancedOption")->setFocus();
    EXPECT_EQ(TabWalk(1), QStringList{S("cmdOK")});

    auto* system = Find<QCheckBox>(w, "chkSystemFilesandFolders");
    ASSERT_TRUE(system->isChecked());
    Messages.Script.Answers = {Answer::No};
    Click(w, "chkSystemFilesandFolders");
    EXPECT_TRUE(system->isChecked());
    EXPECT_EQ(
        Said(),
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

// With a large font (a desktop theme's, or a large scale) every box and button of the
// options still gets the room its text asks for: the layouts grow, nothing is clipped.
TEST_F(ProfileWindowTest, ALargeFontClipsNoControlOfTheOptions) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSizeF(before.pointSizeF() * 1.6);
    QApplication::setFont(large);
    const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
    Store("Songs", MusicBySize());
    frmProfile* w = Open(ProfileMode::Edit, S("Songs"));
    w->resize(w->minimumSizeHint().expandedTo(w->size()));
    QCoreApplication::processEvents();
    int checked = 0;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty())
            continue;
        ++checked;
        EXPECT_GE(b->width(), b->minimumSizeHint().width()) << b->objectName().toStdString();
        EXPECT_GE(b->height(), b->minimumSizeHint().height()) << b->objectName().toStdString();
    }
    EXPECT_GT(checked, 10);
}
