#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modXML.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QFile>
#include <QXmlStreamReader>

using namespace testing_support;

TEST(ProfileDocument, TwoFoldersAndNoFiltersRoundTrip) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {QStringLiteral("/home/ann/Pictures"), QStringLiteral(" /srv/Fotos Ü ")};
    p.IncludeSubFolder = true;
    p.MatchSize = true;
    p.MatchContent = true;
    p.MatchType = QStringLiteral("md5");
    p.DeleteTo = QStringLiteral("move");
    p.RemoveFolder = QStringLiteral("/srv/dups");
    p.DoExport = true;
    p.ExportLocation = QStringLiteral("/srv/reports");
    p.ExportFormat = QStringLiteral("csv");
    const QString path = modCommon::ProfileFolder + QStringLiteral("Zoë's photos.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);

    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    QStringList groups;
    for (pugi::xml_node n : doc.Root().children())
        groups << QString::fromUtf8(n.name());
    EXPECT_EQ(groups, (QStringList{QStringLiteral("profileoption"), QStringLiteral("removeoption"),
                                   QStringLiteral("singlecopy"), QStringLiteral("export")}));
    QStringList options;
    for (pugi::xml_node n :
         modXML::SelectFirst(doc.Dom(), QStringLiteral("//profileoption")).children())
        options << QString::fromUtf8(n.name());
    EXPECT_EQ(options, (QStringList{QStringLiteral("folder"), QStringLiteral("folder"),
                                    QStringLiteral("subfolder"), QStringLiteral("findduplicates"),
                                    QStringLiteral("ignore")}));

    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.Folders,
              (QStringList{QStringLiteral("/home/ann/Pictures"), QStringLiteral("/srv/Fotos Ü")}));
    EXPECT_TRUE(back.IncludeSubFolder);
    EXPECT_TRUE(back.MatchSize);
    EXPECT_FALSE(back.MatchName);
    EXPECT_EQ(back.MatchType, QStringLiteral("md5"));
    EXPECT_EQ(back.DeleteTo, QStringLiteral("move"));
    EXPECT_EQ(back.RemoveFolder, QStringLiteral("/srv/dups"));
    EXPECT_EQ(back.ExportFormat, QStringLiteral("csv"));
    EXPECT_TRUE(back.IncludeFilters.isEmpty());
}

TEST(ProfileDocument, ValuesFollowTheWrittenVocabulary) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {QStringLiteral("/a")};
    p.MatchContent = false;
    p.MatchType = QStringLiteral("crc");
    p.DeleteTo = QStringLiteral("recycle");
    p.RemoveFolder = QStringLiteral("/ignored");
    p.IncludeFilters = {QStringLiteral(" *.jpg "), QStringLiteral("*.png")};
    const QString path = modCommon::ProfileFolder + QStringLiteral("v.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    const auto find =
        modXML::SelectFirst(doc.Dom(), QStringLiteral("//profileoption/findduplicates"));
    EXPECT_EQ(modXML::AttributeText(find, QStringLiteral("content")), QStringLiteral("False"));
    EXPECT_EQ(modXML::AttributeText(find, QStringLiteral("matchtype")), QString())
        << "no match type without content comparison";
    const auto remove = modXML::SelectFirst(doc.Dom(), QStringLiteral("//removeoption/criteria"));
    EXPECT_EQ(modXML::AttributeText(remove, QStringLiteral("folder")), QString());
    EXPECT_EQ(modXML::AttributeText(remove, QStringLiteral("deleteemptyfolder")),
              QStringLiteral("no"));
    const auto filters = modXML::SelectAll(doc.Dom(), QStringLiteral("//include/includefilter"));
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(modXML::AttributeText(filters[0], QStringLiteral("criteria")),
              QStringLiteral("*.jpg"));

    // Unknown values fall back as the dialogs read them; a remove rule this version does not
    // know stays as written, so nothing takes it for the trash.
    modXML::SetAttribute(remove, QStringLiteral("delto"), QStringLiteral("Shred"));
    modXML::SetAttribute(remove, QStringLiteral("deleteemptyfolder"), QStringLiteral("YES"));
    ASSERT_TRUE(modXML::Save(doc, path));
    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.DeleteTo, QStringLiteral("Shred"));
    EXPECT_TRUE(back.DeleteEmptyFolder);
}

