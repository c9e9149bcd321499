#include "TreeFixture.h"

#include <QApplication>
#include <QScopeGuard>

#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(TreeSelection, SetSelectionReadsFoldersOnTheWayAndTakesKeysAsTheyAre) {
    MakeDir(u"drive/notes"_s);
    MakeDir(u"drive/notes "_s); // a trailing blank is part of a name here
    m_list->SetUserSelection({P(u"drive/docs/letters/"_s), u"  "_s + P(u"other/music"_s),
                              P(u"drive/notes "_s), QString(), u"   "_s});
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_TRUE(IsBlue(NodeAt(u"drive/docs/letters"_s)));
    EXPECT_EQ(m_list->GetUserSelection(),
              (QStringList{P(u"drive/docs/letters"_s), P(u"drive/notes "_s), P(u"other/music"_s)}));
    EXPECT_EQ(Unavailable(), nullptr);
}

// Each of these is a folder a profile saved that the tree cannot show now. Dropping
// it would take it out of the profile at the next save; ticking something near it
// would scan (and act on) a folder nobody chose.
TEST_F(TreeSelection, SavedFoldersTheTreeCannotShowAreKeptAsSavedUntilUnticked) {
    MakeDir(u"drive/.private"_s);
    ASSERT_TRUE(QFile::link(P(u"drive/docs"_s), P(u"drive/link"_s)));
    const QString rawName = P(u"drive/caf"_s) + QChar(0xDCE9);
    const QStringList kept = {
        P(u"drive/docs/gone"_s),         // removed since
        u"/media/nobody/stick/photos"_s, // on a drive that is not plugged in
        P(u"drive/link/letters"_s),      // reached through a symbolic link
        P(u"other/music "_s),            // a trailing blank; "music" is another folder
        P(u"drive/DOCS/Letters"_s),      // another case of docs/letters
        P(u"drive/.private"_s),          // hidden while hidden folders are not listed
        rawName,                         // a name that is not UTF-8, gone
    };
    QStringList saved = kept;
    saved.insert(1, P(u"drive/docs/bills"_s));
    saved.append(P(u"drive/docs/gone/"_s)); // the same folder again
    m_list->SetUserSelection(saved);

    QList<QPair<int, QString>> notFound;
    for (const QString& path : kept)
        notFound.append({101, path + u" not found"_s});
    notFound.append({101, P(u"drive/docs/gone not found"_s)});
    EXPECT_EQ(m_errors, notFound);
    EXPECT_EQ(TickedKeys(), QStringList{P(u"drive/docs/bills"_s)});
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/docs/bills"_s)} + kept);

    // Shown apart, readable, with a word on why, to the eye and to a screen reader.
    QTreeWidgetItem* group = Unavailable();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->text(0), u"Unavailable folders"_s);
    ASSERT_EQ(group->childCount(), kept.size());
    for (int i = 0; i < group->childCount(); ++i) {
        QTreeWidgetItem* entry = group->child(i);
        EXPECT_EQ(Key(entry), kept[i]);
        EXPECT_TRUE(IsTicked(entry));
        EXPECT_TRUE(entry->toolTip(0).contains(u"cannot be shown"_s));
        EXPECT_EQ(entry->data(0, Qt::AccessibleDescriptionRole).toString(), entry->toolTip(0));
    }
    EXPECT_EQ(group->child(6)->text(0), u" "_s + P(u"drive/caf\\xE9"_s));

    // The user unticks one: it leaves the selection, and nothing else changes.
    Tick(group->child(0), false);
    EXPECT_EQ(m_nodeChecks, 1);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{P(u"drive/docs/bills"_s)} + kept.mid(1));
    EXPECT_EQ(TickedKeys(), QStringList{P(u"drive/docs/bills"_s)});

    // A rebuild starts from nothing, as it does for every tick.
    m_list->Refresh();
    EXPECT_EQ(Unavailable(), nullptr);
    EXPECT_EQ(m_list->GetUserSelection(), QStringList{QString()});
}

TEST_F(TreeSelection, FolderNamesThatAreNotUtf8GetKeysThatNameTheRealFolder) {
    const QByteArray drive = QFile::encodeName(P(u"drive"_s));
    const auto names = {"/caf\xe9", "/caf\xe8", "/caf\xc3\xa9"};
    // The temporary folder's own clean-up goes through QString and cannot name these.
    const auto removeNames = qScopeGuard([&] {
        for (const char* name : names)
            rmdir((drive + name).constData());
    });
    for (const char* name : names)
        ASSERT_EQ(mkdir((drive + name).constData(), 0755), 0) << name;
    const QString e9 = P(u"drive/caf"_s) + QChar(0xDCE9);
    const QString e8 = P(u"drive/caf"_s) + QChar(0xDCE8);
    const QString accented = P(u"drive/caf\u00e9"_s);

    QTreeWidgetItem* node = ExpandAt(u"drive"_s);
    QStringList keys;
    for (int i = 0; i < node->childCount(); ++i)
        keys.append(Key(node->child(i)));
    EXPECT_TRUE(keys.contains(e9) && keys.contains(e8) && keys.contains(accented))
        << keys.join(u' ').toStdString();
    QStringList texts = ChildTexts(node);
    EXPECT_TRUE(texts.contains(u" caf\\xE9"_s) && texts.contains(u" caf\u00e9"_s));

    // Each key finds its own folder again, and only that one.
    for (const QString& key : {e9, e8, accented}) {
        MakeList({Drive(u"drive"_s), Drive(u"other"_s)});
        m_list->SetUserSelection({key});
        EXPECT_TRUE(m_errors.isEmpty());
        EXPECT_EQ(TickedKeys(), QStringList{key});
        EXPECT_EQ(m_list->GetUserSelection(), QStringList{key});
    }
}

TEST_F(TreeSelection, FocusGivenToTheControlGoesToTheTree) {
    m_list->show();
    QApplication::setActiveWindow(m_list.get());
    m_list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(m_list->focusWidget(), m_list->Tree());
    EXPECT_EQ(QApplication::focusWidget(), m_list->Tree());
    m_list->hide();
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

    // A drive mounted at "Photos" is not where the folder "photos" lives, and a
    // folder "Photos" beside "photos" is never taken for it.
    MakeDir(u"drive/Photos/2024"_s);
    MakeList({Drive(u"drive"_s), Drive(u"drive/Photos"_s, DriveType::Removable)});
    m_list->SetUserSelection({P(u"drive/photos/2024"_s)});
    EXPECT_TRUE(m_errors.isEmpty());
    EXPECT_EQ(TickedKeys(), QStringList{P(u"drive/photos/2024"_s)});
    MakeList({Drive(u"drive"_s)});
    m_list->SetUserSelection({P(u"drive/Photos"_s), P(u"drive/photos/2024"_s)});
    EXPECT_EQ(TickedKeys(), (QStringList{P(u"drive/Photos"_s), P(u"drive/photos/2024"_s)}));
}
