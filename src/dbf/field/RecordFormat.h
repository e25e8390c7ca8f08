#pragma once
// What, besides a field's own definition, decides how its bytes in a record
// read: the table's format version and the place of the "_NULLFLAGS" field
// with the fields' null bits and the var-length bits of Visual FoxPro's
// varchar and varbinary fields.

#include <algorithm>
#include <cstdint>
#include <span>

#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"

namespace karto {

struct RecordFormat {
    XBaseVersion version = xUnknown;
    int nullFlagsOffset = -1;   // offset of "_NULLFLAGS" in the record; -1: none
    int nullFlagsSize = 0;      // its length in bytes

    bool hasNullFlags() const { return nullFlagsOffset >= 0 && nullFlagsSize > 0; }
};

// The format of a table's records from its field definitions (the version,
// and the "_NULLFLAGS" field when there is one).
RecordFormat recordFormatOf(const FieldDefs& defs);

// Whether bit `position` of "_NULLFLAGS" is set in the record. No position
// (-1), a table without "_NULLFLAGS", or a bit beyond the end of a
// "_NULLFLAGS" field too short for it or of the record: not set.
// Inline: it is asked for every field value read.
inline bool isFlagBitSet(int position, const RecordFormat& format, std::span<const uint8_t> record)
{
    if (position < 0 || !format.hasNullFlags())
        return false;
    const int64_t byte = position / 8;
    if (byte >= format.nullFlagsSize)
        return false;
    const int64_t at = static_cast<int64_t>(format.nullFlagsOffset) + byte;
    if (at >= static_cast<int64_t>(record.size()))
        return false;
    return (record[static_cast<size_t>(at)] & (1u << (position % 8))) != 0;
}

// Whether the field's null bit in "_NULLFLAGS" is set (see isFlagBitSet).
inline bool isNullBitSet(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record)
{
    return isFlagBitSet(def.nullPosition(), format, record);
}

// How many of the field's bytes hold its value. A Visual FoxPro varchar or
// varbinary field ("V", "Q") whose var-length bit is set holds a shorter
// value and says its length in its last byte (at most the field length - 1,
// since that byte is not part of the value); otherwise, and for every other
// field, the whole field. A field that does not lie inside the record gives
// its length all the same (callers check the place first).
inline int valueLength(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record)
{
    const int size = def.size();
    if (def.varLengthPosition() < 0 || size <= 0 || !isFlagBitSet(def.varLengthPosition(), format, record))
        return size;
    const int64_t last = static_cast<int64_t>(def.offset()) + size - 1;
    if (def.offset() < 0 || last >= static_cast<int64_t>(record.size()))
        return size;
    return std::min<int>(record[static_cast<size_t>(last)], size - 1);
}

} // namespace karto
