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

// A value the user typed that a field cannot take (not a number, too long, a
// character the table's code page lacks ...). The record stays in editing.
class FieldValueError : public TableError {
public:
    FieldValueError(const std::string& fieldName, const std::string& message)
        : TableError(message), fieldName_(fieldName) {}
    const std::string& fieldName() const { return fieldName_; }

private:
    std::string fieldName_;
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
