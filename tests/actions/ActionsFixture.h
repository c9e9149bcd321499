#pragma once

// A profile folder, a private trash and a results model filled from real files, shared by
// the action tests.

#include "TestSupport.h"

#include "actions/ActionObserver.h"
#include "actions/ActionRun.h"
#include "actions/ResultsModel.h"
#include "app/PathCodec.h"
#include "app/modAPI.h"
#include "app/modXML.h"
#include "engine/FolderGroups.h"
#include "engine/clsFindFile.h"

#include <QDir>
#include <QStringList>
#include <QThread>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <zip.h>

namespace actions_testing {

using Outcome = ActionRun::Outcome;

struct ActionSettings {
    explicit ActionSettings(const QString& deleteTo = QStringLiteral("recycle"),
                            const QString& folder = {})
        : DeleteTo(deleteTo), Folder(folder) {}

    QString DeleteTo;
    QString Folder;
    QString DeleteEmptyFolder = QStringLiteral("no");
    QString CreateIn;
    QString ExportLocation;
    QString ExportFormat;
    QStringList ScanFolders; // with their sub-folders
    QStringList Protected;
};

using testing_support::Golden;
using testing_support::Holds;
using testing_support::ReadFile;

// As the program writes its XML reports: UTF-16 with a byte-order mark.
inline QByteArray Utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

// An action-log line about a file.
inline QString Said(const QString& path, const QString& what) {
    return path + QStringLiteral(" - ") + what;
}

// The entries of an archive by their stored bytes, or "(unreadable)" when it is no archive.
inline QStringList ZipEntries(const QString& archive) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return {QStringLiteral("(unreadable)")};
    QStringList names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
        names << PathCodec::Decode(QByteArray(zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW)));
    zip_discard(zip);
    return names;
}

// Writes the bytes over the start of the file (none: the same bytes again), in place or as a
// new file renamed over it, and gives back its modified time, as cp -a, rsync -t or an editor
// that restores the time would: size and time stay, only the inode or change time can tell.
inline void Rewrite(const QString& path, const QByteArray& bytes = {}, bool inPlace = true) {
    modAPI::FileInfo before;
    ASSERT_EQ(modAPI::MyStat(path, before), 1);
    QByteArray all = ReadFile(path);
    all.replace(0, bytes.size(), bytes);
    QThread::msleep(30); // file times come from a coarse clock: let it pass the scan's
    const QByteArray written = QFile::encodeName(inPlace ? path : path + QStringLiteral(".new"));
    { // through Qt's buffer: fusefat fails a write over a file that it carries out all the same
        QFile f(QFile::decodeName(written));
        ASSERT_TRUE(f.open(inPlace ? QIODevice::ReadWrite : QIODevice::WriteOnly));
        f.write(all);
    }
    const struct timespec times[2] = {{before.ModifiedSecs, 0}, {before.ModifiedSecs, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, written.constData(), times, 0), 0);
    if (!inPlace) {
        ASSERT_EQ(::rename(written.constData(), QFile::encodeName(path).constData()), 0);
    }
}

// Adds one group of existing files as a scan would: the first kept, the rest marked.
inline qint64 AddScannedGroup(ResultsModel& model, const QStringList& paths) {
    const qint64 header = model.AddHeader(paths.first().section(u'/', -1));
    for (qsizetype i = 0; i < paths.size(); ++i) {
        modAPI::FileInfo info;
        modAPI::FileInfo folder;
        EXPECT_EQ(modAPI::MyStat(paths[i], info), 1) << paths[i].toStdString();
        EXPECT_EQ(modAPI::MyStat(paths[i].section(u'/', 0, -2), folder), 1);
        model.AddRow(i == 0,
                     {paths[i].section(u'/', -1), paths[i], QString(),
                      modLog::DateTextFromSecs(info.ModifiedSecs), info.Size, QStringLiteral("N"),
                      QStringLiteral("00000000")},
                     {info.Device, info.Inode, info.ChangedNs, info.ModifiedSecs, folder.Device,
                      folder.Inode});
    }
    model.UpdateHeader(header, QString::number(paths.size()));
    return header;
}

