// Expressions and their values: every operator and function, the type
// resolution by argument types, the precedence rules and the edge cases of
// the expression language.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ExprTestSupport.h"
#include "dbf/expr/TableParser.h"

using namespace karto;
using namespace karto::expr;
using test::ExprTable;

namespace {

struct Case {
    const char* text;
    const char* expected;
};

class ExpressionValues : public ::testing::Test {
protected:
    ExprTable table;
    // NAME "Novák" (Windows 1250), DATUM 5 March 2020, CENA 12.50,
    // POCET 42, VELKE 9876543210, HOTOVO T, NAZEV "Novakova".
    std::vector<uint8_t> rec = table.record("Nov\xE1k", "20200305", "12.50", "42", "9876543210", "T", "Novakova");

    void expectAll(TableParser& parser, const std::vector<Case>& cases)
    {
        for (const Case& c : cases)
            EXPECT_EQ(test::evaluate(parser, c.text, rec, 7), c.expected) << c.text;
    }
};

} // namespace

TEST_F(ExpressionValues, ArithmeticAndPrecedence)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"2+3*4", "I 20"},
        {"2+(3*4)", "I 14"},
        {"8-3-2", "I 3"},
        {"-2+3", "I 1"},
        {"7/2", "I 3"},
        {"-7/2", "I -3"},
        {"7.0/2", "F 3.5"},
        {"1.5+1", "F 2.5"},
        {"1+1.5", "F 2.5"},
        {"2*2.5", "F 5"},
        {"POCET*2", "I 84"},
        {"POCET/5", "I 8"},
        {"VELKE+1", "L 9876543211"},
        {"1+VELKE", "L 9876543211"},
        {"VELKE-VELKE", "L 0"},
        {"VELKE*2", "L 19753086420"},
        {"VELKE/10", "L 987654321"},
        {"VELKE+CENA", "F 9876543222.5"},
        {"CENA-VELKE", "F -9876543197.5"},
        {"CENA*VELKE", "F 123456790125"},
        {"VELKE/CENA", "F 790123456.8"},
        {"-VELKE", "L -9876543210"},
        {"-CENA", "F -12.5"},
        {"- -3", "error: Function or operand has too few arguments"},
        {"+-3", "I -3"},
        {"-+-3", "error: Function or operand has too few arguments"},
        {"--+-3", "I -3"},
        {"+3", "I 3"},
        {"2*-3", "I -6"},
        {"2--3", "I 5"},
        {"(2)", "I 2"},
        {"((2+3))*((4))", "I 20"},
        {"$1F+1", "I 32"},
        {"$FFFFFFFF", "I -1"},
        {".5*2", "F 1"},
        {"1.5e2", "F 150"},
        {"2147483647+1", "I -2147483648"},
        {"-2147483647-1", "I -2147483648"},
        {"(-2147483647-1)/-1", "I -2147483648"},
        {"(-2147483647-1)*-1", "I -2147483648"},
    });
}

TEST_F(ExpressionValues, Comparisons)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"1=1", "B T"},
        {"1<>1", "B F"},
        {"1<2", "B T"},
        {"2>1", "B T"},
        {"2<=2", "B T"},
        {"3>=4", "B F"},
        {"1=1.0", "B T"},
        {"1.5>1", "B T"},
        {"VELKE>POCET", "B T"},
        {"VELKE=9876543210.0", "B T"},
        {"POCET=42 AND CENA>12", "B T"},
        {"POCET=1 OR CENA>12", "B T"},
        {"NOT POCET=42", "B F"},
        {"NOT NOT POCET=42", "B T"},
        {"POCET=42 AND NOT CENA>13 OR 1=2", "B T"},
        {"HOTOVO", "B T"},
        {"HOTOVO AND POCET>40", "B T"},
        {"'abc'='ABC'", "B T"},
        {"'abc'<'abd'", "B T"},
        {"'ab'<'abc'", "B T"},
        {"'b'>'ABC'", "B T"},
        {"'abc'<>'ABC'", "B F"},
        {"'\xE1'='\xC1'", "B F"},
        {"NAME='Nov\xE1k'", "B F"},
        {"NAME='Nov\xE1k     '", "B T"},
        {"TRIM(NAME)='NOV\xE1K'", "B T"},
        {"DATUM=DATUM", "error: Argument type mismatch"},
        {"HOTOVO=HOTOVO", "error: Argument type mismatch"},
    });
    parser.setCaseInsensitive(false);
    expectAll(parser, {
        {"'abc'='ABC'", "B F"},
        {"'abc'='abc'", "B T"},
        {"'b'>'ABC'", "B T"},
        {"'B'<'a'", "B T"},
        {"'\xE1'='\xC1'", "B F"},
        {"'\xE1'>'z'", "B T"},
    });
}

