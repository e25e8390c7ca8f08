#include "export/xlsx/XLSXPackageParts.h"

#include "export/workbook/Workbook.h"
#include "export/xlsx/XmlWriter.h"

namespace karto {

const char* const kXlsxDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

namespace {

const char* const kTheme =
    "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Orbelle-Design\"><a:th"
    "emeElements><a:clrScheme name=\"Orbelle\"><a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
    "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1><a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:l"
    "t2><a:srgbClr val=\"EEECE1\"/></a:lt2><a:accent1><a:srgbClr val=\"4F81BD\"/></a:accent1><a:accent2><a:sr"
    "gbClr val=\"C0504D\"/></a:accent2><a:accent3><a:srgbClr val=\"9BBB59\"/></a:accent3><a:accent4><a:srgbCl"
    "r val=\"8064A2\"/></a:accent4><a:accent5><a:srgbClr val=\"4BACC6\"/></a:accent5><a:accent6><a:srgbClr va"
    "l=\"F79646\"/></a:accent6><a:hlink><a:srgbClr val=\"0000FF\"/></a:hlink><a:folHlink><a:srgbClr val=\"8000"
    "80\"/></a:folHlink></a:clrScheme><a:fontScheme name=\"Orbelle\"><a:majorFont><a:latin typeface=\"Cambria"
    "\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:majorFont><a:minorFont><a:latin typeface=\"Calibri\"/><a:"
    "ea typeface=\"\"/><a:cs typeface=\"\"/></a:minorFont></a:fontScheme><a:fmtScheme name=\"Orbelle\"><a:fillS"
    "tyleLst><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill><a:gradFill rotWithShape=\"1\"><a:gsLst><"
    "a:gs pos=\"0\"><a:schemeClr val=\"phClr\"><a:tint val=\"50000\"/><a:satMod val=\"300000\"/></a:schemeClr></a"
    ":gs><a:gs pos=\"35000\"><a:schemeClr val=\"phClr\"><a:tint val=\"37000\"/><a:satMod val=\"300000\"/></a:sche"
    "meClr></a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"phClr\"><a:tint val=\"15000\"/><a:satMod val=\"350000\""
    "/></a:schemeClr></a:gs></a:gsLst><a:lin ang=\"16200000\" scaled=\"1\"/></a:gradFill><a:gradFill rotWithS"
    "hape=\"1\"><a:gsLst><a:gs pos=\"0\"><a:schemeClr val=\"phClr\"><a:shade val=\"51000\"/><a:satMod val=\"130000"
    "\"/></a:schemeClr></a:gs><a:gs pos=\"80000\"><a:schemeClr val=\"phClr\"><a:shade val=\"93000\"/><a:satMod v"
    "al=\"130000\"/></a:schemeClr></a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"phClr\"><a:shade val=\"94000\"/>"
    "<a:satMod val=\"135000\"/></a:schemeClr></a:gs></a:gsLst><a:lin ang=\"16200000\" scaled=\"0\"/></a:gradFil"
    "l></a:fillStyleLst><a:lnStyleLst><a:ln w=\"9525\" cap=\"flat\" cmpd=\"sng\" algn=\"ctr\"><a:solidFill><a:sch"
    "emeClr val=\"phClr\"><a:shade val=\"95000\"/><a:satMod val=\"105000\"/></a:schemeClr></a:solidFill><a:prst"
    "Dash val=\"solid\"/></a:ln><a:ln w=\"25400\" cap=\"flat\" cmpd=\"sng\" algn=\"ctr\"><a:solidFill><a:schemeClr "
    "val=\"phClr\"/></a:solidFill><a:prstDash val=\"solid\"/></a:ln><a:ln w=\"38100\" cap=\"flat\" cmpd=\"sng\" alg"
    "n=\"ctr\"><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill><a:prstDash val=\"solid\"/></a:ln></a:lnS"
    "tyleLst><a:effectStyleLst><a:effectStyle><a:effectLst><a:outerShdw blurRad=\"40000\" dist=\"20000\" dir="
    "\"5400000\" rotWithShape=\"0\"><a:srgbClr val=\"000000\"><a:alpha val=\"38000\"/></a:srgbClr></a:outerShdw><"
    "/a:effectLst></a:effectStyle><a:effectStyle><a:effectLst><a:outerShdw blurRad=\"40000\" dist=\"23000\" d"
    "ir=\"5400000\" rotWithShape=\"0\"><a:srgbClr val=\"000000\"><a:alpha val=\"35000\"/></a:srgbClr></a:outerShd"
    "w></a:effectLst></a:effectStyle><a:effectStyle><a:effectLst><a:outerShdw blurRad=\"40000\" dist=\"23000"
    "\" dir=\"5400000\" rotWithShape=\"0\"><a:srgbClr val=\"000000\"><a:alpha val=\"35000\"/></a:srgbClr></a:outer"
    "Shdw></a:effectLst><a:scene3d><a:camera prst=\"orthographicFront\"><a:rot lat=\"0\" lon=\"0\" rev=\"0\"/></a"
    ":camera><a:lightRig rig=\"threePt\" dir=\"t\"><a:rot lat=\"0\" lon=\"0\" rev=\"1200000\"/></a:lightRig></a:sce"
    "ne3d><a:sp3d><a:bevelT w=\"63500\" h=\"25400\"/></a:sp3d></a:effectStyle></a:effectStyleLst><a:bgFillSty"
    "leLst><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill><a:gradFill rotWithShape=\"1\"><a:gsLst><a:"
    "gs pos=\"0\"><a:schemeClr val=\"phClr\"><a:tint val=\"40000\"/><a:satMod val=\"350000\"/></a:schemeClr></a:g"
    "s><a:gs pos=\"40000\"><a:schemeClr val=\"phClr\"><a:tint val=\"45000\"/><a:shade val=\"99000\"/><a:satMod va"
    "l=\"350000\"/></a:schemeClr></a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"phClr\"><a:shade val=\"20000\"/><"
    "a:satMod val=\"255000\"/></a:schemeClr></a:gs></a:gsLst><a:path path=\"circle\"><a:fillToRect l=\"50000\" "
    "t=\"-80000\" r=\"50000\" b=\"180000\"/></a:path></a:gradFill><a:gradFill rotWithShape=\"1\"><a:gsLst><a:gs p"
    "os=\"0\"><a:schemeClr val=\"phClr\"><a:tint val=\"80000\"/><a:satMod val=\"300000\"/></a:schemeClr></a:gs><a"
    ":gs pos=\"100000\"><a:schemeClr val=\"phClr\"><a:shade val=\"30000\"/><a:satMod val=\"200000\"/></a:schemeCl"
    "r></a:gs></a:gsLst><a:path path=\"circle\"><a:fillToRect l=\"50000\" t=\"50000\" r=\"50000\" b=\"50000\"/></a:"
    "path></a:gradFill></a:bgFillStyleLst></a:fmtScheme></a:themeElements><a:objectDefaults/><a:extraClrS"
    "chemeLst/></a:theme>";

// The first count UTF-8 characters of text.
std::string firstCharacters(const std::string& text, int count)
{
    std::size_t i = 0;
    for (int n = 0; i < text.size() && n < count; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return text.substr(0, i);
}

} // namespace

std::string xlsxContentTypesPart(int sheetCount, bool hasSharedStrings)
{
    std::string out = kXlsxDeclaration;
    out += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    out += "<Override PartName=\"/xl/theme/theme1.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>";
    out += "<Override PartName=\"/xl/styles.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
    out += "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>";
    out += "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    out += "<Override PartName=\"/xl/workbook.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.";
    out += "sheet";
    out += ".main+xml\"/>";
    out += "<Override PartName=\"/docProps/app.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>";
    for (int i = 0; i < sheetCount; ++i) {
        out += "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(i + 1) +
               ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    out += "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\" />";
    if (hasSharedStrings)
        out += "<Override PartName=\"/xl/sharedStrings.xml\" "
               "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
    out += "<Override PartName=\"/docProps/core.xml\" "
           "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>";
    out += "</Types>";
    return out;
}

std::string xlsxRootRelationshipsPart()
{
    std::string out = kXlsxDeclaration;
    out += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId3\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
           "Target=\"docProps/app.xml\"/>"
           "<Relationship Id=\"rId2\" "
           "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
           "Target=\"docProps/core.xml\"/>"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
           "Target=\"xl/workbook.xml\"/></Relationships>";
    return out;
}

std::string xlsxWorkbookRelationshipsPart(int sheetCount, bool hasSharedStrings)
{
    std::string out = kXlsxDeclaration;
    out += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
           "Target=\"styles.xml\"/>"
           "<Relationship Id=\"rId2\" "
           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme\" "
           "Target=\"theme/theme1.xml\"/>";
    if (hasSharedStrings)
        out += "<Relationship Id=\"rId4\" "
               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
               "Target=\"sharedStrings.xml\"/>";
    for (int i = 0; i < sheetCount; ++i)
        out += "<Relationship Id=\"rId" + std::to_string(i + 5) +
               "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
               "Target=\"worksheets/sheet" + std::to_string(i + 1) + ".xml\"/>";
    out += "</Relationships>";
    return out;
}

std::string xlsxWorkbookPart(const Workbook& workbook)
{
    std::string out = kXlsxDeclaration;
    out += "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
           "<fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4506\"/><workbookPr ";
    if (workbook.use1904DateSystem)
        out += "date1904=\"1\" ";
    if (!workbook.workbookCodeName.empty()) {
        out += "codeName=\"";
        appendXmlAttribute(out, workbook.workbookCodeName);
        out += "\" ";
    }
    out += "defaultThemeVersion=\"124226\" />";
    out += "<sheets>";
    for (int i = 0; i < workbook.workSheetCount(); ++i) {
        const ExportWorkSheet& sheet = workbook.workSheet(i);
        out += "<sheet name=\"";
        appendOoxmlEscaped(out, firstCharacters(sheet.title(), 31));
        out += "\" sheetId=\"" + std::to_string(i + 1) + "\"";
        if (sheet.visibility() == ewvHidden)
            out += " state=\"hidden\"";
        else if (sheet.visibility() == ewvVeryHidden)
            out += " state=\"veryHidden\"";
        out += " r:id=\"rId" + std::to_string(i + 5) + "\"/>";
    }
    out += "</sheets><definedNames></definedNames><calcPr calcId=\"125725\" /></workbook>";
    return out;
}

std::string xlsxCorePropertiesPart(const Workbook& workbook)
{
    std::string out = kXlsxDeclaration;
    out += "<cp:coreProperties "
           "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
           "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    auto property = [&out](const char* tag, const std::string& value) {
        out += "<";
        out += tag;
        out += ">";
        out += escapeDocumentProperty(value);
        out += "</";
        out += tag;
        out += ">";
    };
    property("dc:creator", workbook.author);
    property("dc:description", workbook.description);
    property("cp:keywords", workbook.keywords);
    property("dc:subject", workbook.subject);
    property("dc:title", workbook.title);
    out += "</cp:coreProperties>";
    return out;
}

std::string xlsxAppPropertiesPart(const Workbook& workbook)
{
    std::string out = kXlsxDeclaration;
    out += "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
           "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">";
    out += "<Application>" + workbook.application + "</Application>";
    out += "<AppVersion>" + workbook.applicationVersion + "</AppVersion>";
    out += "</Properties>";
    return out;
}

std::string xlsxThemePart()
{
    return std::string(kXlsxDeclaration) + kTheme;
}

} // namespace karto
