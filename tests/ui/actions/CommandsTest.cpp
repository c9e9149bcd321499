// The commands as a person finds them: which buttons and popup entries the profile's
// options offer and where, the question each command asks, and what No leaves alone.

#include "ActionsWindowFixture.h"

#include "actions/RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace actions_window_testing;

// Whatever the options, a button or entry of another removal never shows: pressed, it would
// do what the profile does not say. Buttons and entries keep the order of the commands.
TEST_F(ActionsWindowTest, OnlyTheCommandsOfTheRemovalAndTheExtrasOnAreOffered) {
    using ActionCommands::Method;
    const struct {
        const char* DeleteTo;
        Method Removal;
        bool SingleCopy, Export;
    } rules[] = {{"recycle", Method::Recycle, false, false},
                 {"permanent", Method::Permanent, true, false},
                 {"move", Method::Move, true, true},
                 {"zip", Method::Zip, false, true},
                 {"hardlink", Method::HardLink, false, true},
                 {"clone", Method::Clone, true, false},
                 // A rule of a later version: no removal at all, never the trash in its stead.
                 {"shred", Method::Unknown, true, false}};
    for (const auto& r : rules) {
        SCOPED_TRACE(r.DeleteTo);
        SaveProfile(Settings(r.DeleteTo, r.SingleCopy, r.Export));
        OpenResults();
        QStringList shown, offered, onHeader, onFile;
        for (const ActionCommands::Command& c : ActionCommands::Table) {
            const bool on = c.Family == r.Removal ||
                            (c.Family == Method::SingleCopy && r.SingleCopy) ||
                            (c.Family == Method::Export && r.Export);
            if (on)
                onHeader << S(c.PopupEntry);
            if (on && c.Rows != ActionCommands::Scope::Group)
                onFile << S(c.PopupEntry);
            if (*c.Button == '\0')
                continue;
            QToolButton* b = Button(c.Button);
            EXPECT_FALSE(b->toolTip().isEmpty() || b->icon().isNull()) << c.Button;
            EXPECT_EQ(b->accessibleName(), b->toolTip());
            if (b->isVisible())
                shown << S(c.Button);
            if (on)
                offered << S(c.Button);
        }
        EXPECT_EQ(shown, offered);
        // All in a row, none over another.
        for (qsizetype i = 1; i < shown.size(); ++i)
            EXPECT_GT(Button(qPrintable(shown[i]))->x(),
                      Button(qPrintable(shown[i - 1]))->geometry().right());
        // The group commands on a header only, the file's folder on a file only; the keyboard
        // opens the same popup on the highlighted row.
        // Then the commands on the list itself, the file's ones on a file only.
        onHeader << S("mnuPopupRemoveFromList") << S("mnuPopupIgnoreGroup");
        onFile << S("mnuPopupOpenFolder") << S("mnuPopupMakeKept") << S("mnuPopupRemoveFromList")
               << S("mnuPopupIgnoreGroup") << S("mnuPopupCompare");
        EXPECT_EQ(PopupAt(1), onHeader);
        EXPECT_EQ(PopupAt(3), onFile);
        Grid()->setFocus();
        EXPECT_EQ(PopupEntries([&] { QTest::keyClick(Grid(), Qt::Key_Menu); }), onFile);
        QTest::keyClick(Grid(), Qt::Key_Up);
        QTest::keyClick(Grid(), Qt::Key_Up);
        EXPECT_EQ(PopupEntries([&] { QTest::keyClick(Grid(), Qt::Key_F10, Qt::ShiftModifier); }),
                  onHeader);
        EXPECT_TRUE(Said().isEmpty());
        delete Window.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        A.clear();
        B.clear();
    }
}

