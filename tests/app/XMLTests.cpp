#include "TestSupport.h"

#include "app/modXML.h"

#include <QFile>

using namespace testing_support;

namespace {

QByteArray Utf16(const char* text) {
    const QString s = QString::fromUtf8(text);
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

} // namespace

TEST(XmlDocument, StartsWithTheFixedDeclarationInUtf16) {
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("doc.xml"));
    ASSERT_EQ(modXML::InitXML(QStringLiteral("profiles"), path), 1);
    const QByteArray bytes = tree.Read(QStringLiteral("doc.xml"));
    EXPECT_TRUE(
        bytes.startsWith(QByteArray("\xff\xfe") +
                         Utf16("<?xml version='1.0' encoding='UTF-16' standalone='yes'?>")));
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    EXPECT_STREQ(doc.Root().name(), "profiles");
    EXPECT_FALSE(doc.HasChildNodes());
}

TEST(XmlDocument, AppendKeepsElementAndAttributeOrder) {
    TempTree tree;
    const QString path = tree.Path(QStringLiteral("doc.xml"));
    ASSERT_EQ(modXML::InitXML(QStringLiteral("echofind"), path), 1);
    std::vector<modXML::XMLElementInfo> records = {
        modXML::Element(QStringLiteral("b"), QStringLiteral("second"),
                        {{QStringLiteral("z"), QStringLiteral("1")},
                         {QStringLiteral("a"), QStringLiteral("ünï 'q' & <x>")},
                         {QStringLiteral("m"), QStringLiteral("3")}}),
        modXML::Element(QStringLiteral("c"), QStringLiteral("first")),
        modXML::Element(QStringLiteral("d"), QStringLiteral("second")),
    };
    ASSERT_EQ(modXML::AddXML(2, records, path), 1);
    // A later append finds the existing parent instead of making a second one.
    ASSERT_EQ(
        modXML::AddXML(0, {modXML::Element(QStringLiteral("e"), QStringLiteral("first"))}, path),
        1);

    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    QStringList groups;
    for (pugi::xml_node n : doc.Root().children())
        groups << QString::fromUtf8(n.name());
    EXPECT_EQ(groups, (QStringList{QStringLiteral("second"), QStringLiteral("first")}));

    const pugi::xml_node b = modXML::SelectFirst(doc.Dom(), QStringLiteral("//second/b"));
    QStringList attrs;
    for (pugi::xml_attribute a : b.attributes())
        attrs << QString::fromUtf8(a.name());
    EXPECT_EQ(attrs, (QStringList{QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("m")}));
    EXPECT_EQ(modXML::AttributeText(b, QStringLiteral("a")), QStringLiteral("ünï 'q' & <x>"));
    EXPECT_FALSE(modXML::Attribute(b, QStringLiteral("missing")).has_value());

    const auto firstChildren = modXML::SelectAll(doc.Dom(), QStringLiteral("//first/*"));
    ASSERT_EQ(firstChildren.size(), 2u);
    EXPECT_STREQ(firstChildren[0].name(), "c");
    EXPECT_STREQ(firstChildren[1].name(), "e");
}

TEST(XmlDocument, ParseErrorsAreNumberedAndLogged) {
    AppFolder app;
    const QString bad =
        app.Tree().CreateFile(QStringLiteral("bad.xml"), "<echofind><open></echofind>");
    EXPECT_EQ(modXML::AddXML(0, {modXML::Element(QStringLiteral("x"), QStringLiteral("y"))}, bad),
              3);
    modXML::Document doc;
    EXPECT_EQ(modXML::ReadProfile(bad, doc), 3);
    EXPECT_EQ(modXML::ReadProfile(app.Tree().Path(QStringLiteral("missing.xml")), doc), 3);

    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(
        QStringLiteral("Error occured in modXML.AddXML. Error No : 523 Desc : ")));
    EXPECT_TRUE(lines[1].startsWith(
        QStringLiteral("Error occured in modXML.ReadProfile. Error No : 524 Desc : ")));
    EXPECT_TRUE(lines[2].startsWith(
        QStringLiteral("Error occured in modXML.ReadProfile. Error No : 524 Desc : ")));
    EXPECT_EQ(app.Tree().Read(QStringLiteral("bad.xml")), QByteArray("<echofind><open></echofind>"))
        << "a failed append leaves the file as it was";
}
