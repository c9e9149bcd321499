// Running a profile from its window: it is saved first, then scanned, and from then on it
// is an existing profile.

#include "ProfileFixture.h"

#include "actions/ResultsModel.h"

#include <QStackedWidget>

using namespace profile_testing;

TEST_F(ProfileWindowTest, FindDuplicatesSavesRunsAndTurnsANewProfileIntoAnExistingOne) {
    Folders.CreateFile(S("Pictures/copy of a.jpg"), "a");
    Folders.CreateFile(S("Pictures/other.jpg"), "zz");
    frmProfile* w = Open(ProfileMode::Add, S("config.xml"));
    TypeName("  Trip ");
    Tick(Folders.Path(S("Pictures")));
    Click(w, "cmdExecute");

    EXPECT_EQ(w->ActionMode(), ProfileMode::Edit);
    EXPECT_EQ(w->OpenProfileName(), S("Trip"));
    EXPECT_TRUE(Find<QLineEdit>(w, "txtName")->isReadOnly())
        << "a run profile's name must not be retyped onto another profile's document";
    const ProfileReadout saved = ReadBack(ProfilePath("Trip"));
    EXPECT_TRUE(saved.Folders->contains(Folders.Path(S("Pictures"))));
    EXPECT_EQ(Find<QStackedWidget>(w, "fraPanes")->currentWidget()->objectName(),
              S("fraRunResult"));
    // a.jpg and its copy have the same size; the size-only defaults group them.
    QStringList shown;
    const ResultsModel& model = w->Results();
    for (int row = 0; row < model.rowCount(); ++row)
        for (int col = 0; col < model.columnCount(); ++col)
            shown << model.index(row, col).data().toString();
    EXPECT_TRUE(shown.join(u'\n').contains(S("copy of a.jpg"))) << shown.join(u'\n').toStdString();
    EXPECT_FALSE(shown.join(u'\n').contains(S("other.jpg")));
    EXPECT_TRUE(Messages.Script.Texts().isEmpty())
        << Messages.Script.Texts().join(u'\n').toStdString();

    // Saving again now writes the same document, without the taken-name refusal.
    Click(w, "cmdExecute");
    EXPECT_FALSE(Messages.Script.Texts().contains(
        S("Profile name already exists. Please enter a different name.")));
}
