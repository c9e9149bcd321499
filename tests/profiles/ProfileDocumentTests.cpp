// Profile documents and the catalogue of runs: what is saved reads back as it was meant, a
// failed save keeps the previous file, and every shape of document reads as its callers take
// it.

#include "TestSupport.h"

#include "app/PathCodec.h"
#include "app/modXML.h"
#include "profiles/Catalogue.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileReader.h"

#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QXmlStreamReader>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

QString GoldenPath(const char* name) {
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
                            Text(r.Find) + (r.AcrossFolders == true ? u" across"_s : QString()) +
                                (r.FindFolders == true ? u" folders"_s : QString()),
                            Text(r.Ignores),
                            Text(r.IncludeFilters) + u'/' + Text(r.ExcludeFilters),
                            Text(r.ProtectedFolders),
                            Text(r.Remove),
                            Text(r.Copy),
                            Text(r.Exports)};
    return PathCodec::Display(parts.join(u';'));
}

QString ProfilePath(const QString& name) {
    return modCommon::ProfileFolder + name + u".xml"_s;
}

// Saved as a profile and read back by the one reader, on one line.
QString SavedAndRead(const ProfileSettings& p) {
    EXPECT_EQ(ProfileDocument::Save(ProfilePath(u"p"_s), p), 1);
    ProfileContents c;
    EXPECT_EQ(ProfileDocument::Read(ProfilePath(u"p"_s), c), ProfileDocument::Found::Read);
    return Describe(c);
}

// The catalogue's rows as "name status last-run".
QStringList CatalogueRows() {
    std::vector<Catalogue::Entry> entries;
    EXPECT_EQ(Catalogue::ReadEntries(entries), 1);
    QStringList rows;
    for (const Catalogue::Entry& e : entries)
        rows << (e.Name + u' ' + e.Status + u' ' + e.LastRun).trimmed();
    return rows;
}

} // namespace

TEST(ProfileDocument, WhatIsSavedReadsBackTrimmedAndInTheWrittenVocabulary) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {u"/home/ann/Pictures"_s, u" /srv/Fotos Ü "_s};
    p.IncludeSubFolder = p.MatchSize = p.MatchContent = true;
    p.MatchType = u"md5"_s;
    p.DeleteTo = u"move"_s;
    p.RemoveFolder = u"/srv/dups"_s;
    p.DoExport = true;
    p.ExportLocation = u"/srv/reports"_s;
    p.ExportFormat = u"csv"_s;
    EXPECT_EQ(SavedAndRead(p),
              u"/home/ann/Pictures,/srv/Fotos Ü;T;size,content md5;"
              u"system,hidden,zerobyte;/;;move /srv/dups;;export /srv/reports csv"_s);
    // No match type without content compared, no folder for the trash, filters trimmed.
    ProfileSettings q;
    q.Folders = {u"/a"_s};
    q.MatchType = u"crc"_s;
    q.RemoveFolder = u"/ignored"_s;
    q.IncludeFilters = {u" *.jpg "_s, u"*.png"_s};
    EXPECT_EQ(SavedAndRead(q), u"/a;F;;system,hidden,zerobyte;*.jpg,*.png/;;recycle;;"_s);
}

