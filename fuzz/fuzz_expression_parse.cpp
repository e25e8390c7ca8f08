// Expressions from arbitrary bytes: the input is parsed as an expression over
// a small fixed table (text, numbers, a date, a logical, a memo) by the
// filter parser and by the index key parser, and what parses is evaluated
// on a filled record and on an empty one. The first byte, when it is a
// control character, picks the filter parser's matching modes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dbf/Error.h"
#include "dbf/expr/TableParser.h"
#include "dbf/field/FieldDef.h"

using namespace karto;
using namespace karto::expr;

namespace {

struct Table {
    Table() : defs(xBaseIV)
    {
        add("NAME", 'C', 10, 0);
        add("DATUM", 'D', 8, 0);
        add("CENA", 'N', 10, 2);
        add("POCET", 'N', 5, 0);
        add("VELKE", 'N', 12, 0);
        add("HOTOVO", 'L', 1, 0);
        add("POZN", 'M', 10, 0);
        add("DATE", 'C', 4, 0);
        const std::string fields = "Nov\xE1k     20200305     12.50   42  9876543210T          2024";
        filled.assign(static_cast<size_t>(recordSize), ' ');
        for (size_t i = 0; i < fields.size() && i + 1 < filled.size(); ++i)
            filled[i + 1] = static_cast<uint8_t>(fields[i]);
        empty.assign(static_cast<size_t>(recordSize), ' ');
    }
    void add(const char* name, char letter, int size, int decimals)
    {
        FieldDef& def = defs.addFieldDef();
        def.setFieldName(name);
        def.setSize(size);
        def.setPrecision(decimals);
        def.setNativeFieldType(letter);
        def.setOffset(recordSize);
        recordSize += def.size();
    }

    FieldDefs defs;
    int recordSize = 1;
    std::vector<uint8_t> filled;
    std::vector<uint8_t> empty;
};

const Table& table()
{
    static const Table t;
    return t;
}

void evaluate(TableParser& parser)
{
    for (const auto* record : {&table().filled, &table().empty}) {
        try {
            bool isNull = false;
            const char* result = parser.extractFromBuffer(record->data(), 3, &isNull);
            // Touch the whole result as its type says it is laid out.
            const int len = parser.resultLen();
            volatile char sink = 0;
            if (len > 0)
                for (int i = 0; i < len; ++i)
                    sink = static_cast<char>(sink ^ result[i]);
            else if (parser.resultType() == etString)
                for (const char* p = result; *p; ++p)
                    sink = static_cast<char>(sink ^ *p);
            (void)sink;
        } catch (const ExpressionError&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    const uint8_t modes = size > 0 && data[0] < 8 ? data[0] : 0;

    TableParser filter(table().defs);
    try {
        if (modes & 1)
            filter.setCaseInsensitive(false);
        if (modes & 2)
            filter.setPartialMatch(true);
        if (modes & 4)
            filter.setRawStringFields(false);
        filter.parseExpression(text);
        evaluate(filter);
    } catch (const ParserError&) {
    }

    IndexKeyParser key(table().defs);
    try {
        key.parseExpression(text);
        if (key.keyLength() < 0 || key.keyLength() > 100)
            __builtin_trap();
        evaluate(key);
    } catch (const InvalidIndexError&) {
    }
    return 0;
}
