#include "dbf/field/FieldEncode.h"

#include <cmath>
#include <cstring>
#include <cstdint>

#include "dbf/Error.h"
#include "dbf/Messages.h"
#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldStorage.h"
#include "dbf/field/NumberText.h"
#include "dbf/io/ByteOrder.h"

namespace karto {

using namespace storage;

namespace {

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

} // namespace

void setFieldData(const FieldDef& def, const RecordFormat& format, std::span<uint8_t> record, FieldType type,
                  const void* src, bool nativeFormat)
{
    const uint8_t* cp = fieldBytes(def, std::span<const uint8_t>(record.data(), record.size()));
    if (!cp)
        throw TableError(msg::kInvalidDbfFile);
    uint8_t* p = record.data() + (cp - record.data());
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());
    if (s == Storage::Text)
        encodeText(def, format, p, type, src, nativeFormat);
    else if (def.size() >= storageBytes(s))
        encodeBinary(def, s, p, type, src, nativeFormat);
    else
        throw TableError(msg::kInvalidDbfFile);

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

std::vector<uint8_t> buildEmptyRecord(const FieldDefs& defs, int recordSize)
{
    std::vector<uint8_t> record(recordSize > 0 ? static_cast<size_t>(recordSize) : 0, ' ');
    const XBaseVersion version = defs.dbfVersion();
    const RecordFormat format = recordFormatOf(defs);
    for (int i = 0; i < defs.count(); ++i) {
        const FieldDef& def = defs.item(i);
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
