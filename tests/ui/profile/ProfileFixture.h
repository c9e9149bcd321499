#pragma once

// What the profile window tests share: an application folder with its default options, a
// folder tree to tick, the scripted message service and folder browser, and ways to
// press buttons and find controls as a person would.

#include "UiTestSupport.h"

#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"
#include "ui/BrowseFolder.h"
#include "ui/frmProfile.h"

#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>

#include <deque>

namespace profile_testing {

using namespace ui_testing;

// Opens an options page by its node in the page tree, as a person picks it.
inline void ShowPage(QWidget* dialog, const char* node) {
    auto* tree = Find<QTreeWidget>(dialog, "tvwOptions");
    ASSERT_NE(tree, nullptr);
    const QList<QTreeWidgetItem*> items =
        tree->findItems(S(node), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1) << node;
    tree->setCurrentItem(items.first());
}

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
            if (Answers.empty())
                return QString();
            const QString a = Answers.front();
            Answers.pop_front();
            return a;
        });
    }
    ~ScriptedBrowser() { SetFolderBrowser({}); }

    std::deque<QString> Answers;
    std::vector<std::pair<QString, QString>> Prompts; // prompt, start folder
};

class ProfileWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folders.CreateFile(S("Pictures/a.jpg"), "a");
        Folders.CreateFile(S("Music/b.mp3"), "b");
        ProfileSettings defaults;
        defaults.Folders = {Folders.Path(S("Music"))};
        defaults.MatchSize = true;
        defaults.IgnoreSystem = true;
        defaults.IgnoreHidden = true;
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

    QString ProfilePath(const char* name) const {
        return modCommon::ProfileFolder + S(name) + S(".xml");
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

    bool Closed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Window.isNull();
    }

    testing_support::AppFolder App;
    testing_support::TempTree Folders;
    ui_testing::ScriptedMessagesScope Messages;
    ScriptedBrowser Browser;
    ui_testing::RecordingShell Shell;
    QPointer<frmProfile> Window;
};

} // namespace profile_testing

// Readable failures for texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}
