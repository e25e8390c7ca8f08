#pragma once
// Errors raised by the workbook export engine: the document and its writers,
// the ZIP container and the XML text writer.

#include "dbf/Error.h"

namespace karto {

// A workbook that cannot be written as it stands (invalid sheet titles, a
// writer that is not available, a row pushed in the wrong state).
class WorkbookException : public KartoError {
public:
    using KartoError::KartoError;
};

// A file name whose extension no spreadsheet writer is registered for.
class WorkbookFileNameException : public WorkbookException {
public:
    using WorkbookException::WorkbookException;
};

// A failure of the ZIP container writer.
class ZipException : public KartoError {
public:
    using KartoError::KartoError;
};

// A text, element name or attribute name that cannot be written as XML.
class XmlWriterInvalidString : public KartoError {
public:
    using KartoError::KartoError;
};

} // namespace karto
