// The table of built-in words. The order of registration matters: of the
// words of one name, the first whose argument types fit is taken (CEILING
// gives an integer, LEN an integer, VAL a float), and when none fits the
// failure of the last one is reported.
#include "dbf/expr/BuiltinWords.h"

#include "dbf/expr/Routines.h"

namespace karto::expr {

namespace {

using namespace routines;

class Registry {
public:
    explicit Registry(BuiltinWords& words) : words_(words) {}

    Function& function(ExpressList& list, const char* name, const char* shortName, const char* spec, int minArgs,
                       ExpressionType result, ExprFunc routine, const char* description)
    {
        auto word = std::make_unique<Function>(name, shortName, spec, minArgs, result, routine, description);
        Function& f = *word;
        words_.owned.push_back(std::move(word));
        list.add(&f);
        return f;
    }

    // A function taking exactly its spec's arguments.
    Function& fn(const char* name, const char* spec, ExpressionType result, ExprFunc routine, const char* description,
                 const char* shortName = "")
    {
        return function(words_.general, name, shortName, spec, -1, result, routine, description);
    }

    Function& op(ExpressList& list, const char* name, const char* spec, ExpressionType result, ExprFunc routine,
                 int precedence, const char* description)
    {
        return function(list, name, "", spec, -1, result, routine, description).makeOperator(precedence);
    }

    Function& op(const char* name, const char* spec, ExpressionType result, ExprFunc routine, int precedence,
                 const char* description)
    {
        return op(words_.general, name, spec, result, routine, precedence, description);
    }

