#include "export/xlsx/XmlWriter.h"

#include <gtest/gtest.h>

#include "export/workbook/WorkbookErrors.h"
#include "export/xlsx/XLSXSharedStrings.h"

using namespace karto;

TEST(XmlWriter, OoxmlStringEscape)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"a<b&c>d\"e'", "a&lt;b&amp;c>d\"e'"},
        {"_x0041_", "_x005F_x0041_"},
        {"_x004G_ and _x41_", "_x004G_ and _x41_"},
        {"a\fb", "a_x000C_b"},
        {std::string("\x01\x1F", 2), "_x0001__x001F_"},
        {"tab\tline\nend", "tab\tline\nend"},
        {"crlf\r\nend\r", "crlf&#13;\nend&#13;"},
        {"lone\rcr", "lone_x000D_cr"},
        {"Šroub", "Šroub"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ooxmlEscaped(c.in), c.out) << c.in;
}

TEST(XmlWriter, SharedStringElementPreservesSpaceWhenNeeded)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"a b", "<t>a b</t>"},
        {"a  b", "<t xml:space=\"preserve\">a  b</t>"},
        {" lead", "<t xml:space=\"preserve\"> lead</t>"},
        {"trail\t", "<t xml:space=\"preserve\">trail\t</t>"},
        {"two\r\nlines", "<t>two&#13;\nlines</t>"},
        {"two\r\n lines", "<t xml:space=\"preserve\">two&#13;\n lines</t>"},
    };
    for (const auto& c : cases) {
        std::string out;
        XLSXSharedStrings::appendElement(out, c.in);
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(XmlWriter, TreeWithoutWhitespaceAndEscapedAttributes)
{
    std::string out;
    XmlWriter xml(out);
    xml.declaration();
    xml.startElement("a");
    xml.attribute("x", "1<2 & \"q\"\tt\r\nn");
    xml.startElement("b");
    xml.endElement();
    xml.startElement("c");
    xml.text("x>y");
    xml.endElement();
    xml.endElement();
    EXPECT_EQ(out, "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
                   "<a x=\"1&lt;2 &amp; &quot;q&quot;&#9;t&#xA;n\"><b/><c>x&gt;y</c></a>");
}

TEST(XmlWriter, InvalidCharactersRaise)
{
    std::string out;
    try {
        appendXmlText(out, "bad\x0B");
        FAIL();
    } catch (const XmlWriterInvalidString& e) {
        EXPECT_STREQ(e.what(), "\"bad\x0B\" is not a valid text.");
    }
    EXPECT_THROW(appendXmlAttribute(out, "\xEF\xBF\xBF"), XmlWriterInvalidString);
    XmlWriter xml(out);
    try {
        xml.startElement("a b");
        FAIL();
    } catch (const XmlWriterInvalidString& e) {
        EXPECT_STREQ(e.what(), "\"a b\" is not a valid element name.");
    }
}

TEST(XmlWriter, DocumentPropertyEscape)
{
    EXPECT_EQ(escapeDocumentProperty("a&<>'\"\r\n"), "a&amp;&lt;&gt;&apos;&quot;&#xD;&#xA;");
}
