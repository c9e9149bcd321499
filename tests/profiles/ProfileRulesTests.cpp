#include "TestSupport.h"

#include "profiles/ProfileRules.h"

using namespace testing_support;
using ProfileRules::Focus;

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

ProfileRules::SaveInput Valid(const char* name) {
    return {S("/home/ann"), S(name), true, true};
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
