#include "dbf/expr/CompiledExpression.h"

#include "dbf/expr/Routines.h"

namespace karto::expr {

CompiledExpression::CompiledExpression(const ExprNode& root, DynamicType& result, const ExpressionContext* context)
    : context_(context)
{
    resultNull_ = compile(root, &result, true).isNull;
}

DynamicType* CompiledExpression::newBuffer()
{
    buffers_.push_back(std::make_unique<DynamicType>());
    return buffers_.back().get();
}

ExpressionRec& CompiledExpression::newRec(ExprFunc oper, const ExprWord* word, DynamicType* dest, bool startsBuffer)
{
    ExpressionRec& rec = recs_.emplace_back();
    rec.oper = oper;
    rec.exprWord = word;
    rec.res = dest;
    rec.resetDest = startsBuffer;
    rec.context = context_;
    return rec;
}

CompiledExpression::Source CompiledExpression::compile(const ExprNode& node, DynamicType* dest, bool startsBuffer)
{
    const ExprWord* word = node.word;
    if (word->isOperand()) {
        const Source own{word->valueBuffer(), word->isNullPtr(), word->fieldDef()};
        if (!dest)
            return own;
        ExpressionRec& rec = newRec(routines::copyValue, word, dest, startsBuffer);
        rec.argCount = 1;
        rec.args[0] = own.value;
        rec.argNull[0] = own.isNull;
        rec.argsType[0] = word->resultType();
        rec.argField[0] = own.field;
        return {dest, &rec.isNull, own.field};
    }

    const auto* function = static_cast<const Function*>(word);
    if (!dest) {
        dest = newBuffer();
        startsBuffer = true;
    }
    const int argCount = static_cast<int>(node.args.size());
    Source sources[kMaxArgs] = {};

    if (function->routine()) {
        for (int i = 0; i < argCount; ++i) {
            const ExprNode& arg = *node.args[static_cast<size_t>(i)];
            sources[i] = arg.word->isOperand() ? compile(arg, nullptr, false) : compile(arg, newBuffer(), true);
        }
        ExpressionRec& rec = newRec(function->routine(), word, dest, startsBuffer);
        rec.wantsFunction = node.withBrackets;
        rec.argCount = argCount;
        for (int i = 0; i < argCount; ++i) {
            rec.args[i] = sources[i].value;
            rec.argNull[i] = sources[i].isNull;
            rec.argsType[i] = node.args[static_cast<size_t>(i)]->type();
            rec.argField[i] = sources[i].field;
        }
        return {dest, &rec.isNull, nullptr};
    }

    // No routine: the arguments write into this destination in turn.
    for (int i = 0; i < argCount; ++i)
        sources[i] = compile(*node.args[static_cast<size_t>(i)], dest, startsBuffer && i == 0);
    if (argCount == 1)
        return {dest, sources[0].isNull, sources[0].field};
    ExpressionRec& rec = newRec(routines::joinNull, word, dest, false);
    rec.argCount = argCount;
    for (int i = 0; i < argCount; ++i) {
        rec.args[i] = dest;
        rec.argNull[i] = sources[i].isNull;
        rec.argsType[i] = node.args[static_cast<size_t>(i)]->type();
    }
    return {dest, &rec.isNull, nullptr};
}

} // namespace karto::expr
