// Running a profile document: its settings, its folders and how failures are reported.

#include "EngineFixtures.h"

#include "app/modLog.h"
#include "app/modXML.h"

using namespace testing_support;
using namespace engine_test;
using modXML::Element;

namespace {

struct Profile {
    QStringList Folders;
    QString Hidden = QStringLiteral("True");
    QString Content = QStringLiteral("False");
    QString MatchType;
    QStringList Include;
    bool WithOptions = true;
};

QString Write(const AppFolder& app, const QString& name, const Profile& p) {
    const QString path = app.Tree().Path(name + QStringLiteral(".xml"));
    EXPECT_EQ(modXML::InitXML(QStringLiteral("echofind"), path), 1);
    std::vector<modXML::XMLElementInfo> records;
    records.push_back(Element(QStringLiteral("profileoption"), QStringLiteral("echofind")));
    for (const QString& folder : p.Folders)
        records.push_back(Element(QStringLiteral("folder"), QStringLiteral("profileoption"),
                                  {{QStringLiteral("path"), folder}}));
    if (p.WithOptions) {
        records.push_back(Element(QStringLiteral("subfolder"), QStringLiteral("profileoption"),
                                  {{QStringLiteral("include"), QStringLiteral("True")}}));
        records.push_back(Element(QStringLiteral("findduplicates"), QStringLiteral("profileoption"),
                                  {{QStringLiteral("name"), QStringLiteral("false")},
                                   {QStringLiteral("size"), QStringLiteral("TRUE")},
                                   {QStringLiteral("create"), QStringLiteral("False")},
                                   {QStringLiteral("modify"), QStringLiteral("False")},
                                   {QStringLiteral("content"), p.Content},
                                   {QStringLiteral("matchtype"), p.MatchType}}));
        records.push_back(Element(QStringLiteral("ignore"), QStringLiteral("profileoption"),
                                  {{QStringLiteral("system"), QStringLiteral("True")},
                                   {QStringLiteral("hidden"), p.Hidden},
                                   {QStringLiteral("readonly"), QStringLiteral("True")},
                                   {QStringLiteral("zerobyte"), QStringLiteral("True")}}));
    }
    for (const QString& pattern : p.Include)
        records.push_back(Element(QStringLiteral("includefilter"), QStringLiteral("include"),
                                  {{QStringLiteral("criteria"), pattern}}));
    EXPECT_EQ(modXML::AddXML(qsizetype(records.size()) - 1, records, path), 1);
    return path;
}

} // namespace

TEST(ExecuteProfile, MissingDocumentFailsWithBothDetailLines) {
    AppFolder app;
    clsFindFile scan;
    FileList list;
    int status = 0;
    const QString path = app.Tree().Path(QStringLiteral("none.xml"));
    scan.ExecuteProfile(path, list, status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(modLog::RunStats.ErrorDetails,
              QStringList({path + QStringLiteral(" -  profile details could not be found"),
                           path + QStringLiteral(" -  error in executing profile ")}));
    EXPECT_EQ(modLog::RunStats.ErrorCount, 2);
    const QStringList log = app.AppLogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].startsWith(QStringLiteral("Error occured in clsFindFile.ExecuteProfile. Error No : "
                                         "536 Desc : Error in profile details at:")));
}

TEST(ExecuteProfile, SettingsComeFromTheDocument) {
    AppFolder app;
    const TempTree& t = app.Tree();
    t.CreateFile(QStringLiteral("d/one.txt"), "same");
    t.CreateFile(QStringLiteral("d/deep/two.txt"), "same");
    t.CreateFile(QStringLiteral("d/.hidden.txt"), "same");
    t.CreateFile(QStringLiteral("d/other.log"), "same");
    t.CreateFile(QStringLiteral("d/changed.txt"), "SAME");
    Profile p;
    p.Folders = {t.Path(QStringLiteral("d"))};
    p.Content = QStringLiteral("True");
    p.MatchType = QStringLiteral("CRC");
    p.Include = {QStringLiteral("*.txt")};
    RecordingObserver observer;
    clsFindFile scan;
    scan.SetObserver(&observer);
    FileList list;
    int status = 0;
    scan.ExecuteProfile(Write(app, QStringLiteral("p"), p), list, status);
    ASSERT_EQ(status, 1);
    RecordingSink sink;
    GroupingPass(list, sink);
    EXPECT_EQ(Relative(sink.Groups, t.Root()),
              (std::vector<QStringList>{
                  {QStringLiteral("d/one.txt"), QStringLiteral("d/deep/two.txt")}}));
    EXPECT_EQ(observer.Statuses,
              QStringList{QStringLiteral(
                  "Processing. This could take a couple of minutes. Please wait...")});

    // "False" for hidden takes the hidden file as well.
    p.Hidden = QStringLiteral("False");
    clsFindFile withHidden;
    FileList all;
    withHidden.ExecuteProfile(Write(app, QStringLiteral("q"), p), all, status);
    RecordingSink sink2;
    GroupingPass(all, sink2);
    ASSERT_EQ(sink2.Groups.size(), 1u);
    EXPECT_EQ(sink2.Groups[0].size(), 3);
}

TEST(ExecuteProfile, ProfilesWithoutFoldersOrOptionsRunEmptyOrByName) {
    AppFolder app;
    const TempTree& t = app.Tree();
    Profile empty;
    clsFindFile scan;
    FileList list;
    int status = 0;
    scan.ExecuteProfile(Write(app, QStringLiteral("empty"), empty), list, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(list.empty());

    // No options: the defaults, name only, no sub-folders; the marker spelled in other
    // letters is a literal folder that does not exist.
    t.CreateFile(QStringLiteral("n/x.txt"), "1");
    t.CreateFile(QStringLiteral("n/y.txt"), "1");
    Profile bare;
    bare.WithOptions = false;
    bare.Folders = {t.Path(QStringLiteral("n")), QStringLiteral("$mydocuments")};
    clsFindFile byName;
    FileList named;
    byName.ExecuteProfile(Write(app, QStringLiteral("bare"), bare), named, status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(byName.MatchName);
    EXPECT_EQ(named.size(), 2u);
    EXPECT_EQ(byName.FoldersNotListed(), 1);
}

TEST(ExecuteProfile, AnAttributeThatIsNoBooleanFailsTheRun) {
    AppFolder app;
    Profile p;
    p.Hidden = QStringLiteral("maybe");
    clsFindFile scan;
    FileList list;
    int status = 0;
    const QString path = Write(app, QStringLiteral("bad"), p);
    scan.ExecuteProfile(path, list, status);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(modLog::RunStats.ErrorDetails,
              QStringList{path + QStringLiteral(" -  error in executing profile ")});
}
