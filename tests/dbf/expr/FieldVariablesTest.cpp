// Field variables over records of real table files written by the test
// builder: character fields raw and copied, numbers, dates, logicals and
// the dBase 7 binary fields; empty fields are null. Single-field
// expressions point at the field itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ExprTestSupport.h"
#include "dbf/expr/TableParser.h"
#include "dbf/table/TableFile.h"
#include "support/DbfBuilder.h"

using namespace karto;
using namespace karto::expr;

namespace {

struct OpenTable {
    OpenTable(const test::DbfSpec& spec)
    {
        path = dir.write("t.dbf", test::buildDbf(spec));
        table.setFileName(path);
        table.setMode(pfReadOnly);
        table.open();
    }
    std::vector<uint8_t> record(int n)
    {
        const uint8_t* p = table.recordPtr(n);
        return std::vector<uint8_t>(p, p + table.recordSize());
    }
    test::TempDir dir;
    std::string path;
    TableFile table;
};

// dBase 7 binary forms: big-endian with the sign bit flipped.
std::string d7Int(int32_t v)
{
    const uint32_t u = static_cast<uint32_t>(v) ^ 0x80000000u;
    return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
}

// The "@" timestamp: a plain big-endian double of milliseconds.
std::string bigEndianDouble(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    std::string s;
    for (int i = 7; i >= 0; --i)
        s.push_back(static_cast<char>(u >> (8 * i)));
    return s;
}

std::string d7Double(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    u = (u & 0x8000000000000000ull) ? ~u : (u | 0x8000000000000000ull);
    std::string s;
    for (int i = 7; i >= 0; --i)
        s.push_back(static_cast<char>(u >> (8 * i)));
    return s;
}

const std::vector<test::FieldSpec> kDbase3Fields = {
    {"JMENO", 'C', 8}, {"CENA", 'N', 8, 2}, {"KUSY", 'N', 4}, {"MNOZ", 'F', 10, 3},
    {"DATUM", 'D', 8}, {"PLATI", 'L', 1},   {"KOD", 'N', 15},
};

} // namespace

TEST(FieldVariables, Dbase3Fields)
{
    test::DbfSpec spec;
    spec.fields = kDbase3Fields;
    spec.records.push_back(test::recordBytes(spec.fields, {{"Jan", "12.50", "-7", "1.250", "20200305", "T",
                                                            "123456789012345"}}));
    spec.records.push_back(test::recordBytes(spec.fields, {{"", "", "", "", "", "", ""}}));
    spec.records.push_back(std::string(" ab\0\0\0\0\0\0", 9) + std::string(60, ' '));
    OpenTable t(spec);
    TableParser parser(t.table.fieldDefs());
    const std::vector<uint8_t> full = t.record(1);
    const std::vector<uint8_t> empty = t.record(2);

    const struct {
        const char* text;
        const char* onFull;
        const char* onEmpty;
    } cases[] = {
        {"JMENO", "S 'Jan     '", "S '        ' null"},
        {"jmeno+'|'", "S 'Jan     |'", "S '        |'"},
        {"CENA", "F 12.5", "F 0 null"},
        {"KUSY", "I -7", "I 0 null"},
        {"MNOZ", "F 1.25", "F 0 null"},
        {"DATUM", "D 2020-03-05", "D 0 null"},
        {"PLATI", "B T", "B F null"},
        {"KOD", "L 123456789012345", "L 0 null"},
        {"KUSY*2", "I -14", "I 0"},
        {"CENA+MNOZ", "F 13.75", "F 0 null"},
        {"KOD+1", "L 123456789012346", "L 1"},
        {"DTOS(DATUM)", "S '20200305'", "S '        '"},
        {"PLATI AND KUSY<0", "B T", "B F"},
        {"RECNO()", "I 4", "I 4"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::evaluate(parser, c.text, full, 4), c.onFull) << c.text;
        EXPECT_EQ(test::evaluate(parser, c.text, empty, 4), c.onEmpty) << c.text;
    }
    // Zero bytes at the end of a raw character field read as spaces.
    EXPECT_EQ(test::evaluate(parser, "JMENO+'|'", t.record(3)), "S 'ab      |'");
}

