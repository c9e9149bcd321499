#include "TreeFixture.h"

#include <TreewellControl.h>

#include <QLibrary>
#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

TEST(HostInterface, ControlIsCreatedByItsIdentifierOnly) {
    for (const char* other : {"Treewell.FolderList", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(TreewellCreateControl(other, nullptr), nullptr) << (other ? other : "null");

    // A host loads the library at run time and calls the control's methods by name.
    QLibrary library(QStringLiteral(TREEWELL_LIBRARY_FILE));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    auto create = reinterpret_cast<QWidget* (*)(const char*, QWidget*)>(
        library.resolve("TreewellCreateControl"));
    ASSERT_NE(create, nullptr);
    std::unique_ptr<QWidget> loaded(create("Treewell.FoldersList", nullptr));
    ASSERT_NE(qobject_cast<FoldersList*>(loaded.get()), nullptr);
    QStringList selection;
    ASSERT_TRUE(QMetaObject::invokeMethod(loaded.get(), "GetUserSelection",
                                          Q_RETURN_ARG(QStringList, selection)));
    EXPECT_EQ(selection, QStringList{QString()});
}

TEST(HostInterface, SettingsGiveTextNumbersOrNothingAndMayNameTheComputer) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, u"Treewell"_s, u"FoldersList"_s);
    store.setValue(u"Software/Test/Text"_s, QString(u"abc"_s + QChar(0) + u"def"_s));
    store.setValue(u"Software/Test/Number"_s, 42);
    store.setValue(u"Software/Test/List"_s, QStringList{u"a"_s, u"b"_s});
    store.setValue(u"Computer/Name"_s, u"Workbench"_s);
    store.sync();

    FoldersList list(std::make_unique<TempDrives>(QList<DriveInfo>{}, QStringList{}));
    EXPECT_EQ(list.Tree()->topLevelItem(0)->text(0), u"Workbench"_s);
    const qint32 user = qint32(0x80000001);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"Text"_s), u"abc"_s);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"Number"_s), u"42"_s);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"List"_s), QString());
    EXPECT_EQ(list.GetString(0x1234, u"Software\\Test"_s, u"Text"_s), QString());
    store.clear();
    store.sync();
}

TEST(HostInterface, QuickSortOrdersOnlyTheRangeWithoutRegardToCase) {
    FoldersList list(std::make_unique<TempDrives>(QList<DriveInfo>{}, QStringList{}));
    QList<int> errors;
    QObject::connect(&list, &FoldersList::Error, &list,
                     [&errors](int code, const QString&) { errors.append(code); });
    const QStringList texts = u"z c B a C bb A c ab a B Ca Y"_s.split(u' ');
    QStringList sorted = texts;
    list.QuickSortFiles(sorted, 1, 11);
    EXPECT_EQ(sorted.front() + sorted.back(), u"zY"_s);
    EXPECT_TRUE(std::is_sorted(sorted.begin() + 1, sorted.end() - 1,
                               [](const QString& a, const QString& b) {
                                   return QString::compare(a, b, Qt::CaseInsensitive) < 0;
                               }));
    EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), texts.begin()));
    EXPECT_TRUE(errors.isEmpty());
    // A range past the end is refused, and nothing moves.
    list.QuickSortFiles(sorted = texts, 0, int(texts.size()));
    EXPECT_EQ(errors, QList<int>{104});
    EXPECT_EQ(sorted, texts);
}