TEST_F(ExpressionValues, PartialMatch)
{
    TableParser parser(table.t.defs);
    parser.setPartialMatch(true);
    expectAll(parser, {
        {"NAZEV='*ova*'", "B T"},
        {"NAZEV='*OVA*'", "B T"},
        {"NAZEV='Nov*'", "B T"},
        {"NAZEV='nov*'", "B T"},
        {"NAZEV='*kova'", "B F"},   // the raw field ends in spaces
        {"TRIM(NAZEV)='*kova'", "B T"},
        {"NAZEV='Novakova'", "B F"},
        {"TRIM(NAZEV)='Novakova'", "B T"},
        {"'ab'='*abc'", "B F"},
        {"'ab'='*'", "B T"},
        {"'ab'='**'", "B T"},
        {"''='*'", "B T"},
        {"'x'='*y*'", "B F"},
        {"NAME<>'*ov*'", "B T"},    // only "=" matches patterns
    });
    parser.setCaseInsensitive(false);
    expectAll(parser, {
        {"NAZEV='*OVA*'", "B F"},
        {"NAZEV='*ova*'", "B T"},
        {"NAZEV='nov*'", "B F"},
    });
    parser.setPartialMatch(false);
    EXPECT_EQ(test::evaluate(parser, "NAZEV='*ova*'", rec), "B F");
}

TEST_F(ExpressionValues, StringFunctions)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"UPPER(NAME)+DTOS(DATUM)", "S 'NOV\xE1K     20200305'"},
        {"UPPERCASE('abc')", "S 'ABC'"},
        {"LOWER('AbC\xC1')", "S 'abc\xC1'"},
        {"LOWERCASE('X')", "S 'x'"},
        {"'a'+'b'", "S 'ab'"},
        {"'a '+NAME+'|'", "S 'a Nov\xE1k     |'"},
        {"SUBSTR('abcdef',2,3)", "S 'bcd'"},
        {"SUBS('abcdef',2)", "S 'bcdef'"},
        {"SUBSTR('abcdef',5,10)", "S 'ef'"},
        {"SUBSTR('abc',4)", "S ''"},
        {"SUBSTR('abc',9,2)", "S ''"},
        {"SUBSTR('abc',0,2)", "S 'ab'"},
        {"SUBSTR('abc',2,-1)", "S ''"},
        {"LEFT('abc',2)", "S 'ab'"},
        {"LEFT('abc',5)", "S 'abc'"},
        {"LEFT('abc',-1)", "S ''"},
        {"RIGHT('abc',2)", "S 'bc'"},
        {"RIGHT('abc',9)", "S 'abc'"},
        {"RIGHT('abc',0)", "S ''"},
        {"PROPER('jan  NOV\xC1K x')", "S 'Jan  Nov\xC1k X'"},
        {"LTRIM('  a ')", "S 'a '"},
        {"RTRIM('  a ')", "S '  a'"},
        {"TRIM(NAME)", "S 'Nov\xE1k'"},
        {"LEN('abc ')", "I 4"},
        {"LEN(NAME)", "I 10"},
        {"LEN('')", "I 0"},
        {"ASC('A')", "I 65"},
        {"ASC('\xE1')", "I 225"},
        {"ASC('')", "I 0"},
        {"CHR(65)", "S 'A'"},
        {"CHR(300)", "S ''"},
        {"CHR(-1)", "S ''"},
        {"SOUNDEX('Robert')", "S 'R163'"},
        {"SOUNDEX('Rupert')", "S 'R163'"},
        {"SOUNDEX('Tymczak')", "S 'T522'"},
        {"SOUNDEX('Pfister')", "S 'P123'"},
        {"SOUNDEX('Lee')", "S 'L000'"},
        {"SOUNDEX('  ab1c')", "S 'A100'"},
        {"SOUNDEX('')", "S '0000'"},
        {"SOUNDEX('1abc')", "S '0000'"},
        {"VAL(' 12.5kg')", "F 12.5"},
        {"VAL('-3')", "F -3"},
        {"VAL('+.5')", "F 0.5"},
        {"VAL('abc')", "F 0"},
        {"VAL('1-2')", "F 1"},
        {"VAL('')", "F 0"},
        {"IIF(POCET>1,'ano','ne')", "S 'ano'"},
        {"IIF(POCET>100,'ano','ne')", "S 'ne'"},
        {"IIF(HOTOVO,1.5,2.5)", "F 1.5"},
        {"IIF(NOT HOTOVO,1,2)", "I 2"},
        {"EMPTY('  ')", "B T"},
        {"EMPTY(' a')", "B F"},
        {"EMPTY(NAME)", "B F"},
    });
}

