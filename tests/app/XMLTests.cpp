#include "TestSupport.h"

#include "app/modXML.h"

#include <QFile>

using namespace testing_support;
using namespace Qt::StringLiterals;

namespace {

QByteArray Utf16(const char* text) {
    const QString s = QString::fromUtf8(text);
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

} // namespace

// A new document starts with the fixed declaration in UTF-16 and holds only its root.
TEST(XmlDocument, AppendKeepsElementAndAttributeOrder) {
    TempTree tree;
    const QString path = tree.Path(u"doc.xml"_s);
    ASSERT_EQ(modXML::InitXML(u"echofind"_s, path), 1);
    EXPECT_TRUE(tree.Read(u"doc.xml"_s)
                    .startsWith(QByteArray("\xff\xfe") +
                                Utf16("<?xml version='1.0' encoding='UTF-16' standalone='yes'?>")));
    modXML::Document doc;
    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    EXPECT_STREQ(doc.Root().name(), "echofind");
    EXPECT_FALSE(doc.HasChildNodes());

    std::vector<modXML::XMLElementInfo> records = {
        modXML::Element(u"b"_s, u"second"_s,
                        {{u"z"_s, u"1"_s}, {u"a"_s, u"ünï 'q' & <x>"_s}, {u"m"_s, u"3"_s}}),
        modXML::Element(u"c"_s, u"first"_s),
        modXML::Element(u"d"_s, u"second"_s),
    };
    ASSERT_EQ(modXML::AddXML(2, records, path), 1);
    // A later append finds the existing parent instead of making a second one.
    ASSERT_EQ(modXML::AddXML(0, {modXML::Element(u"e"_s, u"first"_s)}, path), 1);

    ASSERT_EQ(modXML::ReadProfile(path, doc), 1);
    QStringList groups;
    for (pugi::xml_node n : doc.Root().children())
        groups << QString::fromUtf8(n.name());
    EXPECT_EQ(groups, (QStringList{u"second"_s, u"first"_s}));

    const pugi::xml_node b = modXML::SelectFirst(doc.Dom(), u"//second/b"_s);
    QStringList attrs;
    for (pugi::xml_attribute a : b.attributes())
        attrs << QString::fromUtf8(a.name());
    EXPECT_EQ(attrs, (QStringList{u"z"_s, u"a"_s, u"m"_s}));
    EXPECT_EQ(modXML::AttributeText(b, u"a"_s), u"ünï 'q' & <x>"_s);
    EXPECT_FALSE(modXML::Attribute(b, u"missing"_s).has_value());

    const auto firstChildren = modXML::SelectAll(doc.Dom(), u"//first/*"_s);
    ASSERT_EQ(firstChildren.size(), 2u);
    EXPECT_STREQ(firstChildren[0].name(), "c");
    EXPECT_STREQ(firstChildren[1].name(), "e");
}

TEST(XmlDocument, ParseErrorsAreNumberedAndLogged) {
    AppFolder app;
    const QString bad = app.Tree().CreateFile(u"bad.xml"_s, "<echofind><open></echofind>");
    EXPECT_EQ(modXML::AddXML(0, {modXML::Element(u"x"_s, u"y"_s)}, bad), 3);
    modXML::Document doc;
    EXPECT_EQ(modXML::ReadProfile(bad, doc), 3);
    EXPECT_EQ(modXML::ReadProfile(app.Tree().Path(u"missing.xml"_s), doc), 3);

    const QStringList lines = app.AppLogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(u"Error occured in modXML.AddXML. Error No : 523 Desc : "_s));
    EXPECT_TRUE(
        lines[1].startsWith(u"Error occured in modXML.ReadProfile. Error No : 524 Desc : "_s));
    EXPECT_TRUE(
        lines[2].startsWith(u"Error occured in modXML.ReadProfile. Error No : 524 Desc : "_s));
    EXPECT_EQ(app.Tree().Read(u"bad.xml"_s), QByteArray("<echofind><open></echofind>"))
        << "a failed append leaves the file as it was";
}
