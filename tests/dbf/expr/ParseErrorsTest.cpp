// The parser's error messages, each with a text that causes it, and what a
// failed parse leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExprTestSupport.h"
#include "dbf/expr/ExprWord.h"
#include "dbf/expr/TableParser.h"

using namespace karto;
using namespace karto::expr;
using test::ExprTable;

namespace {

struct ErrorCase {
    std::string text;
    std::string message;
};

std::string parseError(TableParser& parser, const std::string& text)
{
    try {
        parser.parseExpression(text);
    } catch (const InvalidIndexError& e) {
        return std::string("index: ") + e.what();
    } catch (const ParserError& e) {
        return e.what();
    }
    return "parsed";
}

const std::vector<ErrorCase>& errorCases()
{
    static const std::vector<ErrorCase> cases = {
        {"(1+2", "Unequal brackets"},
        {"1+2)", "Unequal brackets"},
        {"(XYZ 1 2", "Unequal brackets"},   // before anything else
        {")+(", "Missing closing bracket"},
        {"1 2", "Missing operator between '1' and '2'"},
        {"NAME 'x y'", "Missing operator between 'NAME' and 'x y'"},
        {"1.50 POCET", "Missing operator between '1.50' and 'POCET'"},
        {"(1)(2)", "Missing operator between )("},
        {"(1) 2", "Missing operator between ) and constant/variable"},
        {"UPPER(NAME) NAME", "Missing operator between ) and constant/variable"},
        {"NAME(1)", "Missing operator between constant/variable and ("},
        {"NAME()", "Missing operator between constant/variable and ("},
        {"'a'(1)", "Missing operator between constant/variable and ("},
        {"()", "Empty parentheses"},
        {"1+()", "Empty parentheses"},
        {"UPPER(())", "Empty parentheses"},
        {"1,2", "Operator/function missing"},
        {"UPPER(NAME) UPPER(NAME)", "Operator/function missing"},
        {"DTOS DATUM", "Operator/function missing"},
        {"STR()", "Function or operand has too few arguments"},
        {"SUBSTR('abc')", "Function or operand has too few arguments"},
        {"IIF(1=1,'a')", "Function or operand has too few arguments"},
        {"2+", "Function or operand has too few arguments"},
        {"2*", "Function or operand has too few arguments"},
        {"UPPER('a',)", "Function or operand has too few arguments"},
        {"- -2", "Function or operand has too few arguments"},
        {"UPPER(1)", "Argument type mismatch"},
        {"SUBSTR('abc','b')", "Argument type mismatch"},
        {"'a'+1", "Argument type mismatch"},
        {"NAME+POCET", "Argument type mismatch"},
        {"'a'-'b'", "Argument type mismatch"},
        {"DATUM-1", "Argument type mismatch"},
        {"'a'=1", "Argument type mismatch"},
        {"NOT 1", "Argument type mismatch"},
        {"1 AND 2", "Argument type mismatch"},
        {"UPPER('a','b')", "Function or operand has too many arguments"},
        {"SUBSTR('abc',1,2,3)", "Function or operand has too many arguments"},
        {"DATE(1)", "Function or operand has too many arguments"},
        // Too many for the integer STR, but the last STR word tried (large
        // integer) reports its own failure.
        {"STR(1,2,3,'x',5,6,7)", "Argument type mismatch"},
        {"XYZ", "Unknown field \"XYZ\"."},
        {"XYZ+1", "Unknown field \"XYZ\"."},
        {"1+xyz_2", "Unknown field \"xyz_2\"."},
        {"DATE", "Unknown field \"DATE\"."},
        {"UPPER", "Unknown field \"UPPER\"."},
        {"RECNO", "Unknown field \"RECNO\"."},
        {"1E5", "Unknown field \"E5\"."},
        {"1 # 2", "Unknown field \"#\"."},
        {"1 == 2", "Unknown field \"==\"."},
        {"POZN", "Invalid field type for field 'POZN'."},
        {"LEN(POZN)", "Invalid field type for field 'POZN'."},
        {"1e5", "'1e5' is not a valid integer value"},
        {"3000000000", "'3000000000' is not a valid integer value"},
        {"$123456789", "'$123456789' is not a valid integer value"},
        {"1.5e", "'1.5e' is not a valid floating point value"},
        {"1.0e999", "'1.0e999' is not a valid floating point value"},
        {"1/0", "Division by zero."},   // a constant part is computed at once
        {"ROUND(1.5,30)", "ROUND digits must lie between -20 and 20."},
        {"STR(1,100000)", "Expression result too long."},
        {std::string(4097, '1'), "Expression too long (more than 4096 characters)."},
    };
    return cases;
}

} // namespace

