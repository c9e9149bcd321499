#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Widgets need an application object; the control's settings store is pointed at a
// private folder so no test reads or writes the user's real one.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Where the tests may mount (as root), their mounts stay private to this
        // process: a file system made to hang must not hold up anything else on the
        // machine that reads every mount. Done while there is still one thread.
        if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0)
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        static int argc = 1;
        static char name[] = "treewell_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(argc, argv);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope,
                           m_settings.path() + QStringLiteral("/system"));
    }
    void TearDown() override { m_app.reset(); }

private:
    QTemporaryDir m_settings;
    std::unique_ptr<QApplication> m_app;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
