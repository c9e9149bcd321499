#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modXML.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

using namespace testing_support;
using namespace Qt::Literals::StringLiterals;

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

// The names of the switches that are on, then the texts that are not empty.
QString Words(std::initializer_list<bool> switches, const char* names, QStringList texts = {}) {
    const QStringList all = QString::fromLatin1(names).split(u' ');
    QStringList on;
    for (qsizetype i = 0; i < all.size(); ++i)
        if (switches.begin()[i])
            on << all[i];
    texts.prepend(on.join(u','));
    texts.removeAll(QString());
    return texts.join(u' ');
}
QString Text(bool on) {
    return on ? u"T"_s : u"F"_s;
}
QString Text(const QStringList& list) {
    return list.join(u',');
}
QString Text(const ProfileContents::Criteria& f) {
    return Words({f.Name, f.Size, f.Create, f.Modify, f.Content}, "name size create modify content",
                 {f.MatchType});
}
QString Text(const ProfileContents::Ignore& i) {
    return Words({i.System, i.Hidden, i.ReadOnly, i.ZeroByte}, "system hidden readonly zerobyte");
}
QString Text(const ProfileContents::Removal& r) {
    return Words({r.DeleteEmptyFolder}, "empty", {r.DeleteTo, r.Folder});
}
QString Text(const ProfileContents::SingleCopy& c) {
    return Words({c.Create, c.DuplicatesOnly}, "create duplicates", {c.Folder});
}
QString Text(const ProfileContents::Export& e) {
    return Words({e.DoExport}, "export", {e.Location, e.Format});
}
template <class T> QString Text(const std::optional<T>& part) {
    return part ? Text(*part) : u"-"_s;
}

// Every part of a reading on one line, a part the reading left unset as "-".
template <class Reading> QString Describe(const Reading& r) {
    const QStringList parts{Text(r.Folders),
                            Text(r.IncludeSubFolder),
                            Text(r.Find) + (r.AcrossFolders == true ? u" across"_s : QString()),
                            Text(r.Ignores),
                            Text(r.IncludeFilters) + u'/' + Text(r.ExcludeFilters),
                            Text(r.ProtectedFolders),
                            Text(r.Remove),
                            Text(r.Copy),
                            Text(r.Exports)};
    return PathCodec::Display(parts.join(u';'));
}

} // namespace

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

