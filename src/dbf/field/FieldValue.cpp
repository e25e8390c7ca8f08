#include "dbf/field/FieldValue.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/Error.h"
#include "dbf/field/NumberText.h"
#include "dbf/io/ByteOrder.h"

namespace karto {

namespace {

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

Storage storageOf(char letter, XBaseVersion version, int size)
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
        // A 4-byte memo field holds its block number as an integer. FoxPro
        // writes its general ("G") fields the same way as its memos.
        return size == 4 ? Storage::MemoLE : Storage::Text;
    default:
        return Storage::Text;
    }
}

int storageBytes(Storage s)
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

bool isMemoType(FieldType type)
{
    switch (type) {
    case ftMemo:
    case ftBlob:
    case ftDBaseOle:
    case ftGraphic:
    case ftFmtMemo:
    case ftTypedBinary:
    case ftParadoxOle:
        return true;
    default:
        return false;
    }
}

double bitsToDouble(uint64_t bits)
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
uint64_t doubleToBits(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

bool allZero(const uint8_t* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// The field's bytes, or null when the field does not lie inside the record.
const uint8_t* fieldBytes(const FieldDef& def, std::span<const uint8_t> record)
{
    const int64_t off = def.offset();
    const int64_t size = def.size();
    if (off < 0 || size < 0 || off + size > static_cast<int64_t>(record.size()))
        return nullptr;
    return record.data() + off;
}

// A decoded value before it is stored as the requested type.
struct Value {
    enum Kind { None, Int, Float, Scaled, Stamp, MSecs } kind = None;
    int64_t i = 0;      // Int, Scaled (money x 10 000); Stamp: day number
    int64_t ms = 0;     // Stamp: milliseconds
    double f = 0;       // Float, MSecs
};

// Decodes a binary field. False: the field is empty.
bool decodeBinary(Storage s, const uint8_t* p, Value& v)
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
        if (allZero(p, 8))
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

TimeStamp stampOf(const Value& v)
{
    return v.kind == Value::MSecs ? msecsToTimeStamp(v.f) : checkedTimeStamp(v.i, v.ms);
}

bool fitsRounded(double f, double lo, double hi, int64_t& out)
{
    const double r = std::nearbyint(f);
    if (!(r >= lo && r <= hi))
        return false;
    out = static_cast<int64_t>(r);
    return true;
}

// Stores a binary field's value as the requested type. False: the value does
// not fit that type (the field then reads as empty).
bool storeValue(const Value& v, FieldType type, void* dst, bool native)
{
    int64_t n = 0;
    switch (type) {
    case ftString:
        static_cast<char*>(dst)[0] = 0;
        return true;
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
    case ftWord:
    case ftLargeint:
    case ftBoolean:
        if (v.kind == Value::Int) {
            n = v.i;
        } else if (v.kind == Value::Float) {
            if (!fitsRounded(v.f, -9223372036854775808.0, 9223372036854774784.0, n))
                return false;
        } else if (v.kind == Value::Scaled) {
            n = v.i / 10000;
        } else {
            return true;
        }
        switch (type) {
        case ftSmallint:
            if (n < INT16_MIN || n > INT16_MAX)
                return false;
            *static_cast<int16_t*>(dst) = static_cast<int16_t>(n);
            break;
        case ftWord:
            if (n < 0 || n > UINT16_MAX)
                return false;
            *static_cast<uint16_t*>(dst) = static_cast<uint16_t>(n);
            break;
        case ftLargeint:
            *static_cast<int64_t*>(dst) = n;
            break;
        case ftBoolean:
            *static_cast<uint16_t*>(dst) = n != 0 ? 1 : 0;
            break;
        default:
            if (n < INT32_MIN || n > INT32_MAX)
                return false;
            *static_cast<int32_t*>(dst) = static_cast<int32_t>(n);
            break;
        }
        return true;
    case ftFloat:
    case ftCurrency:
        if (v.kind == Value::Int)
            *static_cast<double*>(dst) = static_cast<double>(v.i);
        else if (v.kind == Value::Float)
            *static_cast<double*>(dst) = v.f;
        else if (v.kind == Value::Scaled)
            *static_cast<double*>(dst) = static_cast<double>(v.i) / 10000.0;
        return true;
    case ftBCD:
        if (v.kind == Value::Scaled)
            *static_cast<int64_t*>(dst) = v.i;
        return true;
    case ftDate:
    case ftDateTime:
        if (v.kind == Value::Stamp || v.kind == Value::MSecs) {
            const TimeStamp ts = stampOf(v);
            if (!native)
                *static_cast<double*>(dst) = timeStampToDateTime(ts);
            else if (type == ftDate)
                *static_cast<int32_t*>(dst) = ts.date;
            else
                *static_cast<double*>(dst) = timeStampToMSecs(ts);
        }
        return true;
    default:
        if (isMemoType(type) && v.kind == Value::Int) {
            if (v.i < INT32_MIN || v.i > INT32_MAX)
                return false;
            *static_cast<int32_t*>(dst) = static_cast<int32_t>(v.i);
        }
        return true;
    }
}

// A part of a text date (characters from..from+count of the text): the
// integer rule; not a number counts as 0, beyond 32 bits as 1.
int datePart(std::string_view text, size_t from, size_t count)
{
    if (from >= text.size())
        return 0;
    int64_t v = 0;
    if (!parseIntegerRule(text.substr(from, count), v))
        return 0;
    if (v < INT32_MIN || v > INT32_MAX)
        return 1;
    return static_cast<int>(v);
}

// A date (and with `withTime` a time of day) from its text; false when it is
// impossible, which reads as 30 December 1899, midnight.
bool parseTextDate(std::string_view text, bool withTime, CivilDate& date, TimeOfDay& time)
{
    date.year = datePart(text, 0, 4);
    date.month = datePart(text, 4, 2);
    date.day = datePart(text, 6, 2);
    time = TimeOfDay();
    if (!isValidDate(date.year, date.month, date.day))
        return false;
    if (withTime) {
        time.hour = datePart(text, 8, 2);
        time.minute = datePart(text, 10, 2);
        time.second = datePart(text, 12, 2);
        if (time.hour < 0 || time.hour >= 24 || time.minute < 0 || time.minute >= 60 || time.second < 0
            || time.second >= 60)
            return false;
    }
    return true;
}

// The trimmed text of a text field: trailing blanks and zero bytes go, and
// leading blanks unless the field is read as a string.
std::string_view trimmedText(const uint8_t* p, int size, bool keepLeading)
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

bool decodeText(const FieldDef& def, const uint8_t* p, FieldType type, void* dst, bool native)
{
    const std::string_view text = trimmedText(p, def.size(), type == ftString);
    if (text.empty()) {
        if (type == ftString && dst)
            static_cast<char*>(dst)[0] = 0;
        return false;
    }
    if (!dst)
        return true;
    switch (type) {
    case ftString: {
        const void* zero = std::memchr(text.data(), 0, text.size());
        const size_t n = zero ? static_cast<size_t>(static_cast<const char*>(zero) - text.data()) : text.size();
        std::memcpy(dst, text.data(), n);
        static_cast<char*>(dst)[n] = 0;
        return true;
    }
    case ftSmallint:
    case ftInteger:
    case ftLargeint: {
        int64_t v = 0;
        if (!parseIntegerRule(text, v))
            return false;
        if (type == ftSmallint) {
            if (v < INT16_MIN || v > INT16_MAX)
                return false;
            *static_cast<int16_t*>(dst) = static_cast<int16_t>(v);
        } else if (type == ftInteger) {
            if (v < INT32_MIN || v > INT32_MAX)
                return false;
            *static_cast<int32_t*>(dst) = static_cast<int32_t>(v);
        } else {
            *static_cast<int64_t*>(dst) = v;
        }
        return true;
    }
    case ftBoolean:
        *static_cast<uint16_t*>(dst) = (text[0] == 'T' || text[0] == 't') ? 1 : 0;
        return true;
    case ftFloat:
    case ftCurrency: {
        double v = 0;
        if (!parseNumberRule(text, v))
            return false;
        *static_cast<double*>(dst) = v;
        return true;
    }
    case ftDate:
    case ftDateTime: {
        CivilDate date;
        TimeOfDay time;
        const bool withTime = def.fieldType() == ftDateTime && type == ftDateTime;
        const bool valid = parseTextDate(text, withTime, date, time);
        const int32_t day = valid ? timeStampDay(date.year, date.month, date.day) : kDateDelta;
        const int32_t ms = valid ? (time.hour * 3600 + time.minute * 60 + time.second) * 1000 : 0;
        if (!native)
            *static_cast<double*>(dst) = timeStampToDateTime(TimeStamp{day, ms});
        else if (type == ftDate)
            *static_cast<int32_t*>(dst) = day;
        else
            *static_cast<double*>(dst) = timeStampToMSecs(TimeStamp{day, ms});
        return true;
    }
    default:
        // A memo type asks for the block number: 32 bits, as for binary
        // memo fields (0 when the text is no number).
        if (isMemoType(type)) {
            int64_t v = 0;
            if (!parseIntegerRule(text, v) || v < INT32_MIN || v > INT32_MAX)
                v = 0;
            *static_cast<int32_t*>(dst) = static_cast<int32_t>(v);
        }
        return true;
    }
}

[[noreturn]] void throwOutOfRange(const FieldDef& def)
{
    throw ConvertError("Value out of range for field \"" + def.fieldName() + "\".");
}

// Money x 10 000 as the table keeps it: the product formed with a 64-bit
// mantissa (as the x87 extended type would) and truncated toward zero, so
// that 1.23, whose double lies just below 1.23, gives 12299. Done in integer
// arithmetic so the result does not depend on the compiler's long double.
bool currencyToScaled(double value, int64_t& out)
{
    if (!std::isfinite(value))
        return false;
    if (value == 0.0) {
        out = 0;
        return true;
    }
    int exp = 0;
    const double frac = std::frexp(std::fabs(value), &exp);   // value = frac * 2^exp, 0.5 <= frac < 1
    if (exp > 64)
        return false;
    const auto mant = static_cast<uint64_t>(std::ldexp(frac, 53));   // exact, < 2^53
    exp -= 53;
    unsigned __int128 prod = static_cast<unsigned __int128>(mant) * 10000u;
    int bits = 0;
    for (unsigned __int128 t = prod; t != 0; t >>= 1)
        ++bits;
    if (bits > 64) {
        const int shift = bits - 64;
        const unsigned __int128 mask = (static_cast<unsigned __int128>(1) << shift) - 1;
        const unsigned __int128 rem = prod & mask;
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        prod >>= shift;
        exp += shift;
        if (rem > half || (rem == half && (prod & 1) != 0))
            ++prod;
    }
    unsigned __int128 whole;
    if (exp >= 0) {
        if (exp > 63)
            return false;
        whole = prod << exp;
    } else if (exp <= -128) {
        whole = 0;
    } else {
        whole = prod >> (-exp);
    }
    const bool negative = value < 0;
    const unsigned __int128 limit = negative ? (static_cast<unsigned __int128>(1) << 63)
                                             : (static_cast<unsigned __int128>(1) << 63) - 1;
    if (whole > limit)
        return false;
    const auto mag = static_cast<uint64_t>(whole);
    out = negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag);
    return true;
}

// The source value as a 64-bit integer (doubles rounded to the nearest).
bool sourceInt(FieldType type, const void* src, int64_t& out)
{
    switch (type) {
    case ftSmallint:
        out = *static_cast<const int16_t*>(src);
        return true;
    case ftWord:
    case ftBoolean:
        out = *static_cast<const uint16_t*>(src);
        return true;
    case ftInteger:
    case ftAutoInc:
        out = *static_cast<const int32_t*>(src);
        return true;
    case ftLargeint:
        out = *static_cast<const int64_t*>(src);
        return true;
    case ftBCD:
        out = *static_cast<const int64_t*>(src) / 10000;
        return true;
    case ftFloat:
    case ftCurrency:
        return fitsRounded(*static_cast<const double*>(src), -9223372036854775808.0, 9223372036854774784.0, out);
    default:
        if (isMemoType(type)) {
            out = *static_cast<const int32_t*>(src);
            return true;
        }
        return false;
    }
}

// The source value as a double.
bool sourceDouble(FieldType type, const void* src, double& out)
{
    switch (type) {
    case ftFloat:
    case ftCurrency:
        out = *static_cast<const double*>(src);
        return true;
    case ftBCD:
        out = static_cast<double>(*static_cast<const int64_t*>(src)) / 10000.0;
        return true;
    default: {
        int64_t n = 0;
        if (!sourceInt(type, src, n))
            return false;
        out = static_cast<double>(n);
        return true;
    }
    }
}

// The source date-time as a timestamp.
TimeStamp sourceStamp(FieldType type, const void* src, bool native)
{
    if (native && type == ftDate) {
        const int32_t day = *static_cast<const int32_t*>(src);
        return checkedTimeStamp(day, 0);
    }
    if (native && type == ftDateTime)
        return msecsToTimeStamp(*static_cast<const double*>(src));
    return dateTimeToTimeStamp(*static_cast<const double*>(src));
}

void putDigits(uint8_t* p, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        p[i] = static_cast<uint8_t>('0' + value % 10);
        value /= 10;
    }
}

