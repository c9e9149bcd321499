// Running a profile document: its settings, its folders and how failures are reported.

#include "EngineFixtures.h"

#include "app/modLog.h"
#include "app/modXML.h"

using namespace engine_test;
using modXML::Element;

class ExecuteProfile : public EngineTest {
protected:
    // A content scan of *.txt below the folders; without hidden, a document with no options.
    QString Write(const QString& name, const QStringList& folders, const QString& hidden = {}) {
        const QString path = P(name + u".xml"_s);
        const QString opt = u"profileoption"_s;
        std::vector<modXML::XMLElementInfo> records{Element(opt, u"echofind"_s)};
        for (const QString& folder : folders)
            records.push_back(Element(u"folder"_s, opt, {{u"path"_s, folder}}));
        if (!hidden.isEmpty()) {
            records.push_back(Element(u"subfolder"_s, opt, {{u"include"_s, u"True"_s}}));
            records.push_back(Element(u"findduplicates"_s, opt,
                                      {{u"name"_s, u"false"_s},
                                       {u"size"_s, u"TRUE"_s},
                                       {u"create"_s, u"False"_s},
                                       {u"modify"_s, u"False"_s},
                                       {u"content"_s, u"True"_s},
                                       {u"matchtype"_s, u"MD5"_s}}));
            records.push_back(Element(u"ignore"_s, opt,
                                      {{u"system"_s, u"True"_s},
                                       {u"hidden"_s, hidden},
                                       {u"readonly"_s, u"True"_s},
                                       {u"zerobyte"_s, u"True"_s}}));
            records.push_back(
                Element(u"includefilter"_s, u"include"_s, {{u"criteria"_s, u"*.txt"_s}}));
        }
        EXPECT_EQ(modXML::InitXML(u"echofind"_s, path), 1);
        EXPECT_EQ(modXML::AddXML(qsizetype(records.size()) - 1, records, path), 1);
        return path;
    }
};

TEST_F(ExecuteProfile, FailuresGiveStatusThreeAndTheirDetailLines) {
    const QString missing = P(u"none.xml"_s);
    const QString bad = Write(u"bad"_s, {}, u"maybe"_s);
    for (const auto& [path, details] :
         {std::pair{missing, QStringList({missing + u" -  profile details could not be found"_s,
                                          missing + u" -  error in executing profile "_s})},
          std::pair{bad, QStringList{bad + u" -  error in executing profile "_s}}}) {
        modLog::ResetRunStats();
        clsFindFile scan;
        FileList list;
        int status = 0;
        scan.ExecuteProfile(path, list, status);
        EXPECT_EQ(status, 3);
        EXPECT_EQ(modLog::RunStats.ErrorDetails, details);
        EXPECT_EQ(modLog::RunStats.ErrorCount, details.size());
    }
    EXPECT_TRUE(app.AppLogLines().value(0).startsWith(
        u"Error occured in clsFindFile.ExecuteProfile. Error No : 536 Desc : Error in profile"_s));
}

