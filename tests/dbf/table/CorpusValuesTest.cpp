// Every table of the corpus of real third-party tables, read through the
// table dataset and compared with what an independent reader found in it
// (the expected JSON beside the corpus, read through CorpusExpected.h): the
// field list, the record count, the deletion flags and every value.
// Malformed tables must end in a KartoError or read safely.
//
// Where the independent reader is known to read differently from this engine,
// the engine's rules win; each such place is marked "Reader differs".

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/CorpusExpected.h"
#include "dbf/Error.h"
#include "dbf/memo/MemoReader.h"
#include "dbf/table/TableDataset.h"
#include "dbf/table/TableFile.h"
#include "dbf/text/Windows1250.h"

using namespace karto;

namespace {

using test::corpus::bytesOfHex;
using Expected = test::corpus::Table;
using ExpectedRecord = test::corpus::Record;
using ExpectedValue = test::corpus::Value;

std::vector<std::string> corpusTables()
{
    std::vector<std::string> names = test::corpus::expectedFiles();
    if (names.empty())
        names.push_back("");   // corpus missing: one test that skips
    return names;
}

// Date-times are days since 30 December 1899, the fraction the time of day;
// before that day the whole part counts back and the fraction still adds the
// time (-1.25 is 29 December 1899, 6:00).

// The date part as yyyy-mm-dd.
std::string isoDate(double days)
{
    long z = static_cast<long>(std::trunc(days)) - 25569 + 719468;   // days since 0000-03-01
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04ld-%02ld-%02ld", y, m, d);
    return buf;
}

// yyyy-mm-dd[Thh:mm:ss[.ffffff]] as days since 30 December 1899.
double daysOf(const std::string& iso)
{
    int y = 0, m = 0, d = 0, hh = 0, mm = 0;
    double ss = 0;
    std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &m, &d, &hh, &mm, &ss);
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days = era * 146097 + doe - 719468 + 25569;
    const double time = (hh * 3600.0 + mm * 60.0 + ss) / 86400.0;
    return days < 0 ? static_cast<double>(days) - time : static_cast<double>(days) + time;
}

std::string hexOf(const std::string& bytes, std::size_t max = 40)
{
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
    }
    if (bytes.size() > max)
        out += "...";
    return out;
}

std::string printable(const std::string& bytes)
{
    std::string out;
    for (const char c : bytes.substr(0, 60))
        out += (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127) ? c : '.';
    return "\"" + out + (bytes.size() > 60 ? "...\"" : "\"");
}