void encodeText(const FieldDef& def, const RecordFormat& format, uint8_t* p, FieldType type, const void* src,
                bool native)
{
    const int size = def.size();
    if (!src) {
        std::memset(p, format.version == xBaseVII && type == ftString ? 0 : ' ', static_cast<size_t>(size));
        return;
    }
    const char letter = def.nativeFieldType();
    switch (type) {
    case ftString: {
        const char* text = static_cast<const char*>(src);
        size_t n = 0;
        while (n < static_cast<size_t>(size) && text[n] != 0)
            ++n;
        std::memcpy(p, text, n);
        std::memset(p + n, ' ', static_cast<size_t>(size) - n);
        return;
    }
    case ftBoolean:
        if (size > 0) {
            p[0] = *static_cast<const uint16_t*>(src) != 0 ? 'T' : 'F';
            std::memset(p + 1, ' ', static_cast<size_t>(size - 1));
        }
        return;
    case ftSmallint:
    case ftWord:
    case ftLargeint:
    case ftInteger:
    case ftAutoInc: {
        int64_t v = 0;
        sourceInt(type, src, v);
        const bool memoLetter = letter == 'B' || letter == 'G' || letter == 'M';
        const char pad = (type == ftInteger || type == ftAutoInc) && memoLetter ? '0' : ' ';
        formatIntegerField(reinterpret_cast<char*>(p), size, v, pad);
        return;
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        double v = 0;
        sourceDouble(type, src, v);
        formatNumberField(reinterpret_cast<char*>(p), size, def.precision(), v);
        return;
    }
    case ftDate:
    case ftDateTime: {
        const TimeStamp ts = sourceStamp(type, src, native);
        const CivilDate d = civilFromTimeStampDay(ts.date);
        uint8_t buf[14];
        putDigits(buf, d.year, 4);
        putDigits(buf + 4, d.month, 2);
        putDigits(buf + 6, d.day, 2);
        int n = 8;
        if (type == ftDateTime) {
            const TimeOfDay t = timeOfDayFromMSecs(ts.time);
            putDigits(buf + 8, t.hour, 2);
            putDigits(buf + 10, t.minute, 2);
            putDigits(buf + 12, t.second, 2);
            n = 14;
        }
        // Never past the field: a date-time in an 8-character date field
        // keeps its date.
        const int m = n < size ? n : size;
        std::memcpy(p, buf, static_cast<size_t>(m));
        std::memset(p + m, ' ', static_cast<size_t>(size - m));
        return;
    }
    case ftBytes:
        std::memcpy(p, src, static_cast<size_t>(size));
        return;
    default:
        if (isMemoType(type)) {
            int64_t v = 0;
            sourceInt(type, src, v);
            formatIntegerField(reinterpret_cast<char*>(p), size, v, '0');
        }
        return;
    }
}

