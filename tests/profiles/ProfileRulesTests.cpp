#include "TestSupport.h"

#include "app/modXML.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"
#include "profiles/ProfileRules.h"

#include <QStandardPaths>

using namespace testing_support;
using ProfileRules::Focus;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

ProfileRules::SaveInput Valid(const char* name) {
    return {S("/home/ann"), S(name), true, true};
}

void WriteDocument(const QString& path, const std::vector<modXML::XMLElementInfo>& records) {
    ASSERT_EQ(modXML::WriteXML(S("echofind"), records, path), 1);
}

} // namespace

TEST(ProfileRules, RefusalsComeInTheirOrderWithTheirFocus) {
    AppFolder app;
    app.Tree().CreateFile(S("app/tester/Profile/Taken.xml"), "x");
    struct Case {
        ProfileRules::SaveInput In;
        const char* Message;
        Focus To;
    };
    const Case cases[] = {
        // No folder wins over every other fault.
        {{S("  "), S(""), true, false},
         "Please select atleast one folder and try again.",
         Focus::Folders},
        {{S("/a"), S("   "), true, false},
         "Please enter a profile name and try again.",
         Focus::Name},
        {{S("/a"), S("a/b"), true, false},
         "Profile name cannot contain / : < > ? \\ | \"",
         Focus::Name},
        {{S("/a"), S("Taken"), true, false},
         "Profile name already exists. Please enter a different name.",
         Focus::Name},
        // A typed extension names the same document.
        {{S("/a"), S("Taken.xml"), true, true},
         "Profile name already exists. Please enter a different name.",
         Focus::Name},
        {{S("/a"), S("Taken.XML"), true, true},
         "Profile name already exists. Please enter a different name.",
         Focus::Name},
        {{S("/a"), S("Taken"), false, false},
         "Please select atleast one criteria to find duplicate files.",
         Focus::Criteria},
    };
    for (const Case& c : cases) {
        const ProfileRules::SaveCheck check = ProfileRules::ValidateSave(c.In);
        EXPECT_EQ(check.Result, 2) << c.In.NameText.toStdString();
        EXPECT_EQ(check.Message, S(c.Message)) << c.In.NameText.toStdString();
        EXPECT_EQ(check.FocusTo, c.To) << c.In.NameText.toStdString();
    }
    // Editing never asks whether the name is taken: it is the profile's own document.
    EXPECT_EQ(ProfileRules::ValidateSave({S("/a"), S("Taken"), false, true}).Result, 1);
    // Names that differ only in case are two profiles.
    EXPECT_EQ(ProfileRules::ValidateSave(Valid("taken")).Result, 1);
}

TEST(ProfileRules, EveryCharacterThatCannotBeInAFileNameIsRefused) {
    AppFolder app;
    for (const char* c : {"*", "/", ":", "<", ">", "?", "\\", "|", "\""}) {
        const auto check = ProfileRules::ValidateSave(Valid((std::string("My") + c + "s").c_str()));
        EXPECT_EQ(check.Result, 2) << c;
        EXPECT_EQ(check.FocusTo, Focus::Name) << c;
        // The asterisk is refused by a message that never listed it.
        EXPECT_EQ(check.Message, S("Profile name cannot contain / : < > ? \\ | \"")) << c;
    }
    EXPECT_EQ(ProfileRules::ValidateSave(Valid("Zoë's photos & more (2)")).Result, 1);
}

TEST(ProfileRules, NameBoxAndFileNamesFollowTheTypedExtension) {
    struct Case {
        const char* Typed;
        const char* NameBox; // after validation
        const char* File;
        const char* Listed;
    };
    const Case cases[] = {
        {"Photos", "Photos", "Photos.xml", "Photos"},
        {" Photos ", " Photos ", "Photos.xml", "Photos"},
        {"Photos.xml", "Photos", "Photos.xml", "Photos"},
        // Kept in the box, but the document still opens by the listed name.
        {"Photos.XML", "Photos.XML", "Photos.xml", "Photos"},
        {"a.xml.b", "a.xml.b", "a.xml.b.xml", "a.xml.b"},
        // Too short to lose its extension.
        {".xml", ".xml", ".xml.xml", ".xml"},
    };
    AppFolder app;
    for (const Case& c : cases) {
        const auto check = ProfileRules::ValidateSave(Valid(c.Typed));
        ASSERT_EQ(check.Result, 1) << c.Typed;
        EXPECT_EQ(check.NameText, S(c.NameBox)) << c.Typed;
        EXPECT_EQ(ProfileRules::DocumentFileName(check.NameText), S(c.File)) << c.Typed;
        EXPECT_EQ(ProfileRules::ProfileName(check.NameText), S(c.Listed)) << c.Typed;
        EXPECT_EQ(ProfileRules::DocumentPath(check.NameText), modCommon::ProfileFolder + S(c.File));
    }
    EXPECT_EQ(ProfileRules::RunLogName(S("  Photos ")), S("Photos "));
}