    template <typename W>
    void punctuation()
    {
        auto word = std::make_unique<W>();
        words_.general.add(word.get());
        words_.owned.push_back(std::move(word));
    }

private:
    BuiltinWords& words_;
};

struct StringCompare {
    const char* name;
    ExprFunc sensitive;
    ExprFunc insensitive;
};

void registerOperators(Registry& r, BuiltinWords& w)
{
    constexpr int arith = kPrecedenceArithmetic;
    constexpr int cmp = kPrecedenceCompare;

    r.op("-@", "I", etInteger, negInteger, kPrecedenceNegate, "Negation");
    r.op("-@", "F", etFloat, negFloat, kPrecedenceNegate, "Negation");
    r.op("-@", "L", etLargeInt, negLargeInt, kPrecedenceNegate, "Negation");

    // Unary plus: the argument passes through.
    r.op("+", "D", etDateTime, nullptr, arith, "Unary plus");
    r.op("+", "F", etFloat, nullptr, arith, "Unary plus");
    r.op("+", "I", etInteger, nullptr, arith, "Unary plus");
    r.op("+", "S", etString, nullptr, arith, "Unary plus");
    r.op("+", "L", etLargeInt, nullptr, arith, "Unary plus");

    // Texts join without a routine: both write into the same destination.
    r.op("+", "SS", etString, nullptr, arith, "Concatenation");
    for (const char* spec : {"FF", "FI", "IF"})
        r.op("+", spec, etFloat, addFloat, arith, "Addition");
    r.op("+", "II", etInteger, addInteger, arith, "Addition");
    for (const char* spec : {"FL", "LF"})
        r.op("+", spec, etFloat, addFloat, arith, "Addition");
    for (const char* spec : {"IL", "LI", "LL"})
        r.op("+", spec, etLargeInt, addLargeInt, arith, "Addition");
    for (const char* spec : {"DF", "DI", "DL", "FD", "ID", "LD"})
        r.op("+", spec, etDateTime, addFloat, arith, "Date plus days");

    for (const char* spec : {"FF", "FI", "IF"})
        r.op("-", spec, etFloat, subFloat, arith, "Subtraction");
    r.op("-", "II", etInteger, subInteger, arith, "Subtraction");
    r.op("-", "DD", etFloat, subFloat, arith, "Days between dates");
    r.op("-", "DL", etDateTime, subFloat, arith, "Date minus days");
    for (const char* spec : {"FL", "LF"})
        r.op("-", spec, etFloat, subFloat, arith, "Subtraction");
    for (const char* spec : {"IL", "LI", "LL"})
        r.op("-", spec, etLargeInt, subLargeInt, arith, "Subtraction");

    for (const char* spec : {"FF", "FI", "IF"})
        r.op("*", spec, etFloat, mulFloat, arith, "Multiplication");
    r.op("*", "II", etInteger, mulInteger, arith, "Multiplication");
    for (const char* spec : {"FL", "LF"})
        r.op("*", spec, etFloat, mulFloat, arith, "Multiplication");
    for (const char* spec : {"IL", "LI", "LL"})
        r.op("*", spec, etLargeInt, mulLargeInt, arith, "Multiplication");

    for (const char* spec : {"FF", "FI", "IF"})
        r.op("/", spec, etFloat, divFloat, arith, "Division");
    r.op("/", "II", etInteger, divInteger, arith, "Division of whole numbers");
    for (const char* spec : {"FL", "LF"})
        r.op("/", spec, etFloat, divFloat, arith, "Division");
    for (const char* spec : {"IL", "LI", "LL"})
        r.op("/", spec, etLargeInt, divLargeInt, arith, "Division of whole numbers");

    const struct {
        const char* name;
        ExprFunc routine;
    } numberCompares[] = {{"=", equalNumbers},      {"<>", unequalNumbers},   {"<", lessNumbers},
                          {">", greaterNumbers},    {"<=", lessEqualNumbers}, {">=", greaterEqualNumbers}};
    for (const auto& c : numberCompares)
        for (const char* spec : {"FF", "FI", "II", "IF", "LL", "LF", "LI", "FL", "IL"})
            r.op(c.name, spec, etBoolean, c.routine, cmp, "Comparison");

    r.op("NOT", "B", etBoolean, logicalNot, kPrecedenceNot, "Logical not");
    r.op("AND", "BB", etBoolean, logicalAnd, kPrecedenceAnd, "Logical and");
    r.op("OR", "BB", etBoolean, logicalOr, kPrecedenceOr, "Logical or");

    // Texts joined with numbers and dates; refused where mixed joins are not
    // allowed.
    for (const char* spec : {"DS", "FS", "IS", "LS", "SD", "SF", "SI", "SL"})
        r.op("+", spec, etString, mixedAdd, arith, "Text joined with a number or date").makeMixedJoin();
    for (const char* spec : {"DS", "FS", "IS", "LS", "SD", "SF", "SI", "SL", "SS"})
        r.op("-", spec, etString, mixedSub, arith, "Texts joined without padding").makeMixedJoin();

    // String comparisons, one list per kind and case mode.
    const StringCompare orders[] = {{"<", lessTextCS, lessTextCI},
                                    {">", greaterTextCS, greaterTextCI},
                                    {"<=", lessEqualTextCS, lessEqualTextCI},
                                    {">=", greaterEqualTextCS, greaterEqualTextCI},
                                    {"<>", unequalTextCS, unequalTextCI}};
    for (const StringCompare& c : orders) {
        r.op(w.compareCI, c.name, "SS", etBoolean, c.insensitive, cmp, "Text comparison");
        r.op(w.compareCS, c.name, "SS", etBoolean, c.sensitive, cmp, "Text comparison");
    }
    r.op(w.exactEqualCI, "=", "SS", etBoolean, equalTextCI, cmp, "Text comparison");
    r.op(w.partialEqualCI, "=", "SS", etBoolean, partialMatchCI, cmp, "Text pattern match");
    r.op(w.exactEqualCS, "=", "SS", etBoolean, equalTextCS, cmp, "Text comparison");
    r.op(w.partialEqualCS, "=", "SS", etBoolean, partialMatchCS, cmp, "Text pattern match");
}

void registerFunctions(Registry& r, BuiltinWords& w)
{
    const char* strHelp = "Number as text: STR(value[, width[, decimals[, fill]]])";
    r.function(w.general, "STR", "", "FIIS", 1, etString, strFunction, strHelp);
    r.function(w.general, "STR", "", "IIIS", 1, etString, strFunction, strHelp);
    r.function(w.general, "STR", "", "LIIS", 1, etString, strFunction, strHelp);
    r.fn("DTOS", "D", etString, dtosFunction, "Date as YYYYMMDD");
    r.fn("SUBSTR", "SII", etString, substrFunction, "Part of a text", "SUBS");
    r.fn("SUBSTR", "SI", etString, substrFunction, "Rest of a text", "SUBS");
    r.fn("LEFT", "SI", etString, leftFunction, "First characters of a text", "LEFT");
    r.fn("UPPERCASE", "S", etString, upperFunction, "Text in capitals", "UPPER");
    r.fn("LOWERCASE", "S", etString, lowerFunction, "Text in small letters", "LOWER");
    r.fn("ABS", "I", etInteger, absInteger, "Absolute value");
    r.fn("ABS", "F", etFloat, absFloat, "Absolute value");
    r.fn("ABS", "L", etFloat, absLargeInt, "Absolute value");
    r.fn("ASC", "S", etInteger, ascFunction, "Code of the first character");
    r.fn("CDOW", "D", etString, cdowFunction, "Day of the week");
    r.fn("CEILING", "F", etInteger, ceilInteger, "Smallest whole number not below", "CEIL");
    r.fn("CEILING", "F", etFloat, ceilFloat, "Smallest whole number not below", "CEIL");
    r.fn("CHR", "I", etString, chrFunction, "Character of a code");
    r.fn("DATE", "", etDateTime, dateFunction, "Today's date");
    r.fn("DAY", "D", etInteger, dayFunction, "Day of the month");
    r.fn("MONTH", "D", etInteger, monthFunction, "Month");
    r.fn("YEAR", "D", etInteger, yearFunction, "Year");
    for (const char* spec : {"D", "F", "I", "L", "S"})
        r.fn("EMPTY", spec, etBoolean, emptyFunction, "Whether the value is empty");
    r.fn("IIF", "BSS", etString, iifString, "One of two values by a condition");
    r.fn("IIF", "BFF", etFloat, iifFloat, "One of two values by a condition");
    r.fn("IIF", "BII", etInteger, iifInteger, "One of two values by a condition");
    r.fn("LEN", "S", etInteger, lenInteger, "Length of a text");
    r.fn("LEN", "S", etLargeInt, lenLargeInt, "Length of a text");
    r.fn("LEN", "S", etFloat, lenFloat, "Length of a text");
    r.fn("LTRIM", "S", etString, ltrimFunction, "Text without leading blanks");
    r.fn("RTRIM", "S", etString, rtrimFunction, "Text without trailing blanks");
    r.fn("TRIM", "S", etString, rtrimFunction, "Text without trailing blanks");
    r.fn("PROPER", "S", etString, properFunction, "Words with a capital first letter");
    r.fn("RIGHT", "SI", etString, rightFunction, "Last characters of a text");
    r.fn("ROUND", "FI", etFloat, roundByInteger, "Rounded to decimals");
    r.fn("ROUND", "FF", etFloat, roundByFloat, "Rounded to decimals");
    r.fn("SOUNDEX", "S", etString, soundexFunction, "Sound code of a word");
    r.fn("VAL", "S", etFloat, valFloat, "Number read from a text");
    r.fn("VAL", "S", etInteger, valInteger, "Number read from a text");
    r.fn("VAL", "S", etLargeInt, valLargeInt, "Number read from a text");
}

std::unique_ptr<BuiltinWords> buildWords()
{
    auto words = std::make_unique<BuiltinWords>();
    Registry r(*words);
    r.punctuation<LeftBracket>();
    r.punctuation<RightBracket>();
    r.punctuation<Comma>();
    registerOperators(r, *words);
    registerFunctions(r, *words);
    auto recNo = std::make_unique<VaryingFunction>("RECNO", "", "", 0, etInteger, recNoFunction, "Record number");
    words->recNo = recNo.get();
    words->owned.push_back(std::move(recNo));
    return words;
}

} // namespace

const BuiltinWords& builtinWords()
{
    static const std::unique_ptr<BuiltinWords> words = buildWords();
    return *words;
}

} // namespace karto::expr
