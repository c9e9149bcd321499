#include "TreeFixture.h"

#include <FileNames.h>
#include <SystemDriveSource.h>

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A FUSE file system whose daemon never answers, as a share whose server is gone:
// every call that looks into it blocks until the connection is aborted.
class DeadMount {
public:
    bool Mount(const QString& folder, std::string& why) {
        m_fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (m_fd < 0) {
            why = std::string("/dev/fuse: ") + strerror(errno);
            return false;
        }
        const QByteArray options =
            "fd=" + QByteArray::number(m_fd) + ",rootmode=40000,user_id=0,group_id=0";
        m_folder = QFile::encodeName(folder);
        if (mount("treewell-dead", m_folder.constData(), "fuse.treewelldead", MS_NOSUID | MS_NODEV,
                  options.constData()) != 0) {
            why = std::string("mount: ") + strerror(errno);
            m_folder.clear();
            return false;
        }
        return true;
    }
    // Ends every blocked call with an error.
    void Abort() {
        const std::lock_guard lock(m_mutex);
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    ~DeadMount() {
        Abort();
        if (!m_folder.isEmpty())
            umount2(m_folder.constData(), MNT_DETACH);
    }

private:
    std::mutex m_mutex;
    int m_fd = -1;
    QByteArray m_folder;
};

// Aborts the dead mount when a test has not finished in time, so that a control that
// blocks fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(DeadMount& mount, std::chrono::seconds limit)
        : m_thread([this, &mount, limit, done = m_done.get_future()] {
              if (done.wait_for(limit) == std::future_status::timeout) {
                  m_fired = true;
                  mount.Abort();
              }
          }) {}
    ~Watchdog() {
        m_done.set_value();
        m_thread.join();
    }
    bool Fired() const { return m_fired; }

private:
    std::promise<void> m_done;
    std::atomic<bool> m_fired = false;
    std::thread m_thread;
};

} // namespace

TEST(MountTable, FieldsAreUnescapedAndNamesKeptByteForByte) {
    // Each line, and its mount point, root, type, source and device.
    const QList<std::pair<QByteArray, QString>> rows = {
        {"36 35 98:0 /mnt1 /mnt/a\\040b rw,noatime master:1 - ext3 /dev/root rw",
         u"/mnt/a b|/mnt1|ext3|/dev/root|98:0"_s},
        {"1 0 0:5 / /mnt/tab\\011new\\012line rw - tmpfs none rw",
         u"/mnt/tab\tnew\nline|/|tmpfs|none|0:5"_s},
        {"2 0 0:6 / /mnt/back\\134slash rw shared:1 master:2 - nfs4 srv:/a\\040b rw",
         u"/mnt/back\\slash|/|nfs4|srv:/a b|0:6"_s},
        // An escape at the very end: a mount point whose name ends in a blank.
        {"3 0 0:7 / /mnt/ends\\040 rw - ext4 /dev/sdb1 rw", u"/mnt/ends |/|ext4|/dev/sdb1|0:7"_s},
        {"4 0 0:8 / /mnt/caf\xe9 rw - vfat /dev/sdc1 rw", u"/mnt/caf\\xE9|/|vfat|/dev/sdc1|0:8"_s},
        {"5 0 0:9 / /mnt/caf\\351 rw - vfat /dev/sdc1 rw", u"/mnt/caf\\xE9|/|vfat|/dev/sdc1|0:9"_s},
        {"6 0 0:10 / /mnt/not\\999octal rw - ext4 /dev/x rw",
         u"/mnt/not\\999octal|/|ext4|/dev/x|0:10"_s},
    };
    QByteArray text = "garbage\n\n1 2 3 4 5 6 7 8\n7 0 0:1 / relative rw - ext4 x rw\n";
    for (const auto& [line, fields] : rows)
        text += line + '\n';
    const QList<MountEntry> entries = SystemDriveSource::ParseMountInfo(text);
    ASSERT_EQ(entries.size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const MountEntry& e = entries[i];
        EXPECT_EQ(
            QStringList({FileNames::Display(e.mountPoint), e.root, e.type, e.source, e.device})
                .join(u'|'),
            rows[i].second);
    }
}

using MountSource = TreeFixture;

