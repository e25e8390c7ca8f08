#pragma once
// One step of a compiled expression: a routine, the buffers it reads its
// arguments from and the buffer it writes its result to.
//
// An expression compiles into a flat list of these records in post-order
// (arguments before the word that uses them). Running the list in order
// leaves the result in the root's destination. A record that begins a value
// rewinds its destination first; the records of a string join write one
// after the other into the same destination.

#include <cstdint>
#include <string_view>

#include "dbf/expr/DynamicType.h"
#include "dbf/expr/ExpressionType.h"

namespace karto {
class FieldDef;
}

namespace karto::expr {

class ExprWord;
struct ExpressionRec;

inline constexpr int kMaxArgs = 6;

// Evaluation routine: reads rec.args, writes at rec.res's write position and
// may set rec.isNull.
using ExprFunc = void (*)(ExpressionRec& rec);

// What the index code tells the expressions it evaluates.
struct ExpressionContext {
    // Set while a key expression is checked (its key length found): the
    // trimming functions keep their text, CHR gives a space and a mixed "-"
    // pads its operands like "+".
    bool validatingIndex = false;
    // The table's language driver id.
    int dbfLangId = 0;
};

struct ExpressionRec {
    ExprFunc oper = nullptr;
    DynamicType* res = nullptr;
    const ExprWord* exprWord = nullptr;
    // Rewind the destination before the routine runs.
    bool resetDest = false;
    // The word was written with brackets.
    bool wantsFunction = false;
    int argCount = 0;
    const DynamicType* args[kMaxArgs] = {};
    const bool* argNull[kMaxArgs] = {};
    ExpressionType argsType[kMaxArgs] = {etUnknown, etUnknown, etUnknown, etUnknown, etUnknown, etUnknown};
    // The field of an argument that is a field variable (mixed joins use its
    // width), otherwise null.
    const FieldDef* argField[kMaxArgs] = {};
    bool isNull = false;
    const ExpressionContext* context = nullptr;

    // Argument values.
    int32_t intArg(int i) const { return args[i]->get<int32_t>(); }
    int64_t largeArg(int i) const { return args[i]->get<int64_t>(); }
    double floatArg(int i) const { return args[i]->get<double>(); }
    bool boolArg(int i) const { return args[i]->data()[0] != 0; }
    std::string_view textArg(int i) const { return args[i]->text(); }
    bool nullArg(int i) const { return *argNull[i]; }
    // Any whole or floating argument as a double / any whole one in 64 bits.
    double numberArg(int i) const
    {
        switch (argsType[i]) {
        case etInteger:
            return intArg(i);
        case etLargeInt:
            return static_cast<double>(largeArg(i));
        default:
            return floatArg(i);
        }
    }
    int64_t wholeArg(int i) const { return argsType[i] == etInteger ? intArg(i) : largeArg(i); }
};

} // namespace karto::expr
