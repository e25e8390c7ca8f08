#pragma once
// Text typed by the user becomes a field's bytes: the inverse of the text
// forms (FieldText.h) for every field that is not text or memo (those pass
// the dataset's translate hook, TableDataset.h).
//
// What is accepted, blanks around the text ignored; an empty text empties
// the field:
//  - numbers: an optional sign, digits with "." as the decimal separator,
//    an optional exponent (12, -3.5, 1.5E-5). Extra decimals are rounded
//    away (12.345 into N(6,2) is 12.35; into an integer field 12), but a
//    number whose integer part does not fit the field is refused, never
//    stored as an exponent form, blanks or another number;
//  - logical values: 1, 0, T, F, Y, N, True, False in any letter case;
//  - dates: YYYY-MM-DD, YYYYMMDD or the short date form of the format
//    settings (day, month and year as numbers in the pattern's order; a
//    two-digit year means 1950-2049); date-times add a time H:MM or H:MM:SS
//    after a blank. A date that does not exist is refused.
// Refusals raise FieldValueError with an English message naming the field;
// the record is then unchanged.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/field/RecordFormat.h"

namespace karto {

// Sets the field of record from text (UTF-8). displayName is the name the
// messages use. Text, memo, autoincrement and byte fields are not handled
// here: they raise FieldValueError "Field '%s' cannot be modified".
void setFieldFromText(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record,
                      std::string_view text, const FormatSettings& settings,
                      const std::string& displayName);

// A date typed as text: YYYY-MM-DD, YYYYMMDD or the short date form; false
// when it is none of them or does not exist.
bool parseDateText(std::string_view text, const FormatSettings& settings, int& year, int& month, int& day);

} // namespace karto
