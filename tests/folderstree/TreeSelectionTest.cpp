#include "TreeFixture.h"

#include <QTreeWidget>

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

TEST_F(TreeSelection, NothingTickedReadsAsOneEmptyString) {
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
    m_list->IncludeSubFolder(true);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
}

TEST_F(TreeSelection, WithSubFoldersATickedFolderStandsForItsTree) {
    m_list->IncludeSubFolder(true);
    ExpandAt(u"drive"_s);
    ExpandAt(u"drive/docs"_s);
    Tick(NodeAt(u"drive"_s + u'/'), true);
    ASSERT_TRUE(IsTicked(NodeAt(u"drive/docs/bills"_s)));
    Tick(NodeAt(u"other/"_s), true);

    EXPECT_EQ(m_list->GetUserSelection(), (QStringList{P(u"drive/"_s), P(u"other/"_s)}));

    // Without sub-folders every tick counts.
    m_list->IncludeSubFolder(false);
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/"_s), P(u"drive/docs"_s), P(u"drive/docs/bills"_s),
                           P(u"drive/docs/letters"_s), P(u"drive/photos"_s), P(u"other/"_s)}));
}

TEST_F(TreeSelection, SetSelectionReadsFoldersOnTheWayAndTicksThem) {
    m_list->SetUserSelection(
        {P(u"drive/docs/letters/"_s), u"  "_s + P(u"other/music"_s) + u" "_s, P(u"other"_s)});
    EXPECT_TRUE(m_errors.isEmpty());
    QTreeWidgetItem* letters = NodeAt(u"drive/docs/letters"_s);
    ASSERT_NE(letters, nullptr);
    EXPECT_TRUE(IsTicked(letters));
    EXPECT_TRUE(IsBlue(letters));
    EXPECT_FALSE(IsTicked(NodeAt(u"drive/docs/bills"_s)));
    EXPECT_TRUE(IsTicked(NodeAt(u"other/"_s)));
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/docs/letters"_s), P(u"other/"_s), P(u"other/music"_s)}));
}

TEST_F(TreeSelection, SelectionRoundTripsThroughANewControl) {
    MakeDir(u"drive/notes"_s);
    MakeDir(u"drive/notes "_s); // a trailing blank is part of a name here
    MakeDir(u"drive/Docs"_s);
    m_list->SetUserSelection({P(u"drive/notes "_s), P(u"drive/docs/bills"_s), P(u"drive/Docs"_s)});
    const QStringList chosen = m_list->GetUserSelection();
    ASSERT_EQ(chosen.size(), 3);

    MakeList({Drive(u"drive"_s), Drive(u"other"_s)});
    m_list->SetUserSelection(chosen);
    EXPECT_EQ(m_list->GetUserSelection(), chosen);
    EXPECT_FALSE(IsTicked(NodeAt(u"drive/notes"_s)));
    EXPECT_FALSE(IsTicked(NodeAt(u"drive/docs"_s)));
    EXPECT_TRUE(m_errors.isEmpty());
}

TEST_F(TreeSelection, MissingFolderIsReportedAndTheRestStillSelected) {
    m_list->SetUserSelection({P(u"drive/docs/gone/"_s), P(u"drive/photos"_s)});
    ASSERT_EQ(m_errors.size(), 1);
    EXPECT_EQ(m_errors[0].first, 101);
    EXPECT_EQ(m_errors[0].second, P(u"drive/docs/gone not found"_s));
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/photos"_s)});

    m_list->SetUserSelection({u"/nowhere/at/all"_s});
    ASSERT_EQ(m_errors.size(), 2);
    EXPECT_EQ(m_errors[1].second, u"/nowhere/at/all not found"_s);
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

TEST_F(TreeSelection, InitialPathTicksAndRevealsTheFolder) {
    m_list->show();
    m_list->InitialPath(P(u"drive/photos/2024"_s));
    QTreeWidgetItem* year = NodeAt(u"drive/photos/2024"_s);
    ASSERT_NE(year, nullptr);
    EXPECT_TRUE(IsTicked(year));
    EXPECT_EQ(m_list->Tree()->currentItem(), year);
    EXPECT_TRUE(NodeAt(u"drive/photos"_s)->isExpanded());
    EXPECT_TRUE(NodeAt(u"drive/"_s)->isExpanded());
}

TEST_F(TreeSelection, WithSubFoldersASelectionBelowASelectedFolderKeepsIt) {
    m_list->IncludeSubFolder(true);
    m_list->SetUserSelection({P(u"drive/docs"_s)});
    m_list->InitialPath(P(u"drive/docs/bills"_s));
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/docs"_s)));
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/docs/letters"_s)));
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/docs"_s)});

    // Selecting every child of a folder selects the folder.
    m_list->SetUserSelection({P(u"drive/photos/2024"_s)});
    EXPECT_TRUE(IsTicked(NodeAt(u"drive/photos"_s)));
    EXPECT_TRUE(IsBlue(NodeAt(u"drive/photos"_s)));
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/"_s)});
}

TEST_F(TreeSelection, PathGoesToTheDriveMountedDeepest) {
    MakeDir(u"drive/photos/2024/summer"_s);
    MakeList({Drive(u"drive"_s), Drive(u"drive/photos"_s, DriveType::Removable)});
    m_list->SetUserSelection({P(u"drive/photos/2024/summer"_s)});
    ASSERT_TRUE(m_errors.isEmpty());
    QTreeWidgetItem* inner = Root()->child(1);
    ASSERT_EQ(Key(inner), P(u"drive/photos/"_s));
    QTreeWidgetItem* summer = NodeAt(u"drive/photos/2024/summer"_s);
    ASSERT_NE(summer, nullptr);
    EXPECT_EQ(summer->parent()->parent(), inner);
    // The outer drive was never read.
    EXPECT_TRUE(HasPlaceholder(Root()->child(0)));
}