TEST(ProfileDocument, FailedSaveKeepsThePreviousDocument) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {QStringLiteral("/a")};
    const QString path = modCommon::ProfileFolder + QStringLiteral("keep.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    const QByteArray before = app.Tree().Read(path.mid(app.Tree().Root().size()));
    p.Folders << QString(3000, u'f');
    {
        FileSizeLimit limit(256);
        EXPECT_EQ(ProfileDocument::Save(path, p), 3);
    }
    EXPECT_EQ(app.Tree().Read(path.mid(app.Tree().Root().size())), before);
    EXPECT_EQ(QDir(modCommon::ProfileFolder).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file may be left behind";

    ProfileSettings none;
    EXPECT_EQ(ProfileDocument::Load(modCommon::ProfileFolder + QStringLiteral("absent.xml"), none),
              3);
}

TEST(Catalogue, NamesDifferingInCaseAreTwoProfilesAndGoneOnesAreDropped) {
    AppFolder app;
    ProfileSettings p;
    for (const char* name : {"Photos", "photos", "Música", "Old"})
        ASSERT_EQ(ProfileDocument::Save(modCommon::ProfileFolder + QString::fromUtf8(name) +
                                            QStringLiteral(".xml"),
                                        p),
                  1);
    ASSERT_EQ(modXML::InitXML(QStringLiteral("profiles"), Catalogue::CataloguePath()), 1);
    const struct {
        const char* Name;
        const char* Status;
        const char* LastRun;
    } runs[] = {{"Old", "Success", "2026-12-05 09:00:00"},
                {"Photos", "Success", "2026-12-06 10:00:00"},
                {"Música", "Error", "2026-12-06 11:00:00"},
                {"photos", "Error", "2026-12-06 12:00:00"}};
    for (const auto& r : runs)
        ASSERT_EQ(Catalogue::UpdateProfile(QString::fromUtf8(r.Name), QString::fromUtf8(r.Status),
                                           QString::fromUtf8(r.LastRun)),
                  1)
            << r.Name;
    // No document, no row: neither a ghost nor a case variant of an existing profile.
    for (const char* ghost : {"Ghost", "PHOTOS"})
        EXPECT_EQ(Catalogue::UpdateProfile(QString::fromUtf8(ghost), QStringLiteral("Error"),
                                           QStringLiteral("x")),
                  3)
            << ghost;

    std::vector<Catalogue::Entry> entries;
    ASSERT_EQ(Catalogue::ReadEntries(entries), 1);
    ASSERT_EQ(entries.size(), 4u);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].Name, QString::fromUtf8(runs[i].Name));
        EXPECT_EQ(entries[i].Status, QString::fromUtf8(runs[i].Status)) << runs[i].Name;
        EXPECT_EQ(entries[i].LastRun, QString::fromUtf8(runs[i].LastRun)) << runs[i].Name;
    }

    // A profile deleted since (its document gone) loses its row at the next write.
    ASSERT_TRUE(QFile::remove(modCommon::ProfileFolder + QStringLiteral("Old.xml")));
    ASSERT_EQ(Catalogue::UpdateProfile(QStringLiteral("photos"), QStringLiteral("Success"),
                                       QStringLiteral("2026-12-07 08:00:00")),
              1);
    ASSERT_EQ(Catalogue::ReadEntries(entries), 1);
    QStringList names;
    for (const Catalogue::Entry& e : entries)
        names << e.Name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("Photos"), QStringLiteral("Música"),
                                  QStringLiteral("photos")}));
    EXPECT_EQ(entries[0].Status, QStringLiteral("Success"));
    EXPECT_EQ(entries[2].LastRun, QStringLiteral("2026-12-07 08:00:00"));
    ASSERT_TRUE(QFile::remove(modCommon::ProfileFolder + QStringLiteral("photos.xml")));

    // A corrupt catalogue is rebuilt from the documents: the other profile keeps its row.
    app.Tree().CreateFile(Catalogue::CataloguePath().mid(app.Tree().Root().size()), "garbage<");
    ASSERT_EQ(Catalogue::UpdateProfile(QStringLiteral("Photos"), QStringLiteral("Success"),
                                       QStringLiteral("x")),
              1);
    ASSERT_EQ(Catalogue::ReadEntries(entries), 1);
    ASSERT_EQ(entries.size(), 2u);
    for (const Catalogue::Entry& e : entries)
        EXPECT_EQ(e.Status, e.Name == u"Photos" ? QStringLiteral("Success") : QString());
}