// '?' in the expected text stands for a byte the reader could not decode.
bool sameText(const std::string& ours, const std::string& expected, bool wildcard)
{
    if (ours.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (ours[i] != expected[i] && !(wildcard && expected[i] == '?'))
            return false;
    return true;
}

bool isIntegerType(FieldType t)
{
    return t == ftSmallint || t == ftInteger || t == ftLargeint || t == ftAutoInc;
}

struct Comparer {
    const TableDataset& ds;
    const Expected& e;
    bool memoRead;
    int memoSkipped = 0;
    int notComparable = 0;

    // The field's bytes in the current record, as stored.
    std::string raw(const Field& f) const
    {
        const uint8_t* rec = ds.currentRecord();
        const int size = ds.tableFile()->recordSize();
        const FieldDef& def = f.def();
        if (!rec || def.offset() < 0 || def.offset() + def.size() > size)
            return {};
        return std::string(reinterpret_cast<const char*>(rec) + def.offset(),
                           static_cast<std::size_t>(def.size()));
    }
    std::string trimmed(const Field& f) const
    {
        std::string s = raw(f);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
            s.pop_back();
        s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        return s;
    }
    // The memo's bytes as the engine reads them (its text is Windows 1250
    // decoded to UTF-8, which encodes back without loss).
    std::string memoBytes(const Field& f) const
    {
        std::string text;
        ds.appendFieldText(text, f.index(), ds.currentRecord());
        return e.utf8 ? text : utf8ToWindows1250(text);
    }

    // Empty string: agrees; else what differs.
    std::string compare(const Field& f, const ExpectedValue& v)
    {
        const FieldType type = f.dataType();
        const char letter = f.def().nativeFieldType();
        std::ostringstream why;
        if (v.kind == "X") {
            ++notComparable;
            return {};
        }
        if (type == ftMemo || type == ftBlob || type == ftDBaseOle) {
            if (!memoRead) {
                // Memo text is compared once the dataset reads memo files.
                if (v.kind != "N")
                    ++memoSkipped;
                return {};
            }
            std::string ours = memoBytes(f);
            std::string expected = v.kind == "N" ? std::string() : bytesOfHex(v.payload);
            if (e.memoReader == "dbfread" && e.memoKind == "dbt4") {
                // Reader differs: dbfread reads dBase IV memo blocks as if
                // they were always 512 bytes long, so with other block sizes
                // it reads other blocks' bytes.
                if (e.memoBlockSize != 512) {
                    ++notComparable;
                    return {};
                }
                // Reader differs: dbfread takes the block header's length as
                // the text length, but it counts the 8 header bytes too, so
                // it reads 8 bytes past the text; and it ends the text at the
                // first 0x1F byte.
                if (expected.size() > ours.size() && expected.size() - ours.size() <= 8 &&
                    expected.compare(0, ours.size(), ours) == 0)
                    expected.resize(ours.size());
                if (ours.size() > expected.size() && ours[expected.size()] == '\x1F' &&
                    sameText(ours.substr(0, expected.size()), expected, v.kind == "MW"))
                    expected = ours;
            }
            // Reader differs: dbfread ends a dBase III memo at its first
            // 0x1A byte; the engine only at a 0x1A followed by 0x1A or 0x00
            // (a binary value such as a PNG image holds single 0x1A bytes).
            if (e.memoReader == "dbfread" && e.memoKind == "dbt3" && ours.size() > expected.size() &&
                ours[expected.size()] == '\x1A' &&
                sameText(ours.substr(0, expected.size()), expected, v.kind == "MW"))
                expected = ours;
            if (v.kind == "MB") {
                const std::size_t length = std::stoul(v.payload);
                const std::string prefix = bytesOfHex(v.payload2);
                if (ours.size() != length || ours.compare(0, prefix.size(), prefix) != 0)
                    why << "binary memo of " << ours.size() << " bytes " << hexOf(ours)
                        << ", expected " << length << " bytes " << hexOf(prefix);
            } else if (!sameText(ours, expected, v.kind == "MW")) {
                why << printable(ours) << " (" << ours.size() << " bytes), expected "
                    << printable(expected) << " (" << expected.size() << " bytes)";
            }
            return why.str();
        }
        if (v.kind == "B") {
            const std::string ours = raw(f);
            if (ours != bytesOfHex(v.payload))
                why << "bytes " << hexOf(ours) << ", expected " << v.payload;
            return why.str();
        }
        if (v.kind == "S" || v.kind == "W") {
            const std::string ours = e.utf8 ? f.asString()
                                   : type == ftString ? f.rawString() : f.asString();
            std::string expected = bytesOfHex(v.payload);
            // Reader differs: dbfread reads a varchar field ("V") whole, its
            // padding and the length byte at its end included; the value is
            // only as long as that byte says when the field's var-length bit
            // is set (the fallback reader reads it so).
            if (letter == 'V' && !e.utf8 && static_cast<int>(expected.size()) == f.def().size() &&
                f.def().varLengthPosition() >= 0) {
                const std::size_t length = static_cast<unsigned char>(expected.back());
                std::string value = expected.substr(0, std::min(length, expected.size() - 1));
                while (!value.empty() && value.back() == ' ')
                    value.pop_back();
                if (value == ours)
                    expected = value;
            }
            if (!sameText(ours, expected, v.kind == "W"))
                why << printable(ours) << " " << hexOf(ours) << ", expected " << printable(expected)
                    << " " << hexOf(expected);
            return why.str();
        }
        if (v.kind == "N") {
            if (f.isNull())
                return {};
            const std::string t = trimmed(f);
            // Reader differs: dbfread reads a date of zeros as no date; the
            // engine reads digits it cannot make a date of as day 0.
            if (type == ftDate && t.find_first_not_of("0 ") == std::string::npos &&
                f.asDateTime() == 0.0)
                return {};
            // Reader differs: the readers take "?" (and anything but T, t, Y,
            // y, F, f, N, n) as no value; the engine reads every non-blank
            // logical but "T"/"t" as false.
            if (type == ftBoolean && f.asBoolean() == (t == "T" || t == "t"))
                return {};
            // The engine answers "has a value" for text that is not a number
            // ("*****") and for a blank nullable field whose null bit is
            // clear; reading the value then gives nothing, so its text is
            // empty like the reader's missing value.
            if (type != ftString && f.asString().empty())
                return {};
            why << "value " << printable(f.asString()) << ", expected none";
            return why.str();
        }
        // Reader differs: the fallback reader decodes eight zero bytes of a
        // dBase 7 double as NaN; for the engine they are an empty field.
        if (v.kind == "F" && v.payload == "nan" && raw(f).find_first_not_of('\0') == std::string::npos &&
            f.isNull())
            return {};
        // Reader differs: the fallback reader skips zero bytes before a
        // number; the engine drops only spaces there, so such text is not a
        // number and reads as empty.
        if ((v.kind == "I" || v.kind == "F") && trimmed(f).starts_with('\0') &&
            f.asString().empty())
            return {};
        const bool beyond64Bits = (v.kind == "I" || v.kind == "F") && isIntegerType(type) &&
                                  std::fabs(std::stod(v.payload)) >= 9.3e18;
        if (f.isNull() && !beyond64Bits) {
            why << "no value (bytes " << hexOf(raw(f)) << "), expected " << v.kind << " "
                << v.payload;
            return why.str();
        }
        if (v.kind == "L") {
            bool expected = v.payload == "1";
            // Reader differs: dbfread reads "Y"/"y" as true; the engine reads
            // only "T"/"t" as true.
            const std::string t = trimmed(f);
            if (t == "Y" || t == "y")
                expected = false;
            if (f.asBoolean() != expected)
                why << f.asBoolean() << ", expected " << expected;
            return why.str();
        }
        if (v.kind == "I" || v.kind == "F" || v.kind == "Y") {
            double expected = v.kind == "Y" ? std::stod(v.payload) / 10000.0 : std::stod(v.payload);
            if (std::isnan(expected)) {
                why << "value " << f.asString() << ", expected NaN";
                return why.str();
            }
            // An integer beyond 64 bits does not fit the engine's integer
            // fields (an "N" field without decimals): it reads as empty.
            if (beyond64Bits) {
                if (!f.asString().empty())
                    why << f.asString() << ", expected empty for " << v.payload;
                return why.str();
            }
            if (isIntegerType(type) && v.kind == "I") {
                if (f.asLargeInt() != std::stoll(v.payload))
                    why << f.asLargeInt() << ", expected " << v.payload;
                return why.str();
            }
            if (isIntegerType(type) && std::fabs(expected) < 9e15) {
                // An integer field holding a fraction is rounded, half to even.
                if (f.asLargeInt() != static_cast<int64_t>(std::nearbyint(expected)))
                    why << f.asLargeInt() << ", expected " << v.payload;
                return why.str();
            }
            const double ours = f.asFloat();
            if (!(std::fabs(ours - expected) <= 1e-12 * std::max(1.0, std::fabs(expected))))
                why << f.asString() << " (" << ours << "), expected " << v.payload;
            return why.str();
        }
        if (v.kind == "D") {
            const std::string ours = isoDate(f.asDateTime());
            if (ours != v.payload)
                why << ours << ", expected " << v.payload;
            return why.str();
        }
        if (v.kind == "T") {
            const double ours = f.asDateTime();
            if (std::fabs(ours - daysOf(v.payload)) > 1.5 / 86400000.0)
                why << isoDate(ours) << " " << f.asString() << ", expected " << v.payload;
            return why.str();
        }
        why << "unknown kind " << v.kind << " for letter " << letter;
        return why.str();
    }
};

class CorpusValuesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusValuesTest, AgreesWithIndependentReader)
{
    if (GetParam().empty())
        GTEST_SKIP() << "corpus not found at " << test::corpus::kDir;
    if (!test::corpus::readerAvailable())
        GTEST_SKIP() << test::corpus::kPython << " not found";
    Expected e;
    std::string error;
    ASSERT_TRUE(test::corpus::readTable(GetParam(), e, error)) << error;
    ASSERT_FALSE(e.table.empty());
    SCOPED_TRACE(e.table);

