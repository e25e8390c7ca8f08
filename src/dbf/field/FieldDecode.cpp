#include "dbf/field/FieldDecode.h"

#include <cstring>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldStorage.h"
#include "dbf/field/NumberText.h"

namespace karto {

using namespace storage;

namespace {

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

// Decodes a field kept as text (p: its bytes, length of them holding the
// value) as the requested type; as getFieldData.
bool decodeText(const FieldDef& def, const uint8_t* p, int length, FieldType type, void* dst, bool native)
{
    const std::string_view text = trimmedText(p, length, type == ftString);
    if (text.empty()) {
        if (type == ftString && dst)
            static_cast<char*>(dst)[0] = 0;
        return false;
    }
    if (!dst)
        return true;
    switch (type) {
    case ftString: {
        const std::string_view bytes = untilZero(text);
        std::memcpy(dst, bytes.data(), bytes.size());
        static_cast<char*>(dst)[bytes.size()] = 0;
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

} // namespace

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
            return !isNullBitSet(def, format, record);
    }
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());
    if (s == Storage::Text)
        return decodeText(def, p, valueLength(def, format, record), type, dst, nativeFormat);
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

std::string_view stringFieldBytes(const FieldDef& def, const RecordFormat& format,
                                  std::span<const uint8_t> record)
{
    const uint8_t* p = fieldBytes(def, record);
    if (!p)
        return {};
    return untilZero(trimmedText(p, valueLength(def, format, record), true));
}

std::string_view varBinaryBytes(const FieldDef& def, const RecordFormat& format,
                                std::span<const uint8_t> record)
{
    const uint8_t* p = fieldBytes(def, record);
    if (!p || isNullBitSet(def, format, record))
        return {};
    return std::string_view(reinterpret_cast<const char*>(p),
                            static_cast<size_t>(valueLength(def, format, record)));
}

} // namespace karto
