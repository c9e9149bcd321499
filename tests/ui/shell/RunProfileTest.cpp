#include "ShellFixture.h"

#include "actions/ResultsModel.h"
#include "profiles/ProfileDocument.h"
#include "ui/RunLogPane.h"
#include "ui/frmProfile.h"
#include "ui/frmProgress.h"

#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

using namespace shell_testing;

namespace {

// A profile over a folder of the test tree that holds two groups of equal files.
void WriteProfile(const testing_support::TempTree& tree, const QString& name) {
    tree.CreateFile(S("data/a/report.txt"), "same words");
    tree.CreateFile(S("data/b/report.txt"), "same words");
    tree.CreateFile(S("data/c/report.txt"), "same words");
    tree.CreateFile(S("data/a/photo.jpg"), "pixels");
    tree.CreateFile(S("data/b/photo.jpg"), "pixels");
    tree.CreateFile(S("data/b/alone.txt"), "only one");
    ProfileSettings s;
    s.Folders = {tree.Path(S("data"))};
    s.IncludeSubFolder = true;
    s.MatchSize = true;
    s.MatchContent = true;
    s.MatchType = S("crc");
    ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + name + S(".xml"), s), 1);
}

} // namespace

TEST_F(ShellTest, ExecuteRunsTheSelectedProfileAndTheListKeepsTheRun) {
    WriteProfile(m_tree, S("Reports"));
    frmMain* main = OpenMain();
    const qsizetype index = SelectListed(S("Reports"));
    ASSERT_GE(index, 0);
    RunSelectedFromTheList();

    // The profile window comes forward with the two groups, the first file highlighted.
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    EXPECT_TRUE(profile->isVisible());
    EXPECT_FALSE(main->ManagerVisible());
    const ResultsModel& results = profile->Results();
    EXPECT_EQ(results.rowCount(), 2 + 3 + 2);
    EXPECT_GT(results.HighlightedRow(), 0);

    // The list holds the run in memory, the run log shows it.
    const auto after = main->Rows();
    EXPECT_EQ(after[size_t(index)].Status, S("Success"));
    EXPECT_FALSE(after[size_t(index)].LastRun.isEmpty());
    ASSERT_NE(profile->RunLog(), nullptr);
    profile->RunLog()->LoadRunLog(S("Reports"));
    const QString log = profile->RunLog()->TextBox()->toPlainText();
    EXPECT_TRUE(log.contains(S("Profile : Reports")));
    EXPECT_TRUE(log.contains(S("No of duplicate files found\t:  2")));

    // At exit the catalogue holds the run.
    const QString lastRun = after[size_t(index)].LastRun;
    CloseMain();
    const auto held = CatalogueEntry(S("Reports"));
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->Status, S("Success"));
    EXPECT_EQ(held->LastRun, lastRun);
}

TEST_F(ShellTest, CancellingARunFromTheListLeavesEverythingAsItWas) {
    // Enough files that the walk is still going when Cancel is pressed.
    for (int f = 0; f < 20; ++f) {
        const QString folder = m_tree.CreateDir(S("big/%1").arg(f));
        for (int i = 0; i < 400; ++i) {
            QFile file(folder + S("/f%1.txt").arg(i));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::number(i));
        }
    }
    ProfileSettings s;
    s.Folders = {m_tree.Path(S("big"))};
    s.IncludeSubFolder = true;
    s.MatchSize = true;
    s.MatchContent = true;
    s.MatchType = S("crc");
    ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + S("Big.xml"), s), 1);

    frmMain* main = OpenMain();
    const qsizetype index = SelectListed(S("Big"));
    ASSERT_GE(index, 0);

    m_messages.Script.Answers = {MessageService::Answer::Yes};
    QTimer presser;
    presser.setInterval(1);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        // As soon as the walk has begun: a fast machine could finish it before any count.
        auto* window = qobject_cast<frmProgress*>(QApplication::activeModalWidget());
        auto* progress = window ? window->findChild<QLabel*>(S("lblProgress")) : nullptr;
        if (progress && !progress->text().isEmpty()) {
            presser.stop();
            QTest::mouseClick(window->findChild<QPushButton*>(S("cmdCancel")), Qt::LeftButton);
        }
    });
    presser.start();
    main->ExecuteProfile(S("Big"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ASSERT_FALSE(Shown().isEmpty());
    EXPECT_EQ(Shown(), QStringList{S("Do you want to cancel the operation?")});
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProfile")));
    EXPECT_FALSE(Forms::CheckFormLoaded(S("frmProgress")));
    EXPECT_TRUE(main->ManagerVisible());
    const auto row = main->Rows()[size_t(index)];
    EXPECT_EQ(row.Status, S("Never"));
    EXPECT_EQ(row.LastRun, QString());
    EXPECT_FALSE(QFile::exists(modCommon::LogPath + S("Big.log")));
}
