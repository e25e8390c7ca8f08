#include "dbf/Messages.h"

#include <cstdio>

namespace karto::msg {

std::string fileNotFound(const std::string& fileName)
{
    return "Open: file not found: \"" + fileName + "\".";
}

std::string cannotOpenFile(const std::string& fileName, const std::string& reason)
{
    return "Cannot open file \"" + fileName + "\". " + reason;
}

std::string invalidIndexName(const std::string& name)
{
    return "Invalid index name \"" + name + "\".";
}

std::string fieldCannotBeModified(const std::string& fieldName)
{
    return "Field '" + fieldName + "' cannot be modified";
}

std::string keyViolation(const std::string& indexName, int recNo, const std::string& key)
{
    return "Key violation. (Key already present in file).\r\nIndex: " + indexName +
           "\r\nRecord=" + std::to_string(recNo) + " Key='" + key + "'.";
}

std::string invalidFieldCount(int count)
{
    return "Invalid field count: " + std::to_string(count) + " (must be between 1 and 4095).";
}

std::string invalidFieldType(const std::string& type, const std::string& fieldName)
{
    return "Invalid field type '" + type + "' for field '" + fieldName + "'.";
}

std::string cannotCreateField(const std::string& fieldName, int fieldType)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(fieldType));
    return "Cannot create field \"" + fieldName + "\", field type " + hex +
           " not supported by DBF.";
}

std::string unknownField(const std::string& fieldName)
{
    return "Unknown field \"" + fieldName + "\".";
}

std::string invalidFieldTypeFor(const std::string& fieldName)
{
    return "Invalid field type for field '" + fieldName + "'.";
}

std::string indexResultTooLong(const std::string& expression, int length)
{
    return "Index result for \"" + expression + "\" too long, >100 characters (" +
           std::to_string(length) + ").";
}

std::string indexDoesNotExist(const std::string& indexName)
{
    return "Index \"" + indexName + "\" does not exist.";
}

std::string tableExists(const std::string& path)
{
    return "Table \"" + path + "\" already exists.";
}

std::string invalidFieldName(const std::string& fieldName)
{
    return "Invalid field name \"" + fieldName + "\".";
}

std::string duplicateFieldName(const std::string& fieldName)
{
    return "Field name \"" + fieldName + "\" is used twice.";
}

std::string invalidFieldSize(const std::string& fieldName, int size, int decimals)
{
    return "Invalid size " + std::to_string(size) + "." + std::to_string(decimals) + " for field '" +
           fieldName + "'.";
}

std::string recordTooLong(int length)
{
    return "Record length " + std::to_string(length) + " is above 65535 bytes.";
}

std::string headerTooLong(int length)
{
    return "Header length " + std::to_string(length) + " is above 65535 bytes.";
}

std::string cannotCreateLevel(int level)
{
    return "Cannot create a table of level " + std::to_string(level) + ".";
}

std::string invalidMemoBlockSize(int size)
{
    return "Invalid memo block size " + std::to_string(size) + ".";
}

std::string cannotCreateFile(const std::string& fileName, const std::string& reason)
{
    return "Cannot create file \"" + fileName + "\". " + reason;
}

} // namespace karto::msg
