#pragma once
// Field variables: the value of one field of the current record, as the
// expression words read it. Before each evaluation every field variable
// reads its field from the record buffer (refresh).
//
//  - character fields: raw (the default) the field's bytes, full width,
//    trailing zero bytes as spaces, not converted; copied, the bytes without
//    trailing spaces and zero bytes, converted from the table's code page to
//    the system's. Null when the field reads as empty.
//  - numbers, dates and booleans: the decoded value; a field that reads as
//    empty is null and its value 0 (false).

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "dbf/expr/DynamicType.h"
#include "dbf/expr/ExprWord.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/RecordFormat.h"

namespace karto::expr {

class FieldVar {
public:
    virtual ~FieldVar() = default;
    FieldVar(const FieldVar&) = delete;
    FieldVar& operator=(const FieldVar&) = delete;

    const FieldDef& fieldDef() const { return def_; }
    ExpressionType type() const { return word_.resultType(); }
    // The word that stands for the field in expressions.
    Variable* word() { return &word_; }
    const DynamicType& value() const { return value_; }
    bool isNull() const { return isNull_; }

    virtual void refresh(std::span<const uint8_t> record) = 0;

    // The variable for a field, or nullptr when the field's type cannot be
    // one (memo, currency, BCD ...).
    static std::unique_ptr<FieldVar> create(const FieldDef& def, const RecordFormat& format);

protected:
    FieldVar(const FieldDef& def, const RecordFormat& format, ExpressionType type)
        : def_(def), format_(format), word_(def.fieldName(), type, &value_, &isNull_, &def) {}

    const FieldDef& def_;
    const RecordFormat& format_;
    DynamicType value_;
    bool isNull_ = false;
    Variable word_;
};

class StringFieldVar : public FieldVar {
public:
    StringFieldVar(const FieldDef& def, const RecordFormat& format);
    void refresh(std::span<const uint8_t> record) override;

    bool raw() const { return raw_; }
    void setRaw(bool raw) { raw_ = raw; }
    // The code pages a copied text is converted between (0: no conversion).
    void setCodePages(int tableCodePage, int systemCodePage)
    {
        tableCodePage_ = tableCodePage;
        systemCodePage_ = systemCodePage;
    }

private:
    bool raw_ = true;
    int tableCodePage_ = 0;
    int systemCodePage_ = 0;
};

class IntegerFieldVar : public FieldVar {
public:
    IntegerFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etInteger) {}
    void refresh(std::span<const uint8_t> record) override;
};

class LargeIntFieldVar : public FieldVar {
public:
    LargeIntFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etLargeInt) {}
    void refresh(std::span<const uint8_t> record) override;
};

class FloatFieldVar : public FieldVar {
public:
    FloatFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etFloat) {}
    void refresh(std::span<const uint8_t> record) override;
};

class DateTimeFieldVar : public FieldVar {
public:
    DateTimeFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etDateTime) {}
    void refresh(std::span<const uint8_t> record) override;
};

class BooleanFieldVar : public FieldVar {
public:
    BooleanFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etBoolean) {}
    void refresh(std::span<const uint8_t> record) override;
};

} // namespace karto::expr
