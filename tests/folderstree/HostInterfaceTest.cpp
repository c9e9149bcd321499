#include "TreeFixture.h"

#include <FoldersList.h>
#include <IconCache.h>
#include <TreewellControl.h>

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QRandomGenerator>
#include <QSettings>
#include <QSysInfo>
#include <QTreeWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QSettings UserStore() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, u"Treewell"_s, u"FoldersList"_s);
}

} // namespace

TEST(HostInterface, ControlIsCreatedByItsIdentifierOnly) {
    std::unique_ptr<QWidget> control(TreewellCreateControl("Treewell.FoldersList", nullptr));
    ASSERT_NE(control, nullptr);
    EXPECT_NE(qobject_cast<FoldersList*>(control.get()), nullptr);
    EXPECT_EQ(TreewellCreateControl("Treewell.FolderList", nullptr), nullptr);
    EXPECT_EQ(TreewellCreateControl("", nullptr), nullptr);
    EXPECT_EQ(TreewellCreateControl(nullptr, nullptr), nullptr);

    // A host that loads the library at run time finds the entry point and can call the
    // control's methods by name.
    QLibrary library(QStringLiteral(TREEWELL_LIBRARY_FILE));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    auto create = reinterpret_cast<QWidget* (*)(const char*, QWidget*)>(
        library.resolve("TreewellCreateControl"));
    ASSERT_NE(create, nullptr);
    std::unique_ptr<QWidget> loaded(create("Treewell.FoldersList", nullptr));
    ASSERT_NE(loaded, nullptr);
    QStringList selection;
    ASSERT_TRUE(QMetaObject::invokeMethod(loaded.get(), "GetUserSelection",
                                          Q_RETURN_ARG(QStringList, selection)));
    EXPECT_EQ(selection, QStringList{QString()});
}

TEST(HostInterface, SettingsReadsGiveTextNumbersOrNothing) {
    {
        QSettings store = UserStore();
        store.setValue(u"Software/Test/Text"_s, QString(u"abc"_s + QChar(0) + u"def"_s));
        store.setValue(u"Software/Test/Number"_s, 42);
        store.setValue(u"Software/Test/List"_s, QStringList{u"a"_s, u"b"_s});
        store.setValue(u"Software/Test/Default"_s, u"the default"_s);
        store.sync();
    }
    FoldersList list(std::make_unique<TempDrives>(QList<DriveInfo>{}, QStringList{}));
    int errors = 0;
    QObject::connect(&list, &FoldersList::Error, &list,
                     [&errors](int, const QString&) { ++errors; });
    const qint32 user = qint32(0x80000001);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"Text"_s), u"abc"_s);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"Number"_s), u"42"_s);
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, u"List"_s), QString());
    EXPECT_EQ(list.GetString(user, u"Software\\Test"_s, QString()), u"the default"_s);
    EXPECT_EQ(list.GetString(user, u"Software\\Missing"_s, u"Text"_s), QString());
    EXPECT_EQ(list.GetString(0x1234, u"Software\\Test"_s, u"Text"_s), QString());
    EXPECT_EQ(errors, 0);

    QSettings open = UserStore();
    open.beginGroup(u"Software/Test"_s);
    EXPECT_EQ(list.RegQueryStringValue(open, u"Number"_s), u"42"_s);
    UserStore().remove(u"Software"_s);
}

TEST(HostInterface, ComputerNameComesFromTheStoreElseTheHostName) {
    UserStore().setValue(u"Computer/Name"_s, u"Workbench"_s);
    {
        FoldersList list(std::make_unique<TempDrives>(QList<DriveInfo>{}, QStringList{}));
        EXPECT_EQ(list.Tree()->topLevelItem(0)->text(0), u"Workbench"_s);
        UserStore().remove(u"Computer"_s);
        list.Refresh();
        EXPECT_EQ(list.Tree()->topLevelItem(0)->text(0), QSysInfo::machineHostName());
    }
}

