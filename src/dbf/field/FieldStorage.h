#pragma once
// How each native letter keeps its value in the record, and the raw reading
// of those bytes that decoding (FieldDecode), the text forms (FieldText) and
// encoding (FieldEncode) share. Internal to those three; most of it is inline
// because it runs once per field value read.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldType.h"
#include "dbf/io/ByteOrder.h"

namespace karto::storage {

// How a field keeps its value.
enum class Storage {
    Text,          // decimal text, dates as YYYYMMDD, one-letter logicals, ...
    IntBE,         // "I", "+" outside FoxPro: big-endian, sign bit inverted
    IntLE,         // FoxPro "I"
    DoubleO,       // dBase 7 "O"
    MSecsAt,       // dBase 7 "@": big-endian double of timestamp milliseconds
    JulianT,       // "T": Julian day and milliseconds, little-endian
    DoubleLE,      // FoxPro "B"
    Currency,      // "Y": 64-bit money x 10 000
    MemoLE,        // "M" of length 4: 32-bit block number
};

inline Storage storageOf(char letter, XBaseVersion version, int size)
{
    switch (letter) {
    case 'I':
        return version == xFoxPro ? Storage::IntLE : Storage::IntBE;
    case '+':
        return Storage::IntBE;
    case 'O':
        return Storage::DoubleO;
    case '@':
        return Storage::MSecsAt;
    case 'T':
        return Storage::JulianT;
    case 'B':
        return version == xFoxPro ? Storage::DoubleLE : Storage::Text;
    case 'Y':
        return Storage::Currency;
    case 'M':
    case 'G':
    case 'W':
        // A 4-byte memo field holds its block number as an integer. FoxPro
        // writes its general ("G") and blob ("W") fields the same way as its
        // memos.
        return size == 4 ? Storage::MemoLE : Storage::Text;
    default:
        return Storage::Text;
    }
}

// Bytes a binary storage needs; 0 for text.
inline int storageBytes(Storage s)
{
    switch (s) {
    case Storage::IntBE:
    case Storage::IntLE:
    case Storage::MemoLE:
        return 4;
    case Storage::Text:
        return 0;
    default:
        return 8;
    }
}

// The field types whose value is a memo block number.
inline bool isMemoType(FieldType type)
{
    return type == ftMemo || type == ftBlob || type == ftDBaseOle;
}

inline double bitsToDouble(uint64_t bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline uint64_t doubleToBits(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// The field's bytes, or null when the field does not lie inside the record.
inline const uint8_t* fieldBytes(const FieldDef& def, std::span<const uint8_t> record)
{
    const int64_t off = def.offset();
    const int64_t size = def.size();
    if (off < 0 || size < 0 || off + size > static_cast<int64_t>(record.size()))
        return nullptr;
    return record.data() + off;
}

// A binary field's value before it is stored as a requested type or shown.
struct Value {
    enum Kind { None, Int, Float, Scaled, Stamp, MSecs } kind = None;
    int64_t i = 0;      // Int, Scaled (money x 10 000); Stamp: day number
    int64_t ms = 0;     // Stamp: milliseconds
    double f = 0;       // Float, MSecs
};

// Decodes a binary field (storageBytes(s) bytes at p). False: the field is empty.
inline bool decodeBinary(Storage s, const uint8_t* p, Value& v)
{
    switch (s) {
    case Storage::IntBE: {
        const uint32_t raw = loadBE32(p);
        if (raw == 0)
            return false;
        v.kind = Value::Int;
        v.i = static_cast<int32_t>(raw ^ 0x80000000u);
        return true;
    }
    case Storage::IntLE:
        v.kind = Value::Int;
        v.i = static_cast<int32_t>(loadLE32(p));
        return true;
    case Storage::MemoLE: {
        const uint32_t raw = loadLE32(p);
        if (raw == 0)
            return false;
        v.kind = Value::Int;
        v.i = static_cast<int32_t>(raw);
        return true;
    }
    case Storage::DoubleO: {
        const uint64_t raw = loadBE64(p);
        if (raw == 0)
            return false;
        // Values >= 0 carry the sign bit; negative values are stored inverted.
        const uint64_t bits = (raw & 0x8000000000000000ull) ? (raw ^ 0x8000000000000000ull) : ~raw;
        v.kind = Value::Float;
        v.f = bitsToDouble(bits);
        return true;
    }
    case Storage::MSecsAt: {
        const uint64_t raw = loadBE64(p);
        if (raw == 0)
            return false;
        v.kind = Value::MSecs;
        v.f = bitsToDouble(raw);
        return true;
    }
    case Storage::JulianT: {
        if (loadLE64(p) == 0)
            return false;
        v.kind = Value::Stamp;
        v.i = static_cast<int64_t>(static_cast<int32_t>(loadLE32(p))) - kJulianDayDelta;
        v.ms = static_cast<int32_t>(loadLE32(p + 4));
        return true;
    }
    case Storage::DoubleLE:
        v.kind = Value::Float;
        v.f = bitsToDouble(loadLE64(p));
        return true;
    case Storage::Currency:
        v.kind = Value::Scaled;
        v.i = static_cast<int64_t>(loadLE64(p));
        return true;
    case Storage::Text:
        break;
    }
    return false;
}

// The timestamp of a Stamp or MSecs value; ConvertError when it is none.
inline TimeStamp stampOf(const Value& v)
{
    return v.kind == Value::MSecs ? msecsToTimeStamp(v.f) : checkedTimeStamp(v.i, v.ms);
}

// f rounded to the nearest integer, when that lies within [lo, hi].
inline bool fitsRounded(double f, double lo, double hi, int64_t& out)
{
    const double r = std::nearbyint(f);
    if (!(r >= lo && r <= hi))
        return false;
    out = static_cast<int64_t>(r);
    return true;
}

// The trimmed text of a text field: trailing blanks and zero bytes go, and
// leading blanks unless the field is read as a string.
inline std::string_view trimmedText(const uint8_t* p, int size, bool keepLeading)
{
    int len = size;
    // Eight blanks or zero bytes at a time: a byte is one of them exactly
    // when it has no bit outside 0x20.
    while (len >= 8) {
        uint64_t word;
        std::memcpy(&word, p + len - 8, sizeof word);
        if ((word & ~0x2020202020202020ull) != 0)
            break;
        len -= 8;
    }
    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == 0))
        --len;
    int start = 0;
    if (!keepLeading)
        while (start < len && p[start] == ' ')
            ++start;
    return std::string_view(reinterpret_cast<const char*>(p) + start, static_cast<size_t>(len - start));
}

// text up to its first zero byte.
inline std::string_view untilZero(std::string_view text)
{
    const void* zero = std::memchr(text.data(), 0, text.size());
    return zero ? text.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - text.data())) : text;
}

// A date (and with `withTime` a time of day) from its text: YYYYMMDD, then
// hhmmss; false when it is impossible, which reads as 30 December 1899,
// midnight.
bool parseTextDate(std::string_view text, bool withTime, CivilDate& date, TimeOfDay& time);

} // namespace karto::storage
