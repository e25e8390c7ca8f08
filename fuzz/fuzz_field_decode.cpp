// Field values from arbitrary bytes: a field definition chosen by the first
// bytes of the input, then a record made of the rest. Every requested type is
// decoded (with and without a destination), the text form is produced, and
// decoded values are written back.
//
// Input layout: [version][letter][size lo][size hi][decimals][offset][null
// position][null flags size] then the record bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/Error.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldDecode.h"
#include "dbf/field/FieldEncode.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/RecordFormat.h"
#include "dbf/field/FormatSettings.h"

using namespace karto;

namespace {

const char kLetters[] = {'C', 'N', 'F', 'D', 'L', 'M', 'B', 'G', 'I', '+', 'O', '@', 'T', 'Y', '0',
                         static_cast<char>(0x91), 'X', 'V', 'Q', 'W'};

const FieldType kTypes[] = {ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
                            ftDate,   ftDateTime, ftBytes,  ftAutoInc, ftBlob, ftMemo, ftDBaseOle, ftLargeint,
                            ftTime,   ftUnknown};

const FormatSettings& settings()
{
    static const FormatSettings s = [] {
        FormatSettings f;
        f.setShortDateFormat("dddd d. MMMM yyyy");
        f.setLongTimeFormat("hh:mm:ss.zzz AP");
        return f;
    }();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    const auto version = static_cast<XBaseVersion>(data[0] % 7);
    const char letter = kLetters[data[1] % sizeof kLetters];
    const int fieldSize = data[2] | ((data[3] & 0x01) << 8);
    const int decimals = data[4] % 24;
    const int offset = data[5] % 40;
    const int nullPosition = data[6] < 0x80 ? data[6] % 40 : -1;
    const int nullFlagsSize = data[7] % 6;
    std::vector<uint8_t> record(data + 8, data + size);

    FieldDefs defs(version);
    FieldDef& def = defs.addFieldDef();
    def.setFieldName("F");
    def.setSize(fieldSize);
    def.setPrecision(decimals);
    def.setNativeFieldType(letter);
    def.setOffset(offset);
    def.setNullPosition(nullPosition);
    // A varchar or varbinary field's length bit, beside its null bit.
    if (def.isVarLength())
        def.setVarLengthPosition(nullPosition < 0 ? 0 : nullPosition + 1);
    if (nullFlagsSize > 0) {
        FieldDef& flags = defs.addFieldDef();
        flags.setFieldName("_NULLFLAGS");
        flags.setSize(nullFlagsSize);
        flags.setNativeFieldType('0');
        // Anywhere, also overlapping the field or past the record.
        flags.setOffset(static_cast<int>(record.size() / 2) + (data[6] & 0x07));
    }
    const RecordFormat format = recordFormatOf(defs);

    // Room for the longest text a field can give, aligned for any type.
    std::vector<uint64_t> storage(70000 / 8 + 2);
    void* dst = storage.data();

    for (FieldType type : kTypes) {
        try {
            getFieldData(def, format, record, type, nullptr);
            const bool has = getFieldData(def, format, record, type, dst);
            getFieldData(def, format, record, type, dst, true);
            if (has && type != ftBytes && type != ftUnknown && type != ftTime) {
                std::vector<uint8_t> copy = record;
                setFieldData(def, format, copy, type, dst);
            }
        } catch (const KartoError&) {
            // ConvertError for values that are no date-time or out of range,
            // TableError for a field that does not fit the record.
        }
        try {
            std::vector<uint8_t> copy = record;
            setFieldData(def, format, copy, type, nullptr);
        } catch (const KartoError&) {
        }
    }
    try {
        std::string text;
        appendFieldText(text, def, format, record, settings());
    } catch (const ConvertError&) {
    }
    std::string_view bytes = stringFieldBytes(def, format, record);
    (void)bytes;
    bytes = varBinaryBytes(def, format, record);
    (void)bytes;
    std::vector<uint8_t> empty = buildEmptyRecord(defs, static_cast<int>(record.size()));
    (void)empty;
    return 0;
}
