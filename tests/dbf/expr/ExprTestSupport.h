#pragma once
// For the expression tests: a small table of every kind of field the
// parser reads, records of it, and the result of an evaluation as text
// ("I 20", "F 3.5", "S 'ab'", "B T", "L 5", "D 2020-03-05", "... null").
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/expr/TableParser.h"
#include "dbf/field/DateTimeConvert.h"
#include "support/FieldTable.h"

namespace karto::test {

// NAME C10, DATUM D8, CENA N10.2 (float), POCET N5 (integer), VELKE N12
// (large integer), HOTOVO L1, POZN M10 (memo), NAZEV C20.
struct ExprTable {
    ExprTable() : t(xBaseIV)
    {
        t.add("NAME", 'C', 10);
        t.add("DATUM", 'D', 8);
        t.add("CENA", 'N', 10, 2);
        t.add("POCET", 'N', 5);
        t.add("VELKE", 'N', 12);
        t.add("HOTOVO", 'L', 1);
        t.add("POZN", 'M', 10);
        t.add("NAZEV", 'C', 20);
    }
    // A record of the field values, each padded like the table stores it.
    std::vector<uint8_t> record(const std::string& name, const std::string& datum, const std::string& cena,
                                const std::string& pocet, const std::string& velke, const std::string& hotovo,
                                const std::string& nazev = "") const
    {
        auto left = [](std::string s, size_t n) { s.resize(n, ' '); return s; };
        auto right = [](const std::string& s, size_t n) { return std::string(n - std::min(n, s.size()), ' ') + s; };
        return t.record(left(name, 10) + left(datum, 8) + right(cena, 10) + right(pocet, 5) + right(velke, 12)
                        + left(hotovo, 1) + std::string(10, ' ') + left(nazev, 20));
    }
    std::vector<uint8_t> emptyRecord() const { return record("", "", "", "", "", ""); }

    FieldTable t;
};

inline std::string shortestText(double v)
{
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

inline std::string showResult(expr::ExpressionType type, const char* p, bool isNull, int singleFieldLength = -1)
{
    std::string out;
    switch (type) {
    case expr::etInteger: {
        int32_t v;
        std::memcpy(&v, p, 4);
        out = "I " + std::to_string(v);
        break;
    }
    case expr::etLargeInt: {
        int64_t v;
        std::memcpy(&v, p, 8);
        out = "L " + std::to_string(v);
        break;
    }
    case expr::etFloat: {
        double v;
        std::memcpy(&v, p, 8);
        out = "F " + shortestText(v);
        break;
    }
    case expr::etDateTime: {
        double v;
        std::memcpy(&v, p, 8);
        if (v == 0) {
            out = "D 0";
        } else {
            const CivilDate d = civilFromTimeStampDay(dateTimeToTimeStamp(v).date);
            char buf[32];
            std::snprintf(buf, sizeof buf, "D %04d-%02d-%02d", d.year, d.month, d.day);
            out = buf;
        }
        break;
    }
    case expr::etBoolean:
        out = std::string("B ") + (p[0] ? "T" : "F");
        break;
    case expr::etString:
        out = "S '" + (singleFieldLength >= 0 ? std::string(p, static_cast<size_t>(singleFieldLength)) : std::string(p)) + "'";
        break;
    default:
        out = "?";
        break;
    }
    if (isNull)
        out += " null";
    return out;
}

// Parses and evaluates; the result as text, or "error: MESSAGE".
inline std::string evaluate(expr::TableParser& parser, const std::string& text, const std::vector<uint8_t>& record,
                            int32_t recNo = 1)
{
    try {
        parser.parseExpression(text);
        bool isNull = false;
        const char* p = parser.extractFromBuffer(record.data(), recNo, &isNull);
        const int single = parser.isExpression() ? -1 : parser.resultLen();
        return showResult(parser.resultType(), p, isNull, single);
    } catch (const KartoError& e) {
        return std::string("error: ") + e.what();
    }
}

} // namespace karto::test