TEST_F(MountSource, DrivesComeFromTheTableWithoutLookingIntoSharesAndLabelsFromLinks) {
    MakeDir(u"disk/sub"_s);
    MakeDir(u"over"_s);
    MakeDir(u"dev"_s);
    for (const QString& file : {u"dev/sdz1"_s, u"dev/sdz2"_s, u"file"_s})
        MakeFile(file);
    const QString labels = MakeDir(u"by-label"_s);
    ASSERT_TRUE(QFile::link(PathOf(u"dev/sdz1"_s), labels + u"/My\\x20Stick"_s));
    ASSERT_TRUE(QFile::link(PathOf(u"dev/sdz2"_s), labels + u"/NTFS"_s));
    // The mount points of the share, of the disk mounted inside it and of the FUSE disk
    // do not even exist: a source that looked at them could not list them.
    const QString table = u"1 0 8:1 / %1/disk rw - ext4 %1/dev/sdz1 rw\n"
                          u"2 1 8:1 /sub %1/bind rw - ext4 %1/dev/sdz1 rw\n"
                          u"3 1 0:50 / %1/share rw - nfs4 srv:/export/docs rw\n"
                          u"4 1 0:51 / %1/share/local rw - tmpfs tmpfs rw\n"
                          u"5 1 0:52 / %1/sshfs rw - fuse.sshfs me@host: rw\n"
                          u"6 1 0:60 / %1/proc rw - proc proc rw\n"
                          u"7 1 0:62 / %1/over rw - tmpfs first rw\n"
                          u"8 1 0:63 / %1/over rw - ext4 second rw\n"
                          u"9 1 0:64 / %1/file rw - ext4 second rw\n"
                          u"10 1 0:65 / %1/stick rw - fuseblk %1/dev/sdz2 rw"_s.arg(PathOf({}));
    MakeFile(u"mountinfo"_s, table.toUtf8());

    SystemDriveSource source(PathOf(u"mountinfo"_s), labels);
    // Mount point, label, remote name, type and whether it may hang.
    QStringList drives;
    for (const DriveInfo& d : source.Drives())
        drives << u"%1|%2|%3|%4|%5"_s
                      .arg(d.mountPoint.mid(PathOf({}).size()), d.label, d.remoteName)
                      .arg(int(d.type))
                      .arg(d.mayHang);
    const int unknown = int(DriveType::Unknown), network = int(DriveType::Network);
    EXPECT_EQ(drives,
              (QStringList{u"/disk|My Stick||%1|0"_s.arg(unknown), u"/over|||%1|0"_s.arg(unknown),
                           u"/share||srv:/export/docs|%1|1"_s.arg(network),
                           u"/share/local|||%1|1"_s.arg(int(DriveType::RamDisk)),
                           u"/sshfs||me@host:|%1|1"_s.arg(network),
                           u"/stick|NTFS||%1|1"_s.arg(unknown)}));
    const QString t = PathOf({});
    EXPECT_EQ(source.SystemMountPoints(), QStringList{t + u"/proc"_s});
    EXPECT_EQ(source.HangingMountPoints(), (QStringList{t + u"/share"_s, t + u"/sshfs"_s,
                                                        t + u"/stick"_s, t + u"/share/local"_s}));
}

