#include "dbf/expr/FieldVar.h"

#include <cstring>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/text/CodePageConversion.h"

namespace karto::expr {

namespace {

// Decodes the field as `type` into value; false (and value untouched) when
// it reads as empty. A binary date-time that is no valid timestamp reads as
// empty too: a damaged record must not stop a whole index or filter.
template <typename T>
bool decode(const FieldDef& def, const RecordFormat& format, std::span<const uint8_t> record, FieldType type,
            T& value)
{
    try {
        return getFieldData(def, format, record, type, &value);
    } catch (const ConvertError&) {
        return false;
    }
}

// The field's bytes when the whole field lies in the record, else nullptr.
const uint8_t* fieldBytes(const FieldDef& def, std::span<const uint8_t> record)
{
    const int64_t off = def.offset();
    const int64_t size = def.size();
    if (off < 0 || size <= 0 || off + size > static_cast<int64_t>(record.size()))
        return nullptr;
    return record.data() + off;
}

} // namespace

std::unique_ptr<FieldVar> FieldVar::create(const FieldDef& def, const RecordFormat& format)
{
    switch (def.fieldType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return std::make_unique<StringFieldVar>(def, format);
    case ftSmallint:
    case ftInteger:
    case ftAutoInc:
        return std::make_unique<IntegerFieldVar>(def, format);
    case ftLargeint:
        return std::make_unique<LargeIntFieldVar>(def, format);
    case ftFloat:
        return std::make_unique<FloatFieldVar>(def, format);
    case ftDate:
    case ftDateTime:
        return std::make_unique<DateTimeFieldVar>(def, format);
    case ftBoolean:
        return std::make_unique<BooleanFieldVar>(def, format);
    default:
        return nullptr;
    }
}

StringFieldVar::StringFieldVar(const FieldDef& def, const RecordFormat& format) : FieldVar(def, format, etString)
{
    const size_t size = def.size() > 0 ? static_cast<size_t>(def.size()) : 0;
    value_.preallocate(size < DynamicType::kMaxTextLength ? size : DynamicType::kMaxTextLength);
}

void StringFieldVar::refresh(std::span<const uint8_t> record)
{
    value_.rewind();
    isNull_ = !getFieldData(def_, format_, record, ftString, nullptr);
    const uint8_t* p = fieldBytes(def_, record);
    if (!p) {
        value_.commit(0);
        return;
    }
    size_t size = static_cast<size_t>(def_.size());
    if (size > DynamicType::kMaxTextLength)
        size = DynamicType::kMaxTextLength;
    if (raw_) {
        char* dst = value_.reserve(size);
        std::memcpy(dst, p, size);
        for (size_t end = size; end > 0 && dst[end - 1] == 0; --end)
            dst[end - 1] = ' ';
        value_.commit(size);
        return;
    }
    const std::string_view bytes = stringFieldBytes(def_, format_, record);
    char* dst = value_.reserve(bytes.size());
    int written = static_cast<int>(bytes.size());
    if (tableCodePage_ != 0 && systemCodePage_ != 0 && tableCodePage_ != systemCodePage_)
        written = convertCodePage(tableCodePage_, systemCodePage_, reinterpret_cast<const uint8_t*>(bytes.data()),
                                  static_cast<int>(bytes.size()), reinterpret_cast<uint8_t*>(dst), bytes.size());
    else if (!bytes.empty())
        std::memcpy(dst, bytes.data(), bytes.size());
    value_.commit(written > 0 ? static_cast<size_t>(written) : 0);
}

void IntegerFieldVar::refresh(std::span<const uint8_t> record)
{
    int32_t v = 0;
    if (def_.fieldType() == ftSmallint) {
        int16_t s = 0;
        isNull_ = !decode(def_, format_, record, ftSmallint, s);
        v = isNull_ ? 0 : s;
    } else {
        isNull_ = !decode(def_, format_, record, def_.fieldType(), v);
        if (isNull_)
            v = 0;
    }
    value_.rewind();
    value_.put(v);
}

void LargeIntFieldVar::refresh(std::span<const uint8_t> record)
{
    int64_t v = 0;
    isNull_ = !decode(def_, format_, record, ftLargeint, v);
    value_.rewind();
    value_.put(isNull_ ? int64_t{0} : v);
}

void FloatFieldVar::refresh(std::span<const uint8_t> record)
{
    double v = 0;
    isNull_ = !decode(def_, format_, record, ftFloat, v);
    value_.rewind();
    value_.put(isNull_ ? 0.0 : v);
}

void DateTimeFieldVar::refresh(std::span<const uint8_t> record)
{
    double v = 0;
    isNull_ = !decode(def_, format_, record, def_.fieldType() == ftDate ? ftDate : ftDateTime, v);
    value_.rewind();
    value_.put(isNull_ ? 0.0 : v);
}

void BooleanFieldVar::refresh(std::span<const uint8_t> record)
{
    uint16_t v = 0;
    isNull_ = !decode(def_, format_, record, ftBoolean, v);
    value_.rewind();
    value_.put(static_cast<uint8_t>(!isNull_ && v != 0 ? 1 : 0));
}

} // namespace karto::expr