TEST(ProfileRules, TheFirstActionWithoutAFolderIsReported) {
    using L = ProfileRules::Location;
    ProfileRules::LocationInput in;
    in.DeleteTo = S("recycle");
    in.MoveFolder = S(" ");
    EXPECT_EQ(ProfileRules::CheckLocations(in).Missing, L::None)
        << "a move folder matters only for a move";
    in.SingleCopy = true;
    in.Export = true;
    in.DeleteTo = S("move");
    auto check = ProfileRules::CheckLocations(in);
    EXPECT_EQ(check.Missing, L::Move);
    EXPECT_EQ(check.Message, S("Please select a location to copy duplicate files"));
    in.DeleteTo = S("zip");
    check = ProfileRules::CheckLocations(in);
    EXPECT_EQ(check.Missing, L::Zip);
    EXPECT_EQ(check.Message, S("Please select a location to zip duplicate files"));
    in.ZipFolder = S("/z");
    check = ProfileRules::CheckLocations(in);
    EXPECT_EQ(check.Missing, L::SingleCopy);
    EXPECT_EQ(check.Message, S("Please select a location to copy files"));
    in.CopyFolder = S("/c");
    check = ProfileRules::CheckLocations(in);
    EXPECT_EQ(check.Missing, L::Export);
    EXPECT_EQ(check.Message, S("Please select a location to export the report"));
    in.ExportFolder = S("/e");
    EXPECT_EQ(ProfileRules::CheckLocations(in).Missing, L::None);
}

TEST(ProfileRules, PatternsAreRefusedWhenBlankOrInTheOtherList) {
    const QStringList exclude = {S("*.tmp"), S("~*")};
    EXPECT_EQ(ProfileRules::FilterRefusal(S("  "), exclude, S("Exclude")),
              S("Please enter a text and try again."));
    EXPECT_EQ(ProfileRules::FilterRefusal(S(" *.tmp "), exclude, S("Exclude")),
              S("The entered text already exist in Exclude filter. The same text cannot be "
                "included in both include and exclude filters"));
    EXPECT_EQ(ProfileRules::FilterRefusal(S("*.TMP"), exclude, S("Exclude")), QString());
}

TEST(ProfileReader, ReadsBackWhatASaveWrote) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {S("/srv/a"), S("$MyDocuments")};
    p.IncludeSubFolder = true;
    p.MatchName = true;
    p.MatchContent = true;
    p.MatchType = S("md5");
    p.IgnoreSystem = false;
    p.IgnoreReadOnly = true;
    p.IncludeFilters = {S("*.jpg"), S("*.png")};
    p.ExcludeFilters = {S("~*")};
    p.DeleteTo = S("zip");
    p.RemoveFolder = S("/srv/zips");
    p.DeleteEmptyFolder = true;
    p.SingleCopyCreate = true;
    p.SingleCopyDuplicatesOnly = true;
    p.SingleCopyFolder = S("/srv/one");
    p.DoExport = true;
    p.ExportLocation = S("/srv/reports");
    p.ExportFormat = S("xml");
    const QString path = modCommon::ProfileFolder + S("p.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);

    ProfileReadout r;
    QString error;
    ASSERT_EQ(ProfileReader::Read(path, {}, r, error), ProfileReader::Status::Read);
    ASSERT_TRUE(r.Folders.has_value());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(*r.Folders, (QStringList{S("/srv/a"), documents}));
    EXPECT_EQ(r.IncludeSubFolder, true);
    ASSERT_TRUE(r.Find && r.Ignores && r.Remove && r.Copy && r.Exports);
    EXPECT_TRUE(r.Find->Name && r.Find->Content && !r.Find->Size);
    EXPECT_EQ(r.Find->MatchType, S("md5"));
    EXPECT_TRUE(!r.Ignores->System && r.Ignores->ReadOnly && r.Ignores->Hidden);
    EXPECT_EQ(r.IncludeFilters, p.IncludeFilters);
    EXPECT_EQ(r.ExcludeFilters, p.ExcludeFilters);
    EXPECT_EQ(r.Remove->DeleteTo, S("zip"));
    EXPECT_EQ(r.Remove->Folder, S("/srv/zips"));
    EXPECT_TRUE(r.Remove->DeleteEmptyFolder);
    EXPECT_TRUE(r.Copy->Create && r.Copy->DuplicatesOnly);
    EXPECT_EQ(r.Copy->Folder, S("/srv/one"));
    EXPECT_EQ(r.Exports->Location, S("/srv/reports"));
    EXPECT_EQ(r.Exports->Format, S("xml"));

    // Only the action part, when edits of the action options are thrown away.
    ProfileReadout actions;
    ASSERT_EQ(ProfileReader::Read(path, {ProfileReader::Scope::ActionsOnly, false}, actions, error),
              ProfileReader::Status::Read);
    EXPECT_FALSE(actions.Folders || actions.Find || actions.IncludeSubFolder || actions.Ignores);
    EXPECT_EQ(actions.IncludeFilters.size(), 2);
    EXPECT_TRUE(actions.Exports.has_value());
}