TEST_F(ExpressionValues, Str)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"STR(42)", "S '         42'"},
        {"STR(-42,5)", "S '  -42'"},
        {"STR(42,5,0,'0')", "S '00042'"},
        {"STR(-42,6,0,'0')", "S '000-42'"},
        {"STR(42,6,0,'')", "S '    42'"},
        {"STR(42,6,0,'*x')", "S '****42'"},
        {"STR(42.0,6,0,'*')", "S '    42'"},
        {"STR(123456,3)", "S '1E5'"},
        {"STR(123456,3,0,'0')", "S '000'"},
        {"STR(3.14159)", "S '         3'"},
        {"STR(3.14159,8,2)", "S '    3.14'"},
        {"STR(42,6,1)", "S '  42.0'"},
        {"STR(VELKE)", "S '          9876543210'"},
        {"STR(VELKE,5)", "S '9.9E9'"},
        {"STR(1,0)", "S ''"},
        {"STR(1,-5)", "S ''"},
        {"STR(CENA,6,1)", "S '  12.5'"},
        {"LEN(STR(1,65536))", "I 65536"},
        {"STR(1,65537)", "error: Expression result too long."},
        {"STR(1,2000000000)", "error: Expression result too long."},
    });
}

TEST_F(ExpressionValues, NumberFunctions)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"ABS(-3)", "I 3"},
        {"ABS(-2147483647-1)", "I -2147483648"},
        {"ABS(-2.5)", "F 2.5"},
        {"ABS(-VELKE)", "F 9876543210"},
        {"CEILING(2.1)", "I 3"},
        {"CEIL(-2.1)", "I -2"},
        {"CEILING(1.0e300)", "error: Numeric value out of range."},
        {"CEILING(CENA*1.0e20)", "error: Numeric value out of range."},
        {"ROUND(2.5,0)", "F 2"},
        {"ROUND(3.5,0)", "F 4"},
        {"ROUND(-2.5,0)", "F -2"},
        {"ROUND(1234.5678,2)", "F 1234.57"},
        {"ROUND(1234.5678,-2)", "F 1200"},
        {"ROUND(1250.0,-2)", "F 1200"},
        {"ROUND(2.5,0.9)", "F 2"},
        {"ROUND(1.0e300,20)", "F 1e+300"},
        {"ROUND(2.5,21)", "error: ROUND digits must lie between -20 and 20."},
        {"ROUND(2.5,-21)", "error: ROUND digits must lie between -20 and 20."},
        {"ROUND(2.5,1.0e10)", "error: ROUND digits must lie between -20 and 20."},
        {"ROUND(CENA,POCET)", "error: ROUND digits must lie between -20 and 20."},
        {"EMPTY(0)", "B T"},
        {"EMPTY(POCET)", "B F"},
        {"EMPTY(0.0)", "B T"},
        {"EMPTY(VELKE-VELKE)", "B T"},
        {"EMPTY(DATUM)", "B F"},
        {"1/0", "error: Division by zero."},
        {"1.0/0", "error: Division by zero."},
        {"POCET/(POCET-42)", "error: Division by zero."},
        {"VELKE/(VELKE-VELKE)", "error: Division by zero."},
        {"CENA/0.0", "error: Division by zero."},
        {"RECNO()", "I 7"},
        {"RECNO()+1", "I 8"},
        {"STR(RECNO(),3)", "S '  7'"},
    });
}

