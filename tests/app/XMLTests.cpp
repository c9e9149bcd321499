// The document service's own rules: the fixed UTF-16 declaration of a new document, and read
// failures that are numbered and logged. What the documents hold is checked with the
// profile documents and the catalogue, which write all of it.

#include "TestSupport.h"

#include "app/modXML.h"

using namespace testing_support;
using namespace Qt::StringLiterals;

TEST(XmlDocument, ANewDocumentHasTheFixedDeclarationInUtf16AndOnlyItsRoot) {
    TempTree tree;
    const QString path = tree.Path(u"doc.xml"_s);
    ASSERT_EQ(modXML::InitXML(u"profiles"_s, path), 1);
    const QString declaration = u"<?xml version='1.0' encoding='UTF-16' standalone='yes'?>"_s;
    EXPECT_TRUE(tree.Read(u"doc.xml"_s)
                    .startsWith(QByteArray("\xff\xfe") +
                                QByteArray(reinterpret_cast<const char*>(declaration.utf16()),
                                           declaration.size() * 2)));
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    EXPECT_STREQ(doc.Root().name(), "profiles");
    EXPECT_FALSE(doc.HasChildNodes());
}

TEST(XmlDocument, ParseErrorsAreNumberedAndLogged) {
    AppFolder app;
    modXML::Document doc;
    EXPECT_EQ(modXML::ReadProfile(app.Tree().CreateFile(u"bad.xml"_s, "<echofind><open>"), doc), 3);
    EXPECT_EQ(modXML::ReadProfile(app.Tree().Path(u"missing.xml"_s), doc), 3);
    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_TRUE(
            line.startsWith(u"Error occured in modXML.ReadProfile. Error No : 524 Desc : "_s))
            << line.toStdString();
}
