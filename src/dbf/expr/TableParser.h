#pragma once
// dBase expressions over the fields of a table's records: the key
// expressions of index tags and filter expressions.
//
// How to use it
// -------------
//     TableParser parser(table.fieldDefs());          // the table's fields
//     parser.parseExpression("UPPER(NAME)+DTOS(DATUM)");  // ParserError
//     bool isNull = false;
//     const char* r = parser.extractFromBuffer(record, recNo, &isNull);
//     switch (parser.resultType()) { case etString: ... }
//
//  - parseExpression() compiles the text once; extractFromBuffer() then
//    evaluates it for any number of records without allocating (unless a
//    string buffer has to grow). The result lies in the parser's buffer in
//    the binary form of its type (ExpressionType.h) and is overwritten by the
//    next evaluation: callers copy what they keep.
//  - A text that is exactly one field's name is that field alone: the result
//    points at the field's bytes in the record (character fields, the full
//    width, not zero-terminated) or at its decoded value.
//  - Parse errors raise ParserError with the catalogue's texts; nothing of
//    the failed expression remains. Run-time errors (whole-number division
//    by zero, ROUND digits outside -20..20) raise ExpressionError.
//  - The field definitions must outlive the parser and must not change
//    while it holds an expression.

#include <cstdint>
#include <memory>
#include <string>

#include "dbf/Error.h"
#include "dbf/expr/ExpressionType.h"

namespace karto {
class FieldDef;
class FieldDefs;
}

namespace karto::expr {

// A text that is not a valid expression (the parser's messages).
class ParserError : public TableError {
public:
    using TableError::TableError;
};

// An index tag's key expression that cannot be used (a parse error raised by
// the key parser, or a key longer than 100 characters).
class InvalidIndexError : public ParserError {
public:
    using ParserError::ParserError;
};

// A failure while evaluating a valid expression on a record (division of
// whole numbers by zero, ROUND digits out of range, a value beyond reason).
class ExpressionError : public TableError {
public:
    using TableError::TableError;
};

class TableParser {
public:
    explicit TableParser(const FieldDefs& fields);
    virtual ~TableParser();
    TableParser(const TableParser&) = delete;
    TableParser& operator=(const TableParser&) = delete;

    // Clears the previous expression, then compiles text (or takes the one
    // field it names). Remembers the text as the current expression.
    void parseExpression(const std::string& text);
    // Frees the compiled expression; resultType() becomes etUnknown.
    void clearExpressions();

    // Evaluates on a raw record (deletion flag first, the table's record
    // length) numbered recNo. See the header comment for the result.
    const char* extractFromBuffer(const uint8_t* record, int32_t recNo, bool* isNull = nullptr);

    ExpressionType resultType() const;
    // etInteger 4, etBoolean 1, etFloat and etDateTime 8, etLargeInt 8;
    // etString: the field's size for a single character field read raw,
    // otherwise -1; etUnknown -1.
    int resultLen() const;
    // The single field of a one-field expression, or the field whose
    // variable is the expression's last step; otherwise nullptr.
    const FieldDef* dbfFieldDef() const;
    // Whether the current text is a real expression (not one field's name).
    bool isExpression() const;
    const std::string& currentExpression() const;

    // String comparisons: ASCII case folding (default true); "=" as the
    // partial match with "*" patterns (default false). Changing either
    // parses the current text again.
    bool caseInsensitive() const;
    void setCaseInsensitive(bool on);
    bool partialMatch() const;
    void setPartialMatch(bool on);
    // Character fields as their raw bytes, full width, not converted
    // (default true), or trimmed and converted to the system code page.
    bool rawStringFields() const;
    void setRawStringFields(bool on);
    // The table's code page, which copied character fields are converted
    // from (0, the default: not converted).
    void setTableCodePage(int codePage);
    // The table's language driver id, kept for the expressions' context.
    void setDbfLangId(int langId);

protected:
    // The key parser allows strings joined with numbers and dates.
    void setAllowMixedJoins(bool on);
    // Set while a key expression is checked: TRIM and its kin keep their
    // text, CHR gives a space, mixed "-" pads like "+".
    void setValidatingIndex(bool on);
    // Raises the parser's errors as InvalidIndexError.
    void setRaisesIndexErrors(bool on);
    // The length of the text the expression gives on the table's empty
    // record while validating; raises what the evaluation raises.
    int emptyRecordTextLength();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The key expression of one index tag: case-sensitive, mixed joins allowed,
// errors raised as InvalidIndexError, and the key length fixed after every
// parse.
class IndexKeyParser : public TableParser {
public:
    explicit IndexKeyParser(const FieldDefs& fields);

    // Parses and fixes keyLength(): resultLen(), or for a string expression
    // the length of its text on the empty record. A key longer than 100
    // raises "Index result for \"%s\" too long, >100 characters (%d).".
    void parseExpression(const std::string& text);
    int keyLength() const { return keyLength_; }

private:
    int keyLength_ = 0;
};

} // namespace karto::expr
