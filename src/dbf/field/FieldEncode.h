#pragma once
// Encoding: a typed value becomes a field's bytes inside a record; and what
// records are made of before any value is set: the empty record new rows
// start from, and the dBase 7 autoincrement of a record being appended.
//
// Records and fields as in FieldDecode.h, which also lists the form of the
// typed value src points to for each field type. A field that does not lie
// inside the record it is given is refused.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/field/RecordFormat.h"

namespace karto {

// Encodes the value src of type `type` into the field (src null: make the
// field empty) and sets or clears its null bit. Text is cut at the field
// length, numbers that do not fit become the exponent form or blanks, memo
// block numbers that do not fit become zeros. A value a binary field cannot
// hold (an integer beyond 32 bits for "I", money beyond the 64-bit range,
// NaN, a date outside 0001-9999) raises ConvertError and leaves the field as
// it was. A field outside the record raises TableError.
void setFieldData(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record,
                  FieldType type, const void* src, bool nativeFormat = false);

// The empty record new rows start from (record size bytes): blanks, zero
// bytes for the fields stored in binary form (and every dBase 7 "C" field),
// then each field's default value (dBase 7 property). The table file builds
// it once and copies it for every new row.
std::vector<uint8_t> buildEmptyRecord(const FieldDefs& defs, int recordSize);
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