// Every shape of document the program ships or has written, spelt in other letters or
// damaged: as the one reader gives it (its issues after "||", "-" for a value missing and
// "?" for one not understood), as the windows take it, and as saving writes it back. Words
// are read in any letter case and written in lower case; the remove rule alone compares
// exactly, so "Move" stays a rule this version does not know.
TEST(ProfileDocument, EveryShapeReadsAsItsCallersTakeItAndWritesBackInLowerCase) {
    AppFolder app;
    struct Row {
        QString Document; // a file of golden/ or of the program's folder, or a document's text
        QString Spelt;    // 'from'>'to' replacements made in the file first
        QString Contents;
        QString Window = {}; // empty: as Contents, without the issues
        QString Saved = {};  // the replacements saving keeps; the file itself when empty
    };
    const QString full = u"/home/ann/Pictures,/srv/caf\\xE9 archive;T;size,content crc;"
                         u"system,zerobyte;*.jpg,*.png/thumbs*;;empty move /srv/dups;"
                         u"create,duplicates /srv/single;export /srv/reports csv"_s;
    const QString shipped =
        u"$MyDocuments;T;size,content crc;system,hidden,zerobyte;/;;recycle;;"_s;
    const Row rows[] = {
        {u"golden/profile-full.xml"_s,
         u"'True'>'TRUE' 'False'>'false' 'crc'>'CRC' 'yes'>'Yes' 'duplicates'>'DUPLICATES' "
         u"'csv'>'CSV'"_s,
         full},
        {u"golden/profile-full.xml"_s,
         u"'crc'>'MD5'"_s,
         QString(full).replace(u"crc"_s, u"md5"_s),
         {},
         u"'crc'>'md5'"_s},
        {u"golden/profile-full.xml"_s, u"'move'>'Move'"_s,
         QString(full).replace(u"move"_s, u"Move"_s) + u" || ?criteria.delto=Move"_s,
         QString(full).replace(u"move"_s, u"Move"_s), u"'move'>'Move'"_s},
        {u"golden/profile-scan-only.xml"_s, u"'True'>'true' 'False'>'FALSE'"_s,
         u"/data;F;name;system,hidden,zerobyte;/;;-;-;-"_s},
        {u"Default Profile.xml"_s, {}, shipped},
        {u"config.xml"_s, u"'crc'>'Crc' 'True'>'tRUE' 'no'>'NO'"_s, shipped},
        // Spelt by hand; a rule without a folder of its own loses a leftover one in the windows.
        {u"<echofind><profileoption><findduplicates name='TRUE' size='False' create='False' "
         u"modify='False' content='true' matchtype='CRC'/></profileoption><removeoption>"
         u"<criteria delto='hardlink' folder='/z' deleteemptyfolder='no'/></removeoption>"
         u"<singlecopy><criteria create='no' copy='duplicates'/></singlecopy><export>"
         u"<exportreport doexport='YES' location='/r' format='TEXT'/></export></echofind>"_s,
         {},
         u";-;name,content crc;-;/;;hardlink /z;duplicates;export /r text || -criteria.createin"_s,
         u";-;name,content crc;-;/;;hardlink;;export /r text"_s},
        // A value the windows need is missing: they take what came before it.
        {u"<echofind><profileoption><folder path='/a'/><subfolder include='True'/>"
         u"<findduplicates name='False' size='True' create='False' modify='False' "
         u"content='True'/></profileoption><removeoption><criteria delto='move'/>"
         u"</removeoption></echofind>"_s,
         {},
         u"/a;T;size,content;-;/;;move;-;- || -findduplicates.matchtype -criteria.folder "
         u"-criteria.deleteemptyfolder"_s,
         u"-;T;size,content;-;/;;-;-;- || The attribute \"matchtype\" of \"findduplicates\" is "
         u"missing"_s},
        {u"<echofind><singlecopy><criteria create='yes' createin='/c'/></singlecopy></echofind>"_s,
         {},
         u";-;-;-;/;;-;create /c;- || -criteria.copy"_s,
         u";-;-;-;/;;-;create;- || The attribute \"copy\" of \"criteria\" is missing"_s},
        {u"<echofind/>"_s, {}, u";-;-;-;/;;-;-;-"_s, u"-;-;-;-;/;;-;-;-"_s},
        {u"<echofind><profileoption>"_s, {}, u"unreadable"_s},
        {{}, {}, u"missing"_s},
    };
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path = app.Tree().Path(u"app/tester/Profile/p.xml"_s);
    const auto write = [&](const QByteArray& document) {
        app.Tree().CreateFile(u"app/tester/Profile/p.xml"_s, document);
    };
    const auto resave = [&](const QByteArray& document) {
        write(document);
        ProfileSettings p;
        EXPECT_EQ(ProfileDocument::Load(path, p), 1);
        EXPECT_EQ(ProfileDocument::Save(path, p), 1);
        return ReadBytes(path);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Document.left(60).toStdString());
        QFile::remove(path);
        const bool golden = row.Document.startsWith(u"golden/"_s);
        const QString file = row.Document.isEmpty() || row.Document.startsWith(u'<') ? QString()
                             : golden ? QStringLiteral(ECHOFIND_TEST_DATA "/") + row.Document
                                      : QStringLiteral(ECHOFIND_BIN_DIR "/") + row.Document;
        const auto spell = [&](const QString& swaps) {
            QString text = file.isEmpty() ? row.Document
                                          : QStringDecoder(QStringDecoder::Utf16)(ReadBytes(file));
            for (const QString& swap : swaps.split(u' ', Qt::SkipEmptyParts))
                text.replace(swap.section(u'>', 0, 0), swap.section(u'>', 1));
            return file.isEmpty() ? text.toUtf8()
                                  : QStringEncoder(QStringEncoder::Utf16LE,
                                                   QStringEncoder::Flag::WriteBom)(text);
        };
        if (!row.Document.isEmpty())
            write(spell(row.Spelt));

        ProfileContents c;
        const ProfileDocument::Found found = ProfileDocument::Read(path, c);
        QString contents = found == ProfileDocument::Found::Missing      ? u"missing"_s
                           : found == ProfileDocument::Found::Unreadable ? u"unreadable"_s
                                                                         : Describe(c);
        for (const ProfileIssue& issue : c.Issues)
            contents += (&issue == &c.Issues.front() ? u" || "_s : u" "_s) +
                        (issue.What == ProfileIssue::Kind::Missing ? u'-' : u'?') + issue.Element +
                        u'.' + issue.Attribute +
                        (issue.Value.isEmpty() ? QString() : u'=' + issue.Value);
        EXPECT_EQ(contents.toStdString(), row.Contents.toStdString());

        ProfileReadout r;
        QString error;
        const ProfileReader::Status status = ProfileReader::Read(path, {}, r, error);
        QString window = status == ProfileReader::Status::Missing      ? u"missing"_s
                         : status == ProfileReader::Status::Unreadable ? u"unreadable"_s
                                                                       : Describe(r);
        if (!error.isEmpty())
            window += u" || "_s + error;
        QString expected =
            row.Window.isEmpty() ? row.Contents.section(u" || "_s, 0, 0) : row.Window;
        EXPECT_EQ(window.toStdString(),
                  expected.replace(u"$MyDocuments"_s, documents).toStdString());

        // The files of golden/ were written by this version: saving gives their bytes.
        if (!file.isEmpty()) {
            EXPECT_EQ(resave(spell(row.Spelt)),
                      golden ? spell(row.Saved) : resave(spell(row.Saved)));
        }
    }
}