TEST(ProfileReader, OddValuesReadAsTheWindowsTakeThem) {
    using modXML::Element;
    AppFolder app;
    const QString path = modCommon::ProfileFolder + S("odd.xml");
    WriteDocument(
        path,
        {Element(S("findduplicates"), S("profileoption"),
                 {{S("name"), S("TRUE")}, {S("content"), S("true")}, {S("matchtype"), S("CRC")}}),
         Element(S("criteria"), S("removeoption"),
                 {{S("delto"), S("Zip")}, {S("folder"), S("/z")}}),
         Element(S("criteria"), S("singlecopy"),
                 {{S("create"), S("no")}, {S("copy"), S("duplicates")}}),
         Element(S("exportreport"), S("export"),
                 {{S("doexport"), S("YES")}, {S("location"), S("/r")}, {S("format"), S("TEXT")}})});
    ProfileReadout r;
    QString error;
    ASSERT_EQ(ProfileReader::Read(path, {}, r, error), ProfileReader::Status::Read);
    ASSERT_TRUE(r.Find.has_value());
    EXPECT_TRUE(r.Find->Name);
    EXPECT_FALSE(r.Find->Size) << "a missing switch reads as off";
    EXPECT_EQ(r.Find->MatchType, QString()) << "an unknown method leaves the choice";
    EXPECT_FALSE(r.IncludeSubFolder.has_value()) << "an absent element leaves the control";
    EXPECT_FALSE(r.Ignores.has_value());
    ASSERT_TRUE(r.Folders.has_value());
    EXPECT_TRUE(r.Folders->isEmpty());
    EXPECT_EQ(r.Remove->DeleteTo, S("Zip")) << "a rule this version does not know is kept";
    EXPECT_EQ(r.Remove->Folder, S("/z"));
    EXPECT_FALSE(r.Copy->DuplicatesOnly) << "copy is read only when single copy is on";
    EXPECT_TRUE(r.Exports->DoExport);
    EXPECT_EQ(r.Exports->Format, S("html"));
}

TEST(ProfileReader, AMissingValueEndsTheReadKeepingWhatCameBefore) {
    using modXML::Element;
    AppFolder app;
    const QString path = modCommon::ProfileFolder + S("gap.xml");
    WriteDocument(path, {Element(S("folder"), S("profileoption"), {{S("path"), S("/a")}}),
                         Element(S("subfolder"), S("profileoption"), {{S("include"), S("True")}}),
                         Element(S("findduplicates"), S("profileoption"),
                                 {{S("size"), S("True")}, {S("content"), S("True")}}),
                         Element(S("criteria"), S("removeoption"), {{S("delto"), S("move")}})});
    ProfileReadout r;
    QString error;
    EXPECT_EQ(ProfileReader::Read(path, {}, r, error), ProfileReader::Status::Incomplete);
    EXPECT_TRUE(error.contains(S("matchtype"))) << error.toStdString();
    EXPECT_EQ(r.IncludeSubFolder, true);
    ASSERT_TRUE(r.Find.has_value());
    EXPECT_TRUE(r.Find->Size);
    EXPECT_FALSE(r.Folders.has_value() || r.Remove.has_value());

    // The default options never need "copy".
    WriteDocument(path, {Element(S("criteria"), S("singlecopy"),
                                 {{S("create"), S("yes")}, {S("createin"), S("/c")}})});
    ProfileReadout defaults;
    EXPECT_EQ(ProfileReader::Read(path, {ProfileReader::Scope::Whole, true}, defaults, error),
              ProfileReader::Status::Read);
    EXPECT_TRUE(defaults.Copy->DuplicatesOnly);
    ProfileReadout profile;
    EXPECT_EQ(ProfileReader::Read(path, {}, profile, error), ProfileReader::Status::Incomplete);
}

TEST(ProfileReader, MissingAndBrokenDocumentsAreToldApart) {
    AppFolder app;
    ProfileReadout r;
    QString error;
    EXPECT_EQ(ProfileReader::Read(modCommon::ProfileFolder + S("none.xml"), {}, r, error),
              ProfileReader::Status::Missing);
    app.Tree().CreateFile(S("app/tester/Profile/broken.xml"), "<echofind><profileoption>");
    EXPECT_EQ(ProfileReader::Read(modCommon::ProfileFolder + S("broken.xml"), {}, r, error),
              ProfileReader::Status::Unreadable);
    // A bare root is a document without a scan part.
    ASSERT_EQ(modXML::InitXML(S("echofind"), modCommon::ProfileFolder + S("bare.xml")), 1);
    EXPECT_EQ(ProfileReader::Read(modCommon::ProfileFolder + S("bare.xml"), {}, r, error),
              ProfileReader::Status::Read);
    EXPECT_FALSE(r.Folders.has_value());
}
