#pragma once

// A profile window over real duplicate files, with the trash in the temporary tree and the
// message service answering from a script, for driving the commands as a person would.

#include "actions/ActionsFixture.h"
#include "ui/profile/ProfileFixture.h"

#include "app/modAPI.h"
#include "ui/ActionButtons.h"

namespace actions_window_testing {

using namespace profile_testing;

class ActionsWindowTest : public ProfileWindowTest {
protected:
    void SetUp() override {
        ProfileWindowTest::SetUp();
        modLog::ResetRunStats();
        // Reports go into a folder that exists, as the options dialog insists.
        Folders.CreateDir(S("reports"));
    }

    QString TrashFiles() const { return Folders.Path(S("home/data/Trash/files/")); }

    // Saves profile "P" over the folder "tree" with the given removal and extras.
    ProfileSettings Settings(const char* deleteTo, bool singleCopy = false, bool doExport = false) {
        ProfileSettings s = testing_support::ContentProfile({Folders.Path(S("tree"))});
        s.DeleteTo = S(deleteTo);
        if (s.DeleteTo == u"move" || s.DeleteTo == u"zip")
            s.RemoveFolder = Folders.Path(S("removed"));
        s.SingleCopyCreate = singleCopy;
        s.SingleCopyFolder = Folders.Path(S("single"));
        s.DoExport = doExport;
        s.ExportLocation = Folders.Path(S("reports"));
        s.ExportFormat = S("csv");
        return s;
    }
    void SaveProfile(const ProfileSettings& s) { Store("P", s); }

    // Two groups as a scan leaves them: a.txt in three folders, b.txt in two; the first
    // of each kept, the others marked. Rows 1-4 and 5-7.
    void MakeGroups() {
        for (const char* rel : {"tree/d1/a.txt", "tree/d2/a.txt", "tree/d3/a.txt"})
            A << Folders.CreateFile(S(rel), "aaaa", 1700000000);
        for (const char* rel : {"tree/d1/b.txt", "tree/d2/b.txt"})
            B << Folders.CreateFile(S(rel), "bb", 1700000000);
        AddGroup(A);
        AddGroup(B);
    }
    void AddGroup(const QStringList& paths) { actions_testing::AddScannedGroup(Model(), paths); }

    // Opens profile "P" (saved before) and shows its duplicates with the given groups.
    frmProfile* OpenResults(bool withGroups = true) {
        frmProfile* w = Open(ProfileMode::Edit, S("P"));
        if (withGroups)
            MakeGroups();
        w->ToggleTabHead(ProfileTab::Duplicates);
        return w;
    }

    ResultsGrid* Grid() const { return Window->Duplicates()->Grid(); }
    ResultsModel& Model() const { return Window->Results(); }
    QToolButton* Button(const char* name) const { return Window->findChild<QToolButton*>(S(name)); }
    frmAdvOptions* Adv() const { return Window->AdvOptions(); }

    QString Flags() const { return actions_testing::RowFlags(Model()); }
    static QStringList ActionLines() { return modLog::RunStats.ActionDetails; }

    QRect CellRect(qint64 row, int col) const {
        return Grid()->visualRect(Model().index(int(row - 1), col));
    }
    void SelectRow(qint64 row) {
        ClickCell(Grid(), row, 2);
        ASSERT_EQ(Model().CurrentRow(), row);
    }
    // The entries of the popup a right click on the row opens, picking the one named pick.
    QStringList PopupAt(qint64 row, const QString& pick = {}) {
        return PopupEntries([&] { ClickCell(Grid(), row, 2, Qt::RightButton); }, pick);
    }
    // Presses the window's button with the answers to its questions ready.
    void Press(const char* button, std::initializer_list<Answer> answers = {Answer::Yes}) {
        Messages.Script.Answers = answers;
        Click(Window, button);
    }
    // Leaves the duplicates and comes back, which is when the buttons follow the options.
    void Revisit() {
        Window->ToggleTabHead(ProfileTab::Options);
        Window->ToggleTabHead(ProfileTab::Duplicates);
    }

    QStringList A, B;

private:
    testing_support::TrashInTree m_trash{Folders.Path(S("home"))};
};

} // namespace actions_window_testing
