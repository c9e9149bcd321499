// A saved report opened again from the main window, as a person stops and continues later:
// the profile's results come back with their marks, and a file that is not a report is
// refused with the grid left as it was. What a reopened report may remove is checked in
// the core, against the files as they are now.

#include "ui/shell/ShellFixture.h"

#include "actions/ResultsModel.h"
#include "profiles/ProfileDocument.h"
#include "ui/BrowseFolder.h"
#include "ui/DuplicatesPane.h"
#include "ui/ResultsGrid.h"
#include "ui/frmProfile.h"

namespace {

using namespace shell_testing;
using Answer = MessageService::Answer;

// Every cell and strike of every row, to compare two grids whole.
std::string Dump(const ResultsModel& m) {
    QStringList rows;
    for (qint64 r = 1; r <= m.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ResultsModel::ColumnCount; ++c)
            cells << m.Text(r, c);
        rows << cells.join(u'|') + (m.IsStruck(r) ? S(" struck") : QString());
    }
    return rows.join(u'\n').toStdString();
}

class OpenReport : public ShellTest {
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

    // Profile "P": the folder "tree", size and CRC, permanent delete, XML reports.
    void SaveProfile() {
        ProfileSettings s = testing_support::ContentProfile({m_tree.Path(S("tree"))});
        s.IgnoreHidden = false;
        s.IgnoreSystem = false;
        s.DeleteTo = S("permanent");
        s.DoExport = true;
        s.ExportLocation = m_tree.CreateDir(S("reports"));
        s.ExportFormat = S("xml");
        ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + S("P.xml"), s), 1);
    }

    void OpenTheReport() {
        SelectListed(S("P"));
        Action("mnuProfileOpenReport")->trigger();
    }

    QString Chosen;
    QStringList Starts;
    testing_support::TrashInTree m_trash{m_tree.Path(S("home"))};
};

TEST_F(OpenReport, ASavedReportComesBackIntoTheGridWithItsMarks) {
    QStringList a, b;
    for (const char* dir : {"d1", "d2", "d3"})
        a << m_tree.CreateFile(S("tree/%1/a.txt").arg(S(dir)), "aaaa", 1700000000);
    for (const char* dir : {"d1", "d2"})
        b << m_tree.CreateFile(S("tree/%1/b.txt").arg(S(dir)), "bb", 1700000000);
    SaveProfile();
    OpenMain();
    SelectListed(S("P"));
    RunSelectedFromTheList();
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    ResultsModel& results = profile->Results();
    ASSERT_EQ(results.RowCount(), 7);
    // The person keeps the last copy of a.txt too, then saves the list.
    qint64 lastA = 0;
    for (qint64 r = 1; r <= results.RowCount(); ++r)
        if (results.Text(r, 3) == a[2])
            lastA = r;
    ASSERT_GT(lastA, 0);
    ResultsGrid* grid = profile->Duplicates()->Grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(results.index(int(lastA - 1), 1)).center());
    ASSERT_TRUE(results.IsUnmarked(lastA));
    m_messages.Script.Answers = {Answer::Yes};
    profile->TakeAction(S("Export"));
    const QString report = m_tree.Path(S("reports/P.xml"));
    ASSERT_TRUE(QFile::exists(report)) << Shown().join(u'\n').toStdString();
    const std::string saved = Dump(results);
    Forms::Unload(profile);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(Forms::Profile(), nullptr);

    // Later: the report opened from the main window, starting where the profile puts them.
    m_messages.Script.ShownMessages.clear();
    Chosen = report;
    OpenTheReport();
    profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    EXPECT_TRUE(profile->isVisible());
    EXPECT_TRUE(profile->Duplicates()->isVisible());
    EXPECT_EQ(Starts, QStringList{m_tree.Path(S("reports"))});
    EXPECT_EQ(Dump(profile->Results()), saved);
    EXPECT_TRUE(Shown().isEmpty()) << Shown().join(u'\n').toStdString();
}

TEST_F(OpenReport, AFileThatIsNotAReportIsRefusedAndTheGridStaysAsItWas) {
    for (const char* dir : {"d1", "d2"})
        m_tree.CreateFile(S("tree/%1/a.txt").arg(S(dir)), "aaaa", 1700000000);
    SaveProfile();
    OpenMain();
    SelectListed(S("P"));
    RunSelectedFromTheList();
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    ASSERT_EQ(profile->Results().RowCount(), 3);
    const std::string before = Dump(profile->Results());

    // Another program's XML and a cancelled choice change nothing; why a document is
    // refused is the reader's to say.
    m_tree.CreateFile(S("reports/other.xml"), "<?xml version='1.0'?><catalog><item/></catalog>");
    m_messages.Script.ShownMessages.clear();
    Chosen = m_tree.Path(S("reports/other.xml"));
    OpenTheReport();
    EXPECT_EQ(Forms::Profile(), profile);
    Chosen.clear();
    OpenTheReport();
    EXPECT_EQ(Shown(), QStringList{S("The report ") + m_tree.Path(S("reports/other.xml")) +
                                   S(" could not be opened: it is not a duplicates report")});
    EXPECT_EQ(Dump(profile->Results()), before);
    EXPECT_EQ(Starts.size(), 2);
}

TEST_F(OpenReport, ANewProfileMustBeSavedFirstAndWithoutAProfileNothingOpens) {
    SaveProfile();
    OpenMain();
    // With no profile picked in the list there is nothing to show the report in.
    m_main->ProfileList()->setCurrentItem(nullptr);
    Action("mnuProfileOpenReport")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("Please select a profile from manager and try again")});
    EXPECT_EQ(Forms::Profile(), nullptr);

    m_messages.Script.ShownMessages.clear();
    Action("mnuProfileNew")->trigger();
    ASSERT_NE(Forms::Profile(), nullptr);
    Chosen = m_tree.Path(S("reports/P.xml"));
    Action("mnuProfileOpenReport")->trigger();
    EXPECT_EQ(Shown(), QStringList{S("Please save the profile before opening a report")});
    EXPECT_TRUE(Starts.isEmpty());
}

} // namespace
