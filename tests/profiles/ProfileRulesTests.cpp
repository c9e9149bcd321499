// What the profile window refuses before it saves, in the order the user is told, and the
// file a typed name leads to.

#include "TestSupport.h"

#include "app/PathCodec.h"
#include "profiles/IgnoreList.h"
#include "profiles/ProfileRules.h"

using namespace testing_support;
using namespace Qt::StringLiterals;
using ProfileRules::Focus;

TEST(ProfileRules, RefusalsComeInTheirOrderWithTheirFocus) {
    AppFolder app;
    app.Tree().CreateFile(u"app/tester/Profile/Taken.xml"_s, "x");
    const QString badName = u"Profile name cannot contain / : < > ? \\ | \""_s;
    const QString taken = u"Profile name already exists. Please enter a different name."_s;
    struct Case {
        ProfileRules::SaveInput In;
        QString Message;
        Focus To;
    };
    std::vector<Case> cases = {
        // No folder wins over every other fault.
        {{u"  "_s, u""_s, true, false},
         u"Please select atleast one folder and try again."_s,
         Focus::Folders},
        {{u"/a"_s, u"   "_s, true, false},
         u"Please enter a profile name and try again."_s,
         Focus::Name},
        {{u"/a"_s, u"Taken"_s, true, false}, taken, Focus::Name},
        // A typed extension names the same document.
        {{u"/a"_s, u"Taken.xml"_s, true, true}, taken, Focus::Name},
        {{u"/a"_s, u"Taken.XML"_s, true, true}, taken, Focus::Name},
        {{u"/a"_s, u"Taken"_s, false, false},
         u"Please select atleast one criteria to find duplicate files."_s,
         Focus::Criteria},
    };
    // The asterisk too, by a message that never listed it.
    for (const QChar c : u"*/:<>?\\|\""_s)
        cases.push_back({{u"/a"_s, u"My"_s + c + u's', true, false}, badName, Focus::Name});
    for (const Case& c : cases) {
        const ProfileRules::SaveCheck check = ProfileRules::ValidateSave(c.In);
        EXPECT_EQ(check.Result, 2) << c.In.NameText.toStdString();
        EXPECT_EQ(check.Message, c.Message) << c.In.NameText.toStdString();
        EXPECT_EQ(check.FocusTo, c.To) << c.In.NameText.toStdString();
    }
    // Editing never asks whether the name is taken: it is the profile's own document. Names
    // that differ only in case are two profiles.
    for (const ProfileRules::SaveInput& valid :
         {ProfileRules::SaveInput{u"/a"_s, u"Taken"_s, false, true},
          ProfileRules::SaveInput{u"/a"_s, u"taken"_s, true, true},
          ProfileRules::SaveInput{u"/a"_s, u"Zoë's photos & more (2)"_s, true, true}})
        EXPECT_EQ(ProfileRules::ValidateSave(valid).Result, 1) << valid.NameText.toStdString();
}

TEST(ProfileRules, NameBoxAndFileNamesFollowTheTypedExtension) {
    AppFolder app;
    // Typed, then the name box after validation, the document's file and the listed name.
    const QStringList rows = {
        u"Photos|Photos|Photos.xml|Photos"_s,
        u" Photos | Photos |Photos.xml|Photos"_s,
        u"Photos.xml|Photos|Photos.xml|Photos"_s,
        // Kept in the box, but the document still opens by the listed name.
        u"Photos.XML|Photos.XML|Photos.xml|Photos"_s,
        u"a.xml.b|a.xml.b|a.xml.b.xml|a.xml.b"_s,
        // Too short to lose its extension.
        u".xml|.xml|.xml.xml|.xml"_s,
    };
    for (const QString& row : rows) {
        const QStringList c = row.split(u'|');
        const auto check = ProfileRules::ValidateSave({u"/a"_s, c[0], true, true});
        ASSERT_EQ(check.Result, 1) << row.toStdString();
        EXPECT_EQ(QStringList({check.NameText, ProfileRules::DocumentFileName(check.NameText),
                               ProfileRules::ProfileName(check.NameText)}),
                  c.mid(1));
        EXPECT_EQ(ProfileRules::DocumentPath(check.NameText), modCommon::ProfileFolder + c[2]);
    }
    EXPECT_EQ(ProfileRules::RunLogName(u"  Photos "_s), u"Photos "_s);
}

TEST(ProfileRules, TheFirstActionWithoutAFolderIsReported) {
    using L = ProfileRules::Location;
    ProfileRules::LocationInput in;
    const auto expect = [&in](L missing, const QString& message) {
        const ProfileRules::LocationCheck check = ProfileRules::CheckLocations(in);
        EXPECT_EQ(check.Missing, missing) << message.toStdString();
        EXPECT_EQ(check.Message, message);
    };
    in.DeleteTo = u"recycle"_s;
    in.MoveFolder = u" "_s;
    expect(L::None, {}); // a move folder matters only for a move
    in.SingleCopy = in.Export = true;
    in.DeleteTo = u"move"_s;
    expect(L::Move, u"Please select a location to copy duplicate files"_s);
    in.DeleteTo = u"zip"_s;
    expect(L::Zip, u"Please select a location to zip duplicate files"_s);
    in.ZipFolder = u"/z"_s;
    expect(L::SingleCopy, u"Please select a location to copy files"_s);
    in.CopyFolder = u"/c"_s;
    expect(L::Export, u"Please select a location to export the report"_s);
    in.ExportFolder = u"/e"_s;
    expect(L::None, {});
}

TEST(ProfileRules, PatternsAreRefusedWhenBlankOrInTheOtherList) {
    const QStringList exclude = {u"*.tmp"_s, u"~*"_s};
    EXPECT_EQ(ProfileRules::FilterRefusal(u"  "_s, exclude, u"Exclude"_s),
              u"Please enter a text and try again."_s);
    EXPECT_EQ(ProfileRules::FilterRefusal(u" *.tmp "_s, exclude, u"Exclude"_s),
              u"The entered text already exist in Exclude filter. The same text cannot be "
              u"included in both include and exclude filters"_s);
    EXPECT_EQ(ProfileRules::FilterRefusal(u"*.TMP"_s, exclude, u"Exclude"_s), QString());
}

// Any name the file system allows comes back from the ignore list's file exactly: bytes
// that are not UTF-8, tabs, line breaks and "%" included; what is no entry is passed over.
TEST(IgnoreListFile, EveryPathComesBackExactly) {
    const QString odd = PathCodec::Decode(QByteArray("/d/caf\xe9\t100%\nx\r.txt"));
    const IgnoreList::Entry entries[] = {{odd, 7}, {u"/home/ann/é 1.txt"_s, 0}};
    for (const IgnoreList::Entry& e : entries) {
        const QByteArray line = IgnoreList::Line(e);
        EXPECT_EQ(line.count('\n'), 1) << line.toStdString();
        IgnoreList::Entry back;
        ASSERT_TRUE(IgnoreList::ParseLine(line.chopped(1), back));
        EXPECT_EQ(back, e);
    }
    IgnoreList::Entry none;
    for (const char* line : {"# heading", "", "12", "x\t/a", "-1\t/a", "5\trelative"})
        EXPECT_FALSE(IgnoreList::ParseLine(QByteArrayView(line), none)) << line;
    EXPECT_EQ(IgnoreList::FileBeside(u"/p/Music.xml"_s), u"/p/Music.ignore"_s);
}
