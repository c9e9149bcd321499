#include "TreeFixture.h"

using namespace Qt::StringLiterals;

class TreeSelection : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        for (const QString& path : {u"drive/docs/letters"_s, u"drive/docs/bills"_s,
                                    u"drive/photos/2024"_s, u"other/music"_s})
            MakeDir(path);
        MakeList({Drive(u"drive"_s), Drive(u"other"_s)});
    }
    QString P(const QString& relative) const { return PathOf(relative); }
};

TEST_F(TreeSelection, ATickCountsAloneWithoutSubFoldersAndForItsTreeWithThem) {
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
    ExpandAt(u"drive"_s);
    ExpandAt(u"drive/docs"_s);
    for (const QString& folder : {u"drive"_s, u"drive/docs/bills"_s, u"drive/docs/letters"_s})
        Tick(NodeAt(folder), true);
    // Spread neither down to docs nor up from its two children.
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/"_s), P(u"drive/docs/bills"_s), P(u"drive/docs/letters"_s)}));
    m_list->IncludeSubFolder(true);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/"_s)});
}

TEST_F(TreeSelection, SetSelectionReadsFoldersOnTheWayAndReportsMissingOnes) {
    MakeDir(u"drive/notes"_s);
    MakeDir(u"drive/notes "_s); // a trailing blank is part of a name here
    m_list->SetUserSelection({P(u"drive/docs/letters/"_s), P(u"drive/docs/gone/"_s),
                              u"  "_s + P(u"other/music"_s) + u" "_s, P(u"drive/notes "_s),
                              QString(), u"/nowhere/at/all"_s});
    EXPECT_EQ(m_errors, (QList<QPair<int, QString>>{{101, P(u"drive/docs/gone not found"_s)},
                                                    {101, u"/nowhere/at/all not found"_s}}));
    EXPECT_TRUE(IsBlue(NodeAt(u"drive/docs/letters"_s)));
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/docs/letters"_s), P(u"drive/notes "_s), P(u"other/music"_s)}));
}

TEST_F(TreeSelection, KeysMatchWithoutRegardToCaseButAnExactMatchWins) {
    m_list->SetUserSelection({P(u"drive/DOCS/Letters"_s)});
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/docs/letters"_s)});

    MakeDir(u"drive/Photos"_s);
    MakeList({Drive(u"drive"_s)});
    m_list->SetUserSelection({P(u"drive/photos"_s)});
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/photos"_s)});
    m_list->SetUserSelection({P(u"drive/Photos"_s)});
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/Photos"_s), P(u"drive/photos"_s)}));
}

TEST_F(TreeSelection, WithSubFoldersASelectedFolderStaysSelectedAsItIsRead) {
    m_list->IncludeSubFolder(true);
    m_list->SetUserSelection({P(u"drive/docs"_s)});
    m_list->InitialPath(P(u"drive/docs/bills"_s));
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/docs/letters"_s)));
    EXPECT_EQ(m_list->Tree()->currentItem(), NodeAt(u"drive/docs/bills"_s));
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/docs"_s)});
}

TEST_F(TreeSelection, PathGoesToTheDriveMountedDeepest) {
    MakeList({Drive(u"drive"_s), Drive(u"drive/photos"_s, DriveType::Removable)});
    m_list->SetUserSelection({P(u"drive/photos/2024"_s)});
    ASSERT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(NodeAt(u"drive/photos/2024"_s)->parent(), Root()->child(1));
    // The outer drive was never read.
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));

    // A drive mounted at "Photos" is not where the folder "photos" lives.
    MakeDir(u"drive/Photos"_s);
    MakeList({Drive(u"drive"_s), Drive(u"drive/Photos"_s, DriveType::Removable)});
    m_list->SetUserSelection({P(u"drive/photos/2024"_s)});
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/photos/2024"_s)});
}
