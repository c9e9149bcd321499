// A person's first session, from a fresh application folder to a recorded run: a new
// profile made in the profile window, saved, run from the list, its groups, marks and run
// log read, the extra copies sent to the trash from the main window's popup, the list saved
// as a report and opened again later, and the run still in the catalogue after the
// program closed. What a reopened report may remove is checked in the core.

#include "ShellFixture.h"

#include "actions/ActionsFixture.h"
#include "ui/ActionOptionsPages.h"
#include "ui/BrowseFolder.h"
#include "ui/frmAdvOptions.h"

using namespace shell_testing;

namespace {

using actions_testing::Dump;
using Group = QSet<QString>;

// The groups the grid shows, each as the set of its files' paths.
QSet<Group> GridGroups(const ResultsModel& model) {
    QSet<Group> groups;
    for (qint64 row = 1; row <= model.RowCount(); ++row) {
        Group current;
        while (row < model.RowCount() && !model.IsGroupHeader(row + 1))
            current.insert(model.Text(++row, 3));
        groups.insert(current);
    }
    return groups;
}

class FirstSession : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        modLog::ResetRunStats();
        SetReportBrowser([this](const QString& start) {
            Starts << start;
            return Chosen;
        });
    }
    void TearDown() override {
        SetReportBrowser({});
        ShellTest::TearDown();
    }

    QString Chosen; // the report the person picks
    QStringList Starts;
    testing_support::TrashInTree m_trash{m_tree.Path(S("home"))};
};

