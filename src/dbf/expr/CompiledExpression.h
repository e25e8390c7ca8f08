#pragma once
// An expression tree compiled into a flat list of evaluation records, with
// the argument buffers the records read and write.
//
// Compiling (post-order, arguments before the word that uses them):
//  - a word with a routine gets a record; each argument that is itself
//    computed writes into a buffer of its own, and an argument that is a
//    constant or a variable is read where it lies, without copying;
//  - a word without a routine (string "+", unary "+") gets no evaluation of
//    its own: its arguments write one after the other into its destination,
//    which joins texts; a small record then sets the join's null flag;
//  - a constant or variable that has to land in a destination (the root, a
//    part of a join) is copied there by a value-fetch record.
// Running the list allocates nothing unless a text buffer has to grow.

#include <deque>
#include <memory>
#include <vector>

#include "dbf/expr/DynamicType.h"
#include "dbf/expr/ExprTree.h"
#include "dbf/expr/ExpressionRec.h"

namespace karto::expr {

class CompiledExpression {
public:
    // Compiles the resolved tree so that its value ends up in `result`.
    CompiledExpression(const ExprNode& root, DynamicType& result, const ExpressionContext* context);
    CompiledExpression(const CompiledExpression&) = delete;
    CompiledExpression& operator=(const CompiledExpression&) = delete;

    void run()
    {
        for (ExpressionRec& rec : recs_) {
            if (rec.resetDest)
                rec.res->rewind();
            rec.isNull = false;
            rec.oper(rec);
        }
    }
    bool resultIsNull() const { return *resultNull_; }
    size_t stepCount() const { return recs_.size(); }

private:
    struct Source {
        const DynamicType* value;
        const bool* isNull;
        const FieldDef* field;
    };

    Source compile(const ExprNode& node, DynamicType* dest, bool startsBuffer);
    ExpressionRec& newRec(ExprFunc oper, const ExprWord* word, DynamicType* dest, bool startsBuffer);
    DynamicType* newBuffer();

    std::deque<ExpressionRec> recs_;
    std::vector<std::unique_ptr<DynamicType>> buffers_;
    const ExpressionContext* context_;
    const bool* resultNull_ = nullptr;
};

} // namespace karto::expr
