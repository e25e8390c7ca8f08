#include "export/xlsx/XLSXStylesPart.h"

#include <cstdio>

#include "export/workbook/ExportCellBorders.h"
#include "export/workbook/ExportFont.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/workbook/XLSXStyleSheet.h"
#include "export/xlsx/XmlWriter.h"

namespace karto {

namespace {

std::string rgbText(ExportColor color)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "FF%06X", static_cast<unsigned>(exportColorToRgb(color)));
    return buffer;
}

const char* borderStyleName(CellBorderStyle style)
{
    static const char* const names[] = {"none", "none", "thin", "medium", "dashed", "dotted", "thick", "double",
                                        "hair", "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot",
                                        "mediumDashDotDot", "slantDashDot"};
    const int index = static_cast<int>(style);
    return index >= 0 && index <= ebSlantedDashDotted ? names[index] : "none";
}

const char* horizontalName(CellHAlignment a)
{
    switch (a) {
    case cahLeft: return "left";
    case cahCenter: return "center";
    case cahRight: return "right";
    case cahFilled: return "fill";
    case cahJustify: return "justify";
    case cahCenterContinuous: return "centerContinuous";
    case cahDistributed: return "distributed";
    default: return nullptr;
    }
}

const char* verticalName(CellVAlignment a)
{
    switch (a) {
    case cavTop: return "top";
    case cavCenter: return "center";
    case cavBottom: return "bottom";
    case cavJustify: return "justify";
    case cavDistributed: return "distributed";
    default: return nullptr;
    }
}

void writeBis(XmlWriter& xml, const char* name, ExportFontStyleBIS value)
{
    if (value == efsYes) {
        xml.startElement(name);
        xml.endElement();
    } else if (value == efsNo) {
        xml.emptyElement(name, {{"val", "0"}});
    }
}

void writeBorderLine(XmlWriter& xml, const char* name, const ExportCellBorder& line)
{
    xml.startElement(name);
    if (line.style != ebNone) {
        xml.attribute("style", borderStyleName(line.style));
        xml.emptyElement("color", {{"rgb", rgbText(line.color)}});
    }
    xml.endElement();
}

} // namespace