TEST_F(FirstSession, CreatesSavesRunsMarksActsReopensAndRecordsAProfile) {
    // Three groups, a same-size near miss and a file of its own; empty and hidden files are
    // left out by the shipped defaults.
    Group photos, songs, notes;
    for (const char* rel :
         {"data/2024/beach.jpg", "data/backup/beach copy.jpg", "data/phone/IMG 001.jpg"})
        photos.insert(m_tree.CreateFile(S(rel), QByteArray(5000, 'p')));
    for (const char* rel : {"data/music/song.ogg", "data/old/song.ogg"})
        songs.insert(m_tree.CreateFile(S(rel), QByteArray(3000, 's')));
    for (const char* rel : {"data/notes.txt", "data/backup/notes (1).txt"})
        notes.insert(m_tree.CreateFile(S(rel), "the same few words"));
    m_tree.CreateFile(S("data/near-miss.ogg"), QByteArray(2999, 's') + 't');
    m_tree.CreateFile(S("data/alone.txt"), "only one of these");
    m_tree.CreateCopies("", {"data/empty-1", "data/empty-2"});
    m_tree.CreateFile(S("data/.hidden-copy.txt"), "the same few words");

    frmMain* main = OpenMain();
    Action("mnuProfileNew")->trigger();
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    QTest::keyClicks(Find<QLineEdit>(profile, "txtName"), S("Holiday"));
    QWidget* tree = profile->findChild<QWidget*>(S("flExplorer"));
    ASSERT_NE(tree, nullptr) << "the folder tree library did not load";
    // Only the data folder: the defaults' documents folder is unticked first.
    ASSERT_TRUE(QMetaObject::invokeMethod(tree, "SetUserSelection", Q_ARG(QStringList, {})));
    ASSERT_TRUE(
        QMetaObject::invokeMethod(tree, "InitialPath", Q_ARG(QString, m_tree.Path(S("data")))));
    // The shipped defaults compare sizes and contents, sub-folders included.
    for (const char* box : {"chkFileSize", "chkFileContents", "chkIncludeSubFolders"})
        EXPECT_TRUE(Find<QCheckBox>(profile, box)->isChecked()) << box;
    // Reports, in XML, go to a folder of their own.
    const QString reports = m_tree.CreateDir(S("reports"));
    WhenModal<frmAdvOptions>([&](frmAdvOptions* adv) {
        ShowPage(adv, "Export Duplicates Report");
        Click(adv, "chkExport");
        QTest::keyClicks(adv->Pages().txtExportFolder, reports);
        Click(adv, "optExportXML");
        Click(adv, "cmdOK");
    });
    Click(profile, "cmdAdvancedOption");
    Click(profile, "cmdOK");
    EXPECT_EQ(Shown(), QStringList{kProfileSaved});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty()) << "saving closes the window";
    ASSERT_TRUE(ListedNames().contains(S("Holiday"))) << ListedNames().join(u',').toStdString();

    // Run it from the list, as a person picks it and presses the run key.
    const qsizetype index = SelectListed(S("Holiday"));
    ASSERT_GE(index, 0);
    RunSelectedFromTheList();
    profile = Forms::Profile();
    ASSERT_NE(profile, nullptr) << Shown().join(u'\n').toStdString();
    EXPECT_TRUE(profile->isVisible());
    EXPECT_FALSE(main->ManagerVisible());
    ResultsModel& model = profile->Results();
    EXPECT_EQ(GridGroups(model), (QSet<Group>{photos, songs, notes}));
    EXPECT_EQ(main->StatusMessage(), S("Currently open profile:Holiday"));
    EXPECT_GT(model.HighlightedRow(), 0);
    EXPECT_EQ(profile->Duplicates()->Grid()->currentIndex().row() + 1, model.HighlightedRow());

    // The run log tab shows this run; its count is of groups.
    auto* tabs = Find<QTabBar>(profile, "tabProfile");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    auto* log = Find<QTextEdit>(profile, "rtbRunLog");
    EXPECT_TRUE(Holds(log->toPlainText(), S("Profile : Holiday")));
    EXPECT_TRUE(log->toPlainText().contains(S("No of duplicate files found\t:  3")));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());

    // The marked totals sit beside the window's own texts and follow every change: a click
    // on a photo's mark, then a rule from the Mark button.
    EXPECT_EQ(main->MarkTotalsMessage(), S("4 files marked, 13.0 kB to free"));
    EXPECT_FALSE(main->StatusMessage().contains(S("marked")));
    ResultsGrid* grid = profile->Duplicates()->Grid();
    qint64 photo = 1;
    while (!model.IsMarked(photo) || !photos.contains(model.Text(photo, 3)))
        ++photo;
    ClickCell(grid, photo, 1);
    EXPECT_EQ(main->MarkTotalsMessage(), S("3 files marked, 8.0 kB to free"));
    PopupEntries([&] { Click(profile, "cmdMark"); }, S("mnuMarkKeepNewest"));
    EXPECT_EQ(main->MarkTotalsMessage(), S("4 files marked, 13.0 kB to free"));
    // Leaving now would lose marks chosen by hand: asked first, and No keeps everything.
    m_messages.Script.Answers = {MessageService::Answer::No};
    Action("mnuProfileExit")->trigger();
    EXPECT_EQ(Shown().last(),
              S("The marks you changed have not been acted on. Do you want to exit?"));
    EXPECT_TRUE(main->isVisible() && Forms::Profile() == profile);

    // The grid's popup is the main window's, with the trash entries only; asked once,
    // carried out once.
    m_messages.Script.ShownMessages.clear();
    m_messages.Script.Answers = {MessageService::Answer::Yes};
    PopupAnswer popup(S("mnuPopupRecycleAll"));
    ClickCell(grid, photo, 2, Qt::RightButton);
    EXPECT_EQ(popup.Opened, main->PopupMenu());
    EXPECT_EQ(popup.Seen, (QStringList{S("mnuPopupRecycle"), S("mnuPopupRecycleAll"),
                                       S("mnuPopupExport"), S("mnuPopupOpenFolder"),
                                       S("mnuPopupMakeKept"), S("mnuPopupRemoveFromList"),
                                       S("mnuPopupIgnoreGroup"), S("mnuPopupCompare")}));
    EXPECT_EQ(Shown(), QStringList{S("Do you want to send all the marked items to Recycle Bin?")});
    EXPECT_EQ(modLog::RunStats.ActionDetails.count(S("finished")), 1);
    EXPECT_EQ(main->StatusMessage(), S("4 files sent to the trash, 13.0 kB freed, 0 errors"));
    for (const Group& group : {photos, songs, notes}) {
        int left = 0;
        for (const QString& path : group)
            left += QFile::exists(path);
        EXPECT_EQ(left, 1) << group.values().join(u',').toStdString();
    }
    EXPECT_TRUE(m_tree.Exists(S("data/alone.txt")));
    EXPECT_EQ(QDir(m_tree.Path(S("home/data/Trash/files"))).entryList(QDir::Files).size(), 4);

    EXPECT_EQ(main->Rows()[size_t(index)].Status, S("Success"));
    const QString lastRun = main->Rows()[size_t(index)].LastRun;
    EXPECT_FALSE(lastRun.isEmpty());

    // The list saved as a report; the totals go with the profile window.
    m_messages.Script.Answers = {MessageService::Answer::Yes};
    Click(profile, "cmdExport");
    const QString report = reports + S("/Holiday.xml");
    ASSERT_TRUE(QFile::exists(report)) << Shown().join(u'\n').toStdString();
    const std::string saved = Dump(model);
    profile->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main->MarkTotalsMessage(), QString());

    // Later the report is opened from the list: not into a new profile, not without a
    // profile picked, and another file is refused, the grid left as it was.
    m_messages.Script.ShownMessages.clear();
    Chosen = report;
    Action("mnuProfileNew")->trigger();
    Action("mnuProfileOpenReport")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("Please save the profile before opening a report")});
    Forms::Unload(Forms::Profile());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    main->ProfileList()->setCurrentItem(nullptr);
    Action("mnuProfileOpenReport")->trigger();
    EXPECT_EQ(Shown().last(), kPleaseSelect);
    EXPECT_TRUE(Starts.isEmpty());
    SelectListed(S("Holiday"));
    // Cancelled in the file picker, it leaves no window behind that was not asked for.
    Chosen.clear();
    Action("mnuProfileOpenReport")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Forms::Profile(), nullptr);
    EXPECT_TRUE(main->ManagerVisible());
    Chosen = report;
    Action("mnuProfileOpenReport")->trigger();
    profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    EXPECT_TRUE(profile->Duplicates()->isVisible());
    EXPECT_EQ(Starts, (QStringList{reports, reports}));
    EXPECT_EQ(Dump(profile->Results()), saved);
    EXPECT_EQ(Shown().size(), 2);
    const QString other = m_tree.CreateFile(S("reports/other.xml"), "<?xml version='1.0'?><a/>");
    for (const QString& chosen : {other, QString()}) {
        Chosen = chosen;
        Action("mnuProfileOpenReport")->trigger();
    }
    EXPECT_EQ(Shown().last(),
              S("The report ") + other + S(" could not be opened: it is not a duplicates report"));
    EXPECT_EQ(Forms::Profile(), profile);
    EXPECT_EQ(Dump(profile->Results()), saved);
    EXPECT_EQ(Starts.size(), 4);

    // After the program closes, the catalogue holds the run.
    CloseMain();
    const auto held = CatalogueEntry(S("Holiday"));
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->Status, S("Success"));
    EXPECT_EQ(held->LastRun, lastRun);
}

} // namespace
