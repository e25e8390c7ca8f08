// Values typed as text (a line of `karto --append`, a grid cell) set into a
// field: a field definition chosen by the first bytes of the input, the rest
// is the text. A value is either refused (FieldValueError, the record
// unchanged) or stored within the field and read back.
//
// Input layout: [version][letter][size][decimals][date pattern] then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/Error.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/FieldTextInput.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/field/RecordFormat.h"

using namespace karto;

namespace {

const char kLetters[] = {'N', 'F', 'D', 'L', 'I', 'O', '@', 'T', 'Y', 'B', 'C', 'M', '+'};
const char* kPatterns[] = {"dd.MM.yyyy", "d. M. yy", "yyyy-MM-dd", "M/d/yyyy", "dddd d. MMMM yyyy", "'d'd/M/y"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    const auto version = static_cast<XBaseVersion>(data[0] % 7);
    const char letter = kLetters[data[1] % sizeof kLetters];
    FieldDefs defs(version);
    FieldDef& def = defs.addFieldDef();
    def.setFieldName("F");
    def.setSize(1 + data[2] % 40);
    def.setPrecision(data[3] % 20);
    def.setNativeFieldType(letter);
    def.setOffset(1);
    FormatSettings settings;
    settings.setShortDateFormat(kPatterns[data[4] % (sizeof kPatterns / sizeof kPatterns[0])]);
    const RecordFormat format = recordFormatOf(defs);
    const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);

    std::vector<uint8_t> record(static_cast<size_t>(1 + def.size() + 3), '#');
    const std::vector<uint8_t> before = record;
    try {
        setFieldFromText(def, format, record, text, settings, "F");
    } catch (const FieldValueError&) {
        if (record != before)
            std::abort();   // a refusal leaves the record as it was
        return 0;
    } catch (const KartoError&) {
        return 0;
    }
    // Nothing outside the field changed.
    if (record[0] != '#' || record[record.size() - 1] != '#')
        std::abort();
    try {
        std::string shown;
        appendFieldText(shown, def, format, record, settings);
    } catch (const KartoError&) {
    }
    return 0;
}
