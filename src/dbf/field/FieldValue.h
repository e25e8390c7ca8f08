#pragma once
// Field values inside a record: how a field's bytes become a typed value and
// back, when a field is empty, the record a new row starts from, the dBase 7
// autoincrement, and the text the grid and the exports show for each type.
//
// A record is the raw record as stored in the table file, deletion flag
// first; a field lies at its offset (the first field at 1). Everything here
// checks that a field lies inside the record it is given: a field that does
// not is empty when read and refused when written.
//
// Typed values exchanged through the untyped dst/src pointers, by field type:
//   ftString                  char[], NUL-terminated; a destination needs room
//                             for the field length + 1
//   ftSmallint                int16_t
//   ftInteger, ftAutoInc      int32_t
//   ftWord                    uint16_t
//   ftLargeint                int64_t
//   ftBoolean                 uint16_t, 1 or 0
//   ftFloat, ftCurrency       double
//   ftBCD                     int64_t, money x 10 000
//   ftDate, ftDateTime        double, days since 30 December 1899 (the
//                             fraction the time of day); in native form
//                             ftDate is an int32_t timestamp day number
//                             (1 January 0001 = 1) and ftDateTime a double
//                             of timestamp milliseconds (day x 86 400 000 +
//                             milliseconds since midnight)
//   ftMemo, ftBlob, ftDBaseOle, ftGraphic, ftFmtMemo, ftTypedBinary
//                             int32_t memo block number
//   ftBytes                   raw bytes, the field length (writing only)

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/field/FormatSettings.h"

namespace karto {

// What, besides a field's own definition, decides how its bytes read: the
// table's format version and the place of the "_NULLFLAGS" field.
struct RecordFormat {
    XBaseVersion version = xUnknown;
    int nullFlagsOffset = -1;   // offset of "_NULLFLAGS" in the record; -1: none
    int nullFlagsSize = 0;      // its length in bytes

    bool hasNullFlags() const { return nullFlagsOffset >= 0 && nullFlagsSize > 0; }
};

// The format of a table's records from its field definitions (the version,
// and the "_NULLFLAGS" field when there is one).
RecordFormat recordFormatOf(const FieldDefs& defs);

// Whether the field's null bit in "_NULLFLAGS" is set. A field without a null
// bit, a table without "_NULLFLAGS", or a bit beyond the end of a
// "_NULLFLAGS" field too short for it: not null.
bool isNullBitSet(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record);

// Decodes the field as `type` into dst and tells whether it has a value.
// Without a destination only that question is answered; the null bit then
// decides for a field that has one. An empty record gives false. A binary
// date-time that is no valid timestamp raises ConvertError when it is read
// into a destination.
bool getFieldData(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record,
                  FieldType type, void* dst, bool nativeFormat = false);

// Encodes the value src of type `type` into the field (src null: make the
// field empty) and sets or clears its null bit. Text is cut at the field
// length, numbers that do not fit become the exponent form or blanks, memo
// block numbers that do not fit become zeros. A value a binary field cannot
// hold (an integer beyond 32 bits for "I", money beyond the 64-bit range,
// NaN, a date outside 0001-9999) raises ConvertError and leaves the field as
// it was. A field outside the record raises TableError.
void setFieldData(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record,
                  FieldType type, const void* src, bool nativeFormat = false);

// The bytes of a text field as read as ftString: trailing blanks and zero
// bytes removed, cut at the first zero byte; empty for a field outside the
// record. Not translated.
std::string_view stringFieldBytes(const FieldDef& def, std::span<const uint8_t> record);

// Appends the text form of the field's value, by the field's own type, and
// tells whether the field has a value (an empty or null field appends
// nothing). Strings: the field's bytes as stringFieldBytes gives them, not
// translated. Integers: digits; floats: shortest general form with up to 15
// significant digits; money ("Y"): up to 4 decimals; dates: the short date
// format; date-times: the date, then a space and the long time format unless
// it is midnight; logicals: "True" or "False"; bytes ("_NULLFLAGS"): as a
// string. Memo fields append nothing (their text is in the memo file). Apart
// from string and byte fields the text is UTF-8 (ASCII but for what the
// format settings put in). Raises ConvertError like getFieldData. Appends
// into the caller's string: no allocation when it has room.
bool appendFieldText(std::string& out, const FieldDef& def, const RecordFormat& format,
                     std::span<const uint8_t> record, const FormatSettings& settings);

// The empty record new rows start from (record size bytes): blanks, zero
// bytes for the fields stored in binary form (and every dBase 7 "C" field),
// then each field's default value (dBase 7 property). The table file builds
// it once and copies it for every new row.
std::vector<uint8_t> buildEmptyRecord(FieldDefs& defs, int recordSize);
// Copies an empty record built by buildEmptyRecord into dest (as far as both go).
void initRecord(const std::vector<uint8_t>& emptyRecord, std::span<uint8_t> dest);

// Reads the 4-byte counter that lies at a byte offset of the table file;
// false when it could not be read.
using AutoIncCounterReader = std::function<bool(int64_t offset, uint8_t* bytes4)>;

// dBase 7 autoincrement for a record about to be appended: each "+" field at
// descriptor index i takes the next value — read from the file at byte
// 68 + 48 i + 42 through readFromFile when the table is shared (readFromFile
// given), else the definition's counter — in the "+" encoding; the counter
// becomes value + 1 in the definition and in the header copy (when the
// descriptor lies inside it). Returns true when a "+" field was filled: the
// caller then writes the header. Nothing happens outside dBase 7.
bool applyAutoIncToBuffer(FieldDefs& defs, std::span<uint8_t> record, std::span<uint8_t> header,
                          const AutoIncCounterReader& readFromFile = {});

} // namespace karto