TEST(FieldVariables, SingleFieldExpressions)
{
    test::DbfSpec spec;
    spec.fields = kDbase3Fields;
    spec.records.push_back(test::recordBytes(spec.fields, {{"Jan", "12.50", "-7", "", "20200305", "T", ""}}));
    OpenTable t(spec);
    TableParser parser(t.table.fieldDefs());
    const std::vector<uint8_t> rec = t.record(1);

    parser.parseExpression(" jmeno ");
    EXPECT_FALSE(parser.isExpression());
    EXPECT_EQ(parser.resultType(), etString);
    EXPECT_EQ(parser.resultLen(), 8);
    ASSERT_NE(parser.dbfFieldDef(), nullptr);
    EXPECT_EQ(parser.dbfFieldDef()->fieldName(), "JMENO");
    // Raw: a pointer into the record itself, the full width.
    const char* p = parser.extractFromBuffer(rec.data(), 1);
    EXPECT_EQ(p, reinterpret_cast<const char*>(rec.data()) + 1);
    EXPECT_EQ(std::string(p, 8), "Jan     ");

    parser.setRawStringFields(false);
    EXPECT_EQ(parser.resultLen(), -1);
    EXPECT_STREQ(parser.extractFromBuffer(rec.data(), 1), "Jan");

    const struct {
        const char* text;
        ExpressionType type;
        int len;
    } others[] = {{"KUSY", etInteger, 4}, {"KOD", etLargeInt, 8}, {"CENA", etFloat, 8},
                  {"DATUM", etDateTime, 8}, {"PLATI", etBoolean, 1}};
    for (const auto& o : others) {
        parser.parseExpression(o.text);
        EXPECT_FALSE(parser.isExpression()) << o.text;
        EXPECT_EQ(parser.resultType(), o.type) << o.text;
        EXPECT_EQ(parser.resultLen(), o.len) << o.text;
        EXPECT_EQ(parser.dbfFieldDef(), &t.table.fieldDefs().item(o.text == std::string("KUSY") ? 2
                                                                  : o.text == std::string("KOD")  ? 6
                                                                  : o.text == std::string("CENA") ? 1
                                                                  : o.text == std::string("DATUM") ? 4
                                                                                                   : 5));
    }

    // An expression that is one field in brackets names the field too; a
    // computed one does not.
    parser.parseExpression("(CENA)");
    EXPECT_TRUE(parser.isExpression());
    EXPECT_EQ(parser.dbfFieldDef(), &t.table.fieldDefs().item(1));
    parser.parseExpression("CENA+1");
    EXPECT_EQ(parser.dbfFieldDef(), nullptr);
    parser.parseExpression("UPPER(JMENO)");
    EXPECT_EQ(parser.resultLen(), -1);
    parser.clearExpressions();
    EXPECT_EQ(parser.resultType(), etUnknown);
    EXPECT_EQ(parser.currentExpression(), "");
}

TEST(FieldVariables, CopiedTextIsConvertedFromTheTableCodePage)
{
    test::DbfSpec spec;
    spec.languageId = 0x64;   // code page 852
    spec.fields = {{"JMENO", 'C', 8}};
    spec.records.push_back(" \x9F" "ern\xEC  \0");   // "černě" in 852 (e with caron is D8)
    spec.records.back()[5] = '\xD8';
    OpenTable t(spec);
    TableParser parser(t.table.fieldDefs());
    parser.setTableCodePage(t.table.useCodePage());
    const std::vector<uint8_t> rec = t.record(1);

    EXPECT_EQ(test::evaluate(parser, "JMENO+'|'", rec), "S '\x9F" "ern\xD8   |'");   // raw: the file's bytes
    parser.setRawStringFields(false);
    EXPECT_EQ(test::evaluate(parser, "JMENO+'|'", rec), "S '\xE8" "ern\xEC|'");      // Windows 1250, trimmed
    EXPECT_EQ(test::evaluate(parser, "LEN(JMENO)", rec), "I 5");
}

TEST(FieldVariables, Dbase7BinaryFields)
{
    test::DbfSpec spec;
    spec.version = 0x04;
    spec.fields = {{"ID", '+', 4, 0, 0, 8}, {"POCET", 'I', 4}, {"KOLIK", 'O', 8}, {"KDY", '@', 8},
                   {"JMENO", 'C', 6}};
    const double day = static_cast<double>(timeStampDay(2020, 3, 5));
    spec.records.push_back(" " + d7Int(7) + d7Int(-1000) + d7Double(2.5) + bigEndianDouble(day * 86400000.0 + 43200000.0)
                           + "Eva   ");
    spec.records.push_back(" " + std::string(24, '\0') + "      ");
    OpenTable t(spec);
    TableParser parser(t.table.fieldDefs());
    const std::vector<uint8_t> full = t.record(1);
    const std::vector<uint8_t> empty = t.record(2);
    const struct {
        const char* text;
        const char* onFull;
        const char* onEmpty;
    } cases[] = {
        {"ID", "I 7", "I 0 null"},
        {"POCET", "I -1000", "I 0 null"},
        {"KOLIK", "F 2.5", "F 0 null"},
        {"KDY-DATUM_X", "error: Unknown field \"DATUM_X\".", "error: Unknown field \"DATUM_X\"."},
        {"DTOS(KDY)", "S '20200305'", "S '        '"},
        {"KDY-(KDY+0.25)", "F -0.25", "F -0.25"},
        {"KDY-0.5", "error: Argument type mismatch", "error: Argument type mismatch"},
        {"ID*100+POCET", "I -300", "I 0"},
        {"STR(ID,3)+JMENO", "S '  7Eva   '", "S '  0      '"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::evaluate(parser, c.text, full), c.onFull) << c.text;
        EXPECT_EQ(test::evaluate(parser, c.text, empty), c.onEmpty) << c.text;
    }
    parser.parseExpression("KDY");
    double v = 0;
    std::memcpy(&v, parser.extractFromBuffer(full.data(), 1), 8);
    EXPECT_DOUBLE_EQ(v, day - kDateDelta + 0.5);
}
