#pragma once
// Text forms: the text the grid and the exports show for a field's value,
// produced straight from the record bytes by the field's own type.
//
// Records and fields as in FieldDecode.h; a field that does not lie inside
// the record it is given shows nothing.

#include <cstdint>
#include <span>
#include <string>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/field/RecordFormat.h"

namespace karto {

// Appends the text form of the field's value, by the field's own type, and
// tells whether the field has a value (an empty or null field appends
// nothing). Strings: the field's bytes as stringFieldBytes (FieldDecode.h)
// gives them, not translated. Integers: digits; floats: shortest general
// form with up to 15 significant digits; money ("Y"): up to 4 decimals;
// dates: the short date format; date-times: the date, then a space and the
// long time format unless it is midnight; logicals: "True" or "False"; bytes
// ("_NULLFLAGS"): as a string. Memo fields append nothing (their text is in
// the memo file). Apart from string and byte fields the text is UTF-8 (ASCII
// but for what the format settings put in). Raises ConvertError like
// getFieldData. Appends into the caller's string: no allocation when it has
// room.
bool appendFieldText(std::string& out, const FieldDef& def, const RecordFormat& format,
                     std::span<const uint8_t> record, const FormatSettings& settings);

} // namespace karto
