#pragma once

// What the main window tests share: a fresh application folder laid out by start-up
// itself, the scripted message service, and the main window opened as start-up opens it.

#include "UiTestSupport.h"

#include "ui/Forms.h"
#include "ui/frmMain.h"
#include "ui/frmProgress.h"

namespace shell_testing {

using namespace ui_testing;
using testing_support::ReadFile;

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = m_tree.CreateDir(S("app"));
        qputenv("ECHOFIND_HOME", m_home.toUtf8());
        // The shipped documents a fresh installation starts from, read from the source tree.
        for (const QString& name : {S("config.xml"), S("Default Profile.xml")})
            ASSERT_TRUE(
                QFile::copy(S(ECHOFIND_TEST_DATA "/../../data/") + name, m_home + u'/' + name));
        ASSERT_EQ(modCommon::InitApp(m_messages.Script), 1);
        m_messages.Script.ShownMessages.clear();
    }

    void TearDown() override {
        Forms::UnloadAllForms();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        qunsetenv("ECHOFIND_HOME");
    }

    // Opens the main window as start-up does and waits until it is on screen.
    frmMain* OpenMain() {
        m_main = new frmMain;
        EXPECT_EQ(m_main->InitForm(), 1);
        m_main->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_main));
        m_main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_main));
        return m_main;
    }

    // Closes the main window as the person would, and lets the deletion happen.
    void CloseMain() {
        ASSERT_TRUE(m_main);
        m_main->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QAction* Action(const char* name) { return Find<QAction>(m_main, name); }

    // A profile document in the profile folder, copied from the shipped template.
    void AddProfileDocument(const QString& name) {
        ASSERT_TRUE(QFile::copy(modCommon::ProfileFolder + S("Default Profile.xml"),
                                modCommon::ProfileFolder + name + S(".xml")));
    }

    QStringList ListedNames() const {
        QStringList names;
        for (const auto& row : m_main->Rows())
            names << row.Name;
        return names;
    }

    QStringList Shown() const { return m_messages.Script.Texts(); }

    // Highlights the named profile in the list as a person picks it; -1 when not listed.
    qsizetype SelectListed(const QString& name) {
        const qsizetype index = ProfileList::FindRow(m_main->Rows(), name);
        EXPECT_GE(index, 0) << name.toStdString();
        if (index >= 0)
            m_main->ProfileList()->setCurrentItem(m_main->ProfileList()->topLevelItem(int(index)));
        return index;
    }

    // Presses the run key on the main window; a scan window that never closes fails the
    // test instead of hanging it.
    void RunSelectedFromTheList() {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (auto* stuck = qobject_cast<frmProgress*>(QApplication::activeModalWidget()))
                stuck->done(QDialog::Rejected);
        });
        guard.start(60000);
        m_main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_main));
        QTest::keyClick(m_main, Qt::Key_U, Qt::ControlModifier);
        EXPECT_TRUE(guard.isActive()) << "the scan window did not close by itself";
    }

    testing_support::TempTree m_tree;
    ui_testing::ScriptedMessagesScope m_messages;
    QString m_home;
    QPointer<frmMain> m_main;
};

} // namespace shell_testing
