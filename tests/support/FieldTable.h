#pragma once
// For the field value tests: a table of fields laid out one after another
// behind the deletion flag, records of it, format settings pinned to one
// short date and long time form, and a few shorthands.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "dbf/field/DateTimeConvert.h"
#include "dbf/field/FieldDef.h"
#include "dbf/field/FieldText.h"
#include "dbf/field/FormatSettings.h"
#include "dbf/field/RecordFormat.h"

namespace karto::test {

struct FieldTable {
    explicit FieldTable(XBaseVersion version) : defs(version) {}

    FieldDef& add(const char* name, char letter, int size, int decimals = 0, int nullPosition = -1)
    {
        FieldDef& def = defs.addFieldDef();
        def.setFieldName(name);
        def.setSize(size);
        def.setPrecision(decimals);
        def.setNativeFieldType(letter);
        def.setOffset(recordSize);
        def.setNullPosition(nullPosition);
        recordSize += def.size();
        return def;
    }
    // A live record: the fields' bytes as given, blanks after them.
    std::vector<uint8_t> record(const std::string& fields) const
    {
        std::vector<uint8_t> r(static_cast<size_t>(recordSize), ' ');
        std::copy_n(fields.begin(), std::min(fields.size(), r.size() - 1), r.begin() + 1);
        return r;
    }
    RecordFormat format() const { return recordFormatOf(defs); }

    FieldDefs defs;
    int recordSize = 1;
};

// Dates "d.M.yyyy", times "H:mm:ss", thousands separated by a blank.
inline FormatSettings pinnedSettings()
{
    FormatSettings s;
    s.setShortDateFormat("d.M.yyyy");
    s.setLongTimeFormat("H:mm:ss");
    s.setThousandSeparator(" ");
    return s;
}

// The text form of a field of the record with the pinned settings.
inline std::string textOf(const FieldTable& t, int field, const std::vector<uint8_t>& rec)
{
    std::string out;
    appendFieldText(out, t.defs.item(field), t.format(), rec, pinnedSettings());
    return out;
}

inline double dateTime(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return timeStampToDateTime(TimeStamp{timeStampDay(y, m, d), ((h * 60 + mi) * 60 + s) * 1000});
}

inline std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

} // namespace karto::test