void encodeBinary(const FieldDef& def, Storage s, uint8_t* p, FieldType type, const void* src, bool native)
{
    switch (s) {
    case Storage::IntBE:
    case Storage::IntLE:
    case Storage::MemoLE: {
        if (!src) {
            storeLE32(p, 0);
            return;
        }
        int64_t v = 0;
        if (!sourceInt(type, src, v) || v < INT32_MIN || v > INT32_MAX)
            throwOutOfRange(def);
        const auto u = static_cast<uint32_t>(static_cast<int32_t>(v));
        if (s == Storage::IntBE)
            storeBE32(p, u ^ 0x80000000u);
        else
            storeLE32(p, u);
        return;
    }
    case Storage::DoubleO: {
        if (!src) {
            storeBE64(p, 0);
            return;
        }
        double v = 0;
        if (!sourceDouble(type, src, v))
            throwOutOfRange(def);
        const uint64_t bits = doubleToBits(v);
        // Values >= 0 (0 included, which becomes -0.0) get the sign bit;
        // negative values are stored with every bit inverted.
        storeBE64(p, (bits & 0x8000000000000000ull) ? ~bits : (bits | 0x8000000000000000ull));
        return;
    }
    case Storage::DoubleLE: {
        if (!src) {
            storeLE64(p, 0);
            return;
        }
        double v = 0;
        if (!sourceDouble(type, src, v))
            throwOutOfRange(def);
        storeLE64(p, doubleToBits(v));
        return;
    }
    case Storage::Currency: {
        if (!src) {
            storeLE64(p, 0);
            return;
        }
        int64_t scaled = 0;
        if (type == ftBCD) {
            scaled = *static_cast<const int64_t*>(src);
        } else if (type == ftFloat || type == ftCurrency) {
            if (!currencyToScaled(*static_cast<const double*>(src), scaled))
                throwOutOfRange(def);
        } else {
            int64_t v = 0;
            if (!sourceInt(type, src, v) || v > INT64_MAX / 10000 || v < INT64_MIN / 10000)
                throwOutOfRange(def);
            scaled = v * 10000;
        }
        storeLE64(p, static_cast<uint64_t>(scaled));
        return;
    }
    case Storage::MSecsAt: {
        if (!src) {
            storeBE64(p, 0);
            return;
        }
        if (type != ftDate && type != ftDateTime)
            throwOutOfRange(def);
        const TimeStamp ts = sourceStamp(type, src, native);
        storeBE64(p, doubleToBits(timeStampToMSecs(ts)));
        return;
    }
    case Storage::JulianT: {
        if (!src) {
            storeLE64(p, 0);
            return;
        }
        if (type != ftDate && type != ftDateTime)
            throwOutOfRange(def);
        const TimeStamp ts = sourceStamp(type, src, native);
        storeLE32(p, static_cast<uint32_t>(ts.date + kJulianDayDelta));
        storeLE32(p + 4, static_cast<uint32_t>(ts.time));
        return;
    }
    case Storage::Text:
        break;
    }
}

