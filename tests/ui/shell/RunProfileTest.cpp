#include "ShellFixture.h"

#include "profiles/ProfileDocument.h"
#include "ui/frmProgress.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace shell_testing;

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
    ProfileSettings s = testing_support::ContentProfile({m_tree.Path(S("big"))});
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