// Folder and profile names may hold line breaks, control characters and bytes that are not
// UTF-8; the documents must stay well-formed and give every name back as it was.
TEST(ProfileDocument, OddFolderAndProfileNamesRoundTrip) {
    AppFolder app;
    const QString raw = PathCodec::Decode(QByteArray("/srv/caf\xe9"));
    ProfileSettings p;
    p.Folders = {QStringLiteral("/srv/line\nbreak"), QStringLiteral("/srv/tab\tand\rcr"),
                 QStringLiteral("/srv/bell\x01"),    raw,
                 QStringLiteral("/srv/<&\"'>"),      QStringLiteral("/srv/caf\\xE9")};
    p.DeleteTo = QStringLiteral("move");
    p.RemoveFolder = raw + QStringLiteral("/dups\x02");
    const QString path = modCommon::ProfileFolder + QStringLiteral("odd\x01name.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    QXmlStreamReader strict(app.Tree().Read(path.mid(app.Tree().Root().size())));
    while (!strict.atEnd())
        strict.readNext();
    EXPECT_FALSE(strict.hasError()) << strict.errorString().toStdString();
    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.Folders, p.Folders);
    EXPECT_EQ(back.RemoveFolder, p.RemoveFolder);

    const std::vector<Catalogue::Entry> entries = {
        {QStringLiteral("odd\x01name"), QStringLiteral("2026-12-06 10:00:00"),
         QStringLiteral("Success")},
        {QStringLiteral("two\nlines"), QString(), QStringLiteral("Never")},
        {PathCodec::Decode(QByteArray("M\xfasica")), QString(), QStringLiteral("Error")}};
    // Rows are kept only for profiles that still have a document.
    for (const Catalogue::Entry& e : entries)
        ASSERT_EQ(
            ProfileDocument::Save(modCommon::ProfileFolder + e.Name + QStringLiteral(".xml"), p),
            1);
    ASSERT_EQ(Catalogue::SaveEntries(entries), 1);
    std::vector<Catalogue::Entry> read;
    ASSERT_EQ(Catalogue::ReadEntries(read), 1);
    ASSERT_EQ(read.size(), entries.size());
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].Name, entries[i].Name);
        EXPECT_EQ(read[i].LastRun, entries[i].LastRun);
        EXPECT_EQ(read[i].Status, entries[i].Status);
    }
}

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString Golden(const char* name) {
    return QStringLiteral(ECHOFIND_TEST_DATA "/golden/") + QString::fromLatin1(name);
}

} // namespace

// Documents written before protected folders and across-folder groups existed: read and
// saved again they must come out byte for byte as they were, with and without an action part.
TEST(ProfileDocument, OlderDocumentsWriteBackUnchanged) {
    AppFolder app;
    for (const char* name : {"profile-full.xml", "profile-scan-only.xml"}) {
        const QByteArray before = ReadBytes(Golden(name));
        ASSERT_FALSE(before.isEmpty()) << name;
        ProfileSettings p;
        ASSERT_EQ(ProfileDocument::Load(Golden(name), p), 1) << name;
        EXPECT_TRUE(p.ProtectedFolders.isEmpty());
        EXPECT_FALSE(p.AcrossFolders);
        const QString copy = modCommon::ProfileFolder + QString::fromLatin1(name);
        ASSERT_EQ(ProfileDocument::Save(copy, p), 1);
        EXPECT_EQ(ReadBytes(copy), before) << name;
    }
}

