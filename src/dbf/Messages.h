#pragma once
// The table engine's message texts. They are fixed, in English, and shown to
// the user as they stand in an error box; the formatting helpers fill in the
// file or field names and numbers.
#include <string>

namespace karto::msg {

inline constexpr const char* kRecordLocked = "Record locked.";
inline constexpr const char* kReadError = "Error while reading occured.";
inline constexpr const char* kWriteError = "Error while writing occurred. (Disk full?)";
inline constexpr const char* kIndexCorrupted =
    "Error while writing occurred; indexes probably corrupted. (Disk full?)";
inline constexpr const char* kInvalidDbfFile = "Invalid DBF file.";
inline constexpr const char* kInvalidMdxFile = "Invalid MDX file.";
inline constexpr const char* kInvalidIndexType = "Invalid index type: can only be string or float.";
inline constexpr const char* kTooManyIndexes = "Can not create index: too many indexes in file.";
inline constexpr const char* kIndexLanguageMismatch =
    "The index file's language driver differs from the table's.";
inline constexpr const char* kIndexCollationNotAvailable =
    "The collation of the index file is not available.";
inline constexpr const char* kNoProductionIndex = "The table has no production index.";
inline constexpr const char* kNeedExclusiveAccess = "Exclusive access is required for this operation.";
inline constexpr const char* kReadOnlyDataset = "Cannot modify a read-only dataset";
inline constexpr const char* kNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* kEmptyDataset = "Cannot perform this operation on an empty dataset";
inline constexpr const char* kMemoFileMissing = "Cannot write memo: the memo file is missing.";
inline constexpr const char* kMemoBlockTooSmall = "Cannot write memo: the memo file's block size is below 16.";

// Open: file not found: "NAME".
std::string fileNotFound(const std::string& fileName);
// Cannot open file "NAME". REASON
std::string cannotOpenFile(const std::string& fileName, const std::string& reason);
// Key violation. (Key already present in file).<CR><LF>Index: NAME<CR><LF>Record=N Key='KEY'.
std::string keyViolation(const std::string& indexName, int recNo, const std::string& key);
// Invalid field count: N (must be between 1 and 4095).
std::string invalidFieldCount(int count);
// Invalid field type 'TYPE' for field 'NAME'.
std::string invalidFieldType(const std::string& type, const std::string& fieldName);
// Cannot create field "NAME", field type HEX not supported by DBF.
std::string cannotCreateField(const std::string& fieldName, int fieldType);
// Unknown field "NAME".
std::string unknownField(const std::string& fieldName);
// Invalid field type for field 'NAME'.
std::string invalidFieldTypeFor(const std::string& fieldName);
// Index result for "EXPR" too long, >100 characters (N).
std::string indexResultTooLong(const std::string& expression, int length);
// Invalid index name "NAME".
std::string invalidIndexName(const std::string& name);
// Field 'NAME' cannot be modified
std::string fieldCannotBeModified(const std::string& fieldName);
// Index "NAME" does not exist.
std::string indexDoesNotExist(const std::string& indexName);

// Creating a table.
inline constexpr const char* kNoFields = "Cannot create a table without fields.";
// Table "PATH" already exists.
std::string tableExists(const std::string& path);
// Invalid field name "NAME".
std::string invalidFieldName(const std::string& fieldName);
// Field name "NAME" is used twice.
std::string duplicateFieldName(const std::string& fieldName);
// Invalid size N.D for field 'NAME'.
std::string invalidFieldSize(const std::string& fieldName, int size, int decimals);
// Record length N is above 65535 bytes.
std::string recordTooLong(int length);
// Header length N is above 65535 bytes.
std::string headerTooLong(int length);
// Cannot create a table of level N.
std::string cannotCreateLevel(int level);
// Invalid memo block size N.
std::string invalidMemoBlockSize(int size);
// Cannot create file "NAME". REASON
std::string cannotCreateFile(const std::string& fileName, const std::string& reason);

} // namespace karto::msg
