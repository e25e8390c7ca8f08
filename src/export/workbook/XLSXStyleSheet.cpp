#include "export/workbook/XLSXStyleSheet.h"

#include <cstdio>

#include "export/workbook/ExportCellStyle.h"
#include "export/workbook/Workbook.h"
#include "export/workbook/WorkbookFormatting.h"
#include "export/xlsx/XmlWriter.h"

namespace karto {

namespace {

const XLSXNumberFormat kBuiltInFormats[] = {
    {0, ""}, {1, "0"}, {2, "0.00"}, {3, "#,##0"}, {4, "#,##0.00"}, {9, "0%"}, {10, "0.00%"},
    {11, "0.00E+00"}, {12, "# ?/?"}, {13, "# ?\?/??"}, {14, "%sysdate%"}, {15, "d-mmm-yy"},
    {16, "d-mmm"}, {17, "mmm-yy"}, {18, "h:mm am/pm"}, {19, "h:mm:ss am/pm"}, {20, "h:mm"},
    {21, "h:mm:ss"}, {22, "%sysdatetimews%"}, {37, "#,##0 ;(#,##0)"}, {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"}, {40, "#,##0.00;[Red](#,##0.00)"}, {45, "mm:ss"}, {46, "[h]:mm:ss"},
    {47, "mmss.0"}, {48, "##0.0E+0"}, {49, "@"},
};

const char* const kDefaultFootprint = "<<<default>>>";

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

XLSXStyleSheet::XLSXStyleSheet(Workbook& workbook) : workbook_(workbook)
{
    for (const XLSXNumberFormat& format : kBuiltInFormats) {
        numberFormats_.push_back(format);
        numberFormatIndex_.emplace(format.text, format.id);
        if (format.id > highestNumberFormatId_)
            highestNumberFormatId_ = format.id;
    }
    fills_.push_back({XLSXFill::None, clExportNone});
    fills_.push_back({XLSXFill::Gray125, clExportNone});
    styles_.push_back(XLSXStyle{});
    footprints_.emplace(kDefaultFootprint, 0);
}

int XLSXStyleSheet::numberFormatId(const std::string& text)
{
    auto found = numberFormatIndex_.find(text);
    if (found != numberFormatIndex_.end())
        return found->second;
    const int id = highestNumberFormatId_ < 164 ? 165 : highestNumberFormatId_ + 1;
    highestNumberFormatId_ = id;
    numberFormats_.push_back({id, text});
    numberFormatIndex_.emplace(text, id);
    return id;
}

int XLSXStyleSheet::fillId(ExportColor color)
{
    if (color == clExportNone)
        return 0;
    auto found = fillIndex_.find(color);
    if (found != fillIndex_.end())
        return found->second;
    const int id = static_cast<int>(fills_.size());
    fills_.push_back({XLSXFill::Solid, color});
    fillIndex_.emplace(color, id);
    return id;
}

int XLSXStyleSheet::createAddStyleUnique(ExportCellStyle& style, const std::string& numberFormat)
{
    std::string footprint = style.footprint(numberFormat);
    auto found = footprints_.find(footprint);
    if (found != footprints_.end())
        return found->second;
    XLSXStyle xf;
    xf.fontId = style.fontId();
    xf.borderId = style.bordersId();
    xf.fillId = fillId(style.bgColor());
    xf.numFmtId = numberFormatId(numberFormat);
    xf.alignment = style.alignment();
    xf.indent = style.indent();
    xf.vAlignment = style.vAlignment();
    xf.wrapText = style.wrapText();
    xf.orientation = style.orientation();
    xf.rotation = style.rotation();
    xf.protection = style.protection();
    const int index = static_cast<int>(styles_.size());
    styles_.push_back(xf);
    footprints_.emplace(std::move(footprint), index);
    return index;
}

int XLSXStyleSheet::findStyle(ExportCellStyle& style, const std::string& numberFormat)
{
    std::string footprint;
    if (!style.peekFootprint(numberFormat, footprint))
        return -1;
    auto found = footprints_.find(footprint);
    return found == footprints_.end() ? -1 : found->second;
}

std::vector<XLSXNumberFormat> XLSXStyleSheet::customNumberFormats() const
{
    std::vector<XLSXNumberFormat> result;
    for (const XLSXNumberFormat& format : numberFormats_)
        if (format.id > 163 || (format.id >= 5 && format.id <= 8) || (format.id >= 41 && format.id <= 44))
            result.push_back(format);
    return result;
}

std::string XLSXStyleSheet::stylesPart() const
{
    std::string out = "\xEF\xBB\xBF";
    XmlWriter xml(out);
    xml.declaration();
    xml.startElement("styleSheet");
    xml.attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");

    const std::vector<XLSXNumberFormat> custom = customNumberFormats();
    xml.startElement("numFmts");
    xml.attribute("count", static_cast<long long>(custom.size()));
    for (const XLSXNumberFormat& format : custom) {
        xml.startElement("numFmt");
        xml.attribute("numFmtId", format.id);
        xml.attribute("formatCode", resolveFormatPlaceholders(format.text));
        xml.endElement();
    }
    xml.endElement();

    const ExportFontList& fonts = workbook_.fonts();
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
    xml.attribute("count", static_cast<long long>(fills_.size()));
    for (const XLSXFill& fill : fills_) {
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

    const ExportCellBordersList& borders = workbook_.borders();
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
    xml.attribute("count", static_cast<long long>(styles_.size()));
    for (const XLSXStyle& xf : styles_) {
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