void appendDateTimeText(std::string& out, TimeStamp ts, bool withTime, const FormatSettings& settings)
{
    const CivilDate d = civilFromTimeStampDay(ts.date);
    settings.appendDate(out, d.year, d.month, d.day);
    if (withTime && ts.time != 0) {
        const TimeOfDay t = timeOfDayFromMSecs(ts.time);
        out.push_back(' ');
        settings.appendTime(out, t.hour, t.minute, t.second, t.msec);
    }
}

void appendFloatText(std::string& out, std::string_view text)
{
    DecimalDigits d;
    if (plainDecimalDigits(text, d)) {
        appendGeneral(out, d);
        return;
    }
    double v = 0;
    if (parseNumberRule(text, v))
        appendGeneralFloat(out, v);
}

bool nullBitSet(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record)
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

} // namespace

RecordFormat recordFormatOf(const FieldDefs& defs)
{
    RecordFormat format;
    format.version = defs.dbfVersion();
    for (int i = 0; i < defs.count(); ++i) {
        const FieldDef& def = defs.item(i);
        if (def.fieldName() == "_NULLFLAGS") {
            format.nullFlagsOffset = def.offset();
            format.nullFlagsSize = def.size();
            break;
        }
    }
    return format;
}

bool isNullBitSet(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record)
{
    return nullBitSet(def, format, record);
}