TEST_F(MountSource, ADeadShareShowsAsNotAnsweringAndNothingWaitsForIt) {
    const QString dead = MakeDir(u"local/dead"_s);
    MakeDir(u"local/other/inside"_s);
    // Only in a mount namespace of this process's own (see TestApplication): elsewhere
    // the dead mount would hold up every program on the machine that reads all mounts.
    if (QFile::symLinkTarget(u"/proc/self/ns/mnt"_s) == QFile::symLinkTarget(u"/proc/1/ns/mnt"_s))
        GTEST_SKIP() << "no private mount namespace for a mount that hangs";
    DeadMount mount;
    std::string why;
    if (!mount.Mount(dead, why))
        GTEST_SKIP() << "cannot mount a FUSE file system here (root and /dev/fuse needed): " << why;
    Watchdog watchdog(mount, std::chrono::seconds(30));
    QElapsedTimer timer;
    timer.start();

    // The machine's own table holds the dead mount now; reading it, creating the
    // control over it and rebuilding it must not look in.
    bool listed = false;
    for (const DriveInfo& drive : SystemDriveSource().Drives())
        listed = listed || (drive.mountPoint == dead && drive.mayHang);
    EXPECT_TRUE(listed);
    {
        FoldersList machine;
        machine.Refresh();
        EXPECT_GT(machine.Tree()->topLevelItem(0)->childCount(), 0);
    }

    const QString table = u"1 0 0:70 / %1 rw - ext4 /dev/nothing rw\n"
                          u"2 1 0:71 / %2 rw - nfs4 srv:/gone rw\n"_s.arg(PathOf(u"local"_s), dead);
    MakeFile(u"mountinfo"_s, table.toUtf8());
    MakeList(std::make_unique<SystemDriveSource>(PathOf(u"mountinfo"_s), MakeDir(u"labels"_s)));
    m_list->SetAnswerTimeout(200);
    ASSERT_EQ(ChildTexts(Root()), (QStringList{u"Local Disk (%1)"_s.arg(PathOf(u"local"_s)),
                                               u"gone on 'srv' (%1)"_s.arg(dead)}));

    // Its parent lists it, with an expand button, without looking into it.
    QTreeWidgetItem* local = ExpandAt(u"local"_s);
    EXPECT_EQ(ChildTexts(local), (QStringList{u" dead"_s, u" other"_s}));
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"local/dead"_s)));
    EXPECT_TRUE(m_errors.isEmpty());

    // Expanding it, as a folder or as a drive, gives up in time and can be tried again.
    const QPair<int, QString> notReady{104, dead + u"/ drive not ready"_s};
    for (QTreeWidgetItem* node : {NodeAt(u"local/dead"_s), Root()->child(1)}) {
        m_errors.clear();
        node->setExpanded(true);
        EXPECT_EQ(m_errors, (QList<QPair<int, QString>>{notReady}));
        EXPECT_FALSE(node->isExpanded());
        EXPECT_TRUE(HasPlaceholder(node));
    }

    // A selection beside it and inside it: the one beside is ticked, the ones inside
    // are kept as saved, and the dead share is waited for once.
    m_errors.clear();
    QElapsedTimer selecting;
    selecting.start();
    m_list->SetUserSelection(
        {dead + u"/docs"_s, PathOf(u"local/other/inside"_s), dead + u"/photos"_s});
    EXPECT_LT(selecting.elapsed(), 1500);
    EXPECT_EQ(TickedKeys(), QStringList{PathOf(u"local/other/inside"_s)});
    EXPECT_EQ(m_list->GetUserSelection(), (QStringList{PathOf(u"local/other/inside"_s),
                                                       dead + u"/docs"_s, dead + u"/photos"_s}));

    EXPECT_FALSE(watchdog.Fired()) << "the control blocked on the dead mount";
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(MountSource, AShareThatAnswersIsReadLikeAnyDriveAndItsOwnFailuresAreTold) {
    MakeDir(u"share/a/inner"_s);
    MakeDir(u"share/b"_s);
    DriveInfo share = Drive(u"share"_s, DriveType::Network, {}, u"//srv/share"_s);
    share.mayHang = true;
    MakeList({share});
    QTreeWidgetItem* drive = ExpandAt(u"share"_s);
    EXPECT_EQ(ChildTexts(drive), (QStringList{u" a"_s, u" b"_s}));
    EXPECT_TRUE(HasPlaceholder(NodeAt(u"share/a"_s)));
    m_list->SetUserSelection({PathOf(u"share/a/inner"_s)});
    EXPECT_EQ(TickedKeys(), QStringList{PathOf(u"share/a/inner"_s)});
    EXPECT_TRUE(m_errors.isEmpty());

    // A folder inside it that went away is that folder's failure, not the share's.
    MakeList({share});
    ExpandAt(u"share"_s);
    ASSERT_TRUE(QDir(PathOf(u"share/a"_s)).removeRecursively());
    QTreeWidgetItem* gone = ExpandAt(u"share/a"_s);
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0].first, 104);
    EXPECT_FALSE(m_errors[0].second.contains(u"drive not ready"_s));
    EXPECT_EQ(gone->childCount(), 0);

    // Its root gone is the share not answering, to be tried again.
    ASSERT_TRUE(QDir(PathOf(u"share"_s)).removeRecursively());
    MakeList({share});
    drive = Root()->child(0);
    drive->setExpanded(true);
    EXPECT_EQ(m_errors, (QList<QPair<int, QString>>{{104, PathOf(u"share/ drive not ready"_s)}}));
    EXPECT_TRUE(HasPlaceholder(drive));
}
