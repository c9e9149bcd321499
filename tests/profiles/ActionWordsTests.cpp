#include "profiles/ActionWords.h"

#include <gtest/gtest.h>

// The words are what documents and journals hold: each must come back as the same value,
// and a word in other letters or of a later version must never pass for a known one.
TEST(ActionWords, StoredWordsComeBackAndOthersAreUnknown) {
    for (RemoveMethod m : {RemoveMethod::Trash, RemoveMethod::Permanent, RemoveMethod::Move,
                           RemoveMethod::Zip, RemoveMethod::HardLink, RemoveMethod::Clone})
        EXPECT_EQ(ActionWords::MethodOf(ActionWords::Word(m)), m);
    for (ReportFormat f :
         {ReportFormat::Text, ReportFormat::Csv, ReportFormat::Html, ReportFormat::Xml})
        EXPECT_EQ(ActionWords::FormatOf(ActionWords::Word(f)), f);
    EXPECT_EQ(ActionWords::Word(RemoveMethod::Zip), QStringLiteral("zip"));
    EXPECT_EQ(ActionWords::Word(ReportFormat::Text), QStringLiteral("text"));

    EXPECT_EQ(ActionWords::MethodOf(QString()), RemoveMethod::Trash);
    for (const char* other : {"ZIP", "Recycle", "shred", " move"})
        EXPECT_EQ(ActionWords::MethodOf(QString::fromLatin1(other)), RemoveMethod::Unknown)
            << other;
    EXPECT_EQ(ActionWords::FormatOf(QStringLiteral("pdf")), ReportFormat::Unknown);
    EXPECT_TRUE(ActionWords::Word(RemoveMethod::Unknown).isEmpty());
    EXPECT_TRUE(ActionWords::HasFolder(RemoveMethod::Move));
    EXPECT_FALSE(ActionWords::HasFolder(RemoveMethod::HardLink));
    EXPECT_EQ(ActionWords::MethodOf(QStringLiteral("clone")), RemoveMethod::Clone);
    // Only the two that leave every name in place may skip the emptied-folder tidying.
    for (RemoveMethod m : {RemoveMethod::Trash, RemoveMethod::Permanent, RemoveMethod::Move,
                           RemoveMethod::Zip, RemoveMethod::Unknown})
        EXPECT_FALSE(ActionWords::KeepsNames(m));
    EXPECT_TRUE(ActionWords::KeepsNames(RemoveMethod::Clone));
}