bool getFieldData(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record,
                  FieldType type, void* dst, bool nativeFormat)
{
    if (record.empty())
        return false;
    const uint8_t* p = fieldBytes(def, record);
    if (!p) {
        if (type == ftString && dst)
            static_cast<char*>(dst)[0] = 0;
        return false;
    }
    if (!dst && def.nullPosition() >= 0 && format.hasNullFlags()) {
        const int64_t byte = def.nullPosition() / 8;
        // A bit that lies beyond a too short "_NULLFLAGS" cannot be read; the
        // field's own bytes decide then.
        if (byte < format.nullFlagsSize
            && static_cast<int64_t>(format.nullFlagsOffset) + byte < static_cast<int64_t>(record.size()))
            return !nullBitSet(def, format, record);
    }
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());
    if (s == Storage::Text)
        return decodeText(def, p, type, dst, nativeFormat);
    if (def.size() < storageBytes(s)) {
        if (type == ftString && dst)
            static_cast<char*>(dst)[0] = 0;
        return false;
    }
    Value v;
    if (!decodeBinary(s, p, v)) {
        if (type == ftString && dst)
            static_cast<char*>(dst)[0] = 0;
        return false;
    }
    if (!dst)
        return true;
    return storeValue(v, type, dst, nativeFormat);
}