TEST(ProfileDocument, FailedSaveKeepsThePreviousDocument) {
    AppFolder app;
    ProfileSettings p;
    p.Folders = {u"/a"_s};
    const QString path = ProfilePath(u"keep"_s);
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    const QByteArray before = ReadFile(path);
    p.Folders << QString(3000, u'f');
    {
        FileSizeLimit limit(256);
        EXPECT_EQ(ProfileDocument::Save(path, p), 3);
    }
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(QDir(modCommon::ProfileFolder).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file may be left behind";
    EXPECT_EQ(ProfileDocument::Load(ProfilePath(u"absent"_s), p), 3);
}

TEST(Catalogue, NamesDifferingInCaseAreTwoProfilesAndGoneOnesAreDropped) {
    AppFolder app;
    for (const QString& name : {u"Photos"_s, u"photos"_s, u"Música"_s, u"Old"_s})
        ASSERT_EQ(ProfileDocument::Save(ProfilePath(name), {}), 1);
    ASSERT_EQ(modXML::InitXML(u"profiles"_s, Catalogue::CataloguePath()), 1);
    const QStringList runs = {
        u"Old Success 2026-12-05 09:00:00"_s, u"Photos Success 2026-12-06 10:00:00"_s,
        u"Música Error 2026-12-06 11:00:00"_s, u"photos Error 2026-12-06 12:00:00"_s};
    for (const QString& run : runs)
        ASSERT_EQ(Catalogue::UpdateProfile(run.section(u' ', 0, 0), run.section(u' ', 1, 1),
                                           run.section(u' ', 2)),
                  1)
            << run.toStdString();
    // No document, no row: neither a ghost nor a case variant of an existing profile.
    for (const QString& ghost : {u"Ghost"_s, u"PHOTOS"_s})
        EXPECT_EQ(Catalogue::UpdateProfile(ghost, u"Error"_s, u"x"_s), 3) << ghost.toStdString();
    EXPECT_EQ(CatalogueRows(), runs);

    // A profile deleted since (its document gone) loses its row at the next write.
    ASSERT_TRUE(QFile::remove(ProfilePath(u"Old"_s)));
    ASSERT_EQ(Catalogue::UpdateProfile(u"photos"_s, u"Success"_s, u"2026-12-07 08:00:00"_s), 1);
    EXPECT_EQ(CatalogueRows(),
              (QStringList{runs[1], runs[2], u"photos Success 2026-12-07 08:00:00"_s}));
    ASSERT_TRUE(QFile::remove(ProfilePath(u"photos"_s)));

    // A corrupt catalogue is rebuilt from the documents: the other profile keeps its row.
    app.Tree().CreateFile(Catalogue::CataloguePath().mid(app.Tree().Root().size()), "garbage<");
    ASSERT_EQ(Catalogue::UpdateProfile(u"Photos"_s, u"Success"_s, u"x"_s), 1);
    QStringList rebuilt = CatalogueRows();
    rebuilt.sort(); // in the order the folder lists the documents
    EXPECT_EQ(rebuilt, (QStringList{u"Música"_s, u"Photos Success x"_s}));
}

// Folder and profile names may hold line breaks, control characters and bytes that are not
// UTF-8; the documents must stay well-formed and give every name back as it was.
TEST(ProfileDocument, OddFolderAndProfileNamesRoundTrip) {
    AppFolder app;
    const QString raw = PathCodec::Decode(QByteArray("/srv/caf\xe9"));
    ProfileSettings p;
    p.Folders = {u"/srv/line\nbreak"_s, u"/srv/tab\tand\rcr"_s, u"/srv/bell\x01"_s, raw,
                 u"/srv/<&\"'>"_s,      u"/srv/caf\\xE9"_s};
    p.DeleteTo = u"move"_s;
    p.RemoveFolder = raw + u"/dups\x02"_s;
    const QString path = ProfilePath(u"odd\x01name"_s);
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    QXmlStreamReader strict(ReadFile(path));
    while (!strict.atEnd())
        strict.readNext();
    EXPECT_FALSE(strict.hasError()) << strict.errorString().toStdString();
    ProfileSettings back;
    ASSERT_EQ(ProfileDocument::Load(path, back), 1);
    EXPECT_EQ(back.Folders, p.Folders);
    EXPECT_EQ(back.RemoveFolder, p.RemoveFolder);

    // Rows are kept only for profiles that still have a document.
    const QStringList names = {u"odd\x01name"_s, u"two\nlines"_s,
                               PathCodec::Decode(QByteArray("M\xfasica"))};
    for (const QString& name : names)
        ASSERT_EQ(ProfileDocument::Save(ProfilePath(name), p), 1);
    ASSERT_EQ(Catalogue::SaveEntries({{names[0], u"2026-12-06 10:00:00"_s, u"Success"_s},
                                      {names[1], QString(), u"Never"_s},
                                      {names[2], QString(), u"Error"_s}}),
              1);
    EXPECT_EQ(CatalogueRows(), (QStringList{names[0] + u" Success 2026-12-06 10:00:00"_s,
                                            names[1] + u" Never"_s, names[2] + u" Error"_s}));
}

TEST(ProfileDocument, ProtectedFoldersAcrossAndFolderGroupsRoundTripAndAreAddedAtTheirPlaces) {
    AppFolder app;
    ProfileSettings p;
    ASSERT_EQ(ProfileDocument::Load(GoldenPath("profile-full.xml"), p), 1);
    EXPECT_FALSE(p.FindFolders) << "a document from before the option shows groups of files";
    // Kept exactly: a blank at the end names another folder than the one without it.
    p.ProtectedFolders = {u"/home/ann/Pictures/Best"_s,
                          PathCodec::Decode(QByteArray("/srv/caf\xe9/keep")),
                          u"/srv/ends in blank "_s};
    p.AcrossFolders = true;
    p.FindFolders = true;
    const QString path = ProfilePath(u"p"_s);
    EXPECT_EQ(SavedAndRead(p).toStdString(),
              "/home/ann/Pictures,/srv/caf\\xE9 archive;T;size,content crc across folders;"
              "system,zerobyte;"
              "*.jpg,*.png/thumbs*;/home/ann/Pictures/Best,/srv/caf\\xE9/keep,/srv/ends in blank ;"
              "empty move /srv/dups;create,duplicates /srv/single;export /srv/reports csv");
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    QStringList groups;
    for (pugi::xml_node n : doc.Root().children())
        groups << QString::fromUtf8(n.name());
    EXPECT_EQ(groups.join(u' '),
              u"profileoption include exclude removeoption singlecopy export protect"_s);

    // Taking them out again gives the older document back, byte for byte.
    p.ProtectedFolders.clear();
    p.AcrossFolders = false;
    p.FindFolders = false;
    ASSERT_EQ(ProfileDocument::Save(path, p), 1);
    EXPECT_EQ(ReadFile(path), Golden("profile-full.xml"));

    // A document without an action part still keeps what it protects.
    ProfileSettings scanOnly;
    ASSERT_EQ(ProfileDocument::Load(GoldenPath("profile-scan-only.xml"), scanOnly), 1);
    ASSERT_FALSE(scanOnly.HasActions);
    scanOnly.ProtectedFolders = {u"/data/keep"_s};
    EXPECT_EQ(SavedAndRead(scanOnly), u"/data;F;name;system,hidden,zerobyte;/;/data/keep;-;-;-"_s);
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
        {u"golden/profile-full.xml"_s, u"'crc'>'MD5'"_s, QString(full).replace(u"crc"_s, u"md5"_s),
         QString(), u"'crc'>'md5'"_s},
        {u"golden/profile-full.xml"_s, u"'move'>'Move'"_s,
         QString(full).replace(u"move"_s, u"Move"_s) + u" || ?criteria.delto=Move"_s,
         QString(full).replace(u"move"_s, u"Move"_s), u"'move'>'Move'"_s},
        {u"golden/profile-scan-only.xml"_s, u"'True'>'true' 'False'>'FALSE'"_s,
         u"/data;F;name;system,hidden,zerobyte;/;;-;-;-"_s},
        {u"Default Profile.xml"_s, QString(), shipped},
        {u"config.xml"_s, u"'crc'>'Crc' 'True'>'tRUE' 'no'>'NO'"_s, shipped},
        // Spelt by hand; a rule without a folder of its own loses a leftover one in the windows.
        {u"<echofind><profileoption><findduplicates name='TRUE' size='False' create='False' "
         u"modify='False' content='true' matchtype='CRC'/></profileoption><removeoption>"
         u"<criteria delto='hardlink' folder='/z' deleteemptyfolder='no'/></removeoption>"
         u"<singlecopy><criteria create='no' copy='duplicates'/></singlecopy><export>"
         u"<exportreport doexport='YES' location='/r' format='TEXT'/></export></echofind>"_s,
         QString(),
         u";-;name,content crc;-;/;;hardlink /z;duplicates;export /r text || -criteria.createin"_s,
         u";-;name,content crc;-;/;;hardlink;;export /r text"_s},
        // A value the windows need is missing: they take what came before it.
        {u"<echofind><profileoption><folder path='/a'/><subfolder include='True'/>"
         u"<findduplicates name='False' size='True' create='False' modify='False' "
         u"content='True'/></profileoption><removeoption><criteria delto='move'/>"
         u"</removeoption></echofind>"_s,
         QString(),
         u"/a;T;size,content;-;/;;move;-;- || -findduplicates.matchtype -criteria.folder "
         u"-criteria.deleteemptyfolder"_s,
         u"-;T;size,content;-;/;;-;-;- || The attribute \"matchtype\" of \"findduplicates\" is "
         u"missing"_s},
        {u"<echofind><singlecopy><criteria create='yes' createin='/c'/></singlecopy></echofind>"_s,
         QString(), u";-;-;-;/;;-;create /c;- || -criteria.copy"_s,
         u";-;-;-;/;;-;create;- || The attribute \"copy\" of \"criteria\" is missing"_s},
        {u"<echofind/>"_s, QString(), u";-;-;-;/;;-;-;-"_s, u"-;-;-;-;/;;-;-;-"_s},
        {u"<echofind><profileoption>"_s, QString(), u"unreadable"_s},
        {{}, QString(), u"missing"_s},
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
        return ReadFile(path);
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
                                          : QStringDecoder(QStringDecoder::Utf16)(ReadFile(file));
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
