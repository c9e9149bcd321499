#pragma once

// A profile folder, a private trash and a results model filled from real files, shared by
// the action tests.

#include "TestSupport.h"

#include "actions/ResultsModel.h"
#include "app/modAPI.h"
#include "app/modXML.h"

#include <QDir>
#include <QStringList>

namespace actions_testing {

struct ProfileSettings {
    QString DeleteTo = QStringLiteral("recycle");
    QString Folder;
    QString DeleteEmptyFolder = QStringLiteral("no");
    QString CreateIn;
    QString ExportLocation;
    QString ExportFormat;
    QStringList ScanFolders; // with their sub-folders
};

inline QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
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

// Red, struck or untouched, per row.
inline QString RowFlags(const ResultsModel& model) {
    QString flags;
    for (qint64 r = 1; r <= model.RowCount(); ++r)
        flags += model.IsRed(r) ? u'r' : model.IsStruck(r) ? u's' : u'.';
    return flags;
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
    static void WriteProfile(const QString& name, const ProfileSettings& s) {
        modXML::Document doc;
        modXML::NewDocument(doc, QStringLiteral("echofind"));
        pugi::xml_node root = doc.Root();
        if (!s.ScanFolders.isEmpty()) {
            pugi::xml_node scan = root.append_child("profileoption");
            for (const QString& folder : s.ScanFolders)
                modXML::SetAttribute(scan.append_child("folder"), QStringLiteral("path"), folder);
            modXML::SetAttribute(scan.append_child("subfolder"), QStringLiteral("include"),
                                 QStringLiteral("True"));
        }
        pugi::xml_node remove = root.append_child("removeoption").append_child("criteria");
        modXML::SetAttribute(remove, QStringLiteral("delto"), s.DeleteTo);
        modXML::SetAttribute(remove, QStringLiteral("folder"), s.Folder);
        modXML::SetAttribute(remove, QStringLiteral("deleteemptyfolder"), s.DeleteEmptyFolder);
        modXML::SetAttribute(root.append_child("singlecopy").append_child("criteria"),
                             QStringLiteral("createin"), s.CreateIn);
        pugi::xml_node report = root.append_child("export").append_child("exportreport");
        modXML::SetAttribute(report, QStringLiteral("location"), s.ExportLocation);
        modXML::SetAttribute(report, QStringLiteral("format"), s.ExportFormat);
        ASSERT_TRUE(modXML::Save(doc, modCommon::ProfileFolder + name + QStringLiteral(".xml")));
    }

    static qint64 AddGroup(ResultsModel& model, const QStringList& paths) {
        return AddScannedGroup(model, paths);
    }

    // Lets a run of another user take the action lock and write the run's records.
    static void ShareAppFolder() {
        for (const QString& folder : {modCommon::AppPath, modCommon::UserPath, modCommon::LogPath})
            ::chmod(QFile::encodeName(folder).constData(), 0777);
    }

    static QStringList ActionLines() { return modLog::RunStats.ActionDetails; }
    static qint64 Errors() { return modLog::RunStats.ErrorCount; }

    testing_support::AppFolder app;
    testing_support::ScriptedMessages messages;

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
        AddGroup(model, a);
        AddGroup(model, b);
    }
    QString Flags() const { return RowFlags(model); }

    ResultsModel model;
    QStringList a, b;
};

} // namespace actions_testing
