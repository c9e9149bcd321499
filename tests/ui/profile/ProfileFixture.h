#pragma once

// What the profile window tests share: an application folder with its default options, a
// folder tree to tick, the scripted message service and folder browser, and ways to
// press buttons and find controls as a person would.

#include "UiTestSupport.h"

#include "app/modXML.h"
#include "profiles/ProfileReader.h"
#include "ui/ActionOptionsPages.h"
#include "ui/BrowseFolder.h"
#include "ui/frmAdvOptions.h"

namespace profile_testing {

using namespace ui_testing;

inline ProfileReadout ReadBack(const QString& path) {
    ProfileReadout r;
    QString error;
    EXPECT_EQ(ProfileReader::Read(path, {}, r, error), ProfileReader::Status::Read)
        << path.toStdString();
    return r;
}

// Answers folder prompts from a script and records which prompts were shown.
class ScriptedBrowser {
public:
    ScriptedBrowser() {
        SetFolderBrowser([this](const QString& prompt, const QString& start) {
            Prompts.push_back({prompt, start});
            return Answers.isEmpty() ? QString() : Answers.takeFirst();
        });
    }
    ~ScriptedBrowser() { SetFolderBrowser({}); }

    QStringList Answers;
    std::vector<std::pair<QString, QString>> Prompts; // prompt, start folder
};

class ProfileWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folders.CreateFile(S("Pictures/a.jpg"), "a");
        Folders.CreateFile(S("Music/b.mp3"), "b");
        ProfileSettings defaults;
        // The second folder is not there, as an unplugged stick is not.
        defaults.Folders = {Folders.Path(S("Music")), Gone()};
        defaults.MatchSize = true;
        defaults.ExcludeFilters = {S("*.tmp")};
        defaults.DeleteTo = S("move");
        defaults.RemoveFolder = S("/srv/dups");
        WriteConfig(defaults);
    }

    void TearDown() override {
        delete Window.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void WriteConfig(const ProfileSettings& settings) {
        ASSERT_EQ(ProfileDocument::Save(modCommon::AppPath + S("config.xml"), settings), 1);
    }

    QString Gone() const { return Folders.Path(S("Unplugged/Stick")); }
    QString ProfilePath(const char* name) const {
        return modCommon::ProfileFolder + S(name) + S(".xml");
    }
    // Settings over the Music folder that match by size, for a test to add to.
    ProfileSettings MusicBySize() const {
        ProfileSettings p;
        p.Folders = {Folders.Path(S("Music"))};
        p.MatchSize = true;
        return p;
    }
    void Store(const char* name, const ProfileSettings& p) {
        ASSERT_EQ(ProfileDocument::Save(ProfilePath(name), p), 1);
    }

    // Opens a profile window as the main window does: action, Init, show.
    frmProfile* Open(ProfileMode mode, const QString& name, int expected = 1) {
        Window = new frmProfile(Shell);
        Window->SetAction(mode);
        EXPECT_EQ(Window->Init(name), expected);
        Window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Window.data()));
        Window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Window.data()));
        return Window.data();
    }

    QWidget* Tree() const { return Window->findChild<QWidget*>(S("flExplorer")); }

    // Ticks a folder in the tree the way the control's host interface offers it.
    void Tick(const QString& folder) {
        QWidget* tree = Tree();
        ASSERT_NE(tree, nullptr) << "the folder tree library did not load";
        ASSERT_TRUE(QMetaObject::invokeMethod(tree, "InitialPath", Q_ARG(QString, folder)));
    }

    QStringList Ticked() {
        QStringList selection;
        EXPECT_TRUE(QMetaObject::invokeMethod(Tree(), "GetUserSelection",
                                              Q_RETURN_ARG(QStringList, selection)));
        return selection;
    }

    void TypeName(const char* name) {
        auto* box = Find<QLineEdit>(Window, "txtName");
        box->clear();
        QTest::keyClicks(box, S(name));
    }

    // Opens the advanced options with their button and lets edit work in them.
    void EditAdvancedOptions(std::function<void(frmAdvOptions*)> edit) {
        WhenModal<frmAdvOptions>(std::move(edit));
        Click(Window, "cmdAdvancedOption");
    }

    QStringList Said() const { return Messages.Script.Texts(); }
    // Sets the answers to the next questions and forgets what was shown before.
    void Answering(std::initializer_list<Answer> answers) {
        Messages.Script.ShownMessages.clear();
        Messages.Script.Answers = answers;
    }

    bool Closed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Window.isNull();
    }

    testing_support::AppFolder App;
    testing_support::TempTree Folders;
    ui_testing::ScriptedMessagesScope Messages;
    ScriptedBrowser Browser;
    QuietShell Shell;
    QPointer<frmProfile> Window;
};

} // namespace profile_testing

// Readable failures for lists of texts.
inline void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}
