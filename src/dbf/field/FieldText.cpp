#include "dbf/field/FieldText.h"

#include <string_view>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldStorage.h"
#include "dbf/field/NumberText.h"

namespace karto {

using namespace storage;

namespace {

// A binary date or date-time: the date, and with withTime the time unless it
// is midnight.
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

// A number kept as text, in the general form: from its digits when it is a
// plain decimal, else through its double.
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

} // namespace

bool appendFieldText(std::string& out, const FieldDef& def, const RecordFormat& format,
                     std::span<const uint8_t> record, const FormatSettings& settings)
{
    const uint8_t* p = fieldBytes(def, record);
    if (!p)
        return false;
    // A null field shows empty, whatever its bytes hold (a null FoxPro
    // integer keeps zero bytes).
    if (isNullBitSet(def, format, record))
        return false;
    const FieldType type = def.fieldType();
    const Storage s = storageOf(def.nativeFieldType(), format.version, def.size());

    if (s == Storage::Text) {
        const int length = valueLength(def, format, record);
        switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftBytes: {
            const std::string_view text = trimmedText(p, length, true);
            if (text.empty())
                return false;
            out.append(untilZero(text));
            return true;
        }
        case ftSmallint:
        case ftInteger:
        case ftLargeint:
        case ftAutoInc:
        case ftWord: {
            const std::string_view text = trimmedText(p, length, false);
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
            const std::string_view text = trimmedText(p, length, false);
            if (text.empty() || text.size() > 20)
                return false;
            const size_t before = out.size();
            appendFloatText(out, text);
            return out.size() != before;
        }
        case ftDate:
        case ftDateTime: {
            const std::string_view text = trimmedText(p, length, false);
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
            const std::string_view text = trimmedText(p, length, false);
            if (text.empty())
                return false;
            out.append(text[0] == 'T' || text[0] == 't' ? "True" : "False");
            return true;
        }
        default:
            // Memo fields and unknown types: only whether there is a value.
            return !trimmedText(p, length, false).empty();
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

} // namespace karto
