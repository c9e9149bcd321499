// A person's first session, from a fresh application folder to a recorded run: a new
// profile made in the profile window, saved, run from the list, its groups and run log
// read, and the run still in the catalogue after the program closed.

#include "ShellFixture.h"

#include "actions/ResultsModel.h"
#include "ui/RunLogPane.h"
#include "ui/frmProfile.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTextEdit>

using namespace shell_testing;

namespace {

using Group = QSet<QString>;

// The groups the grid shows, each as the set of its files' paths.
QSet<Group> GridGroups(const ResultsModel& model) {
    QSet<Group> groups;
    Group current;
    for (qint64 row = 1; row <= model.RowCount(); ++row) {
        if (model.IsGroupHeader(row)) {
            if (!current.isEmpty())
                groups.insert(current);
            current.clear();
        } else {
            current.insert(model.Text(row, 3));
        }
    }
    if (!current.isEmpty())
        groups.insert(current);
    return groups;
}

} // namespace

TEST_F(ShellTest, FirstSessionCreatesSavesRunsAndRecordsAProfile) {
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
    m_tree.CreateFile(S("data/empty-1"), "");
    m_tree.CreateFile(S("data/empty-2"), "");
    m_tree.CreateFile(S("data/.hidden-copy.txt"), "the same few words");

    frmMain* main = OpenMain();
    Action("mnuProfileNew")->trigger();
    frmProfile* profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    auto* name = profile->findChild<QLineEdit*>(S("txtName"));
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, S("Holiday"));
    QWidget* tree = profile->findChild<QWidget*>(S("flExplorer"));
    ASSERT_NE(tree, nullptr) << "the folder tree library did not load";
    // Only the data folder: the defaults' documents folder is unticked first.
    ASSERT_TRUE(QMetaObject::invokeMethod(tree, "SetUserSelection", Q_ARG(QStringList, {})));
    ASSERT_TRUE(
        QMetaObject::invokeMethod(tree, "InitialPath", Q_ARG(QString, m_tree.Path(S("data")))));
    for (const char* box : {"chkFileSize", "chkFileContents", "chkIncludeSubFolders"}) {
        auto* check = profile->findChild<QCheckBox*>(S(box));
        ASSERT_NE(check, nullptr) << box;
        if (!check->isChecked())
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
        EXPECT_TRUE(check->isChecked()) << box;
    }
    QTest::mouseClick(profile->findChild<QPushButton*>(S("cmdOK")), Qt::LeftButton);
    EXPECT_EQ(Shown(), QStringList{S("Profile has been saved successfully")});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(ListedNames().contains(S("Holiday"))) << ListedNames().join(u',').toStdString();

    // Run it from the list, as a person picks it and presses the run key.
    const qsizetype index = SelectListed(S("Holiday"));
    ASSERT_GE(index, 0);
    RunSelectedFromTheList();

    profile = Forms::Profile();
    ASSERT_NE(profile, nullptr);
    EXPECT_TRUE(profile->isVisible());
    EXPECT_FALSE(main->ManagerVisible());
    EXPECT_EQ(GridGroups(profile->Results()), (QSet<Group>{photos, songs, notes}));
    EXPECT_GT(profile->Results().HighlightedRow(), 0);

    // The run log tab shows this run; its count is of groups.
    auto* tabs = profile->findChild<QTabBar*>(S("tabProfile"));
    ASSERT_NE(tabs, nullptr);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    auto* log = profile->findChild<QTextEdit*>(S("rtbRunLog"));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isVisible());
    EXPECT_TRUE(log->toPlainText().contains(S("Profile : Holiday")))
        << log->toPlainText().toStdString();
    EXPECT_TRUE(log->toPlainText().contains(S("No of duplicate files found\t:  3")))
        << log->toPlainText().toStdString();

    // After the program closes, the catalogue holds the run.
    EXPECT_EQ(main->Rows()[size_t(index)].Status, S("Success"));
    const QString lastRun = main->Rows()[size_t(index)].LastRun;
    EXPECT_FALSE(lastRun.isEmpty());
    CloseMain();
    const auto held = CatalogueEntry(S("Holiday"));
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->Status, S("Success"));
    EXPECT_EQ(held->LastRun, lastRun);
}
