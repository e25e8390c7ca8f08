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

// Errors of file input and output below the table engine.
class PagedFileError : public KartoError {
public:
    using KartoError::KartoError;
};

} // namespace karto
