#include "base/TextCodec.h"
#include "RequestDocument.h"
#include "member/RequestValues.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <string>
#include <vector>

namespace {

// What the handler used to take from the document: the root's "type" and,
// in order, each direct child name with the text of its first element.
struct TExpected {
    QString Type;
    std::vector<std::pair<QString, QString>> Children;
};

TExpected FromDocument(const QString& text)
{
    const QDomElement root = ParseRequestDocument(text).documentElement();
    TExpected expected;
    expected.Type = root.attribute(QStringLiteral("type"));
    for (QDomElement child = root.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        const auto seen = std::find_if(expected.Children.begin(), expected.Children.end(),
            [&](const auto& entry) { return entry.first == name; });
        if (seen == expected.Children.end()) {
            expected.Children.emplace_back(name, child.text());
        }
    }
    return expected;
}

std::string Show(const QString& text)
{
    std::string shown;
    for (const QChar c : text) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, c.unicode() >= 0x20 && c.unicode() < 0x7F ? "%c" : "\\u%04X",
            c.unicode());
        shown += buffer;
    }
    return shown;
}

std::vector<std::pair<QString, QString>> ChildrenOf(const TRequestValues& values)
{
    std::vector<std::pair<QString, QString>> children;
    for (const TRequestValues::TChild& child : values.Children()) {
        children.emplace_back(child.Name.toString(), child.Text.toString());
    }
    return children;
}

// Both ways of reading agree with the document, and a text the plain way
// takes gives what the document holds.
void ExpectSameAsDocument(const QString& text, int& plainCount)
{
    const TExpected expected = FromDocument(text);
    const TRequestValues general = TRequestValues::ReadWithXmlReader(text);
    EXPECT_EQ(general.Type().toString(), expected.Type) << Show(text);
    EXPECT_EQ(ChildrenOf(general), expected.Children) << Show(text);
    if (const std::optional<TRequestValues> plain = TRequestValues::ReadPlain(text)) {
        ++plainCount;
        EXPECT_EQ(plain->Type().toString(), expected.Type) << Show(text);
        EXPECT_EQ(ChildrenOf(*plain), expected.Children) << Show(text);
    }
    EXPECT_TRUE(TRequestValues::Read(text) == general) << Show(text);
}

const char* const kProtocolRequests[] = {
    "<Request type=\"WriteMemberCard\"><RequestID>1001</RequestID><CardNo>00012345</CardNo><ExpireDate>2027-12-31"
    "</ExpireDate><GuestName>张三</GuestName><Score>100</Score></Request>",
    "<Request type=\"ReadMemberCard\"><InputPassword>0</InputPassword></Request>",
    "<Request type=\"PrintMemberCard\"><RequestID>1002</RequestID><CardNo>00012345</CardNo><Content>当前消费:100&#13;\n"
    "卡内余额:300</Content></Request>",
};

