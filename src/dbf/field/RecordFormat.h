#pragma once
// What, besides a field's own definition, decides how its bytes in a record
// read: the table's format version and the place of the "_NULLFLAGS" field
// with the fields' null bits.

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

// Whether the field's null bit in "_NULLFLAGS" is set. A field without a null
// bit, a table without "_NULLFLAGS", or a bit beyond the end of a
// "_NULLFLAGS" field too short for it or of the record: not null.
// Inline: it is asked for every field value read.
inline bool isNullBitSet(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record)
{
    const int pos = def.nullPosition();
    if (pos < 0 || !format.hasNullFlags())
        return false;
    const int64_t byte = pos / 8;
    if (byte >= format.nullFlagsSize)
        return false;
    const int64_t at = static_cast<int64_t>(format.nullFlagsOffset) + byte;
    if (at >= static_cast<int64_t>(record.size()))
        return false;
    return (record[static_cast<size_t>(at)] & (1u << (pos % 8))) != 0;
}

} // namespace karto