    TableDataset ds;
    ds.setTableName(test::corpus::kDir + "/" + e.table);
    ds.setReadOnly(true);
    ds.setShowDeleted(true);
    try {
        ds.open();
    } catch (const KartoError& err) {
        EXPECT_NE(e.open, "open") << "refused: " << err.what();
        std::printf("[ note     ] %s: refused: %s\n", e.table.c_str(), err.what());
        return;
    } catch (const std::exception& err) {
        FAIL() << "not a KartoError: " << err.what();
    }
    if (e.open == "error")
        ADD_FAILURE() << "opened a table it must refuse";
    ASSERT_TRUE(ds.active());
    try {
        // Fields: names upper-cased, a repeated name numbered (NAME2, ...).
        ASSERT_EQ(ds.fieldCount(), static_cast<int>(e.fields.size()));
        std::vector<std::string> names;
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const test::corpus::Field& x = e.fields[static_cast<std::size_t>(i)];
            const FieldDef& def = ds.field(i).def();
            std::string name = x.name;
            for (char& c : name)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
            const std::string base = name;
            for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n)
                name = base + std::to_string(n);
            names.push_back(name);
            EXPECT_EQ(def.fieldName(), name) << "field " << i;
            const char letter = (x.letter >= 'a' && x.letter <= 'z') ? x.letter - 32 : x.letter;
            EXPECT_EQ(def.nativeFieldType(), letter) << "field " << i << " " << name;
            EXPECT_EQ(def.size(), x.length) << "field " << i << " " << name;
            if (letter == 'N' || letter == 'F')
                EXPECT_EQ(def.precision(), std::clamp(x.decimals, 0, std::max(0, x.length - 2)))
                    << "field " << i << " " << name;
        }

        EXPECT_EQ(ds.recordCount(), e.recordsFromSize);
        EXPECT_TRUE(e.mapping.empty()) << "expected records not mapped to the file: " << e.mapping;

        MemoReader probe;
        probe.open(*ds.tableFile());
        Comparer cmp{ds, e, probe.isOpen()};

        // Walk every record (deleted ones shown) and compare those the reader gave.
        std::map<int, const ExpectedRecord*> byRecNo;
        for (const ExpectedRecord& r : e.records)
            byRecNo[r.recNo] = &r;
        std::map<std::string, std::pair<int, std::string>> faults;   // field -> count, first example
        int walked = 0, compared = 0;
        for (ds.first(); !ds.eof(); ds.next()) {
            ++walked;
            ASSERT_LE(walked, ds.recordCount()) << "walk does not end";
            const auto it = byRecNo.find(ds.recNo());
            if (it == byRecNo.end())
                continue;
            ++compared;
            const ExpectedRecord& r = *it->second;
            EXPECT_EQ(ds.isDeleted(), r.deleted) << "record " << r.recNo;
            for (const ExpectedValue& v : r.values) {
                if (v.field >= ds.fieldCount())
                    continue;
                const Field& f = ds.field(v.field);
                std::string why;
                try {
                    why = cmp.compare(f, v);
                } catch (const KartoError& err) {
                    why = std::string("error reading: ") + err.what();
                }
                if (!why.empty()) {
                    auto& fault = faults[f.fieldName()];
                    if (fault.first++ == 0)
                        fault.second = "record " + std::to_string(r.recNo) + ": " + why;
                }
            }
        }
        EXPECT_EQ(walked, ds.recordCount()) << "records walked with deleted ones shown";
        EXPECT_EQ(compared, static_cast<int>(e.records.size()));
        for (const auto& [field, fault] : faults)
            ADD_FAILURE() << "field " << field << ": " << fault.first << " values differ; first at "
                          << fault.second;
        if (cmp.memoSkipped > 0 && e.memoFile)
            std::printf("[ note     ] %s: %d memo values not compared (memo file not read)\n",
                        e.table.c_str(), cmp.memoSkipped);
    } catch (const KartoError& err) {
        // A malformed table may fail while it is read, with a clear error.
        EXPECT_NE(e.open, "open") << "failed while reading: " << err.what();
        std::printf("[ note     ] %s: failed while reading: %s\n", e.table.c_str(), err.what());
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param.empty() ? "missing" : info.param.substr(0, info.param.size() - 5);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusValuesTest, ::testing::ValuesIn(corpusTables()), testName);

} // namespace