std::string xlsxStylesPart(const XLSXStyleSheet& styles)
{
    std::string out = "\xEF\xBB\xBF";
    XmlWriter xml(out);
    xml.declaration();
    xml.startElement("styleSheet");
    xml.attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");

    const std::vector<XLSXNumberFormat> custom = styles.customNumberFormats();
    xml.startElement("numFmts");
    xml.attribute("count", static_cast<long long>(custom.size()));
    for (const XLSXNumberFormat& format : custom) {
        xml.startElement("numFmt");
        xml.attribute("numFmtId", format.id);
        xml.attribute("formatCode", resolveFormatPlaceholders(format.text));
        xml.endElement();
    }
    xml.endElement();

    const ExportFontList& fonts = styles.workbook().fonts();
    xml.startElement("fonts");
    xml.attribute("count", fonts.count());
    for (int i = 0; i < fonts.count(); ++i) {
        const ExportFont& font = fonts.at(i);
        const ExportFontStyle& s = font.style();
        xml.startElement("font");
        writeBis(xml, "b", s.bold);
        writeBis(xml, "i", s.italic);
        writeBis(xml, "strike", s.strikeOut);
        switch (s.underline) {
        case efuAuto: break;
        case efuSingle: xml.startElement("u"); xml.endElement(); break;
        case efuDouble: xml.emptyElement("u", {{"val", "double"}}); break;
        case efuSingleAccounting: xml.emptyElement("u", {{"val", "singleAccounting"}}); break;
        case efuDoubleAccounting: xml.emptyElement("u", {{"val", "doubleAccounting"}}); break;
        case efuNo: xml.emptyElement("u", {{"val", "none"}}); break;
        }
        if (s.escapement == efeSuperscript)
            xml.emptyElement("vertAlign", {{"val", "superscript"}});
        else if (s.escapement == efeSubscript)
            xml.emptyElement("vertAlign", {{"val", "subscript"}});
        if (font.size() >= 0)
            xml.emptyElement("sz", {{"val", std::to_string(font.size())}});
        if (font.color() != clExportNone)
            xml.emptyElement("color", {{"rgb", rgbText(font.color())}});
        if (!font.name().empty())
            xml.emptyElement("name", {{"val", font.name()}});
        xml.endElement();
    }
    xml.endElement();

    xml.startElement("fills");
    xml.attribute("count", static_cast<long long>(styles.fills().size()));
    for (const XLSXFill& fill : styles.fills()) {
        xml.startElement("fill");
        xml.startElement("patternFill");
        if (fill.kind == XLSXFill::None) {
            xml.attribute("patternType", "none");
        } else if (fill.kind == XLSXFill::Gray125) {
            xml.attribute("patternType", "gray125");
        } else {
            xml.attribute("patternType", "solid");
            xml.emptyElement("fgColor", {{"rgb", rgbText(fill.color)}});
            xml.emptyElement("bgColor", {{"indexed", "64"}});
        }
        xml.endElement();
        xml.endElement();
    }
    xml.endElement();

    const ExportCellBordersList& borders = styles.workbook().borders();
    xml.startElement("borders");
    xml.attribute("count", borders.count());
    for (int i = 0; i < borders.count(); ++i) {
        const ExportCellBorders& set = borders.at(i);
        xml.startElement("border");
        const ExportCellBorder& up = set.line(cbDiagonalUp);
        const ExportCellBorder& down = set.line(cbDiagonalDown);
        if (up.style > ebNone)
            xml.attribute("diagonalUp", "1");
        if (down.style > ebNone)
            xml.attribute("diagonalDown", "1");
        writeBorderLine(xml, "left", set.line(cbLeft));
        writeBorderLine(xml, "right", set.line(cbRight));
        writeBorderLine(xml, "top", set.line(cbTop));
        writeBorderLine(xml, "bottom", set.line(cbBottom));
        if (up.style > ebNone)
            writeBorderLine(xml, "diagonal", up);
        else if (down.style > ebNone)
            writeBorderLine(xml, "diagonal", down);
        xml.endElement();
    }
    xml.endElement();

    xml.startElement("cellStyleXfs");
    xml.attribute("count", "1");
    xml.emptyElement("xf", {{"numFmtId", "0"}, {"fontId", "0"}, {"fillId", "0"}, {"borderId", "0"}});
    xml.endElement();

    xml.startElement("cellXfs");
    xml.attribute("count", static_cast<long long>(styles.styles().size()));
    for (const XLSXStyle& xf : styles.styles()) {
        xml.startElement("xf");
        xml.attribute("numFmtId", xf.numFmtId);
        xml.attribute("fontId", xf.fontId);
        xml.attribute("fillId", xf.fillId);
        xml.attribute("borderId", xf.borderId);
        xml.attribute("xfId", "0");
        xml.attribute("applyFont", "1");
        xml.attribute("applyFill", "1");
        xml.attribute("applyAlignment", "1");
        if (xf.protection != 1)
            xml.attribute("applyProtection", "1");
        xml.startElement("alignment");
        if (const char* name = horizontalName(xf.alignment))
            xml.attribute("horizontal", name);
        if (const char* name = verticalName(xf.vAlignment))
            xml.attribute("vertical", name);
        if (xf.wrapText)
            xml.attribute("wrapText", "1");
        if (xf.rotation != 0)
            xml.attribute("textRotation", xf.rotation);
        if (xf.indent > 0 && (xf.alignment == cahLeft || xf.alignment == cahRight))
            xml.attribute("indent", xf.indent);
        xml.endElement();
        if (xf.protection != 1) {
            xml.startElement("protection");
            xml.attribute("hidden", (xf.protection & 2) ? "1" : "0");
            xml.attribute("locked", (xf.protection & 1) ? "1" : "0");
            xml.endElement();
        }
        xml.endElement();
    }
    xml.endElement();

    xml.endElement();  // styleSheet
    return out;
}

} // namespace karto
