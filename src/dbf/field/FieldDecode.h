#pragma once
// Decoding: a field's bytes inside a record become a typed value.
//
// A record is the raw record as stored in the table file, deletion flag
// first; a field lies at its offset (the first field at 1). A field that does
// not lie inside the record it is given reads as empty.
//
// Typed values exchanged through the untyped dst pointers here (and the src
// pointers of setFieldData, FieldEncode.h), by field type:
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
//   ftMemo, ftBlob, ftDBaseOle
//                             int32_t memo block number
//   ftBytes                   raw bytes, the field length (writing only)

#include <cstdint>
#include <span>
#include <string_view>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/field/RecordFormat.h"

namespace karto {

// Decodes the field as `type` into dst and tells whether it has a value.
// Without a destination only that question is answered; the null bit then
// decides for a field that has one. An empty record gives false. A binary
// date-time that is no valid timestamp raises ConvertError when it is read
// into a destination.
bool getFieldData(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record,
                  FieldType type, void* dst, bool nativeFormat = false);

// The bytes of a text field as read as ftString: trailing blanks and zero
// bytes removed, cut at the first zero byte; empty for a field outside the
// record. The null bit is not looked at (tables are found whose
// "_NULLFLAGS" is blank-filled). A varchar field ("V") gives only the bytes
// of its value (valueLength, RecordFormat.h). Not translated.
std::string_view stringFieldBytes(const FieldDef& def, const RecordFormat& format,
                                  std::span<const uint8_t> record);

// The value of a Visual FoxPro varbinary field ("Q"), kept in the record
// itself: its bytes as stored, all of them (zero bytes and blanks are data),
// or as many as its last byte says when its var-length bit is set; empty
// when its null bit is set or the field lies outside the record.
std::string_view varBinaryBytes(const FieldDef& def, const RecordFormat& format,
                                std::span<const uint8_t> record);

} // namespace karto