TEST_F(ActionsWindowTest, EveryCommandAsksItsOwnQuestionAndNoOrABusyLockChangesNothing) {
    SaveProfile(Settings("permanent", true, true));
    OpenResults();
    SelectRow(1); // a group header, for the group commands
    for (const ActionCommands::Command& c : ActionCommands::Table) {
        Answering({Answer::No});
        Window->TakeAction(c.name());
        ASSERT_EQ(Messages.Script.ShownMessages.size(), 1u) << c.Name;
        const auto& asked = Messages.Script.ShownMessages.front();
        EXPECT_EQ(asked.Text, S(c.Question));
        EXPECT_EQ(asked.Kind, MessageService::Icon::Question) << c.Name;
        EXPECT_EQ(asked.Choice, MessageService::Buttons::YesNo) << c.Name;
    }
    // Names outside the table, or in another case, ask nothing and do nothing.
    Messages.Script.ShownMessages.clear();
    Window->TakeAction(S("deleteall"));
    Window->TakeAction(S("Remove"));
    EXPECT_TRUE(Messages.Script.ShownMessages.empty());

    // No is the default answer: a question dismissed without a choice removes nothing. Nor
    // does a Yes while another action run (a command line, another window) holds the
    // application folder's lock: the window says so.
    Messages.Script.Answers.clear();
    Window->TakeAction(S("DeleteAll"));
    const int held = ::open(QFile::encodeName(modCommon::AppPath + S("actions.lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    Press("cmdPermanentDeleteAll");
    ::close(held);
    EXPECT_EQ(Said().last(), RunLock::BusyText);
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_TRUE(ActionLines().isEmpty());
    for (const QString& path : A + B)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QDir(Folders.Path(S("reports"))).isEmpty());
    EXPECT_FALSE(QFile::exists(Folders.Path(S("single"))));
}

TEST_F(ActionsWindowTest, YesCarriesOutEachCommandOnItsRows) {
    SaveProfile(Settings("recycle", true, true));
    OpenResults();

    // A single-row command on a kept file refuses, on a marked file removes it.
    SelectRow(2);
    Press("cmdRecycle");
    EXPECT_EQ(Said(), (QStringList{S("Do you want to send the highlighted item to Recycle Bin?"),
                                   S("Please select a marked item to delete and try again.")}));
    SelectRow(3);
    Answering({Answer::Yes});
    Click(Window, "cmdRecycle");
    EXPECT_EQ(Flags(), S("..s...."));
    EXPECT_TRUE(QFile::exists(TrashFiles() + S("a.txt")));

    // The group command from the header's popup walks that group's rows only.
    Answering({Answer::Yes});
    PopupAt(5, S("mnuPopupRecycleGroup"));
    EXPECT_EQ(
        Said(),
        QStringList{S("Do you want to send all the marked items of this Group to Recycle Bin?")});
    EXPECT_EQ(Flags(), S("..s...s"));
    EXPECT_TRUE(QFile::exists(A[2]) && !QFile::exists(B[1]));

    // Single copy takes the kept files; the report lists every row.
    Press("cmdSingleCopy");
    Press("cmdExport");
    EXPECT_EQ(Folders.Read(S("single/P") + A[0]), QByteArray("aaaa"));
    EXPECT_TRUE(Folders.Exists(S("single/P") + B[0]));
    EXPECT_FALSE(Folders.Exists(S("single/P") + A[1]));
    EXPECT_TRUE(Folders.Exists(S("reports/P.csv"))) << Said().join(u'\n').toStdString();
    EXPECT_TRUE(ActionLines().contains(S("Duplicate results list exported")));
}

// Chosen in the advanced options and not saved: the buttons those options show act on them,
// a report folder not there yet is made, and the status line says what was done.
TEST_F(ActionsWindowTest, UnsavedOptionsAreWhatTheirCommandsActOnAndTheStatusSaysWhatWasDone) {
    SaveProfile(Settings("recycle"));
    frmProfile* w = OpenResults();
    w->ToggleTabHead(ProfileTab::Options);
    const QString single = Folders.Path(S("unsaved/single"));
    const QString reports = Folders.Path(S("unsaved/reports"));
    EditAdvancedOptions([&](frmAdvOptions* adv) {
        ShowPage(adv, "Make Single Copy");
        Click(adv, "chkAutomaticCopy");
        adv->Pages().txtCopyToLocation->setText(single);
        ShowPage(adv, "Export Duplicates Report");
        Click(adv, "chkExport");
        adv->Pages().txtExportFolder->setText(reports);
        Click(adv, "optExportHTML");
        Click(adv, "cmdOK");
    });
    w->ToggleTabHead(ProfileTab::Duplicates);
    ASSERT_TRUE(Button("cmdSingleCopy")->isVisible() && Button("cmdExport")->isVisible());

    Answering({Answer::Yes});
    Click(Window, "cmdSingleCopy");
    EXPECT_EQ(Messages.Script.ShownMessages.front().Detail, S("2 files, 6 bytes"));
    EXPECT_EQ(Folders.Read(S("unsaved/single/P") + A[0]), QByteArray("aaaa"));
    EXPECT_EQ(Shell.Status, S("2 files copied, 0 errors"));
    Answering({Answer::Yes});
    Click(Window, "cmdExport");
    EXPECT_TRUE(Folders.Exists(S("unsaved/reports/P.html"))) << Said().join(u'\n').toStdString();
    EXPECT_EQ(Shell.Status, S("Report written to ") + reports + S("/P.html"));
    EXPECT_TRUE(ActionLines().contains(S("Report written to ") + reports + S("/P.html")));

    // A removal counts what it is about and what it freed.
    Answering({Answer::Yes});
    Click(Window, "cmdRecycleAll");
    EXPECT_EQ(Messages.Script.ShownMessages.front().Detail, S("3 files, 10 bytes"));
    EXPECT_EQ(Shell.Status, S("3 files sent to the trash, 10 bytes freed, 0 errors"));
}

TEST_F(ActionsWindowTest, ARemoveRuleThisVersionDoesNotKnowIsSaidAndKeptUntilAnotherIsChosen) {
    SaveProfile(Settings("shred"));
    OpenResults();
    auto* why = Find<QLabel>(Window, "lblNoRemoval");
    EXPECT_TRUE(why->isVisible());
    EXPECT_TRUE(Holds(why->text(), S("\"shred\"")));
    const ActionOptionsPages& pages = Adv()->Pages();
    EXPECT_FALSE(pages.lblOtherRule->isHidden());
    for (const QRadioButton* b : {pages.optRecycleBin, pages.optPermanent, pages.optMove,
                                  pages.optZip, pages.optHardLink, pages.optClone})
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    // Whatever asks for it, nothing is removed by a rule that is not known.
    Messages.Script.Answers = {Answer::Yes};
    Window->TakeAction(S("RecycleAll"));
    EXPECT_EQ(Flags(), S("......."));
    EXPECT_FALSE(QFile::exists(TrashFiles()));

    // Saving keeps the rule as written; choosing one replaces it.
    Window->ToggleTabHead(ProfileTab::Options);
    Click(Window, "cmdOK");
    EXPECT_EQ(ReadBack(ProfilePath("P")).Remove->DeleteTo, S("shred"));
    OpenResults(false);
    const ActionOptionsPages& reread = Adv()->Pages();
    EXPECT_FALSE(reread.lblOtherRule->isHidden());
    reread.optPermanent->click();
    EXPECT_TRUE(reread.lblOtherRule->isHidden());
    Revisit();
    EXPECT_FALSE(Window->findChild<QLabel*>(S("lblNoRemoval"))->isVisible());
    EXPECT_TRUE(Button("cmdPermanentDeleteAll")->isVisible());
}