TEST_F(ExpressionValues, Dates)
{
    TableParser parser(table.t.defs);
    expectAll(parser, {
        {"DTOS(DATUM)", "S '20200305'"},
        {"DATUM+1", "D 2020-03-06"},
        {"1+DATUM", "D 2020-03-06"},
        {"DATUM+0.5-DATUM", "F 0.5"},
        {"DATUM+VELKE-VELKE", "D 2020-03-05"},
        {"DATUM-DATUM", "F 0"},
        {"DATUM-(DATUM-31)", "error: Argument type mismatch"},
        {"DATUM-1", "error: Argument type mismatch"},
        {"DTOS(DATUM+365)", "S '20210305'"},
        {"DAY(DATUM)", "I 5"},
        {"MONTH(DATUM)", "I 3"},
        {"YEAR(DATUM)", "I 2020"},
        {"CDOW(DATUM)", "S '\xE8t'"},
        {"CDOW(DATUM+3)", "S 'ne'"},
        {"EMPTY(DATUM-DATUM)", "B T"},
        {"DTOS(DATUM+100000000)", "error: Date out of range."},
        {"YEAR(DATUM-DATUM+DATUM)", "I 2020"},
    });
    // DATE() is today's date, fixed when the text is parsed.
    parser.parseExpression("DATE()");
    EXPECT_EQ(parser.resultType(), etDateTime);
    double today = 0;
    std::memcpy(&today, parser.extractFromBuffer(rec.data(), 1), 8);
    EXPECT_GT(today, 43000);   // after 2017
    EXPECT_EQ(today, std::floor(today));
    EXPECT_EQ(test::evaluate(parser, "DATE()-DATE()", rec), "F 0");
}

TEST_F(ExpressionValues, EmptyFieldsAreNull)
{
    TableParser parser(table.t.defs);
    const std::vector<uint8_t> empty = table.emptyRecord();
    const std::vector<Case> cases = {
        {"DTOS(DATUM)", "S '        '"},
        {"YEAR(DATUM)", "I 0"},
        {"DAY(DATUM)", "I 0"},
        {"CDOW(DATUM)", "S '   '"},
        {"EMPTY(DATUM)", "B T"},
        {"EMPTY(NAME)", "B T"},
        {"EMPTY(CENA)", "B T"},
        {"POCET", "I 0 null"},
        {"(POCET)", "I 0 null"},
        {"POCET+POCET", "I 0 null"},
        {"POCET+1", "I 1"},
        {"POCET*1", "I 0"},
        {"CENA-CENA", "F 0 null"},
        {"DATUM", "D 0 null"},
        {"HOTOVO", "B F null"},
        {"NAME+NAME", "S '                    ' null"},
        {"NAME+'x'", "S '          x'"},
        {"UPPER(NAME)", "S '          '"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(test::evaluate(parser, c.text, empty), c.expected) << c.text;
}

TEST_F(ExpressionValues, ResolutionPicksTheFirstFittingWord)
{
    TableParser parser(table.t.defs);
    // CEILING, LEN and VAL have several words that take the same argument:
    // the first registered one decides the type.
    const std::vector<std::pair<const char*, ExpressionType>> cases = {
        {"CEILING(2.1)", etInteger}, {"LEN('abc')", etInteger}, {"VAL('1')", etFloat},
        {"ABS(VELKE)", etFloat},     {"ABS(1)", etInteger},     {"STR(VELKE)", etString},
        {"1+VELKE", etLargeInt},     {"1.0+VELKE", etFloat},    {"DATUM-DATUM", etFloat},
        {"IIF(1=1,1,2)", etInteger}, {"RECNO()", etInteger},    {"+DATUM", etDateTime},
    };
    for (const auto& [text, type] : cases) {
        parser.parseExpression(text);
        EXPECT_EQ(parser.resultType(), type) << text;
    }
}