TEST(HostInterface, QuickSortOrdersARangeWithoutRegardToCase) {
    FoldersList list(std::make_unique<TempDrives>(QList<DriveInfo>{}, QStringList{}));
    auto caseless = [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    };
    QRandomGenerator random(7);
    for (int round = 0; round < 50; ++round) {
        QStringList texts;
        const int size = 1 + int(random.bounded(60));
        for (int i = 0; i < size; ++i) {
            QString text;
            for (int c = 0, n = 1 + int(random.bounded(3)); c < n; ++c)
                text.append(QChar(u"aAbBcC"[random.bounded(6)]));
            texts.append(text);
        }
        const int low = int(random.bounded(size));
        const int high = low + int(random.bounded(size - low));
        QStringList sorted = texts;
        list.QuickSortFiles(sorted, low, high);

        QStringList expected = texts;
        std::sort(expected.begin() + low, expected.begin() + high + 1, caseless);
        for (int i = 0; i < size; ++i) {
            if (i < low || i > high)
                EXPECT_EQ(sorted[i], texts[i]) << "outside the range at " << i;
            else
                EXPECT_EQ(sorted[i].toLower(), expected[i].toLower()) << "at " << i;
        }
        // Same texts, only moved.
        std::sort(sorted.begin(), sorted.end());
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(sorted, texts);
    }

    int errors = 0;
    QObject::connect(&list, &FoldersList::Error, &list,
                     [&errors](int code, const QString&) { errors += code == 104; });
    QStringList few = {u"b"_s, u"a"_s};
    list.QuickSortFiles(few, 0, 5);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(few, (QStringList{u"b"_s, u"a"_s}));
}

namespace {

// A theme that knows only the generic file image.
class FileImageOnly : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override {
        if (type != File)
            return {};
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::gray);
        return QIcon(pixmap);
    }
    QIcon icon(const QFileInfo&) const override { return {}; }
};

class NoImages : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType) const override { return {}; }
    QIcon icon(const QFileInfo&) const override { return {}; }
};

} // namespace

class IconCacheTest : public TreeFixture {
protected:
    QString MakeFile(const QString& relative) {
        QFile file(PathOf(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    }
};

TEST_F(IconCacheTest, ImagesAreSharedPerKind) {
    IconCache cache;
    bool failed = true;
    const int folder = cache.IconIndex(MakeDir(u"one"_s), failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(cache.IconIndex(MakeDir(u"two"_s), failed), folder);
    const int count = cache.Count();

    const int setup = cache.IconIndex(MakeFile(u"Setup.EXE"_s), failed);
    const int other = cache.IconIndex(MakeFile(u"other.exe"_s), failed);
    EXPECT_NE(setup, other);
    EXPECT_EQ(cache.FindImageIndex(u"setup.exe"_s), setup);
    EXPECT_EQ(cache.IconIndex(MakeFile(u"a.TXT"_s), failed),
              cache.IconIndex(MakeFile(u"b.txt"_s), failed));
    const int readme = cache.IconIndex(MakeFile(u"Readme"_s), failed);
    EXPECT_EQ(cache.FindImageIndex(u"noextn"_s), readme);
    EXPECT_EQ(cache.Count(), count + 4);

    // Keys are exact.
    EXPECT_EQ(cache.FindImageIndex(u"Folder"_s), 0);
    EXPECT_NE(cache.FindImageIndex(u"folder"_s), 0);
}

TEST_F(IconCacheTest, MissingImagesFallBackToTheDefaultOrFail) {
    IconCache fallback(std::make_unique<FileImageOnly>());
    bool failed = true;
    EXPECT_EQ(fallback.IconIndex(MakeDir(u"dir"_s), failed),
              fallback.FindImageIndex(u"WinDefault"_s));
    EXPECT_FALSE(failed);
    EXPECT_EQ(fallback.FindImageIndex(u"folder"_s), 0);

    IconCache empty(std::make_unique<NoImages>());
    EXPECT_EQ(empty.IconIndex(PathOf(u"dir"_s), failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(empty.DriveIconIndex(u"/"_s, DriveType::Fixed, failed), 0);
    EXPECT_TRUE(failed);
}
