#pragma once
// Display names of field types: "String", "Float", "Date", "Memo" ...

#include <QString>

#include "dbf/field/FieldType.h"

namespace karto {

// The name of a field type without its "ft" prefix ("ftString" -> "String");
// "Unknown" for a value outside the enumeration.
QString dataTypeToString(FieldType dataType);

} // namespace karto