// Fills the rows as a scan by content of the folder and its sub-folders does for a profile
// that asks for duplicate folders: each folder group followed by its folders' files.
inline qint64 AddFolderGroups(ResultsModel& model, const QString& folder) {
    clsFindFile scan;
    scan.MatchName = false;
    scan.ContentMatch = true;
    scan.MatchType = QStringLiteral("crc");
    scan.IncludeSubFolder = true;
    FileList list;
    EXPECT_EQ(scan.ScanFolders({folder}, list), 1);
    return FolderGroups::HandOn(FolderGroups::Find(list, scan.ScannedFolders()), model, &list);
}

// Red, struck or untouched, per row.
inline QString RowFlags(const ResultsModel& model) {
    QString flags;
    for (qint64 r = 1; r <= model.RowCount(); ++r)
        flags += model.IsRed(r) ? u'r' : model.IsStruck(r) ? u's' : u'.';
    return flags;
}

// Every cell of every row, and which are struck, to compare two results whole.
inline std::string Dump(const ResultsModel& m) {
    QStringList rows;
    for (qint64 r = 1; r <= m.RowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ResultsModel::ColumnCount; ++c)
            cells << m.Text(r, c);
        rows << cells.join(u'|') + (m.IsStruck(r) ? QStringLiteral(" struck") : QString());
    }
    return rows.join(u'\n').toStdString();
}

inline quint64 InodeOf(const QString& path) {
    modAPI::FileInfo info;
    return modAPI::MyStat(path, info) == 1 ? info.Inode : 0;
}

// Marks per group: '.' unmarked, 'X' marked, '|' between groups.
inline QString Marks(const ResultsModel& m) {
    QString out;
    for (qint64 row = 1; row <= m.RowCount(); ++row) {
        if (m.HasEmptyMark(row))
            out += row > 1 ? QStringLiteral("|") : QString();
        else
            out += m.IsMarked(row) ? u'X' : u'.';
    }
    return out;
}

// Records the progress texts and cancels the run at the n-th of them.
class Progress final : public ActionObserver {
public:
    void SetMaximum(qint64) override {}
    void SetValue(qint64) override {}
    void ShowProgress(const QString& processing, const QString& processed) override {
        Texts << processing << processed;
        if (Texts.size() / 2 == CancelAt && Run)
            Run->Cancel();
    }
    void Yield() override {}

    QStringList Texts;
    qsizetype CancelAt = 0;
    ActionRun* Run = nullptr;
};

class ActionsTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageService(&messages); }
    void TearDown() override { SetMessageService(nullptr); }

    const testing_support::TempTree& Tree() const { return app.Tree(); }
    QString TrashFiles() const { return Tree().Path(QStringLiteral("home/data/Trash/files/")); }
    // A file where the trash folder should be, so nothing can be trashed.
    void BreakTrash() const {
        QDir(Tree().Path(QStringLiteral("home/data/Trash"))).removeRecursively();
        Tree().CreateFile(QStringLiteral("home/data/Trash"), "not a folder");
    }

    // Writes ProfileFolder/<name>.xml with the action settings of a profile.
    static void WriteProfile(const QString& name, const ActionSettings& s) {
        modXML::Document doc;
        modXML::NewDocument(doc, QStringLiteral("echofind"));
        pugi::xml_node root = doc.Root();
        const auto set = [](pugi::xml_node node, const char* attribute, const QString& value) {
            modXML::SetAttribute(node, QString::fromLatin1(attribute), value);
        };
        if (!s.ScanFolders.isEmpty()) {
            pugi::xml_node scan = root.append_child("profileoption");
            for (const QString& folder : s.ScanFolders)
                set(scan.append_child("folder"), "path", folder);
            set(scan.append_child("subfolder"), "include", QStringLiteral("True"));
        }
        pugi::xml_node remove = root.append_child("removeoption").append_child("criteria");
        set(remove, "delto", s.DeleteTo);
        set(remove, "folder", s.Folder);
        set(remove, "deleteemptyfolder", s.DeleteEmptyFolder);
        set(root.append_child("singlecopy").append_child("criteria"), "createin", s.CreateIn);
        pugi::xml_node report = root.append_child("export").append_child("exportreport");
        set(report, "location", s.ExportLocation);
        set(report, "format", s.ExportFormat);
        pugi::xml_node protect = root.append_child("protect");
        for (const QString& folder : s.Protected)
            set(protect.append_child("protectedfolder"), "path", folder);
        ASSERT_TRUE(modXML::Save(doc, modCommon::ProfileFolder + name + QStringLiteral(".xml")));
    }

    // Runs an action of profile "P" with the cursor on the row, as the window does: over
    // the group for DeleteGroup, else over every row, unless told how many.
    Outcome Act(ResultsModel& m, const QString& action, qint64 row = 1, qint64 count = 0,
                const std::function<void(ActionRun&)>& prepare = {}) {
        ActionRun run(m, &progress, messages);
        progress.Run = &run;
        run.Action = action;
        run.FileCount = count > 0                  ? count
                        : action == u"DeleteGroup" ? ResultsModel::GetGroupFileCount(m.Text(row, 2))
                                                   : m.RowCount();
        if (prepare)
            prepare(run);
        m.SetCurrent(row, 1);
        const Outcome outcome = run.Execute(QStringLiteral(" P ")); // blanks are no part of it
        progress.Run = nullptr;
        return outcome;
    }

    // Lets a run of another user into the tree, take the action lock and write the run's
    // records and its failed-system-call lines.
    void ShareAppFolder() const {
        ::chmod(QFile::encodeName(Tree().Root()).constData(), 0755);
        for (const QString& folder : {modCommon::AppPath, modCommon::UserPath, modCommon::LogPath,
                                      modCommon::AppPath + QStringLiteral("Log")})
            ::chmod(QFile::encodeName(folder).constData(), 0777);
    }

    static QStringList ActionLines() { return modLog::RunStats.ActionDetails; }
    static qint64 Errors() { return modLog::RunStats.ErrorCount; }

    testing_support::AppFolder app;
    testing_support::ScriptedMessages messages;
    Progress progress;

private:
    testing_support::TrashInTree m_trash{Tree().Path(QStringLiteral("home"))};
};

// Two groups as a scan leaves them: a.txt in three folders (rows 1-4) and b.txt in two
// (rows 5-7), the first of each kept and the others marked.
class TwoGroupsTest : public ActionsTest {
protected:
    void MakeGroups() {
        for (const char* rel : {"d1/a.txt", "d2/a.txt", "d3/a.txt"})
            a << Tree().CreateFile(QString::fromLatin1(rel), "aaaa", 1700000000);
        for (const char* rel : {"d1/b.txt", "d2/b.txt"})
            b << Tree().CreateFile(QString::fromLatin1(rel), "bb", 1700000000);
        Rescan();
    }
    // The rows filled afresh from the files as they are now.
    void Rescan() {
        model.ClearRecs();
        AddScannedGroup(model, a);
        AddScannedGroup(model, b);
    }
    // Profile "P" written, the groups made.
    void Start(const ActionSettings& s) {
        WriteProfile(QStringLiteral("P"), s);
        MakeGroups();
    }
    // The files written afresh, the rows filled from them, the counts back at nought.
    void Restart() {
        for (const char* folder : {"d1", "d2", "d3"})
            QDir(Tree().Path(QString::fromLatin1(folder))).removeRecursively();
        a.clear();
        b.clear();
        modLog::ResetRunStats();
        MakeGroups();
    }
    Outcome Act(const QString& action, qint64 row = 1, qint64 count = 0,
                const std::function<void(ActionRun&)>& prepare = {}) {
        return ActionsTest::Act(model, action, row, count, prepare);
    }
    QString Flags() const { return RowFlags(model); }

    ResultsModel model;
    QStringList a, b;
};

} // namespace actions_testing