void setFieldData(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record, FieldType type,
                  const void* src, bool nativeFormat)
{
    const uint8_t* cp = fieldBytes(def, std::span<const uint8_t>(record.data(), record.size()));
    if (!cp)
        throw TableError("Invalid DBF file.");
    uint8_t* p = record.data() + (cp - record.data());
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());
    if (s == Storage::Text)
        encodeText(def, format, p, type, src, nativeFormat);
    else if (def.size() >= storageBytes(s))
        encodeBinary(def, s, p, type, src, nativeFormat);
    else
        throw TableError("Invalid DBF file.");

    // The value is in place (encoding may refuse it): now the null bit.
    const int pos = def.nullPosition();
    if (pos >= 0 && format.hasNullFlags()) {
        const int64_t byte = pos / 8;
        const int64_t at = static_cast<int64_t>(format.nullFlagsOffset) + byte;
        if (byte < format.nullFlagsSize && at < static_cast<int64_t>(record.size())) {
            const auto mask = static_cast<uint8_t>(1u << (pos % 8));
            if (src)
                record[static_cast<size_t>(at)] &= static_cast<uint8_t>(~mask);
            else
                record[static_cast<size_t>(at)] |= mask;
        }
    }
}

std::string_view stringFieldBytes(const FieldDef& def, std::span<const uint8_t> record)
{
    const uint8_t* p = fieldBytes(def, record);
    if (!p)
        return {};
    const std::string_view text = trimmedText(p, def.size(), true);
    const void* zero = std::memchr(text.data(), 0, text.size());
    return zero ? text.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - text.data())) : text;
}

bool appendFieldText(std::string& out, const FieldDef& def, const RecordFormat& format,
                     std::span<const uint8_t> record, const FormatSettings& settings)
{
    const uint8_t* p = fieldBytes(def, record);
    if (!p)
        return false;
    // A null field shows empty, whatever its bytes hold (a null FoxPro
    // integer keeps zero bytes).
    if (nullBitSet(def, format, record))
        return false;
    const FieldType type = def.fieldType();
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());

    if (s == Storage::Text) {
        switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftBytes: {
            const std::string_view text = trimmedText(p, def.size(), true);
            if (text.empty())
                return false;
            const void* zero = std::memchr(text.data(), 0, text.size());
            out.append(text.data(),
                       zero ? static_cast<size_t>(static_cast<const char*>(zero) - text.data()) : text.size());
            return true;
        }
        case ftSmallint:
        case ftInteger:
        case ftLargeint:
        case ftAutoInc:
        case ftWord: {
            const std::string_view text = trimmedText(p, def.size(), false);
            int64_t v = 0;
            if (text.empty() || !parseIntegerRule(text, v))
                return false;
            if ((type == ftSmallint && (v < INT16_MIN || v > INT16_MAX))
                || ((type == ftInteger || type == ftAutoInc) && (v < INT32_MIN || v > INT32_MAX))
                || (type == ftWord && (v < 0 || v > UINT16_MAX)))
                return false;
            appendInt64(out, v);
            return true;
        }
        case ftFloat:
        case ftCurrency:
        case ftBCD: {
            const std::string_view text = trimmedText(p, def.size(), false);
            if (text.empty() || text.size() > 20)
                return false;
            const size_t before = out.size();
            appendFloatText(out, text);
            return out.size() != before;
        }
        case ftDate:
        case ftDateTime: {
            const std::string_view text = trimmedText(p, def.size(), false);
            if (text.empty())
                return false;
            CivilDate date;
            TimeOfDay time;
            if (!parseTextDate(text, type == ftDateTime, date, time)) {
                date = CivilDate{1899, 12, 30};
                time = TimeOfDay();
            }
            settings.appendDate(out, date.year, date.month, date.day);
            if (type == ftDateTime && (time.hour | time.minute | time.second) != 0) {
                out.push_back(' ');
                settings.appendTime(out, time.hour, time.minute, time.second, 0);
            }
            return true;
        }
        case ftBoolean: {
            const std::string_view text = trimmedText(p, def.size(), false);
            if (text.empty())
                return false;
            out.append(text[0] == 'T' || text[0] == 't' ? "True" : "False");
            return true;
        }
        default:
            // Memo fields and unknown types: only whether there is a value.
            return !trimmedText(p, def.size(), false).empty();
        }
    }

    if (def.size() < storageBytes(s))
        return false;
    Value v;
    if (!decodeBinary(s, p, v))
        return false;
    switch (v.kind) {
    case Value::Int:
        if (!isMemoType(type))
            appendInt64(out, v.i);
        return true;
    case Value::Float:
        appendGeneralFloat(out, v.f);
        return true;
    case Value::Scaled:
        if (type == ftBCD)
            appendScaledCurrency(out, v.i);
        else
            appendGeneralFloat(out, static_cast<double>(v.i) / 10000.0);
        return true;
    case Value::Stamp:
    case Value::MSecs:
        appendDateTimeText(out, stampOf(v), type != ftDate, settings);
        return true;
    case Value::None:
        break;
    }
    return false;
}