TEST(ProfileDocument, ProtectedFoldersAndAcrossRoundTripAndAreAddedAtTheirPlaces) {
    AppFolder app;
    ProfileSettings p;
    ASSERT_EQ(ProfileDocument::Load(Golden("profile-full.xml"), p), 1);
    const QString raw = PathCodec::Decode(QByteArray("/srv/caf\xe9/keep"));
    // Kept exactly: a blank at the end names another folder than the one without it.
    p.ProtectedFolders = {QStringLiteral("/home/ann/Pictures/Best"), raw,
                          QStringLiteral("/srv/ends in blank ")};
    p.AcrossFolders = true;
    const QString path = modCommon::ProfileFolder + QStringLiteral("protected.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);

    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.ProtectedFolders, p.ProtectedFolders);
    EXPECT_TRUE(back.AcrossFolders);
    EXPECT_EQ(back.Folders, p.Folders);
    EXPECT_EQ(back.IncludeFilters, p.IncludeFilters);

    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    QStringList groups;
    for (pugi::xml_node n : doc.Root().children())
        groups << QString::fromUtf8(n.name());
    EXPECT_EQ(groups, (QStringList{QStringLiteral("profileoption"), QStringLiteral("include"),
                                   QStringLiteral("exclude"), QStringLiteral("removeoption"),
                                   QStringLiteral("singlecopy"), QStringLiteral("export"),
                                   QStringLiteral("protect")}));
    const auto find =
        modXML::SelectFirst(doc.Dom(), QStringLiteral("//profileoption/findduplicates"));
    EXPECT_EQ(modXML::AttributeText(find, QStringLiteral("across")), QStringLiteral("True"));

    // Taking both out again gives the older document back, byte for byte.
    back.ProtectedFolders.clear();
    back.AcrossFolders = false;
    ASSERT_EQ(ProfileDocument::Save(path, back), 1);
    EXPECT_EQ(ReadBytes(path), ReadBytes(Golden("profile-full.xml")));

    // A document without an action part still keeps what it protects.
    ProfileSettings scanOnly;
    ASSERT_EQ(ProfileDocument::Load(Golden("profile-scan-only.xml"), scanOnly), 1);
    ASSERT_FALSE(scanOnly.HasActions);
    scanOnly.ProtectedFolders = {QStringLiteral("/data/keep")};
    ASSERT_EQ(ProfileDocument::Save(path, scanOnly), 1);
    ProfileSettings scanOnlyBack;
    ASSERT_EQ(ProfileDocument::Load(path, scanOnlyBack), 1);
    EXPECT_EQ(scanOnlyBack.ProtectedFolders, QStringList{QStringLiteral("/data/keep")});
}

// The hard-link rule survives every reader, so saving a profile from a window never turns
// it back into the trash; with a folder attribute left over from a move it needs none.
TEST(ProfileDocument, TheHardLinkRuleReadsAndWritesBackAsItIs) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {QStringLiteral("/data")};
    p.MatchSize = true;
    p.DeleteTo = QStringLiteral("hardlink");
    p.RemoveFolder = QStringLiteral("/left/over");
    const QString path = modCommon::ProfileFolder + QStringLiteral("links.xml");
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray first = saved.readAll();
    saved.close();

    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.DeleteTo, QStringLiteral("hardlink"));
    EXPECT_EQ(back.RemoveFolder, QString());
    ProfileReadout readout;
    QString error;
    ASSERT_EQ(ProfileReader::Read(path, {}, readout, error), ProfileReader::Status::Read);
    ASSERT_TRUE(readout.Remove.has_value());
    EXPECT_EQ(readout.Remove->DeleteTo, QStringLiteral("hardlink"));
    EXPECT_EQ(readout.Remove->Folder, QString());

    ASSERT_EQ(ProfileDocument::Save(path, back), 1);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), first);
}