TEST(RequestValuesTest, PlainRequestsAreReadInOnePassWithTheDocumentsValues)
{
    int plain = 0;
    for (const char* request : kProtocolRequests) {
        const QString text = QString::fromUtf8(request);
        EXPECT_TRUE(TRequestValues::ReadPlain(text).has_value()) << request;
        ExpectSameAsDocument(text, plain);
    }
    const char* const cases[] = {
        // Shapes the plain way takes.
        " \r\n<r type='WriteMemberCard' a = \"1\" ><A>x</A><A>y</A><B/><C></C></r>\r\n",
        "<r><A>1<n>2<m>3</m></n>4</A>5<B>&lt;&gt;&amp;&apos;&quot;&#65;&#x42;&#x00e9;&#13;&#9;</B></r>",
        "<r><A>a\r\nb\rc\n\r\rd]x]]y]</A></r>",
        "<r type=\"a > b ]]> c\"><A>\t</A></r>",
        "<r type=\"\"><_a.b-1>v</_a.b-1 ></r>",
        "<r/>",
        // Shapes it leaves to the XML reader.
        "<?xml version=\"1.0\" encoding=\"GBK\"?><r type=\"ReadMemberCard\"><A>1</A></r>",
        "<!DOCTYPE r [<!ENTITY e \"<A>zz</A>\">]><r type=\"x\">&e;<A>1</A></r>",
        "<r><A><![CDATA[<x>]]></A><!-- c --><?pi x?></r>",
        "<r type=\"a\tb\r\nc\"><A>1</A></r>",
        "<r type=\"&#65;\"><A/></r>",
        "<p:r xmlns:p=\"u\" type=\"x\"><p:A>1</p:A><A>2</A></p:r>",
        "<r xmlns=\"u\"><A>1</A></r>",
        "<r><A>&#x10000;&#55296;&#0;&#1;&#xFFFE;&#65533;</A></r>",
        "<r><A>\xF0\x9F\x98\x80</A></r>",
        "<r><É>1</É></r>",
        // Not well-formed.
        "", " ", "<r>", "<r></s>", "<r><A></r></A>", "<r a=\"1\"b=\"2\"/>", "<r a=\"1\" a=\"2\"/>", "<r a=1/>",
        "<r>&foo;</r>", "<r>&#;</r>", "<r>&#x;</r>", "<r>&#X41;</r>", "<r>&#123456789;</r>", "<r>]]></r>",
        "<r>\x01</r>", "<r/><r/>", "<r/>x", "x<r/>", "< r/>", "<r/ >", "</r>", "<r><1/></r>", "<r><A/ ></r>",
    };
    for (const char* text : cases) {
        ExpectSameAsDocument(QString::fromUtf8(text), plain);
    }
    EXPECT_GE(plain, 9);
}

// One character put into or in place of each character of the protocol's
// own requests: the edge between what the plain way takes and what it
// leaves, with both well-formed and broken texts.
TEST(RequestValuesTest, EveryOneCharacterChangeOfTheProtocolsRequestsReadsAsTheDocument)
{
    const char16_t inserts[] = {u'<', u'>', u'&', u'/', u' ', u'"', u'\'', u'=', u'\r', u'\n', u'\t', u']', u'#',
        u';', u'x', u'!', u'?', u':', u'-', 0x01, 0xE9, 0xD800, 0xFFFE};
    int plain = 0;
    for (const char* request : kProtocolRequests) {
        const QString text = QString::fromUtf8(request);
        for (qsizetype i = 0; i <= text.size(); ++i) {
            for (const char16_t c : inserts) {
                ExpectSameAsDocument(QString(text).insert(i, QChar(c)), plain);
                if (i < text.size()) {
                    ExpectSameAsDocument(QString(text).replace(i, 1, QChar(c)), plain);
                }
            }
            if (i < text.size()) {
                ExpectSameAsDocument(QString(text).remove(i, 1), plain);
            }
        }
    }
    EXPECT_GT(plain, 1000);
}

TEST(RequestValuesTest, ConformanceDocumentsReadAsTheDocument)
{
    const QDir root(QStringLiteral(MEMBER_XMLCONF_DIR));
    if (!root.exists()) {
        GTEST_SKIP() << "the W3C XML conformance test suite (xmlconf) is not at " MEMBER_XMLCONF_DIR
                          ": it is kept beside the project as ../shared/testdata/xmlconf, never copied into it";
    }
    int files = 0;
    int plain = 0;
    for (const char* folder : {"xmltest/not-wf/sa", "xmltest/valid/sa"}) {
        const QDir dir(root.filePath(QString::fromLatin1(folder)));
        for (const QString& name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            ExpectSameAsDocument(TextCodec::DecodeRequestUtf8(std::string_view(bytes.constData(), bytes.size())), plain);
            ++files;
        }
    }
    // Every one of them has a declaration, a DTD or a construct the plain
    // way leaves to the XML reader.
    EXPECT_GT(files, 300);
    EXPECT_EQ(plain, 0);
}

} // namespace