std::vector<uint8_t> buildEmptyRecord(FieldDefs& defs, int recordSize)
{
    std::vector<uint8_t> record(recordSize > 0 ? static_cast<size_t>(recordSize) : 0, ' ');
    const XBaseVersion version = defs.dbfVersion();
    const RecordFormat format = recordFormatOf(defs);
    for (int i = 0; i < defs.count(); ++i) {
        FieldDef& def = defs.item(i);
        const int64_t off = def.offset();
        const int64_t size = def.size();
        if (off < 0 || size <= 0 || off + size > static_cast<int64_t>(record.size()))
            continue;
        const char letter = def.nativeFieldType();
        bool binary = false;
        switch (letter) {
        case '+':
        case '0':
        case '@':
        case 'I':
        case 'O':
        case 'Y':
        case 'T':
            binary = true;
            break;
        case 'B':
            binary = version == xFoxPro;
            break;
        case 'M':
        case 'G':
            binary = size == 4;
            break;
        case 'C':
            binary = version == xBaseVII && !def.hasDefault();
            break;
        default:
            break;
        }
        if (binary)
            std::memset(record.data() + off, 0, static_cast<size_t>(size));
        if (def.hasDefault() && def.defaultBuf()) {
            // The property buffers are allocated for the field's length.
            std::memcpy(record.data() + off, def.defaultBuf(), static_cast<size_t>(size));
            const int pos = def.nullPosition();
            if (pos >= 0 && format.hasNullFlags() && pos / 8 < format.nullFlagsSize) {
                const int64_t at = static_cast<int64_t>(format.nullFlagsOffset) + pos / 8;
                if (at < static_cast<int64_t>(record.size()))
                    record[static_cast<size_t>(at)] &= static_cast<uint8_t>(~(1u << (pos % 8)));
            }
        }
    }
    return record;
}

void initRecord(const std::vector<uint8_t>& emptyRecord, std::span<uint8_t> dest)
{
    const size_t n = emptyRecord.size() < dest.size() ? emptyRecord.size() : dest.size();
    std::memcpy(dest.data(), emptyRecord.data(), n);
}

bool applyAutoIncToBuffer(FieldDefs& defs, std::span<uint8_t> record, std::span<uint8_t> header,
                          const AutoIncCounterReader& readFromFile)
{
    if (defs.dbfVersion() != xBaseVII)
        return false;
    bool any = false;
    for (int i = 0; i < defs.count(); ++i) {
        FieldDef& def = defs.item(i);
        if (def.nativeFieldType() != '+')
            continue;
        const int64_t counterOffset = 68 + 48 * static_cast<int64_t>(i) + 42;
        int32_t value = def.autoInc();
        if (readFromFile) {
            uint8_t bytes[4];
            if (readFromFile(counterOffset, bytes))
                value = static_cast<int32_t>(loadLE32(bytes));
        }
        const uint8_t* cp = fieldBytes(def, std::span<const uint8_t>(record.data(), record.size()));
        if (cp && def.size() >= 4)
            storeBE32(record.data() + (cp - record.data()), static_cast<uint32_t>(value) ^ 0x80000000u);
        // The counter wraps rather than overflows after 2^31 - 1.
        const auto next = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
        def.setAutoInc(next);
        if (counterOffset + 4 <= static_cast<int64_t>(header.size()))
            storeLE32(header.data() + counterOffset, static_cast<uint32_t>(next));
        any = true;
    }
    return any;
}

} // namespace karto