TEST(ParseErrors, EachMessage)
{
    ExprTable table;
    TableParser parser(table.t.defs);
    for (const ErrorCase& c : errorCases())
        EXPECT_EQ(parseError(parser, c.text), c.message) << c.text.substr(0, 60);
}

TEST(ParseErrors, IndexKeyParserRaisesInvalidIndexError)
{
    ExprTable table;
    IndexKeyParser parser(table.t.defs);
    for (const ErrorCase& c : errorCases()) {
        if (c.text == "'a'+1" || c.text == "NAME+POCET" || c.text == "'a'-'b'")
            continue;   // mixed joins are keys
        EXPECT_EQ(parseError(parser, c.text), "index: " + c.message) << c.text.substr(0, 60);
    }
}

TEST(ParseErrors, NothingRemainsOfAFailedParse)
{
    ExprTable table;
    TableParser parser(table.t.defs);
    parser.parseExpression("UPPER(NAME)");
    EXPECT_EQ(parser.resultType(), etString);
    EXPECT_THROW(parser.parseExpression("UPPER(NAME"), ParserError);
    EXPECT_EQ(parser.resultType(), etUnknown);
    EXPECT_EQ(parser.resultLen(), -1);
    EXPECT_FALSE(parser.isExpression());
    EXPECT_EQ(parser.currentExpression(), "");
    EXPECT_EQ(parser.dbfFieldDef(), nullptr);
    bool isNull = false;
    const std::vector<uint8_t> rec = table.emptyRecord();
    EXPECT_NE(parser.extractFromBuffer(rec.data(), 1, &isNull), nullptr);
    EXPECT_TRUE(isNull);
    // The parser works on afterwards, with new field variables.
    EXPECT_EQ(test::evaluate(parser, "LEN(NAZEV)", rec), "I 20");
}

TEST(ParseErrors, NestingAndLength)
{
    ExprTable table;
    TableParser parser(table.t.defs);
    const std::vector<uint8_t> rec = table.emptyRecord();
    std::string chain = "1";
    for (int i = 0; i < 600; ++i)
        chain += "+1";
    EXPECT_EQ(parseError(parser, chain), "Expression nested too deeply.");
    const std::string calls = [] {
        std::string c = "1";
        for (int i = 0; i < 600; ++i)
            c = "ABS(" + c + ")";
        return c;
    }();
    EXPECT_EQ(parseError(parser, calls), "Expression nested too deeply.");
    // Brackets alone add no depth; 2000 levels of them are one constant.
    const std::string deep = std::string(2000, '(') + "1" + std::string(2000, ')');
    EXPECT_EQ(test::evaluate(parser, deep, rec), "I 1");
    std::string shortChain = "1";
    for (int i = 0; i < 400; ++i)
        shortChain += "+1";
    EXPECT_EQ(test::evaluate(parser, shortChain, rec), "I 401");
    EXPECT_EQ(test::evaluate(parser, std::string(4000, ' ') + "7" + std::string(4000, ' '), rec), "I 7");
}

TEST(ParseErrors, FunctionWordWithMoreThanSixArguments)
{
    EXPECT_NO_THROW(Function("F", "", "IIIIII", -1, etInteger, nullptr, ""));
    try {
        Function("F", "", "IIIIIII", -1, etInteger, nullptr, "");
        FAIL();
    } catch (const ParserError& e) {
        EXPECT_STREQ(e.what(), "Too many arguments");
    }
}
