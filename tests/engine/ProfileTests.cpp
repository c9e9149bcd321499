// Running a profile document: its settings and folders, and the documents refused before a
// single file is seen, each with the detail lines of the run.

#include "EngineFixtures.h"

#include "app/modLog.h"

using namespace engine_test;

namespace {

QString Find(const QString& content, const QString& matchType, const QString& name = u"False"_s,
             const QString& size = u"True"_s) {
    return u"<subfolder include='True'/><findduplicates name='%1' size='%2' create='False' "
           u"modify='False' content='%3' matchtype='%4'/>"_s.arg(name, size, content, matchType);
}

} // namespace

class ExecuteProfile : public EngineTest {
protected:
    // A new document of the folders, then the options of its first part, then its other
    // parts.
    QString Write(const QStringList& folders, const QString& options = {},
                  const QString& parts = {}) {
        QString text = u"<echofind><profileoption>"_s;
        for (const QString& folder : folders)
            text += u"<folder path='%1'/>"_s.arg(folder);
        const QString name = u"p%1.xml"_s.arg(++m_documents);
        t.CreateFile(name,
                     (text + options + u"</profileoption>"_s + parts + u"</echofind>"_s).toUtf8());
        return P(name);
    }
    // A content scan by MD5 of *.txt below the folders, hidden files as the document says.
    QString WriteContentScan(const QStringList& folders, const QString& hidden) {
        return Write(
            folders,
            Find(u"True"_s, u"MD5"_s) +
                u"<ignore system='True' hidden='%1' readonly='True' zerobyte='True'/>"_s.arg(
                    hidden),
            u"<include><includefilter criteria='*.txt'/></include>"_s);
    }

private:
    int m_documents = 0;
};

TEST_F(ExecuteProfile, SettingsComeFromTheDocument) {
    t.CreateCopies("same", {"d/one.txt", "d/deep/two.txt", "d/.hidden.txt", "d/other.log"});
    t.CreateFile(u"d/changed.txt"_s, "SAME");
    // "False" for hidden means hidden files are not ignored.
    for (const auto& [hidden, expected] :
         {std::pair{u"True"_s, QStringList({u"d/one.txt"_s, u"d/deep/two.txt"_s})},
          std::pair{u"False"_s,
                    QStringList({u"d/.hidden.txt"_s, u"d/one.txt"_s, u"d/deep/two.txt"_s})}}) {
        clsFindFile scan;
        FileList list;
        int status = 0;
        scan.ExecuteProfile(WriteContentScan({P(u"d"_s)}, hidden), list, status);
        ASSERT_EQ(status, 1);
        EXPECT_EQ(list.Content, FileList::ContentKind::Md5) << "the method is read in any case";
        RecordingSink sink;
        GroupingPass(list, sink);
        EXPECT_EQ(Rel(sink.Paths), Groups{expected}) << hidden.toStdString();
    }
}

TEST_F(ExecuteProfile, WithoutFoldersOrOptionsItRunsEmptyOrByName) {
    clsFindFile scan;
    FileList list;
    int status = 0;
    scan.ExecuteProfile(WriteContentScan({}, u"True"_s), list, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(list.empty());

    // No options: the defaults, name only, no sub-folders; a folder that does not exist is
    // logged as one.
    t.CreateCopies("1", {"n/x.txt", "n/y.txt", "n/sub/z.txt"});
    clsFindFile byName;
    byName.ExecuteProfile(Write({P(u"n"_s), P(u"gone"_s)}), list, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(byName.MatchName);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(byName.FoldersNotListed(), 1);
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"Error occured in modAPI.MyFindFirstFile Error number: 2 "_s));
    EXPECT_TRUE(log[0].contains(u"gone/*.* at:"_s));
}

// A document that cannot be run as written is a failure before any walk: a relative folder
// would be read from wherever the program was started (and the marker spelt in other
// letters is one), and content compared by a method the engine does not know, or nothing
// compared at all, would put every file into one group.
TEST_F(ExecuteProfile, DocumentsThatCannotBeRunAreRefusedWithTheirDetailLines) {
    t.CreateFile(u"d/a.txt"_s, "one");
    t.CreateFile(u"d/b.txt"_s, "two");
    t.CreateFile(u"d/sub/c.txt"_s, "three");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(t.Path(u"d"_s));
    const QString missing = P(u"none.xml"_s);
    const QString unknown = u" profile details name an unknown content comparison \"%1\""_s;
    const QStringList d = {P(u"d"_s)};
    struct Case {
        QString Path, Detail;
        int Number;
    };
    const Case cases[] = {
        {missing, u" profile details could not be found"_s, 536},
        {WriteContentScan(d, u"maybe"_s), {}, 13},
        {Write(d, Find(u"True"_s, u"sha1"_s)), unknown.arg(u"sha1"_s), 536},
        {Write(d, Find(u"True"_s, u"c\\u0001rc"_s, u"False"_s, u"False"_s)),
         unknown.arg(u"c\u0001rc"_s), 536},
        {Write(d, Find(u"True"_s, {}, u"True"_s, u"False"_s)), unknown.arg(QString()), 536},
        {Write(d, Find(u"False"_s, u"crc"_s, u"False"_s, u"False"_s)),
         u" profile details set no duplicate criterion"_s, 536},
        {Write({P(u"d"_s), u"sub"_s}), u" the folder \"sub\" is not a full path"_s, 536},
        {Write({u"$mydocuments"_s}), u" the folder \"$mydocuments\" is not a full path"_s, 536},
        {Write({QString()}), u" the folder \"\" is not a full path"_s, 536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Detail.toStdString());
        modLog::ResetRunStats();
        clsFindFile scan;
        RecordingObserver observer;
        scan.SetObserver(&observer);
        FileList list;
        int status = 0;
        scan.ExecuteProfile(c.Path, list, status);
        EXPECT_EQ(status, 3);
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(observer.Files.isEmpty());
        QStringList details = {c.Path + u" -  error in executing profile "_s};
        if (!c.Detail.isEmpty())
            details.prepend(c.Path + u" - "_s + c.Detail);
        EXPECT_EQ(modLog::RunStats.ErrorDetails, details);
        EXPECT_EQ(modLog::RunStats.ErrorCount, details.size());
        EXPECT_TRUE(app.AppLogLines().last().startsWith(
            u"Error occured in clsFindFile.ExecuteProfile. Error No : %1 Desc : "_s.arg(c.Number)));
    }
    QDir::setCurrent(cwd);
    EXPECT_TRUE(app.AppLogLines().first().startsWith(
        u"Error occured in clsFindFile.ExecuteProfile. Error No : 536 Desc : Error in profile"_s));

    // The same settings handed over directly are refused the same way.
    clsFindFile direct;
    ContentScan(direct, u"sha256"_s);
    FileList list;
    EXPECT_EQ(direct.ScanFolders(d, list), 3);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        u"Error occured in clsFindFile.ScanFolders. Error No : 536 "_s));
    direct.MatchType = u"MD5"_s;
    EXPECT_EQ(direct.ScanFolders(d, list), 1);
    EXPECT_EQ(list.size(), 3u);
}
