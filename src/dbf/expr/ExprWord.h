#pragma once
// The words an expression is made of: functions and operators, constants,
// variables and the punctuation "(", ")" and ",".
//
// A function word stands for one argument combination of a name ("+" for two
// integers is one word, "+" for two floats another): its type spec has one
// letter per argument (I integer, S string, B boolean, L large integer,
// F float, D date). Constants own their value; variables point at a value
// that lives elsewhere (a field variable, the record number).

#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/expr/DynamicType.h"
#include "dbf/expr/ExpressionRec.h"
#include "dbf/expr/ExpressionType.h"

namespace karto {
class FieldDef;
}

namespace karto::expr {

enum class WordKind { Function, Constant, Variable, LeftBracket, RightBracket, Comma };

class ExprWord {
public:
    ExprWord(std::string name, WordKind kind, ExpressionType resultType)
        : name_(std::move(name)), kind_(kind), resultType_(resultType) {}
    virtual ~ExprWord() = default;
    ExprWord(const ExprWord&) = delete;
    ExprWord& operator=(const ExprWord&) = delete;

    const std::string& name() const { return name_; }
    WordKind kind() const { return kind_; }
    ExpressionType resultType() const { return resultType_; }
    bool isOperand() const { return kind_ == WordKind::Constant || kind_ == WordKind::Variable; }

    // Constants and variables: where their value lies and their null flag.
    virtual const DynamicType* valueBuffer() const { return nullptr; }
    virtual const bool* isNullPtr() const { return nullptr; }
    // A field variable's field.
    virtual const FieldDef* fieldDef() const { return nullptr; }

private:
    std::string name_;
    WordKind kind_;
    ExpressionType resultType_;
};

// A function or an operator, for one combination of argument types.
class Function : public ExprWord {
public:
    // typeSpec: one letter per argument, at most 6 (ParserError "Too many
    // arguments" otherwise). minArgs < 0: the spec's length.
    Function(std::string name, std::string shortName, std::string typeSpec, int minArgs,
             ExpressionType resultType, ExprFunc routine, std::string description);

    const std::string& shortName() const { return shortName_; }
    const std::string& typeSpec() const { return typeSpec_; }
    int minArgs() const { return minArgs_; }
    int maxArgs() const { return static_cast<int>(typeSpec_.size()); }
    // The evaluation routine; none for the words that only pass their
    // arguments on (string "+" and the unary "+").
    ExprFunc routine() const { return routine_; }
    const std::string& description() const { return description_; }

    bool isOperator() const { return isOperator_; }
    // Higher numbers bind more loosely.
    int precedence() const { return precedence_; }
    Function& makeOperator(int precedence)
    {
        isOperator_ = true;
        precedence_ = precedence;
        return *this;
    }

    // Strings joined with numbers or dates: only parsers that allow them
    // accept the word.
    bool isMixedJoin() const { return mixedJoin_; }
    Function& makeMixedJoin()
    {
        mixedJoin_ = true;
        return *this;
    }

    // Whether the value may change from record to record by itself (RECNO).
    virtual bool isVarying() const { return false; }

private:
    std::string shortName_;
    std::string typeSpec_;
    int minArgs_;
    ExprFunc routine_;
    std::string description_;
    bool isOperator_ = false;
    int precedence_ = 0;
    bool mixedJoin_ = false;
};

class VaryingFunction : public Function {
public:
    using Function::Function;
    bool isVarying() const override { return true; }
};

// Constants: the value is kept in the word.
class Constant : public ExprWord {
public:
    const DynamicType* valueBuffer() const override { return &value_; }
    const bool* isNullPtr() const override { return &isNull_; }

protected:
    Constant(std::string name, ExpressionType type) : ExprWord(std::move(name), WordKind::Constant, type) {}
    DynamicType value_;
    bool isNull_ = false;
};

class IntegerConstant : public Constant {
public:
    IntegerConstant(std::string name, int32_t value) : Constant(std::move(name), etInteger) { value_.put(value); }
};

class LargeIntConstant : public Constant {
public:
    LargeIntConstant(std::string name, int64_t value) : Constant(std::move(name), etLargeInt) { value_.put(value); }
};

class FloatConstant : public Constant {
public:
    FloatConstant(std::string name, double value) : Constant(std::move(name), etFloat) { value_.put(value); }
};

class DateTimeConstant : public Constant {
public:
    DateTimeConstant(std::string name, double value) : Constant(std::move(name), etDateTime) { value_.put(value); }
};

class BooleanConstant : public Constant {
public:
    BooleanConstant(std::string name, bool value) : Constant(std::move(name), etBoolean)
    {
        value_.put(static_cast<uint8_t>(value ? 1 : 0));
    }
};

class StringConstant : public Constant {
public:
    // The name is the text itself.
    explicit StringConstant(std::string_view text) : Constant(std::string(text), etString) { value_.append(text); }
};

// A value that lives outside the parser.
class Variable : public ExprWord {
public:
    Variable(std::string name, ExpressionType type, const DynamicType* value, const bool* isNull,
             const FieldDef* field = nullptr)
        : ExprWord(std::move(name), WordKind::Variable, type), value_(value), isNull_(isNull), field_(field) {}

    const DynamicType* valueBuffer() const override { return value_; }
    const bool* isNullPtr() const override { return isNull_; }
    const FieldDef* fieldDef() const override { return field_; }

private:
    const DynamicType* value_;
    const bool* isNull_;
    const FieldDef* field_;
};

// The record number passed to the evaluation (what RECNO() gives).
class RecNoVariable : public Variable {
public:
    RecNoVariable() : Variable("RECNO", etInteger, &storage_, &isNull_) { set(0); }
    void set(int32_t recNo)
    {
        storage_.rewind();
        storage_.put(recNo);
    }

private:
    DynamicType storage_;
    bool isNull_ = false;
};

class LeftBracket : public ExprWord {
public:
    LeftBracket() : ExprWord("(", WordKind::LeftBracket, etLeftBracket) {}
};

class RightBracket : public ExprWord {
public:
    RightBracket() : ExprWord(")", WordKind::RightBracket, etRightBracket) {}
};

class Comma : public ExprWord {
public:
    Comma() : ExprWord(",", WordKind::Comma, etComma) {}
};

// The letter of a type in type specs, and back (etUnknown for none).
char typeLetter(ExpressionType type);
ExpressionType typeOfLetter(char letter);

} // namespace karto::expr