TEST_F(ExecuteProfile, SettingsComeFromTheDocument) {
    t.CreateFile(u"d/one.txt"_s, "same");
    t.CreateFile(u"d/deep/two.txt"_s, "same");
    t.CreateFile(u"d/.hidden.txt"_s, "same");
    t.CreateFile(u"d/other.log"_s, "same");
    t.CreateFile(u"d/changed.txt"_s, "SAME");
    // "False" for hidden means hidden files are not ignored.
    for (const auto& [hidden, expected] :
         {std::pair{u"True"_s, QStringList({u"d/one.txt"_s, u"d/deep/two.txt"_s})},
          std::pair{u"False"_s,
                    QStringList({u"d/.hidden.txt"_s, u"d/one.txt"_s, u"d/deep/two.txt"_s})}}) {
        clsFindFile scan;
        FileList list;
        int status = 0;
        scan.ExecuteProfile(Write(hidden, {P(u"d"_s)}, hidden), list, status);
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
    scan.ExecuteProfile(Write(u"empty"_s, {}, u"True"_s), list, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(list.empty());

    // No options: the defaults, name only, no sub-folders; a folder that does not exist is
    // logged as one.
    t.CreateFile(u"n/x.txt"_s, "1");
    t.CreateFile(u"n/y.txt"_s, "1");
    t.CreateFile(u"n/sub/z.txt"_s, "1");
    clsFindFile byName;
    byName.ExecuteProfile(Write(u"bare"_s, {P(u"n"_s), P(u"gone"_s)}), list, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(byName.MatchName);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(byName.FoldersNotListed(), 1);
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"Error occured in modAPI.MyFindFirstFile Error number: 2 "_s));
    EXPECT_TRUE(log[0].contains(u"gone/*.* at:"_s));
}

// A relative folder would be read from wherever the program was started (and the marker
// spelt in other letters is one): the profile is refused, naming it, before any walk.
TEST_F(ExecuteProfile, FoldersThatAreNotFullPathsAreRefused) {
    t.CreateFile(u"rel/a/x.txt"_s, "1");
    t.CreateFile(u"rel/a/y.txt"_s, "1");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(t.Path(u"rel"_s));
    for (const QString& folder : {u"a"_s, u"$mydocuments"_s, QString()}) {
        SCOPED_TRACE(folder.toStdString());
        modLog::ResetRunStats();
        clsFindFile scan;
        FileList list;
        int status = 0;
        scan.ExecuteProfile(Write(u"rel"_s, {P(u"rel"_s), folder}), list, status);
        EXPECT_EQ(status, 3);
        EXPECT_TRUE(list.empty());
        ASSERT_FALSE(modLog::RunStats.ErrorDetails.isEmpty());
        EXPECT_TRUE(modLog::RunStats.ErrorDetails.first().contains(u"the folder \""_s + folder +
                                                                   u"\" is not a full path"_s));
    }
    QDir::setCurrent(cwd);
}

// Content compared by a method the engine does not know, or nothing compared at all, would
// put every file into one group; such a profile is refused before a single file is seen.
TEST_F(ExecuteProfile, UnusableCriteriaAreRefusedBeforeTheWalk) {
    t.CreateFile(u"d/a.txt"_s, "one");
    t.CreateFile(u"d/b.txt"_s, "two");
    t.CreateFile(u"d/sub/c.txt"_s, "three");
    struct Case {
        QString Content, MatchType, Name, Size, Detail;
    };
    const Case cases[] = {
        {u"True"_s, u"sha1"_s, u"False"_s, u"True"_s,
         u" profile details name an unknown content comparison \"sha1\""_s},
        {u"True"_s, u"c\u0001rc"_s, u"False"_s, u"False"_s,
         u" profile details name an unknown content comparison \"c\u0001rc\""_s},
        {u"True"_s, QString(), u"True"_s, u"False"_s,
         u" profile details name an unknown content comparison \"\""_s},
        {u"False"_s, u"crc"_s, u"False"_s, u"False"_s,
         u" profile details set no duplicate criterion"_s},
    };
    for (const Case& c : cases) {
        const QString path = P(u"p.xml"_s);
        QFile::remove(path);
        const QString opt = u"profileoption"_s;
        const std::vector<modXML::XMLElementInfo> records{
            Element(opt, u"echofind"_s), Element(u"folder"_s, opt, {{u"path"_s, P(u"d"_s)}}),
            Element(u"subfolder"_s, opt, {{u"include"_s, u"True"_s}}),
            Element(u"findduplicates"_s, opt,
                    {{u"name"_s, c.Name},
                     {u"size"_s, c.Size},
                     {u"create"_s, u"False"_s},
                     {u"modify"_s, u"False"_s},
                     {u"content"_s, c.Content},
                     {u"matchtype"_s, c.MatchType}})};
        ASSERT_EQ(modXML::InitXML(u"echofind"_s, path), 1);
        ASSERT_EQ(modXML::AddXML(qsizetype(records.size()) - 1, records, path), 1);
        modLog::ResetRunStats();
        clsFindFile scan;
        RecordingObserver observer;
        scan.SetObserver(&observer);
        FileList list;
        int status = 0;
        scan.ExecuteProfile(path, list, status);
        EXPECT_EQ(status, 3) << c.Detail.toStdString();
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(observer.Files.isEmpty());
        EXPECT_EQ(
            modLog::RunStats.ErrorDetails,
            QStringList({path + u" - "_s + c.Detail, path + u" -  error in executing profile "_s}));
        EXPECT_EQ(modLog::RunStats.ErrorCount, 2);
        EXPECT_TRUE(app.AppLogLines().last().startsWith(
            u"Error occured in clsFindFile.ExecuteProfile. Error No : 536 Desc : Error in profile details at:"_s));
    }
    // The same settings handed over directly are refused the same way.
    clsFindFile direct;
    direct.MatchName = false;
    direct.IncludeSubFolder = true;
    direct.ContentMatch = true;
    direct.MatchType = u"sha256"_s;
    FileList list;
    EXPECT_EQ(direct.ScanFolders({P(u"d"_s)}, list), 3);
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(app.AppLogLines().last().startsWith(
        u"Error occured in clsFindFile.ScanFolders. Error No : 536 "_s));
    direct.MatchType = u"MD5"_s;
    EXPECT_EQ(direct.ScanFolders({P(u"d"_s)}, list), 1);
    EXPECT_EQ(list.size(), 3u);
}
