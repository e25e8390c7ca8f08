#pragma once
#include <stdexcept>
#include <string>

namespace karto {

// Base of every error the program raises itself. The message is the text the
// user sees, fixed per situation.
class KartoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Errors of the table engine (a table that cannot be opened, read or changed).
class TableError : public KartoError {
public:
    using KartoError::KartoError;
};

// A record, header or append lock held by somebody else: "Record locked.".
// Nothing was written; the caller may try again.
class RecordLockedError : public TableError {
public:
    using TableError::TableError;
};

// What was wrong with a value a field refused, for the caller's own wording.
enum class FieldValueProblem {
    Other,            // the message says it
    ReadOnly,         // the field cannot be modified
    NotANumber,       // value: the text
    NumberTooWide,    // value: the text; the number does not fit the field's width
    TextTooLong,      // value: the text (UTF-8)
    InvalidDate,      // value: the text
    NotLogical,       // value: the text
    NoByteInCodePage, // value: the character (UTF-8)
};

// A value the user typed that a field cannot take (not a number, too long, a
// character the table's code page lacks ...). The record stays in editing.
class FieldValueError : public TableError {
public:
    FieldValueError(const std::string& fieldName, const std::string& message,
                    FieldValueProblem problem = FieldValueProblem::Other, std::string value = {})
        : TableError(message), fieldName_(fieldName), problem_(problem), value_(std::move(value)) {}
    const std::string& fieldName() const { return fieldName_; }
    FieldValueProblem problem() const { return problem_; }
    // The text or character refused (see FieldValueProblem).
    const std::string& value() const { return value_; }

private:
    std::string fieldName_;
    FieldValueProblem problem_;
    std::string value_;
};

// Errors of file input and output below the table engine.
class PagedFileError : public KartoError {
public:
    using KartoError::KartoError;
};

// The file could not be opened (in use elsewhere, no rights): "Cannot open file
// "%s". %s". A temporary switch to exclusive access swallows it.
class FileOpenError : public PagedFileError {
public:
    using PagedFileError::PagedFileError;
};

// An operation that ends silently: the caller stops and shows nothing (for
// example a table whose header names no header or record size).
class AbortError : public KartoError {
public:
    AbortError() : KartoError("Operation aborted") {}
};

} // namespace karto
